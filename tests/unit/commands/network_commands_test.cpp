// The network, control-port and web-security words over the parser: their
// replies byte for byte, the network record they leave in the EEPROM, and
// the settings files.
#include "command_words.h"
#include "board_logs.h"
#include "network_record.h"

#include "commands/p7k_thread.h"
#include "commands/web_param.h"
#include "protocol/listeners.h"

#include <chrono>
#include <fstream>
#include <termios.h>
#include <thread>

using namespace hx40test;

namespace {

class NetworkWords : public CommandWords {
protected:
    // The 40 bytes of the network record in the EEPROM.
    std::string record() const { return board_.read("sim/eeprom.bin").substr(0x7ED0, 40); }
    static std::string bytes(std::initializer_list<int> values) {
        std::string out;
        for (int v : values) out += static_cast<char>(v);
        return out;
    }
};

// Waits (bounded) until every web daemon restart has finished.
bool restartsDone() {
    for (int i = 0; i < 500 && CMyDoSystem::Live() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return CMyDoSystem::Live() == 0;
}

}  // namespace

TEST_F(NetworkWords, QueriesAnswerFromTheRecordTheFilesAndTheRouteTable) {
    storeNetworkRecord(board_.file("sim/eeprom.bin"), 6000, 0, 0);
    board_.write("root/persist/httpd.conf", "#/:joe:pw\n");
    board_.write("root/app/conf/serial.conf", "COM_232_BAUDRATE=0\n");
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    board_.write("proc/net/route", header + "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n");
    struct {
        const char* sent;
        const char* reply;
    } cases[] = {
        {"#ETH-PORT? tcp", "~01@ETH-PORT TCP,6000\r\n"},
        {"#ETH-PORT? UDP", "~01@ETH-PORT? UDP ERR3\r\n"},  // a stored port 0
        {"#ETH-PORT? SSH", "~01@ETH-PORT? SSH ERR3\r\n"},
        {"#NET-DHCP?", "~01@NET-DHCP 0 OK\r\n"},
        {"#TIME-SRV?", "~01@TIME-SRV 0,0.0.0.0\r\n"},
        {"#NET-GATE?", "~01@NET-GATE 192.168.1.1\r\n"},
        {"#P7KB?", "~01@P7KB 0\r\n"},
        {"#WEB-SECUR?", "~01@WEB-SECUR 0\r\n"},
        {"#WEB-USER?", "~01@WEB-USER joe\r\n"},
        {"#WEB-PASSW?", "~01@WEB-PASSW ****\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(line(c.sent), c.reply) << c.sent;

    board_.write("proc/net/route", header + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n");
    std::remove(board_.file("root/app/conf/serial.conf").c_str());
    EXPECT_EQ(line("#NET-GATE?"), "~01@NET-GATE 0.0.0.0\r\n");
    EXPECT_EQ(line("#P7KB?"), "~01@P7KB 1\r\n");
    EXPECT_EQ(everyone(), "");
    EXPECT_EQ(record(), bytes({192, 168, 1, 39, 255, 255, 0, 0, 192, 168, 0, 1, 2, 0, 0, 0, 0, 1, 0, 0, 0x70, 0x17, 0,
                               0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));  // queries never write
}

// Each set word changes its own bytes of the record, applies it through the
// network script and answers every client; a refused value stores nothing.
TEST_F(NetworkWords, SetWordsStoreTheRecordAndAnswerEveryClient) {
    const std::string blank(40, '\xFF');
    ASSERT_EQ(record(), blank);
    struct {
        const char* sent;
        const char* reply;
        size_t at;           // the record bytes it changes
        std::string stored;  // "" = nothing is stored
    } cases[] = {
        {"#NET-IP 192.168.255.255", "~01@NET-IP 192.168.255.255 ERR3\r\n", 0, ""},  // the subnet's broadcast
        {"#NET-IP 192.168.1.300", "~01@NET-IP 192.168.1.300 ERR3\r\n", 0, ""},
        {"#NET-MASK 255.255.0.255", "~01@NET-MASK 255.255.0.255 ERR3\r\n", 0, ""},
        {"#NET-GATE 10.0.0.1", "~01@NET-GATE 10.0.0.1 ERR3\r\n", 0, ""},  // outside the subnet
        {"#FCT-MAC 02-00-00-00-00", "~01@FCT-MAC 02-00-00-00-00 ERR3\r\n", 0, ""},
        {"#NET-DHCP 3", "~01@NET-DHCP 3 ERR3\r\n", 0, ""},
        {"#TIME-SRV 1", "~01@TIME-SRV 1 ERR3\r\n", 0, ""},
        {"#TIME-SRV 0,1.2.3.4", "~01@TIME-SRV 0,1.2.3.4 ERR3\r\n", 0, ""},
        {"#TIME-SRV 3", "~01@TIME-SRV 3 ERR3\r\n", 0, ""},
        {"#TIME-SRV 1,time.example", "~01@TIME-SRV 1,time.example ERR3\r\n", 0, ""},
        {"#NET-IP 192.168.1.50", "~01@NET-IP 192.168.1.50 OK\r\n", 0, "\xC0\xA8\x01\x32"},
        {"#NET-MASK 255.255.255.0", "~01@NET-MASK 255.255.255.0 OK\r\n", 4, "\xFF\xFF\xFF"},
        {"#NET-GATE 192.168.1.1", "~01@NET-GATE 192.168.1.1 OK\r\n", 8, "\xC0\xA8\x01\x01"},
        {"#FCT-MAC 0A-1b-2C-3d-4E-5f", "~01@FCT-MAC 0a-1b-2c-3d-4e-5f OK\r\n", 12, "\x0A\x1B\x2C\x3D\x4E\x5F"},
        {"#NET-DHCP 1", "~01@NET-DHCP 1 OK\r\n", 18, "\x01"},
        {"#TIME-SRV 2", "~01@TIME-SRV 2 OK\r\n", 24, "\x02"},
        {"#TIME-SRV 1,10.0.0.5", "~01@TIME-SRV 1,10.0.0.5 OK\r\n", 24, "\x01"},
        {"#NET-DHCP 0", "~01@NET-DHCP 0 OK\r\n", 18, std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), "") << c.sent;
        EXPECT_EQ(everyone(), toAll(c.reply)) << c.sent;
        if (c.stored.empty()) EXPECT_EQ(record(), blank) << c.sent;
        else EXPECT_EQ(record().substr(c.at, c.stored.size()), c.stored) << c.sent;
    }
    EXPECT_EQ(record().substr(0, 20), bytes({192, 168, 1, 50, 255, 255, 255, 0, 192, 168, 1, 1, 0x0A, 0x1B, 0x2C,
                                             0x3D, 0x4E, 0x5F, 0, 0}));
    EXPECT_EQ(record().substr(24, 16), bytes({1, 0, 0, 0, 10, 0, 0, 5, 1, 0, 0, 0, 0, 0, 0, 0}));
    // The script ran on the board for each stored word.
    const std::string tools = toolsLog(board_);
    for (const char* run : {"ifconfig eth0 192.168.1.50 netmask 255.255.0.0\n", "route add default gw 192.168.1.1\n",
                            "ifconfig eth0 hw ether 0a:1b:2c:3d:4e:5f\n", "udhcpc -n -q -t 1 -S\n",
                            "ntpd -q -p 10.0.0.5\n"})
        EXPECT_NE(tools.find(run), std::string::npos) << run << tools;
}

// The mask and the gateway also reach the web page first, without a line end.
TEST_F(NetworkWords, MaskAndGatewayGoToTheWebPageFirst) {
    wsi_cnt = 1;
    line("#NET-IP 192.168.1.50");
    line("#NET-MASK 255.255.255.0");
    line("#NET-GATE 192.168.1.1");
    EXPECT_EQ(webTexts(), "~01@NET-MASK 255.255.255.0|~01@NET-GATE 192.168.1.1|");
    EXPECT_EQ(everyone(), toAll("~01@NET-IP 192.168.1.50 OK\r\n") + toAll("~01@NET-MASK 255.255.255.0 OK\r\n") +
                              toAll("~01@NET-GATE 192.168.1.1 OK\r\n"));
}

// Every client hears the web-security words: a refusal never repeats the
// passwords it was given.
TEST_F(NetworkWords, WebSecurityChecksTheCurrentPasswordAndNeverEchoesOne) {
    ASSERT_EQ(board_.read("root/persist/httpd.conf"), "/:admin:admin\n");
    struct {
        const char* sent;
        const char* reply;
        const char* conf;
    } cases[] = {
        {"#WEB-SECUR 2,admin", "~01@WEB-SECUR 2,**** ERR3\r\n", "/:admin:admin\n"},
        {"#WEB-SECUR 0,Admin", "~01@WEB-SECUR 0,**** ERR4\r\n", "/:admin:admin\n"},
        {"#WEB-SECUR 0,admin", "~01@WEB-SECUR 0 OK\r\n", "#/:admin:admin\n"},
        {"#WEB-SECUR -1,admin", "~01@WEB-SECUR -1 OK\r\n", "/:admin:admin\n"},
        {"#WEB-PASSW s3cret,admi", "~01@WEB-PASSW **** ERR4\r\n", "/:admin:admin\n"},
        {"#WEB-PASSW s3:cret,admin", "~01@WEB-PASSW **** ERR3\r\n", "/:admin:admin\n"},
        {"#WEB-PASSW s3\ncret,admin", "~01@WEB-PASSW **** ERR3\r\n", "/:admin:admin\n"},
        {"#WEB-PASSW s3cret,admin", "~01@WEB-PASSW **** OK\r\n", "/:admin:s3cret\n"},
        {"#WEB-SECUR 0,admin", "~01@WEB-SECUR 0,**** ERR4\r\n", "/:admin:s3cret\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), "") << c.sent;
        EXPECT_EQ(everyone(), toAll(c.reply)) << c.sent;
        EXPECT_EQ(board_.read("root/persist/httpd.conf"), c.conf) << c.sent;
    }
    // A line the parser refuses (a missing parameter) is answered to the
    // requester alone, without the password it carried.
    EXPECT_EQ(line("#WEB-PASSW s3cret"), "~01@WEB-PASSW **** ERR1\r\n");
    EXPECT_EQ(line("#WEB-SECUR 1"), "~01@WEB-SECUR **** ERR1\r\n");
    EXPECT_EQ(everyone(), "");
    // Each save restarted the daemon on the board.
    ASSERT_TRUE(restartsDone());
    const std::string tools = toolsLog(board_);
    size_t restarts = 0;
    const std::string daemon = "httpd -h /root/app/memfiles/web -c /root/persist/httpd.conf\n";
    for (size_t at = tools.find(daemon); at != std::string::npos; at = tools.find(daemon, at + 1)) ++restarts;
    EXPECT_EQ(restarts, 3u) << tools;
}

TEST_F(NetworkWords, P7kbStoresTheSpeedAndOpensADetachedPortAgain) {
    // The protocol runs (its parser is registered) but its serial port was detached.
    Communication::Listeners::Instance().SetParser(parser_.get());
    ASSERT_EQ(gSerial_listener, nullptr);
    struct {
        const char* sent;
        const char* reply;
        const char* conf;
        speed_t speed;
    } cases[] = {
        {"#P7KB 2", "~01@P7KB 2 ERR3\r\n", "COM_232_BAUDRATE=1\n", B0},
        {"#P7KB -1", "~01@P7KB -1 ERR3\r\n", "COM_232_BAUDRATE=1\n", B0},
        {"#P7KB 0", "~01@P7KB 0 OK\r\n", "COM_232_BAUDRATE=0\n", B19200},
        {"#P7KB 1", "~01@P7KB 1 OK\r\n", "COM_232_BAUDRATE=1\n", B115200},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), "") << c.sent;
        EXPECT_EQ(everyone(), toAll(c.reply)) << c.sent;
        EXPECT_EQ(board_.read("root/app/conf/serial.conf"), c.conf) << c.sent;
        if (c.speed == B0) {
            EXPECT_EQ(gSerial_listener, nullptr) << c.sent;
            continue;
        }
        ASSERT_NE(gSerial_listener, nullptr) << c.sent;
        // The speed of the port the program holds.
        termios t{};
        ASSERT_EQ(::tcgetattr(*gSerial_listener->GetSocket()->GetHandle(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), c.speed) << c.sent;
    }
    // A port that cannot be opened is given up; the speed is still stored.
    std::remove(board_.file("dev/ttyS0").c_str());
    EXPECT_EQ(line("#P7KB 0"), "");
    EXPECT_EQ(everyone(), toAll("~01@P7KB 0 OK\r\n"));
    EXPECT_EQ(gSerial_listener, nullptr);
    EXPECT_EQ(board_.read("root/app/conf/serial.conf"), "COM_232_BAUDRATE=0\n");
}
