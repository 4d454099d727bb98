#include "core/pm.h"
#include "platform/sim/ctl.h"
#include "platform/sim/video_sim.h"
#include "support/temp_board.h"
#include "video/backend.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class BackEnd : public ::testing::Test {
protected:
    void SetUp() override {
        PM = PMRec{};
        board::sim::video::registerControl();
        backEnd_init();
    }
    // The output's line of the board's video state.
    static std::string output(int n) {
        std::string s = board::sim::ctl::dispatch("state");
        size_t at = s.find("output " + std::to_string(n) + " ");
        return at == std::string::npos ? "" : s.substr(at, s.find('\n', at) - at);
    }
    hx40test::TempBoard board;
};

}  // namespace

TEST_F(BackEnd, MuteActsOnBothOutputsOfTheChannelAndUnmuteHonoursPm) {
    backEnd_MuteCtl(1, 0, "test", 1);
    EXPECT_EQ(output(3), "output 3 sink on edid valid tmds on 5v on mute on");
    EXPECT_EQ(output(4), "output 4 sink on edid valid tmds on 5v on mute on");
    EXPECT_EQ(output(1), "output 1 sink on edid valid tmds on 5v on mute off");
    struct Case {
        const char* name;
        uint8_t mute, freeze, blank, pattern;
        const char* after;
    } cases[] = {
        {"muted", 1, 0, 0, 0, "on"},
        {"frozen", 0, 1, 0, 0, "on"},
        {"a blanked test pattern", 0, 0, 1, 2, "on"},
        {"blanked: blacked out, not muted", 0, 0, 1, 0, "off"},
        {"free", 0, 0, 0, 0, "off"},
    };
    for (const Case& c : cases) {
        backEnd_MuteCtl(1, 0, "test", 2);
        PM.MUTE[1] = c.mute, PM.FREEZE[1] = c.freeze, PM.BLANK[1] = c.blank, PM.TEST_PATTERN[1] = c.pattern;
        backEnd_MuteCtl(1, 1, "test", 2);
        EXPECT_EQ(output(3), std::string("output 3 sink on edid valid tmds on 5v on mute ") + c.after) << c.name;
    }
}

TEST_F(BackEnd, SinksAndTheirEdids) {
    EXPECT_EQ(isEdidValid(0), 1);
    EXPECT_EQ(board::sim::ctl::dispatch("sink 1 badedid"), "OK sink 1 badedid");
    EXPECT_EQ(isEdidValid(0), 0);
    EXPECT_EQ(board::sim::ctl::dispatch("sink 2 off"), "OK sink 2 off");
    EXPECT_EQ(isEdidValid(1), 0);
    EXPECT_EQ(isEdidValid(7), 0);
    EXPECT_TRUE(backEnd_poll());
    EXPECT_EQ(dsRxPoweredUp[1].load(), 0);
    EXPECT_EQ(dsRxPoweredUp[0].load(), 1);
    EXPECT_FALSE(backEnd_poll());
    backEnd_outputPower(0, 0, 0);
    EXPECT_EQ(output(1), "output 1 sink on edid bad tmds off 5v off mute off");
    EXPECT_EQ(output(3), "output 3 sink on edid valid tmds on 5v on mute off");
    SI9136_init_all();
    EXPECT_EQ(output(2), "output 2 sink off edid valid tmds on 5v on mute off");
}
