// The input, scan and aspect, and customised output window items of both
// channel pages: what each action does to the channels (the operations'
// journal lines, PM), and what their screens say.
#include "unit/menu/channel_fixture.h"

#include "core/pm_store.h"
#include "menu/channel_input_pages.h"
#include "menu/channel_pages.h"
#include "menu/menu_engine.h"
#include "scaler/output_formats.h"
#include "sys/frontpanel.h"
#include "sys/timeutil.h"

namespace hx40test {
namespace {

using Lines = std::vector<std::string>;

class ChannelInput : public ChannelPageTest {
protected:
    void reset() override {
        ChannelPageTest::reset();
        PS_PANELACTHW[0] = 1920, PS_PANELACTVW[0] = 1080;
        PS_PANELACTHW[1] = 1280, PS_PANELACTVW[1] = 720;
        gAudioPowerUpInitFlag[0] = gAudioPowerUpInitFlag[1] = 0;
        vp.chData[0].vidInput = 0;
        vp.chData[1].vidInput = 0;
    }
    // Runs a node's action as the protocol does: the thread on the node's channel.
    static void act(int node) {
        Channel = channelOfNode(node);
        runFuncInd(row(node));
    }
    Lines calls() const {
        return withoutLines(journal({"blackout", "confNewVideo", "ledsOnManager", "scaler.build_picture",
                                     "scaler.blankBetweenStates", "handleFreeze", "handleBlank", "pending func",
                                     "get_win_cust_of_all_windows",
                                     "p7kEvForceAnnounceInt"}));
    }
};

TEST_F(ChannelInput, ActionsOfTheInputAndScanItems) {
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        Lines calls;
    } cases[] = {
        {"re-selecting the shown input from the menu does nothing", 31,
         [] {
             vp.chData[0].vidInput = 2;
             PM.SEL_INPUT[0] = 3;
         },
         {}},
        {"the same from a protocol command re-applies it", 31,
         [] {
             vp.chData[0].vidInput = 2;
             PM.SEL_INPUT[0] = 3;
             y_cmd_start = 1;
         },
         {"blackout force=0 channel=0 act=1 caller=func31", "ledsOnManager channel=0 video=3 audio=3 mode=0",
          "confNewVideo channel=0 vidInput=2"}},
        {"channel 2 takes input 5", 41, [] { PM.SEL_INPUT[1] = 5; },
         {"blackout force=0 channel=1 act=1 caller=func31", "ledsOnManager channel=1 video=5 audio=5 mode=0",
          "confNewVideo channel=1 vidInput=4"}},
        {"a 4K output blacks out both channels", 31,
         [] {
             PM.SEL_INPUT[0] = 2;
             PM.OUTPUT_RES_SEL[1] = 42;
         },
         {"blackout force=0 channel=2 act=1 caller=func31", "ledsOnManager channel=0 video=2 audio=2 mode=0",
          "confNewVideo channel=0 vidInput=1"}},
        {"a blanked channel blanks its outputs, then blank and freeze are lifted", 31,
         [] {
             PM.SEL_INPUT[0] = 2;
             PM.BLANK[0] = 1;
             PM.FREEZE[0] = 1;
         },
         {"blackout force=0 channel=0 act=1 caller=func31", "ledsOnManager channel=0 video=2 audio=2 mode=0",
          "confNewVideo channel=0 vidInput=1", "scaler.blankBetweenStates ch=0 on=1 caller=func31 blackout=1",
          "handleFreeze channel=0 value=0 (released)", "scaler.build_picture ch=0 caller=func3821 input=2",
          "handleBlank channel=0 value=0 (released)", "blackout force=1 channel=0 act=2 caller=func3822"}},
        {"two overlay windows keep the outputs open", 41,
         [] {
             PM.SEL_INPUT[1] = 2;
             PM.BLANK[1] = 1;
             PM.DISPLAY_MODE = 1;
             PM.DWINDOW = 2;
         },
         {"blackout force=0 channel=1 act=1 caller=func31", "ledsOnManager channel=1 video=2 audio=2 mode=0",
          "confNewVideo channel=1 vidInput=1", "handleBlank channel=1 value=0 (released)",
          "blackout force=1 channel=1 act=2 caller=func3822"}},
        {"scan", 321, [] { PM.SEL_INPUT[0] = 3; },
         {"scaler.build_picture ch=0 caller=func321 input=3", "get_win_cust_of_all_windows which=0"}},
        {"overscan of channel 2", 422, [] { PM.SEL_INPUT[1] = 7; },
         {"scaler.build_picture ch=1 caller=func322 input=7", "get_win_cust_of_all_windows which=1"}},
        {"manual aspect mode announces the aspect values", 323,
         [] {
             PM.RATIO_SHIFT_MODE[0] = 1;
             PM.RATIO[0] = 133;
             PM.IACTHST[0] = 44;
             PM.IACTVST[0] = 21;
         },
         {"scaler.build_picture ch=0 caller=func323 input=0", "confNewVideo channel=0 vidInput=0",
          "get_win_cust_of_all_windows which=0", "p7kEvForceAnnounceInt function=324 value=133 channel=0",
          "p7kEvForceAnnounceInt function=325 value=44 channel=0", "p7kEvForceAnnounceInt function=326 value=21 channel=0"}},
        {"channel 2's aspect mode while its audio starts: no re-routing", 423,
         [] {
             PM.RATIO_SHIFT_MODE[1] = 2;
             PM.RATIO[1] = 4000;
             PM.IACTHST[1] = 729;
             PM.IACTVST[1] = 4;
             gAudioPowerUpInitFlag[1] = 1;
         },
         {"scaler.build_picture ch=1 caller=func323 input=0", "get_win_cust_of_all_windows which=1",
          "p7kEvForceAnnounceInt function=424 value=4000 channel=0",
          "p7kEvForceAnnounceInt function=425 value=729 channel=0", "p7kEvForceAnnounceInt function=426 value=4 channel=0"}},
        {"aspect value", 324, [] {},
         {"scaler.build_picture ch=0 caller=func324 input=0", "get_win_cust_of_all_windows which=0"}},
        {"a frozen picture is not rebuilt", 425, [] { PM.FREEZE[1] = 1; }, {"get_win_cust_of_all_windows which=1"}},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        act(c.node);
        EXPECT_EQ(calls(), c.calls) << c.name;
    }
}

TEST_F(ChannelInput, ADelayedInputChangeActsOnItsOwnChannel) {
    // CH2's new input waits its second while the menu went on to page 3.
    PM.SEL_INPUT[1] = 3;
    st_num = 3;
    Channel = 0;
    stLoop_proc({KEY_DELAYED_ACTION, 0, static_cast<uint32_t>(row(41))});
    const Lines done = calls();
    EXPECT_TRUE(std::find(done.begin(), done.end(), "confNewVideo channel=1 vidInput=2") != done.end())
        << ::testing::PrintToString(done);
    EXPECT_EQ(vp.chData[0].vidInput, 0) << "channel 1 keeps its input";
}

TEST_F(ChannelInput, AutomaticAspectModeWaitsASecondBeforeItsAnnouncements) {
    PM.RATIO_SHIFT_MODE[0] = 0;
    const uint32_t t0 = getCurrMsCount();
    act(323);
    EXPECT_GE(getElapsedMs(t0), 1000u);
    EXPECT_EQ(journal({"p7kEvForceAnnounceInt"}).size(), 3u);
}

TEST_F(ChannelInput, ScanUnderCustomisedWindowsWarnsOnceThenLeavesThem) {
    vp.gFlags = VP_GFLAG_MENU_OPEN | VP_GFLAG_CUSTOMIZED_WIN;
    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 4;
    st_num = 321;
    stLoop_proc({KEY_DOWN, 0, 0});
    EXPECT_TRUE(has(coloured(chip().visibleTexts(0)), "335,106 199/255 WARNING: Customization Loss!"));
    EXPECT_EQ(PM.SCAN[0], 1);
    EXPECT_EQ(PM.DWINDOW, 4) << "the first change only warns";
    EXPECT_EQ(calls(), Lines{});
    stLoop_proc({KEY_DOWN, 0, 0});
    EXPECT_FALSE(hasText(coloured(chip().visibleTexts(0)), "WARNING: Customization Loss!"));
    EXPECT_EQ(PM.DWINDOW, 0);
    // The layout's window action leaves the customised layout: both pictures rebuilt.
    const Lines windows = calls();
    EXPECT_TRUE(std::find(windows.begin(), windows.end(), "scaler.build_picture ch=1 caller=func23 input=0") !=
                windows.end())
        << ::testing::PrintToString(windows);
}

TEST_F(ChannelInput, ScanScreenForcesFollowingOffWhereItCannotWork) {
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        const char* message;  // "x,y text" at y 106, or nothing
        uint8_t scan;
    } cases[] = {
        {"channel 2 in single window", 421,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.DWINDOW = 0;
         },
         "344,106 Ineffective In Single Window", 0},
        {"two overlay windows", 321,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.DWINDOW = 3;
         },
         "360,106 Follow Output Only", 1},
        {"another display mode", 421, [] { PM.DISPLAY_MODE = 2; }, "360,106 Follow Output Only", 1},
        {"an input window that fits", 321,
         [] {
             PM.IWIN_HW[0] = 1920;
             PM.IWIN_VW[0] = 1080;
         },
         nullptr, 0},
        {"channel 2 scaled to the output keeps its value", 421,
         [] {
             PM.SCAN[1] = 2;
             PM.IWIN_HW[1] = 1920;
         },
         nullptr, 2},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        Lines warnings;
        for (const std::string& t : drawn(c.node))
            if (t.find(",106 ") != std::string::npos) warnings.push_back(t);
        EXPECT_EQ(warnings, c.message ? Lines{c.message} : Lines{}) << c.name;
        EXPECT_EQ(PM.SCAN[c.node / 100 == 4 ? 1 : 0], c.scan) << c.name;
    }
}

TEST_F(ChannelInput, AnInputTooBigToFollowIsSaidForASecond) {
    PM.IWIN_HW[1] = 1920;  // channel 2's output is 1280 wide
    const uint32_t t0 = getCurrMsCount();
    const Lines texts = drawn(421);
    EXPECT_GE(getElapsedMs(t0), 1000u);
    EXPECT_EQ(PM.SCAN[1], 1);
    EXPECT_TRUE(has(texts, "342,106 Input Too Big To Follow"));
    EXPECT_EQ(texts.back(), "335,106 " + std::string(28, ' ')) << "a second later the message is wiped";
    const auto shown = placedOnly(coloured(chip().visibleTexts(0)));
    EXPECT_FALSE(hasText(shown, "Input Too Big To Follow"));
    EXPECT_TRUE(has(shown, "330,234 Follow Output")) << "the list shows the forced value";
}

TEST_F(ChannelInput, AspectValueScreensSayWhyAValueHasNoEffect) {
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        Lines lines;  // warnings at y 106 and 138
    } cases[] = {
        {"ratio in automatic mode", 324, [] {}, {"346,138 Ineffective in Auto Mode."}},
        {"ratio in 4K is at least 60", 324,
         [] {
             PM.RATIO_SHIFT_MODE[0] = 1;
             PM.RATIO[0] = 8;
             PM.OUTPUT_RES_SEL[0] = 42;
         },
         {"348,138 Limited to 60 in 4k2k30."}},
        {"frozen ratio", 424, [] { PM.FREEZE[1] = 1; }, {"342,106 Ineffective in Freeze Mode"}},
        {"channel 2 ratio in single window", 424,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.FREEZE[1] = 1;
         },
         {"344,106 Ineffective In Single Window"}},
        {"horizontal start in automatic mode", 325, [] {}, {"320,138 Volatile Parameter in Auto Mode."}},
        {"vertical start: the single-window line hides nothing", 426, [] { PM.DISPLAY_MODE = 1; },
         {"344,106 Ineffective In Single Window", "320,138 Volatile Parameter in Auto Mode."}},
        {"aspect mode: freeze line, list, single-window line", 423,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.FREEZE[1] = 1;
         },
         {"342,106 Ineffective in Freeze Mode", "344,106 Ineffective In Single Window"}},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        Lines lines;
        for (const std::string& t : drawn(c.node))
            if (t.find(",106 ") != std::string::npos || t.find(",138 ") != std::string::npos)
                if (!t.starts_with("330,")) lines.push_back(t);
        EXPECT_EQ(lines, c.lines) << c.name;
    }
    reset();
    PM.RATIO[0] = 20;
    PM.OUTPUT_RES_SEL[0] = 42;
    screen(324);
    EXPECT_EQ(PM.RATIO[0], 60);
}

struct Window {
    uint16_t hst, hw, vst, vw;
    bool operator==(const Window&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Window& w) {
    return o << w.hst << "," << w.hw << "," << w.vst << "," << w.vw;
}
Window windowOf(int ch) { return {PM.OWIN_HST[ch], PM.OWIN_HW[ch], PM.OWIN_VST[ch], PM.OWIN_VW[ch]}; }
void setWindow(int ch, Window w) {
    PM.OWIN_HST[ch] = w.hst, PM.OWIN_HW[ch] = w.hw, PM.OWIN_VST[ch] = w.vst, PM.OWIN_VW[ch] = w.vw;
}

TEST_F(ChannelInput, OutputWindowItemsMoveToTheCustomisedLayout) {
    struct Case {
        const char* name;
        int node;
        bool direct;  // the page-3 action called with the thread on the node's channel
        uint8_t displayMode, dwindow;
        bool customised;
        void (*setup)();
        uint8_t dwindowAfter;
        uint32_t flagsAfter;
        Lines calls;
        Window ch1, ch2;
    } cases[] = {
        {"opening 331 in overlay mode: the stored windows, layout 4", 331, false, 1, 0, false, [] {}, 4, 0x805,
         {"p7kEvForceAnnounceInt function=23 value=4 channel=0", "scaler.build_picture ch=0 caller=customWindow input=0",
          "get_win_cust_of_all_windows which=2"},
         {100, 1500, 50, 600},
         {1000, 600, 100, 400}},
        {"transition mode: nothing", 334, false, 0, 0, false, [] {}, 0, 0x1, {}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"4K output: nothing", 333, false, 1, 1, false, [] { PM.OUTPUT_RES_SEL[0] = 42; }, 1, 0x1, {}, {0, 0, 0, 0},
         {0, 0, 0, 0}},
        {"431 in single window: nothing", 431, false, 1, 4, true, [] {}, 4, 0x5, {}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"channel 2 from one window stays in layout 0", 331, true, 1, 0, false, [] { Channel = 1; }, 0, 0x5,
         {"p7kEvForceAnnounceInt function=23 value=0 channel=0", "get_win_cust_of_all_windows which=2"},
         {100, 1500, 50, 600},
         {1000, 600, 100, 400}},
        {"channel 2's width takes layout 4 from one window", 332, true, 1, 0, false, [] { Channel = 1; }, 4, 0x805,
         {"p7kEvForceAnnounceInt function=23 value=4 channel=0", "scaler.build_picture ch=1 caller=customWindow input=0",
          "get_win_cust_of_all_windows which=1"},
         {100, 1500, 50, 600},
         {1000, 280, 100, 400}},
        {"two windows: layout 5, each window kept on its own output", 432, false, 1, 2, false, [] {}, 5, 0x805,
         {"p7kEvForceAnnounceInt function=23 value=5 channel=0", "scaler.build_picture ch=1 caller=customWindow input=0",
          "scaler.build_picture ch=0 caller=customWindow input=0", "get_win_cust_of_all_windows which=1"},
         {100, 1500, 50, 600},
         {1000, 280, 100, 400}},
        {"channel 2's start ends channel 1's test pattern", 431, false, 1, 5, true,
         [] {
             PM.TEST_PATTERN[0] = 2;
             setWindow(0, {100, 1500, 50, 600});
             setWindow(1, {1200, 600, 100, 400});
         },
         5, 0x805,
         {"scaler.build_picture ch=1 caller=customWindow input=0", "scaler.build_picture ch=0 caller=customWindow input=0",
          "get_win_cust_of_all_windows which=2", "p7kEvForceAnnounceInt function=384 value=0 channel=0",
          "p7kEvForceAnnounceInt function=484 value=0 channel=1"},
         {100, 1500, 50, 600},
         {680, 600, 100, 400}},
    };
    for (const Case& c : cases) {
        reset();
        setWindow(0, {100, 1500, 50, 600});
        setWindow(1, {1000, 600, 100, 400});
        ASSERT_EQ(eepromSaveCustWinData(), 0);
        setWindow(0, {});
        setWindow(1, {});
        PM.DISPLAY_MODE = c.displayMode;
        PM.DWINDOW = c.dwindow;
        if (c.customised) vp.gFlags |= VP_GFLAG_CUSTOMIZED_WIN;
        c.setup();
        mark();
        if (c.direct) {
            const int ch = Channel;
            runFuncInd(row(c.node));
            EXPECT_EQ(Channel, ch) << c.name;
        } else {
            act(c.node);
            EXPECT_EQ(Channel, c.node / 100 == 4 ? 1 : 0) << c.name;
        }
        EXPECT_EQ(PM.DWINDOW, c.dwindowAfter) << c.name;
        EXPECT_EQ(vp.gFlags.load(), c.flagsAfter) << c.name;
        EXPECT_EQ(calls(), c.calls) << c.name;
        EXPECT_EQ(windowOf(0), c.ch1) << c.name;
        EXPECT_EQ(windowOf(1), c.ch2) << c.name;
        EXPECT_EQ(PM.TEST_PATTERN[0], 0) << c.name;
    }
}

TEST_F(ChannelInput, AProtocolWindowChangeWithTheMenuOnTheOtherChannel) {
    // The menu stands on channel 1's window page; a control system moves
    // channel 2's window (the engine runs these items before their screens).
    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 5;
    vp.gFlags = VP_GFLAG_MENU_OPEN | VP_GFLAG_CUSTOMIZED_WIN;
    st_num = 33;
    Channel = 0;
    gProtFuncNum = 432;
    stLoop_proc({KEY_RUN_PROTOCOL_NODE, 0, 0});
    EXPECT_EQ(journal({"get_win_cust_of_all_windows"}), Lines{"get_win_cust_of_all_windows which=1"});
}

TEST_F(ChannelInput, OpeningAnOutputWindowItem) {
    PM.OWIN_HW[0] = 900;
    ASSERT_EQ(eepromSaveCustWinData(), 0);
    PM.DISPLAY_MODE = 0;
    EXPECT_TRUE(has(placedOnly(screen(332)), "328,106 Ineffective in Transition Mode"));
    EXPECT_EQ(vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN, 0u);

    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 0;
    PM.OWIN_HW[0] = 0;
    const auto shown = placedOnly(screen(332));
    EXPECT_EQ(PM.DWINDOW, 4) << "the screen ran the item's action";
    EXPECT_NE(vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN, 0u);
    EXPECT_FALSE(hasText(shown, "Ineffective in Transition Mode"));
    EXPECT_TRUE(has(shown, "530,228  0900")) << ::testing::PrintToString(shown);

    PM.OUTPUT_RES_SEL[0] = 42;
    PM.OWIN_HW[0] = 1920;
    EXPECT_TRUE(has(placedOnly(screen(332)), "530,228  3840")) << "in 4K the width shows doubled";
}

}  // namespace
}  // namespace hx40test
