// The web server's "p7k" side on a loopback port: lines of web clients to
// queue 12 with their ids, texts of queue 11 to their clients, the registry,
// and the restart.
#include "web_server_fixture.h"

#include <memory>
#include <vector>

#include "commands/notifications.h"

#include <sys/socket.h>

using namespace hx40test;
using workaround_namespace::send_to_websockets;

using Lines = std::vector<WebServerTest::Line>;

TEST_F(WebServerTest, LinesReachTheLoopWithTheirClientsIds) {
    startServer();
    WebClients web(port_);
    const int a = web.open();
    ASSERT_GE(a, 0);
    // A page learns the web-lock state when it connects.
    EXPECT_EQ(web.next(a), "~01@WEB-LOCK-TBAR-CONTROL 0\r\n");
    const int b = web.open();
    ASSERT_GE(b, 0);
    web.send(a, "#A\r");
    EXPECT_EQ(nextLine(), (Line{1, "#A\r"}));
    web.send(b, "#B\r");
    EXPECT_EQ(nextLine(), (Line{2, "#B\r"}));
    // A line sent in fragments goes on whole.
    web.sendPieces(a, {"#EC", "HO x", "\r"});
    EXPECT_EQ(nextLine(), (Line{1, "#ECHO x\r"}));
    EXPECT_EQ(wsi_cnt.load(), 2u);
}

// A record holds 4000 bytes: a longer line is refused whole, never cut into
// a shorter command; the client's next line goes on.
TEST_F(WebServerTest, ALineLongerThanARecordIsRefused) {
    startServer();
    WebClients web(port_, true);
    web.ignore("~01@WEB-LOCK");
    const int c = web.open();
    ASSERT_GE(c, 0);
    const std::string fits = "#" + std::string(3998, 'x') + "\r";
    web.send(c, fits);
    EXPECT_EQ(nextLine(), (Line{1, fits}));
    web.send(c, "#" + std::string(4000, 'y'));
    web.sendPieces(c, {"#" + std::string(2500, 'z'), std::string(2500, 'z')});
    web.send(c, "#\r");
    EXPECT_EQ(nextLine(), (Line{1, "#\r"}));
}

TEST_F(WebServerTest, TextsReachTheirClientsOnceAndInOrder) {
    startServer();
    WebClients web(port_);
    web.ignore("~01@WEB-LOCK");
    const int c1 = web.open(), c2 = web.open(), c3 = web.open();
    ASSERT_GE(c3, 0);
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 3; }, 3000));
    send_to_websockets("~01@all 1\r\n", 0);
    send_to_websockets("~01@only 2\r\n", 2);
    send_to_websockets("~01@gone\r\n", 9);
    send_to_websockets("~01@all 2\r\n", 0);
    const std::string large(4000, 'L');
    send_to_websockets(large, 3);
    EXPECT_EQ(web.drain(c1, 300), (std::vector<std::string>{"~01@all 1\r\n", "~01@all 2\r\n"}));
    EXPECT_EQ(web.drain(c2, 0), (std::vector<std::string>{"~01@all 1\r\n", "~01@only 2\r\n", "~01@all 2\r\n"}));
    EXPECT_EQ(web.drain(c3, 0), (std::vector<std::string>{"~01@all 1\r\n", "~01@all 2\r\n", large}));
}

// Nobody drains queue 11 while no client is connected: nothing is posted.
TEST_F(WebServerTest, NoTextIsQueuedWithoutClients) {
    startServer();
    send_to_websockets("~01@nobody\r\n", 0);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI), 0);
    WebClients web(port_);
    web.ignore("~01@WEB-LOCK");
    const int c = web.open();
    ASSERT_GE(c, 0);
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 1; }, 3000));
    send_to_websockets("~01@first\r\n", 0);
    EXPECT_EQ(web.next(c), "~01@first\r\n");
}

// A client that vanishes without the closing handshake leaves the registry:
// the count is exact and texts for its id are dropped.
TEST_F(WebServerTest, AVanishedClientLeavesTheRegistry) {
    startServer();
    WebClients web(port_);
    web.ignore("~01@WEB-LOCK");
    const int kept = web.open();
    ASSERT_GE(kept, 0);
    RawWebsocket raw(port_);
    ASSERT_TRUE(raw.upgraded());
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 2; }, 3000));
    raw.vanish();
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 1; }, 3000));
    send_to_websockets("~01@to 2\r\n", 2);
    send_to_websockets("~01@to 1\r\n", 1);
    EXPECT_EQ(web.next(kept), "~01@to 1\r\n");
}

// A page that does not read falls behind alone: past its bound it is
// dropped, and the others go on.
TEST_F(WebServerTest, AClientThatDoesNotReadIsDropped) {
    startServer();
    WebClients web(port_);
    web.ignore("~01@WEB-LOCK");
    const int reader = web.open();
    ASSERT_GE(reader, 0);
    RawWebsocket stalled(port_, 4096);
    ASSERT_TRUE(stalled.upgraded());
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 2; }, 3000));
    const std::string text(4000, 's');
    testing::internal::CaptureStdout();
    for (int i = 0; i < 3000 && wsi_cnt == 2; ++i) send_to_websockets(text, 2);
    EXPECT_TRUE(waitFor([] { return wsi_cnt == 1; }, 5000));
    // It held at most 64 KiB beyond what its socket took.
    const std::string log = testing::internal::GetCapturedStdout();
    const std::string said = "websocket id 2 does not read: ";
    const size_t at = log.find(said);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_LE(std::stoul(log.substr(at + said.size())), 64u * 1024) << log.substr(at, 80);
    send_to_websockets("~01@still here\r\n", 0);
    EXPECT_EQ(web.next(reader), "~01@still here\r\n");
}

// At most 64 web clients, as on TCP: the 65th is told to try again later
// and closed; a place that frees takes the next one.
TEST_F(WebServerTest, TheSixtyFifthWebClientIsToldToTryLater) {
    startServer();
    std::vector<std::unique_ptr<RawWebsocket>> clients;
    for (int i = 0; i < 64; ++i) {
        clients.push_back(std::make_unique<RawWebsocket>(port_));
        ASSERT_TRUE(clients.back()->upgraded()) << "client " << i + 1;
    }
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 64; }, 5000));
    RawWebsocket surplus(port_);
    ASSERT_TRUE(surplus.upgraded());
    EXPECT_EQ(surplus.take(20), std::string("\x88\x12\x03\xF5too many clients", 20));
    ASSERT_TRUE(surplus.send(std::string("\x88\x80\0\0\0\0", 6)));  // the client's close, masked, empty
    EXPECT_TRUE(surplus.closedByPeer());
    EXPECT_EQ(wsi_cnt, 64u);
    clients.front()->vanish();
    ASSERT_TRUE(waitFor([] { return wsi_cnt == 63; }, 3000));
    RawWebsocket next(port_);
    EXPECT_TRUE(next.upgraded());
    EXPECT_TRUE(waitFor([] { return wsi_cnt == 64; }, 3000));
}

// A restart closes every client, empties the registry and queue 11, and the
// next clients get ids above every earlier one.
TEST_F(WebServerTest, ARestartClosesEveryClientAndKeepsIdsGrowing) {
    startServer();
    {
        WebClients web(port_);
        web.ignore("~01@WEB-LOCK");
        const int a = web.open(), b = web.open();
        ASSERT_GE(b, 0);
        ASSERT_TRUE(waitFor([] { return wsi_cnt == 2; }, 3000));
        reset_lws_protocol();
        EXPECT_TRUE(web.closedByServer(a));
        EXPECT_TRUE(web.closedByServer(b));
        EXPECT_EQ(wsi_cnt.load(), 0u);
        EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI), 0);
    }
    WebClients web(port_);
    web.ignore("~01@WEB-LOCK");
    int c = -1;
    ASSERT_TRUE(waitFor([&] { return (c = web.open("p7k", 500)) >= 0; }, 5000));
    web.send(c, "#\r");
    EXPECT_EQ(nextLine(), (Line{3, "#\r"}));
}

// The restart's wait is bounded: without a server it returns at once.
TEST_F(WebServerTest, ARestartWithoutAServerReturnsAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    reset_lws_protocol();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

// The interrupt signal stops only the server; a later restart finds none.
TEST_F(WebServerTest, TheInterruptStopsTheServerForGood) {
    startServer();
    EXPECT_TRUE(lwsServerStarted());
    lwsInterrupt();
    thread_.join();
    EXPECT_TRUE(lwsServerStarted());
    const auto start = std::chrono::steady_clock::now();
    reset_lws_protocol();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    WebClients web(port_);
    web.ignore("~01@WEB-LOCK");
    EXPECT_EQ(web.open("p7k", 500), -1);
}

TEST_F(WebServerTest, WebVersionJoinsTheRawValues) {
    struct Case {
        const char* file;  // nullptr: no file
        const char* version;
    };
    const Case cases[] = {
        {"{\"major\":1,\"minor\":0,\"build\":0}", "1.0.0"},
        {"{\"major\": 2, \"minor\":10 , \"build\": 7 }\n", " 2.10 . 7 "},
        {"{\"major\":3,\"build\":4}", "3..4"},
        {"{\"minor\":1,\"build\":12", ".1.12"},
        {nullptr, ""},
    };
    for (const Case& c : cases) {
        const std::string file = "root/app/memfiles/web/version.json";
        if (c.file != nullptr) board_.write(file, c.file);
        else std::remove(board_.file(file).c_str());
        char out[kWebVersionSize];
        get_web_version(out);
        EXPECT_STREQ(out, c.version) << (c.file ? c.file : "(no file)");
    }
}
