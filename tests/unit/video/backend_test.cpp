#include "core/pm.h"
#include "platform/sim/ctl.h"
#include "platform/sim/video_sim.h"
#include "scaler/output_formats.h"
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
    // What the output's transmitter sends, as the board's state shows it.
    static std::string sends(int n) {
        std::string s = board::sim::ctl::dispatch("state");
        const std::string key = "output " + std::to_string(n) + " sends ";
        size_t at = s.find(key);
        return at == std::string::npos ? "" : s.substr(at + key.size(), s.find('\n', at) - at - key.size());
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

TEST_F(BackEnd, TheNativeFormatTakesThePreferredTimingOfTheRoutedSink) {
    ASSERT_EQ(board::sim::ctl::dispatch("sink 1 on 720p60"), "OK sink 1 on 720p60");
    ASSERT_EQ(board::sim::ctl::dispatch("sink 2 dvi 1024x768@60"), "OK sink 2 dvi 1024x768@60");
    ASSERT_EQ(board::sim::ctl::dispatch("sink 4 on 1080i60"), "OK sink 4 on 1080i60");
    EXPECT_EQ(board::sim::ctl::dispatch("sink 4 on 999x1"), "ERR unknown timing '999x1'");
    struct Case {
        uint8_t route0, route1;
        int ch;
        const char* sends;  // what the channel's first output sends
        uint16_t width, height;
        uint32_t clockKHz;
    } cases[] = {
        {0, 0, 0, "1280x720 74250 kHz rgb 24-bit", 1280, 720, 74250},      // HDMI1
        {1, 0, 0, "1024x768 65000 kHz rgb 24-bit", 1024, 768, 65000},      // HDBT1
        {0, 1, 1, "1920x1080i 74250 kHz rgb 24-bit", 1920, 1080, 74250},   // HDBT2
        {0, 0, 1, "1920x1080 148500 kHz rgb 24-bit", 1920, 1080, 148500},  // HDMI2: the default sink
        {0, 2, 1, "1280x720 74250 kHz rgb 24-bit", 1280, 720, 74250},      // output 2 follows output 1: HDMI1
        {2, 2, 0, "1920x1080 148500 kHz rgb 24-bit", 1920, 1080, 148500},  // no connector: the table's timing
    };
    for (const Case& c : cases) {
        PM.OUTPUT_CH[0] = c.route0;
        PM.OUTPUT_CH[1] = c.route1;
        set_output_timing(c.ch, 0);
        EXPECT_EQ(sends(2 * c.ch + 1), c.sends) << int{c.route0} << int{c.route1};
        EXPECT_EQ(sends(2 * c.ch + 2), c.sends) << "both outputs of the channel";
        EXPECT_EQ(PS_PANELACTHW[c.ch], c.width);
        EXPECT_EQ(PS_PANELACTVW[c.ch], c.height);
        EXPECT_EQ(outputTiming(c.ch).pixelClockKHz, c.clockKHz) << "the clock the scaler sets";
    }
    PM.OUTPUT_CH[0] = PM.OUTPUT_CH[1] = 0;
    set_output_timing(0, 1);
    EXPECT_EQ(sends(1), "640x480 25175 kHz rgb 24-bit") << "a fixed format does not look at the sink";
    ASSERT_EQ(board::sim::ctl::dispatch("sink 1 off"), "OK sink 1 off");
    set_output_timing(0, 0);
    EXPECT_EQ(sends(1), "1920x1080 148500 kHz rgb 24-bit") << "without a sink: the table's timing";
}

TEST_F(BackEnd, ColourFormatAndDepthReachEachSinkAsFarAsItsEdidAnnouncesThem) {
    ASSERT_EQ(board::sim::ctl::dispatch("sink 2 dvi"), "OK sink 2 dvi");
    ASSERT_EQ(board::sim::ctl::dispatch("sink 3 badedid"), "OK sink 3 badedid");
    EXPECT_TRUE(backEnd_poll());
    struct Case {
        int deep, space;
        const char* hdmi;
    } cases[] = {
        {0, 0, "- rgb 24-bit"}, {1, 0, "- rgb 36-bit"}, {1, 1, "- ycbcr444 36-bit"}, {0, 2, "- ycbcr422 24-bit"},
    };
    for (const Case& c : cases) {
        backEnd_setDeepColor(c.deep);
        backEnd_setColorSpace(c.space);
        EXPECT_EQ(sends(1), c.hdmi) << c.deep << c.space;
        EXPECT_EQ(sends(4), c.hdmi);
        EXPECT_EQ(sends(2), "- rgb 24-bit") << "a DVI sink takes RGB at 24 bits";
        EXPECT_EQ(sends(3), "- rgb 24-bit") << "so does a sink whose EDID cannot be read";
    }
    ASSERT_EQ(board::sim::ctl::dispatch("sink 2 on"), "OK sink 2 on");
    EXPECT_TRUE(backEnd_poll());
    EXPECT_EQ(sends(2), "- ycbcr422 24-bit") << "a sink that comes later gets what was asked";
}
