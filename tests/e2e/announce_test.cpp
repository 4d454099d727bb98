// An input switched with a front-panel key, announced to the control
// clients: with verbose mode off to the web page whose line was taken last,
// with it on (the network record's verbose word) to every control port and
// every web page.
#include "support/menu_keys.h"
#include "support/sim_device.h"
#include "unit/commands/network_record.h"
#include "unit/protocol/web_client.h"

#include <gtest/gtest.h>

using namespace hx40test;

namespace {

constexpr int kWaitMs = 15000;
constexpr const char* kAnnounced = "~01@Y 0,31,3\r\n";  // input 3 of channel 1

// Starts the device and waits until both channels took their first format
// report: keys are dropped before that.
void startAndSettle(SimDevice& dev) {
    hx40test::startAndSettle(dev, kWaitMs);
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_TRUE(dev.waitFor([&] { return httpGet(dev.wsPort, "/").status == 200; }, kWaitMs));
    ASSERT_EQ(dev.ctl("input 3 connect 15"), "OK input 3 format 15\n");
}

// The web server registered n pages (a page may see its handshake done
// before the server noted it).
bool serverHasWebClients(SimDevice& dev, int n) {
    const std::string needle = "[websocket]\nserver up\nclients " + std::to_string(n) + "\n";
    return dev.waitFor([&] { return dev.ctl("state").find(needle) != std::string::npos; }, kWaitMs);
}

size_t count(const std::string& text, const std::string& line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

size_t count(const std::vector<std::string>& messages, const std::string& line) {
    size_t n = 0;
    for (const auto& m : messages) n += count(m, line);
    return n;
}

}  // namespace

TEST(Announcements, WithVerboseOffOnlyTheLastWebSenderHearsOfAKey) {
    SimDevice dev;
    startAndSettle(dev);
    WebClients web(dev.wsPort);
    web.ignore("~01@WEB-LOCK");
    const int quiet = web.open(), sender = web.open();
    ASSERT_GE(sender, 0);
    LoopbackTcp tcp(dev.tcpPort);
    web.send(quiet, "#\r");
    EXPECT_EQ(web.next(quiet), "~01@ OK\r\n");
    web.send(sender, "#\r");
    EXPECT_EQ(web.next(sender), "~01@ OK\r\n");

    ASSERT_EQ(dev.ctl("key tap IN1_3"), "OK key 17 tap\n");
    EXPECT_NE(web.arrival(sender, kAnnounced, kWaitMs), WebClients::Clock::time_point{});
    EXPECT_EQ(count(web.drain(quiet, 500), kAnnounced), 0u);
    EXPECT_EQ(count(tcp.drain(0), "~01@Y 0,"), 0u);
}

TEST(Announcements, WithVerboseOnEveryPortAndPageHearsOfAKeyOnce) {
    SimDevice dev;
    storeNetworkRecord(dev.file("sim/eeprom.bin"), static_cast<uint16_t>(dev.tcpPort),
                       static_cast<uint16_t>(dev.udpPort), 1);
    startAndSettle(dev);
    WebClients web(dev.wsPort);
    web.ignore("~01@WEB-LOCK");
    const int w1 = web.open(), w2 = web.open();
    ASSERT_GE(w2, 0);
    ASSERT_TRUE(serverHasWebClients(dev, 2));
    LoopbackTcp t1(dev.tcpPort), t2(dev.tcpPort);
    LoopbackUdp udp;
    SerialTerminal serial(dev.root(), "ttyS0");
    ASSERT_TRUE(serial.ok());
    // Every client is known to the loop once it was answered.
    for (LoopbackTcp* t : {&t1, &t2}) {
        ASSERT_TRUE(t->send("#\r"));
        ASSERT_EQ(t->until("~01@ OK\r\n"), "~01@ OK\r\n");
    }
    ASSERT_TRUE(udp.send(dev.udpPort, "#\r"));
    ASSERT_EQ(udp.receive(), "~01@ OK\r\n");
    ASSERT_TRUE(serial.send("#\r"));
    ASSERT_EQ(serial.until("~01@ OK\r\n"), "~01@ OK\r\n");

    ASSERT_EQ(dev.ctl("key tap IN1_3"), "OK key 17 tap\n");
    EXPECT_NE(t1.until(kAnnounced, kWaitMs), "");
    EXPECT_NE(t2.until(kAnnounced, kWaitMs), "");
    EXPECT_NE(serial.until(kAnnounced, kWaitMs), "");
    std::string datagrams;
    while (count(datagrams, kAnnounced) == 0) {
        std::string d = udp.receive(kWaitMs);
        if (d.empty()) break;
        datagrams += d;
    }
    EXPECT_EQ(count(datagrams, kAnnounced), 1u);
    EXPECT_NE(web.arrival(w1, kAnnounced, kWaitMs), WebClients::Clock::time_point{});
    EXPECT_NE(web.arrival(w2, kAnnounced, kWaitMs), WebClients::Clock::time_point{});
    // Exactly once each.
    EXPECT_EQ(count(t1.drain(500) + t2.drain(0) + serial.drain(0), kAnnounced), 0u);
    EXPECT_EQ(count(web.drain(w1, 0), kAnnounced) + count(web.drain(w2, 0), kAnnounced), 0u);
    EXPECT_EQ(udp.receive(100).find(kAnnounced), std::string::npos);
}
