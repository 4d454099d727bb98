// The running program as web pages and control systems reach it: the
// control protocol over websocket next to TCP, files over HTTP, the web
// server's restart and the interrupt signal.
#include "support/sim_device.h"
#include "unit/protocol/web_client.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

using namespace hx40test;

namespace {

class WebDevice : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(dev_.start({}, &why)) << why;
        ASSERT_TRUE(dev_.waitFor([this] { return httpGet(dev_.wsPort, "/").status == 200; }, 10000))
            << dev_.log();
    }
    SimDevice dev_;
};

}  // namespace

TEST_F(WebDevice, AWebPageTalksTheControlProtocol) {
    WebClients web(dev_.wsPort, true);
    const int c = web.open("p7k");
    ASSERT_GE(c, 0);
    EXPECT_EQ(web.next(c), "~01@WEB-LOCK-TBAR-CONTROL 0\r\n");
    // The next page is told as it connects; the open one is not told again.
    const int d = web.open("p7k");
    ASSERT_GE(d, 0);
    EXPECT_EQ(web.next(d), "~01@WEB-LOCK-TBAR-CONTROL 0\r\n");
    web.send(c, "#\r");
    EXPECT_EQ(web.next(c), "~01@ OK\r\n");
    web.send(c, "#HELP\r");
    const std::string help = web.next(c);
    EXPECT_EQ(help.substr(0, 4), "~01@");
    EXPECT_EQ(help.size(), 641u) << "HELP reaches a web page whole, in one message";
    // The older engine's words answer a web page too, each reply once.
    web.send(c, "#Y 0,31,2\r");
    EXPECT_EQ(web.next(c), "~01@Y 0,31,2 OK\r\n");
    web.send(c, "#Y 1,31\r");
    EXPECT_EQ(web.next(c), "~01@Y 1,31,2\r\n");
    EXPECT_EQ(web.drain(c, 300), std::vector<std::string>{});
}

// A reply goes to its requester only; a reply for every client reaches each
// web page and each TCP client exactly once.
TEST_F(WebDevice, RepliesAndBroadcastsReachTheRightClients) {
    WebClients web(dev_.wsPort);
    web.ignore("~01@WEB-LOCK");
    const int w1 = web.open(), w2 = web.open();
    ASSERT_GE(w2, 0);
    LoopbackTcp t1(dev_.tcpPort), t2(dev_.tcpPort);

    web.send(w1, "#\r");
    EXPECT_EQ(web.next(w1), "~01@ OK\r\n");
    web.send(w2, "#ECHO two\r");
    const std::string echo = web.next(w2);
    EXPECT_EQ(echo.substr(0, 4), "~01@");
    EXPECT_EQ(web.drain(w1, 300), std::vector<std::string>{});
    EXPECT_EQ(t1.drain(0) + t2.drain(0), "");

    // A command's own broadcast, an older-engine set and a name the engine stores.
    for (const std::string sent : {"#MODE-CMD 1", "#Y 0,31,2", "#NAME abc"}) {
        ASSERT_TRUE(t1.send(sent + "\r"));
        const std::string line = t1.until("\r\n");
        EXPECT_EQ(line.substr(0, sent.find(' ') + 4), "~01@" + sent.substr(1, sent.find(' '))) << sent;
        EXPECT_EQ(t2.until("\r\n"), line) << sent;
        EXPECT_EQ(web.next(w1), line) << sent;
        EXPECT_EQ(web.next(w2), line) << sent;
        EXPECT_EQ(t1.drain(300) + t2.drain(0), "") << sent;
        EXPECT_EQ(web.drain(w1, 0), std::vector<std::string>{}) << sent;
        EXPECT_EQ(web.drain(w2, 0), std::vector<std::string>{}) << sent;
    }
}

TEST_F(WebDevice, FilesOfTheWebFolderAndNothingElse) {
    std::ofstream(dev_.file("var/www/secret.html")) << "secret";
    std::ofstream(dev_.file("tmp/secret.html")) << "secret";
    HttpAnswer page = httpGet(dev_.wsPort, "/test.html");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.headers["content-type"], "text/html");
    EXPECT_EQ(page.body, dev_.read("var/www/html/test.html"));
    HttpAnswer icon = httpGet(dev_.wsPort, "/favicon.ico");
    EXPECT_EQ(icon.headers["content-type"], "image/x-icon");
    EXPECT_EQ(icon.body, dev_.read("var/www/html/favicon.ico"));
    HttpAnswer leaf = httpGet(dev_.wsPort, "/leaf.jpg");
    EXPECT_EQ(leaf.headers["content-type"], "image/jpeg");
    EXPECT_EQ(leaf.body, dev_.read("var/www/html/leaf.jpg"));

    EXPECT_EQ(httpGet(dev_.wsPort, "/a/b.html").status, 406);
    for (const char* p : {"/../secret.html", "/%2e%2e/secret.html", "/..%2fsecret.html", "/%2e%2e%2fsecret.html",
                          "/../../tmp/secret.html", "/..%2f..%2ftmp%2fsecret.html", "/....//secret.html"}) {
        HttpAnswer a = httpGet(dev_.wsPort, p);
        EXPECT_EQ(a.body.find("secret"), std::string::npos) << p << " answered " << a.status;
    }
}

// A restart closes the pages, the program stays up, and new pages connect.
TEST_F(WebDevice, ARestartOfTheWebServerKeepsTheProgramUp) {
    WebClients web(dev_.wsPort);
    web.ignore("~01@WEB-LOCK");
    const int before = web.open();
    ASSERT_GE(before, 0);
    const std::string registered = "[websocket]\nserver up\nclients 1\n";
    ASSERT_TRUE(dev_.waitFor([&] { return dev_.ctl("state").find(registered) != std::string::npos; }, 5000));
    EXPECT_EQ(dev_.ctl("ws-reset"), "OK web server restarted\n");
    EXPECT_TRUE(web.closedByServer(before));
    ASSERT_TRUE(dev_.running());
    int after = -1;
    ASSERT_TRUE(dev_.waitFor([&] { return (after = web.open("p7k", 500)) >= 0; }, 10000));
    web.send(after, "#\r");
    EXPECT_EQ(web.next(after), "~01@ OK\r\n");
    EXPECT_EQ(dev_.stop(), 0);
}

// Once the web server runs, the interrupt signal stops only the server.
TEST_F(WebDevice, TheInterruptStopsOnlyTheWebServer) {
    const int pid = std::stoi(dev_.read("run/app.pid"));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    ASSERT_TRUE(dev_.waitFor([this] { return httpGet(dev_.wsPort, "/").status == 0; }, 10000));
    EXPECT_TRUE(dev_.running());
    LoopbackTcp tcp(dev_.tcpPort);
    ASSERT_TRUE(tcp.send("#\r"));
    EXPECT_EQ(tcp.until("\r\n"), "~01@ OK\r\n");
    EXPECT_EQ(dev_.ctl("ws-reset"), "ERR no web server runs\n");
    EXPECT_EQ(dev_.stop(), 0);
}
