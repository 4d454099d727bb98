// The running program as web pages and control systems reach it: the
// control protocol over websocket next to TCP, files over HTTP, the web
// server's restart, the interrupt signal, and where the server listens.
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"
#include "unit/protocol/web_client.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

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

namespace {

// The TCP sockets a process listens on, as "address:port".
std::vector<std::string> listeningSockets(pid_t pid) {
    std::set<std::string> inodes;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(fds, ec)) {
        const std::string link = std::filesystem::read_symlink(e.path(), ec).string();
        if (link.rfind("socket:[", 0) == 0) inodes.insert(link.substr(8, link.size() - 9));
    }
    std::vector<std::string> out;
    std::ifstream table("/proc/" + std::to_string(pid) + "/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream f(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        f >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        if (state != "0A" || inodes.count(inode) == 0) continue;
        const unsigned long address = std::stoul(local.substr(0, 8), nullptr, 16);
        const unsigned long port = std::stoul(local.substr(9), nullptr, 16);
        out.push_back(std::to_string(address & 0xFF) + "." + std::to_string((address >> 8) & 0xFF) + "." +
                      std::to_string((address >> 16) & 0xFF) + "." + std::to_string(address >> 24) + ":" +
                      std::to_string(port));
    }
    return out;
}

}  // namespace

// With many clients at a low descriptor limit, a restart of the web server
// must not leave it listening on every interface. (The control port now
// keeps descriptors for the rest of the program, so the restart finds the
// ones it needs; were they used up, the server would be stopped and made
// again.)
TEST(WebServer, ListensOnlyOnLoopbackAlsoAtTheDescriptorLimit) {
#ifdef HX40_SANITIZED
    GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own: without any left it reports faults that "
                    "are none";
#endif
    SimDevice dev;
    dev.fileLimit = 64;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    ASSERT_TRUE(dev.waitFor([&] { return httpGet(dev.wsPort, "/").status == 200; }, 10000)) << dev.log();
    const pid_t pid = std::stoi(dev.read("run/app.pid"));
    auto onlyLoopback = [&] {
        for (const std::string& s : listeningSockets(pid))
            if (s.rfind("127.", 0) != 0) return false;
        return true;
    };
    const std::string web = "127.0.0.1:" + std::to_string(dev.wsPort);
    std::vector<std::string> now = listeningSockets(pid);
    EXPECT_NE(std::find(now.begin(), now.end(), web), now.end());
    EXPECT_TRUE(onlyLoopback());
    std::vector<std::unique_ptr<LoopbackTcp>> clients;
    for (int i = 0; i < 38; ++i) clients.push_back(std::make_unique<LoopbackTcp>(dev.tcpPort));
    const size_t from = dev.log().size();
    ASSERT_TRUE(clients[0]->send("#NET-DHCP 0\r"));  // the network save restarts the web server
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(onlyLoopback()) << ::testing::PrintToString(listeningSockets(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(clients[0]->until("\r\n"), "~01@NET-DHCP 0 OK\r\n");
    ASSERT_TRUE(dev.waitFor([&] { return dev.log().find("libwebsocket service has started", from) != std::string::npos; },
                            10000))
        << dev.log().substr(from);
    EXPECT_EQ(dev.log().find("getifaddrs", from), std::string::npos) << dev.log().substr(from);
    EXPECT_EQ(httpGet(dev.wsPort, "/").status, 200);
    clients.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(onlyLoopback()) << ::testing::PrintToString(listeningSockets(pid));
    EXPECT_EQ(dev.stop(), 0);
}
