// A control system sets the channels' items with "Y": channel 2's output
// control, priority scan and audio items reach channel 2 (not channel 1), a
// chosen input that another place held swaps the two places, a test pattern
// is announced for both channels; channel 1's sync-off sleeps and wakes its
// outputs, its freeze, blank and test pattern leave no mute behind, and the
// MODE key cycles the switching mode.
#include "e2e/settled_device.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace hx40test;

namespace {

constexpr int kWaitMs = kSettleMs;

}  // namespace

TEST(ChannelControl, AControlSystemSetsChannelTwosItems) {
    SimDevice dev;
    startAndSettle(dev);
    if (HasFatalFailure()) return;
    LoopbackTcp a(dev.tcpPort);

    size_t from = dev.journal().size();
    EXPECT_EQ(ask(a, "#Y 0,4823,1\r"), "~01@Y 0,4823,1 OK\r\n");
    EXPECT_EQ(dev.ctl("pm get PM.MUTE"), "OK 0 1\n");
    EXPECT_TRUE(dev.waitJournal("backEnd_MuteCtl ch=1 ctl=0", kWaitMs));
    EXPECT_EQ(dev.journal().find("backEnd_MuteCtl ch=0", from), std::string::npos) << "channel 1 stays as it was";

    // Place 3 of channel 2 takes HDBT 1 from place 7, which gets HDMI 3.
    EXPECT_EQ(ask(a, "#Y 0,487231,6\r"), "~01@Y 0,487231,6 OK\r\n");
    EXPECT_EQ(ask(a, "#Y 1,487231\r"), "~01@Y 1,487231,6\r\n");
    EXPECT_EQ(ask(a, "#Y 1,487271\r"), "~01@Y 1,487271,2\r\n");
    EXPECT_EQ(ask(a, "#Y 1,387231\r"), "~01@Y 1,387231,2\r\n");
    // Past the last input the value is held at HDBT 2, which place 8 gives up.
    EXPECT_EQ(ask(a, "#Y 0,487231,9\r"), "~01@Y 0,487231,9 OK\r\n");
    EXPECT_EQ(ask(a, "#Y 1,487231\r"), "~01@Y 1,487231,7\r\n");
    EXPECT_EQ(ask(a, "#Y 1,487281\r"), "~01@Y 1,487281,6\r\n");

    from = dev.journal().size();
    EXPECT_EQ(ask(a, "#Y 0,484,1\r"), "~01@Y 0,484,1 OK\r\n");
    EXPECT_TRUE(dev.waitJournal("p7kEvForceAnnounceInt function=484 value=1 channel=1", kWaitMs));
    EXPECT_NE(dev.journal().find("p7kEvForceAnnounceInt function=384 value=0 channel=0", from), std::string::npos);
    EXPECT_NE(dev.journal().find("audioSwitchExe input=10 channel=1", from), std::string::npos);
    EXPECT_EQ(dev.stop(), 0);
}

// Channel 1's sync-off set by a control system: the outputs go to sleep and
// stay asleep when it is asked again, and wake when it is cleared. A node
// that OSD.conf disables is refused with error 10.
TEST(ChannelControl, AControlSystemSwitchesChannelOnesSyncOff) {
    SimDevice dev;
    std::ofstream(dev.file("root/app/conf/OSD.conf")) << "3821 0\n";
    startAndSettle(dev);
    if (HasFatalFailure()) return;
    LoopbackTcp a(dev.tcpPort);
    auto asleep = [&] { return dev.ctl("state").find("output 1 sink on edid valid tmds off 5v off") != std::string::npos; };

    EXPECT_EQ(ask(a, "#Y 0,3821,1\r"), "~01@Y 0,3821,1 ERR 010\r\n");
    EXPECT_EQ(ask(a, "#Y 1,3821\r"), "~01@Y 1,3821 ERR 010\r\n");
    EXPECT_EQ(dev.ctl("pm get PM.FREEZE"), "OK 0 0\n");

    EXPECT_EQ(ask(a, "#Y 0,3832,1\r"), "~01@Y 0,3832,1 OK\r\n");
    EXPECT_TRUE(dev.waitFor(asleep, kWaitMs)) << dev.ctl("state");
    EXPECT_EQ(ask(a, "#Y 1,3832\r"), "~01@Y 1,3832,1\r\n");
    size_t from = dev.journal().size();
    EXPECT_EQ(ask(a, "#Y 0,3832,1\r"), "~01@Y 0,3832,1 OK\r\n");
    EXPECT_FALSE(dev.waitFor([&] { return dev.journal().find("exeSyncOff channel=0 tmds=1", from) != std::string::npos; },
                             1000));
    EXPECT_TRUE(asleep());
    EXPECT_EQ(ask(a, "#Y 0,3832,0\r"), "~01@Y 0,3832,0 OK\r\n");
    EXPECT_TRUE(dev.waitFor([&] { return !asleep(); }, kWaitMs)) << dev.ctl("state");
    EXPECT_EQ(ask(a, "#Y 1,3832\r"), "~01@Y 1,3832,0\r\n");
    EXPECT_EQ(dev.stop(), 0);
}

TEST(ChannelControl, FreezeBlankAndModeKeysOfAControlSystem) {
    SimDevice dev;
    startAndSettle(dev);
    if (HasFatalFailure()) return;
    LoopbackTcp a(dev.tcpPort);
    auto output = [&](int n) {
        const std::string s = dev.ctl("state");
        const size_t at = s.find("output " + std::to_string(n) + " ");
        return at == std::string::npos ? "" : s.substr(at, s.find('\n', at) - at);
    };

    // Whatever held CH1's outputs muted lets go once nothing holds them.
    const std::vector<std::vector<std::string>> sequences = {
        {"3821,1", "3822,1", "3821,0", "3822,0"},
        {"3822,1", "3821,1", "3822,0", "3821,0"},
        {"384,1", "3822,1", "384,0", "3822,0"},
    };
    auto muted = [&](const char* state) {
        return dev.waitFor([&] { return output(1).ends_with(state) && output(2).ends_with(state); }, kWaitMs);
    };
    for (const auto& sets : sequences) {
        for (size_t k = 0; k < sets.size(); ++k) {
            ASSERT_EQ(ask(a, "#Y 0," + sets[k] + "\r"), "~01@Y 0," + sets[k] + " OK\r\n");
            if (k == 1) {
                EXPECT_TRUE(muted(" mute on")) << sets[0] << ", " << sets[1] << "\n" << output(1);
            }
        }
        for (const char* node : {"3821", "3822", "3823", "384"})
            EXPECT_EQ(ask(a, std::string("#Y 1,") + node + "\r"), std::string("~01@Y 1,") + node + ",0\r\n");
        EXPECT_TRUE(muted(" mute off"))
            << sets[0] << ", " << sets[1] << ", " << sets[2] << ", " << sets[3] << "\n" << output(1) << "\n" << output(2);
    }

    // The MODE key cycles the switching mode as the panel's does.
    EXPECT_EQ(ask(a, "#Y 1,930\r"), "~01@Y 1,930,0\r\n");
    for (const char* next : {"1", "2", "0"}) {
        EXPECT_EQ(ask(a, "#Y 0,930,1\r"), "~01@Y 0,930,1 OK\r\n");
        const std::string want = std::string("~01@Y 1,930,") + next + "\r\n";
        EXPECT_TRUE(dev.waitFor([&] { return ask(a, "#Y 1,930\r") == want; }, kWaitMs)) << "mode " << next;
    }
    EXPECT_TRUE(dev.waitJournal("main_task.key key=10 mode=2 param=0 source=1", kWaitMs));
    EXPECT_EQ(dev.stop(), 0);
}
