// Where notifications and the older engine's output go: the control ports
// through the poll loop (a TCP client and the serial port watch them) and
// the copies for web clients on queue 11 (read straight from the queue: no
// web server runs, the connected clients are only counted).
#include "unit/protocol/loop_harness.h"

#include "commands/notifications.h"
#include "commands/p7k_thread.h"
#include "core/core_state.h"
#include "protocol/ws_server.h"

#include <thread>

using namespace hx40test;

namespace {

using WebTexts = std::vector<std::pair<uint32_t, std::string>>;

class NotificationsTest : public LoopHarness {
protected:
    NotificationsTest() {
        parser_.SetOutlets(Protocol7700::ReplyOutlets{
            workaround_namespace::send_to_serials, workaround_namespace::send_to_tcps,
            workaround_namespace::send_to_udps, workaround_namespace::send_to_websockets, nullptr});
        addTcp();
        addSerial();
        addWebsocket();
        start();
        tcp_.connect(tcpPort_);
        // The loop knows the connection once it answers.
        tcp_.send("#\r");
        tcp_.until("~01@ OK\r\n");
    }
    ~NotificationsTest() override {
        wsi_cnt = 0;
        gVerboseMode = 0;
        gInInitialize[0] = gInInitialize[1] = 0;
    }

    // The web client whose line the loop took last.
    void lastWebSender(uint32_t id) {
        webLine(static_cast<int>(id), "\r");
        ASSERT_TRUE(waitFor([id] { return ws_msg_cli_to_srv_id() == id; }, 3000));
    }

    // What reached the TCP client and the serial port up to a marker posted
    // after the call, and the web copies on queue 11.
    struct Seen {
        std::string tcp, serial;
        WebTexts web;
    };
    Seen seen() {
        NorvaCommands::PostMessage(0, "MARK\r\n", true);
        Seen s;
        s.tcp = tcp_.until("MARK\r\n");
        s.serial = term_.until("MARK\r\n");
        _WSMSG record;
        while (get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &record) >= 0)
            s.web.emplace_back(record.wsi, std::string(record.text, record.length));
        return s;
    }

    LoopbackTcp tcp_;
    SerialTerminal term_{board_.root(), "ttyS0"};
};

}  // namespace

TEST_F(NotificationsTest, NotificationsFollowTheVerboseAndWebRules) {
    struct Case {
        const char* what;
        uint8_t verbose;
        uint32_t webClients;
        uint32_t lastSender;
        bool initialising;
        void (*call)();
        const char* ports;   // what the TCP client gets
        const char* serial;  // nullptr: the same as the TCP client
        WebTexts web;
    };
    const Case cases[] = {
        {"quiet without web clients", 0, 0, 4, false, [] { p7kEvAnnounceInt(31, 2, 0); }, "", nullptr, {}},
        {"to the last web sender", 0, 2, 4, false, [] { p7kEvAnnounceInt(31, 2, 0); }, "", nullptr,
         {{4, "~01@Y 0,31,2\r\n"}}},
        {"to every web client before any sent", 0, 2, 0, false, [] { p7kEvAnnounceInt(41, 7, 1); }, "", nullptr,
         {{0, "~01@Y 0,41,7\r\n"}}},
        {"verbose: every port", 1, 0, 4, false, [] { p7kEvAnnounceInt(31, 2, 0); }, "~01@Y 0,31,2\r\n", nullptr,
         {}},
        {"verbose: every port and web client", 1, 1, 4, false, [] { p7kEvAnnounceInt(31, 2, 0); },
         "~01@Y 0,31,2\r\n", nullptr, {{0, "~01@Y 0,31,2\r\n"}}},
        {"power with its word", 1, 1, 4, false, [] { p7kEvAnnounceInt(953, 1, 0); },
         "~01@Y 0,953,1\r\n~01@POWER 1 \r\n", nullptr,
         {{0, "~01@Y 0,953,1\r\n"}, {0, "~01@POWER 1 \r\n"}}},
        {"panel lock with its word", 0, 1, 6, false, [] { p7kEvAnnounceInt(927, 0, 0); }, "", nullptr,
         {{6, "~01@Y 0,927,0\r\n"}, {6, "~01@LOCK-FP 0 \r\n"}}},
        {"volume: channel, then value", 0, 1, 3, false, [] { p7kEvAnnounceInt(4931, 40, 1); }, "", nullptr,
         {{3, "~01@Y 0,4931,40\r\n"}, {3, "~01@VOLUME 1,40 \r\n"}}},
        {"initialising: web clients only", 1, 1, 4, true, [] { p7kEvAnnounceInt(3931, 5, 0); }, "", nullptr,
         {{0, "~01@Y 0,3931,5\r\n"}, {0, "~01@VOLUME 0,5 \r\n"}}},
        {"a float with two decimals", 1, 1, 4, false, [] { p7kEvAnnounceFloat(3921, 0.5f, 0); },
         "~01@Y 0,3921,0.50\r\n", nullptr, {{0, "~01@Y 0,3921,0.50\r\n"}}},
        {"the forced float alike", 0, 1, 2, false, [] { p7kEvForceAnnounceFloat(3921, -12.25f, 0); }, "", nullptr,
         {{2, "~01@Y 0,3921,-12.25\r\n"}}},
        {"the error of Y, verbose: serial port and twice the web sender", 1, 1, 4, false,
         [] { p7kEvAnnounceErr(0, 5.9f); }, "", "~01@Y ERR 005\r\n",
         {{4, "~01@Y ERR 005\r\n"}, {4, "~01@Y ERR 005\r\n"}}},
        {"the error of Y", 0, 1, 4, false, [] { p7kEvAnnounceErr(0, 12.0f); }, "", nullptr,
         {{4, "~01@Y ERR 012\r\n"}}},
        {"a copy for every web client", 1, 1, 4, false, [] { protocol_out_to_web("~01@NET-MASK 1.2.3.4"); }, "",
         nullptr, {{0, "~01@NET-MASK 1.2.3.4"}}},
        {"a text over a record", 0, 1, 4, false,
         [] { workaround_namespace::send_to_websockets(std::string(4001, 'x'), 0); }, "", nullptr, {}},
    };
    for (const Case& c : cases) {
        gVerboseMode = c.verbose;
        wsi_cnt = c.webClients;
        lastWebSender(c.lastSender);
        gInInitialize[0] = c.initialising ? 1 : 0;
        c.call();
        Seen s = seen();
        EXPECT_EQ(s.tcp, std::string(c.ports) + "MARK\r\n") << c.what;
        EXPECT_EQ(s.serial, std::string(c.serial ? c.serial : c.ports) + "MARK\r\n") << c.what;
        EXPECT_EQ(s.web, c.web) << c.what;
    }
}

// Port 0 reaches the serial port only (and the last web sender); any other
// port than 0 and 1 reaches nothing.
TEST_F(NotificationsTest, AddressedOutputReachesTheSerialPortOnly) {
    wsi_cnt = 1;
    lastWebSender(5);
    protocol_out_specific_port(COMM_CONTROL_PORTS, 40, "~%02d@%s ERR %03d\r\n", 1, "XYZ", 2);
    protocol_out_specific_port(static_cast<COMM_TYPE>(2), 40, "~01@none\r\n");
    Seen s = seen();
    EXPECT_EQ(s.tcp, "MARK\r\n");
    EXPECT_EQ(s.serial, "~01@XYZ ERR 002\r\nMARK\r\n");
    EXPECT_EQ(s.web, (WebTexts{{5, "~01@XYZ ERR 002\r\n"}}));
}

// Right after POWER changed the state, the textual notification is
// swallowed once; the forced form consumes the mark even when nothing is
// sent, the plain one only when it announces.
TEST_F(NotificationsTest, ThePowerCommandsFeedbackSwallowsOneText) {
    gVerboseMode = 1;
    gFeedBackOnPowerCmd = 1;
    p7kEvAnnounceInt(953, 0, 0);
    EXPECT_EQ(seen().tcp, "~01@Y 0,953,0\r\nMARK\r\n");
    EXPECT_EQ(gFeedBackOnPowerCmd.load(), 0);
    p7kEvAnnounceInt(953, 1, 0);
    EXPECT_EQ(seen().tcp, "~01@Y 0,953,1\r\n~01@POWER 1 \r\nMARK\r\n");

    gVerboseMode = 0;
    gFeedBackOnPowerCmd = 1;
    p7kEvAnnounceInt(953, 1, 0);
    EXPECT_EQ(gFeedBackOnPowerCmd.load(), 1);
    p7kEvForceAnnounceInt(953, 1, 0);
    EXPECT_EQ(gFeedBackOnPowerCmd.load(), 0);
    EXPECT_EQ(seen().tcp, "MARK\r\n");
}

// The older engine's capture holds on its own thread only: a notification
// of another thread meanwhile still reaches the ports.
TEST_F(NotificationsTest, TheCaptureKeepsTheLastTextOfItsThreadOnly) {
    gVerboseMode = 1;
    wsi_cnt = 1;
    NorvaCommands::setp7kcommand(true);
    protocol_out_all_port(40, "~01@first\r\n");
    protocol_out_specific_port(COMM_CONTROL_PORTS, 40, "~01@%s OK\r\n", "last");
    std::thread other([] { p7kEvAnnounceInt(31, 3, 0); });
    other.join();
    NorvaCommands::setp7kcommand(false);
    EXPECT_EQ(NorvaCommands::GetReturnp7kMsg(), "~01@last OK\r\n");
    Seen s = seen();
    EXPECT_EQ(s.tcp, "~01@Y 0,31,3\r\nMARK\r\n");
    EXPECT_EQ(s.web, (WebTexts{{0, "~01@first\r\n"}, {0, "~01@last OK\r\n"}, {0, "~01@Y 0,31,3\r\n"}}));
}
