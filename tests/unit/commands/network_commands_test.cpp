// The network, control-port and web-security words over the parser: their
// replies byte for byte, the network record they leave in the EEPROM, and
// the settings files.
#include "command_words.h"
#include "board_logs.h"
#include "network_record.h"

#include "commands/p7k_thread.h"
#include "commands/web_param.h"
#include "platform/sim/i2c_sim.h"
#include "protocol/listeners.h"
#include "support/sim_device.h"
#include "sys/fileutil.h"

#include <chrono>
#include <fstream>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <vector>

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

// A settings file that cannot be written (a full file system) is an error
// for every client, and nothing changes: not the file, not the record, not
// the speed or the password in use, not the control ports.
TEST_F(NetworkWords, AWriteThatFailsIsAnErrorAndChangesNothing) {
    storeNetworkRecord(board_.file("sim/eeprom.bin"), 6000, 50000, 0);
    board_.write("root/app/conf/serial.conf", "COM_232_BAUDRATE=1\n");
    board_.write("root/persist/configure_network", "the last script\n");
    board_.write("root/persist/network_stat", "dhcp: OFF\nip:   192.168.1.39\n");
    ASSERT_EQ(line("#LABELS?"), "~01@LABELS HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\r\n");
    const int port = freePort();
    const std::string ethPort = "#ETH-PORT TCP," + std::to_string(port);
    const std::vector<const char*> files = {"root/persist/httpd.conf", "root/app/conf/serial.conf",
                                            "root/persist/configure_network", "root/persist/network_stat",
                                            "root/app/conf/input_labels", "sim/eeprom.bin"};
    struct {
        std::string sent;
        std::string reply;
        bool everyone;
    } cases[] = {
        {"#WEB-PASSW pw2,admin", "~01@WEB-PASSW **** ERR5\r\n", true},
        {"#WEB-SECUR 0,admin", "~01@WEB-SECUR 0,**** ERR5\r\n", true},
        {"#P7KB 0", "~01@P7KB 0 ERR5\r\n", true},
        {"#NET-IP 192.168.1.88", "~01@NET-IP 192.168.1.88 ERR5\r\n", true},
        {"#NET-DHCP 2", "~01@NET-DHCP 2 ERR5\r\n", true},
        {"#TIME-SRV 1,10.0.0.5", "~01@TIME-SRV 1,10.0.0.5 ERR5\r\n", true},
        {ethPort, "~01@" + ethPort.substr(1) + " ERR5\r\n", true},
        {"#LABELS a,b,c,d,e,f,g,h", "~01@LABELS a,b,c,d,e,f,g,h ERR5\r\n", false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> before;
        for (const char* f : files) before.push_back(board_.read(f));
        fl_inject_save_failures(1000);
        const std::string requester = line(c.sent);
        fl_inject_save_failures(0);
        EXPECT_EQ(requester + everyone(), c.everyone ? toAll(c.reply) : c.reply) << c.sent;
        for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(board_.read(files[i]) == before[i]) << c.sent << ": " << files[i];
        EXPECT_EQ(tcp_listener, nullptr) << c.sent;
    }
    EXPECT_EQ(gSerial_listener, nullptr);
    // What is in use is what the files hold.
    EXPECT_EQ(line("#P7KB?"), "~01@P7KB 1\r\n");
    EXPECT_EQ(line("#WEB-PASSW pw2,admin"), "");
    EXPECT_EQ(everyone(), toAll("~01@WEB-PASSW **** OK\r\n"));
    EXPECT_EQ(toolsLog(board_).find("configure_network"), std::string::npos);
}

// A network script that fails (its last command, the time server's ntpd,
// ends with status 1) is error 3 and the record it was asked for is not
// kept: the EEPROM, the generated files and the report of the last run are
// those of the record before.
TEST_F(NetworkWords, AFailedNetworkScriptPutsThePreviousRecordBack) {
    ASSERT_EQ(line("#NET-IP 192.168.1.50"), "");
    ASSERT_EQ(everyone(), toAll("~01@NET-IP 192.168.1.50 OK\r\n"));
    ASSERT_EQ(line("#TIME-SRV 1,10.0.0.5"), "");
    ASSERT_EQ(everyone(), toAll("~01@TIME-SRV 1,10.0.0.5 OK\r\n"));
    const std::vector<const char*> files = {"sim/eeprom.bin", "root/persist/configure_network",
                                            "root/persist/.preprofile.d/myenv", "root/persist/network_stat"};
    std::vector<std::string> before;
    for (const char* f : files) before.push_back(board_.read(f));
    ASSERT_NE(before[3].find("ip:   192.168.1.50"), std::string::npos) << before[3];
    const std::string conf = board_.read("sim/board.conf");
    struct {
        const char* sent;
        const char* reply;
    } cases[] = {
        {"#NET-IP 192.168.1.88", "~01@NET-IP 192.168.1.88 ERR3\r\n"},
        {"#NET-DHCP 2", "~01@NET-DHCP 2 ERR3\r\n"},
        {"#TIME-SRV 1,10.0.0.6", "~01@TIME-SRV 1,10.0.0.6 ERR3\r\n"},
    };
    board_.write("sim/board.conf", conf + "fault.ntpd = 1\n");
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), "") << c.sent;
        EXPECT_EQ(everyone(), toAll(c.reply)) << c.sent;
        for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(board_.read(files[i]) == before[i]) << c.sent << ": " << files[i];
        // The script failed after it set the address: eth0 is put back too.
        EXPECT_NE(board_.read("sim/net/eth0").find("ip = 192.168.1.50\n"), std::string::npos) << c.sent;
    }
    board_.write("sim/board.conf", conf);
    EXPECT_EQ(line("#NET-IP 192.168.1.88"), "");
    EXPECT_EQ(everyone(), toAll("~01@NET-IP 192.168.1.88 OK\r\n"));
}

// In DHCP mode 2 the script reports nothing and nothing waits for it: ten
// network words in one line hold the protocol thread for their script runs
// only, not ten times the wait for a report.
TEST_F(NetworkWords, NetworkWordsInDhcpModeTwoDoNotWaitForAReport) {
    ASSERT_EQ(line("#NET-DHCP 2"), "");
    ASSERT_EQ(everyone(), toAll("~01@NET-DHCP 2 OK\r\n"));
    std::string chain = "#NET-DHCP 2";
    for (int i = 0; i < 9; ++i) chain += "|NET-DHCP 2";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line(chain), "");
    const auto spent = std::chrono::steady_clock::now() - start;
    std::string ten;
    for (int i = 0; i < 10; ++i) ten += toAll("~01@NET-DHCP 2 OK\r\n");
    EXPECT_EQ(everyone(), ten);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count(), 8000);
}

// The EEPROM does not take a write: error 8 and the record as it was.
TEST_F(NetworkWords, AnEepromThatRefusesTheRecordIsError8) {
    storeNetworkRecord(board_.file("sim/eeprom.bin"), 6000, 50000, 0);
    const std::string stored = record();
    board::sim::i2c::failNext(0, 1000000);
    EXPECT_EQ(line("#NET-IP 192.168.1.88"), "");
    board::sim::i2c::failNext(0, 0);
    EXPECT_EQ(everyone(), toAll("~01@NET-IP 192.168.1.88 ERR8\r\n"));
    EXPECT_EQ(record(), stored);
    EXPECT_EQ(toolsLog(board_).find("ifconfig"), std::string::npos);
}
