// The serial-port tunnel of the running program, moved by a control system
// with PTNL-CFG: bytes both ways over TCP and UDP, a move that waits for the
// client to leave, an empty datagram that reopens, and a port already in
// use that leaves the tunnel idle while the program goes on.
#include "e2e/settled_device.h"
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>

using namespace hx40test;

namespace {

constexpr int kWaitMs = 15000;

std::string cfg(const char* mode, int port) { return std::string("#PTNL-CFG ") + mode + "," + std::to_string(port) + "\r"; }

}  // namespace

TEST(Tunnel, PtnlCfgMovesTheTunnelBetweenTcpAndUdp) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp control(dev.tcpPort);
    SerialTerminal term(dev.root(), "ttyS2");
    ASSERT_TRUE(term.ok());

    // Nobody is connected yet: the tunnel moves at once.
    const int tcpPort = freePort();
    EXPECT_EQ(ask(control, cfg("TCP", tcpPort)), "~01@PTNL-CFG TCP," + std::to_string(tcpPort) + " OK\r\n");
    EXPECT_EQ(ask(control, "#PTNL-CFG?\r"), "~01@PTNL-CFG TCP," + std::to_string(tcpPort) + "\r\n");
    ASSERT_TRUE(dev.waitJournal("ptnl.listen tcp port=" + std::to_string(tcpPort), kWaitMs)) << dev.journal();
    {
        LoopbackTcp client(tcpPort);
        ASSERT_TRUE(client.send("AT+PING\r"));
        EXPECT_EQ(term.take(8, kWaitMs), "AT+PING\r");
        ASSERT_TRUE(term.send("PONG\r"));
        EXPECT_EQ(client.take(5, kWaitMs), "PONG\r");

        // A connected client keeps the tunnel until it leaves.
        const int udpPort = freePort();
        EXPECT_EQ(ask(control, cfg("udp", udpPort)), "~01@PTNL-CFG udp," + std::to_string(udpPort) + " OK\r\n");
        ASSERT_TRUE(client.send("still"));
        EXPECT_EQ(term.take(5, kWaitMs), "still");
        client.reset();
        ASSERT_TRUE(dev.waitJournal("ptnl.listen udp port=" + std::to_string(udpPort), kWaitMs)) << dev.journal();

        LoopbackUdp peer;
        ASSERT_TRUE(peer.send(udpPort, "hello"));
        EXPECT_EQ(term.take(5, kWaitMs), "hello");
        ASSERT_TRUE(term.send("world"));
        EXPECT_EQ(peer.receive(kWaitMs), "world");

        // Back to TCP: an empty datagram reopens the socket with it.
        const int next = freePort();
        EXPECT_EQ(ask(control, cfg("TCP", next)), "~01@PTNL-CFG TCP," + std::to_string(next) + " OK\r\n");
        ASSERT_TRUE(peer.send(udpPort, ""));
        ASSERT_TRUE(dev.waitJournal("ptnl.listen tcp port=" + std::to_string(next), kWaitMs)) << dev.journal();
        LoopbackTcp again(next);
        ASSERT_TRUE(again.send("over tcp"));
        EXPECT_EQ(term.take(8, kWaitMs), "over tcp");
    }
    EXPECT_EQ(dev.stop(), 0);
}

TEST(Tunnel, EachBoardTunnelsOnThePortItWasPreparedWith) {
    SimDevice first, second;
    ASSERT_NE(first.tunnelPort, second.tunnelPort);
    startAndSettle(first);
    startAndSettle(second);
    for (SimDevice* dev : {&first, &second}) {
        const std::string port = std::to_string(dev->tunnelPort);
        ASSERT_TRUE(dev->waitJournal("ptnl.listen tcp port=" + port + "\n", kWaitMs)) << dev->journal();
        LoopbackTcp control(dev->tcpPort);
        EXPECT_EQ(ask(control, "#PTNL-CFG?\r"), "~01@PTNL-CFG TCP," + port + "\r\n");
        // A burst far past what the serial line holds reaches this board's
        // port whole.
        std::string burst = "to " + dev->root() + "\n";
        for (size_t i = 0; burst.size() < 200 * 1024; ++i) burst += static_cast<char>('!' + i * 7 % 90);
        SerialTerminal term(dev->root(), "ttyS2");
        LoopbackTcp client(dev->tunnelPort);
        std::thread sender([&] { client.send(burst); });
        EXPECT_TRUE(term.take(burst.size(), kWaitMs) == burst) << "the burst arrived short or changed";
        sender.join();
    }
    EXPECT_EQ(first.stop(), 0);
    EXPECT_EQ(second.stop(), 0);
}

TEST(Tunnel, APortInUseLeavesTheTunnelIdleAndTheProgramRunning) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp control(dev.tcpPort);
    // The control port itself: the tunnel cannot have it.
    EXPECT_EQ(ask(control, cfg("TCP", dev.tcpPort)), "~01@PTNL-CFG TCP," + std::to_string(dev.tcpPort) + " OK\r\n");
    ASSERT_TRUE(dev.waitJournal("ptnl.idle tcp port=" + std::to_string(dev.tcpPort), kWaitMs)) << dev.journal();
    EXPECT_EQ(ask(control, "#POWER?\r"), "~01@POWER 1\r\n");
    EXPECT_TRUE(dev.running());

    // The idle tunnel takes the next setting by itself.
    const int port = freePort();
    EXPECT_EQ(ask(control, cfg("TCP", port)), "~01@PTNL-CFG TCP," + std::to_string(port) + " OK\r\n");
    ASSERT_TRUE(dev.waitJournal("ptnl.listen tcp port=" + std::to_string(port), kWaitMs)) << dev.journal();
    SerialTerminal term(dev.root(), "ttyS2");
    LoopbackTcp client(port);
    ASSERT_TRUE(client.send("ok"));
    EXPECT_EQ(term.take(2, kWaitMs), "ok");
    EXPECT_EQ(dev.stop(), 0);
}
