// The older engine's words as control systems send them over TCP: "Y" keys
// and values, the device name, unknown words and the upgrade block.
#include "e2e/settled_device.h"
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace hx40test;

namespace {

constexpr int kWaitMs = 15000;

std::string hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

}  // namespace

TEST(OlderEngine, YSwitchesAnInputThroughTheMainTaskAndEveryControlClientHearsIt) {
    SimDevice dev;
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("input 3 connect 15"), "OK input 3 format 15\n");
    LoopbackTcp a(dev.tcpPort), b(dev.tcpPort);
    SerialTerminal serial(dev.root(), "ttyS0");
    ASSERT_TRUE(serial.ok());
    ASSERT_EQ(ask(b, "#\r"), "~01@ OK\r\n");  // the loop knows b once it answered it

    const size_t from = dev.journal().size();
    ASSERT_TRUE(a.send("#Y 0,937,1\r"));  // key 17: input 3 of channel 1
    for (TextStream* client : std::initializer_list<TextStream*>{&a, &b, &serial})
        EXPECT_EQ(client->until("\r\n", kWaitMs), "~01@Y 0,937,1 OK\r\n");
    ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("routeChannel channel=0 input=3", from) != std::string::npos; },
                            kWaitMs))
        << dev.journal().substr(from);
    EXPECT_NE(dev.journal().find("main_task.key key=17", from), std::string::npos);
    EXPECT_TRUE(dev.waitFor([&] { return dev.ctl("state").find("channel 1 input 3 vidInput 2") != std::string::npos; },
                            kWaitMs));

    // A get answers the requester only.
    EXPECT_EQ(ask(a, "#Y 1,930\r"), "~01@Y 1,930,0\r\n");
    ASSERT_EQ(dev.ctl("key tap MODE").substr(0, 2), "OK");
    EXPECT_TRUE(dev.waitFor([&] { return ask(a, "#Y 1,930\r") == "~01@Y 1,930,1\r\n"; }, kWaitMs));
    EXPECT_EQ(b.drain(200), "");

    // The root page's tab has the bounds 0..4: 9 is stored as 4, so the
    // menu opens on its last tab.
    ASSERT_TRUE(a.send("#Y 0,0,9\r"));
    EXPECT_EQ(a.until("\r\n", kWaitMs), "~01@Y 0,0,9 OK\r\n");
    EXPECT_EQ(b.until("\r\n", kWaitMs), "~01@Y 0,0,9 OK\r\n");
    ASSERT_EQ(dev.ctl("key tap MENU").substr(0, 2), "OK");
    EXPECT_TRUE(dev.waitFor([&] { return dev.ctl("state").find("fg 255 bg 252 \"Misc\"") != std::string::npos; },
                            kWaitMs))
        << dev.ctl("state");
    EXPECT_EQ(dev.stop(), 0);
}

TEST(OlderEngine, NamesUnknownWordsAndTheUpgradeBlock) {
    const std::string host = hostName();
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    LoopbackTcp a(dev.tcpPort), b(dev.tcpPort);
    ASSERT_EQ(ask(b, "#\r"), "~01@ OK\r\n");

    EXPECT_EQ(ask(a, "#NAME?\r").substr(0, 9), "~01@NAME ");
    ASSERT_TRUE(a.send("#NAME Stage_1\r"));
    EXPECT_EQ(a.until("\r\n"), "~01@NAME Stage_1 OK\r\n");
    EXPECT_EQ(b.until("\r\n"), "~01@NAME Stage_1 OK\r\n");
    EXPECT_EQ(ask(a, "#NAME?\r"), "~01@NAME Stage_1\r\n");
    EXPECT_EQ(dev.read("sim/hostname"), "Stage_1\n");
    EXPECT_EQ(ask(a, "#XYZ\r"), "~01@XYZ ERR 002\r\n");

    EXPECT_EQ(dev.ctl("upgrade-block on"), "OK upgrade-block on\n");
    struct {
        const char* sent;
        const char* reply;
    } blocked[] = {
        {"#Y 1,930\r", "~01@Y ERR 004\r\n"},
        {"#NAME?\r", "~01@NAME? ERR 004\r\n"},
        {"#MODEL?\r", "~01@MODEL? ERR 004\r\n"},
        {"#NAME Other\r", "~01@NAME ERR 004\r\n"},
        {"#XYZ\r", "~01@XYZ ERR 002\r\n"},
    };
    for (const auto& c : blocked) EXPECT_EQ(ask(a, c.sent), c.reply) << c.sent;
    EXPECT_EQ(dev.read("sim/hostname"), "Stage_1\n");
    EXPECT_EQ(dev.ctl("upgrade-block off"), "OK upgrade-block off\n");
    EXPECT_EQ(ask(a, "#Y 1,930\r"), "~01@Y 1,930,0\r\n");
    EXPECT_EQ(dev.stop(), 0);

    EXPECT_EQ(dev.read("sim/eeprom.bin").substr(0x7E8A, 16), std::string("Stage_1\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(hostName(), host);
}
