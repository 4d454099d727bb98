// The Layout pages: their screens and warnings, the routing that applies on
// ENTER only, the output-resolution browser and the CNV requests it leads
// to, the take, the display mode and window layout actions, the T-bar.
#include "unit/menu/pages_fixture.h"

#include "platform/sim/hw_sim.h"

#include "core/osd_timer.h"
#include "menu/channel_input_pages.h"
#include "menu/pages_layout.h"
#include "platform/hw.h"
#include "sys/eeprom.h"
#include "sys/gpio.h"

#include <thread>

namespace hx40test {
namespace {

using ::testing::Contains;
using ::testing::IsSupersetOf;
using ::testing::Not;

class LayoutPages : public Pages {
protected:
    void SetUp() override {
        Pages::SetUp();
        PM.TRANS_SPEED = 5;
    }
    static void formats(int out0, int out1, int fixed0, int fixed1) {
        PM.OUTPUT_RES_SEL[0] = static_cast<uint8_t>(out0);
        PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(out1);
        vp.outFrmt[0] = static_cast<uint8_t>(out0);
        vp.outFrmt[1] = static_cast<uint8_t>(out1);
        vp.fixedOutFrmt[0] = static_cast<uint8_t>(fixed0);
        vp.fixedOutFrmt[1] = static_cast<uint8_t>(fixed1);
    }
    // CNV requests as "code/channel".
    static std::vector<std::string> conversions() {
        std::vector<std::string> out;
        for (const _EXMSG& m : drain(E_EXMSG_TYPE_CNV)) out.push_back(std::to_string(m.key) + "/" + std::to_string(m.mode >> 8));
        return out;
    }
};

TEST_F(LayoutPages, ScreensAndTheirWarnings) {
    struct Case {
        const char* note;
        int node, mode, layout, out0, out1, effect;
        std::vector<std::string> want;
    } cases[] = {
        {"transition page, outputs differ: no take", 22, 0, 0, 5, 9, 2,
         {"320,12 0/255 Layout", "344,42 255/252 Transition", "330,202 255/252 Speed", "330,298 0/255 Direction",
          "330,330 199/255 Take"}},
        {"transition page in overlay mode", 22, 1, 0, 5, 5, 2,
         {"342,106 199/255 Ineffective in Overlay Mode", "330,330 0/255 Take"}},
        {"direction of effect 0", 224, 0, 0, 5, 5, 0, {"330,138 199/255 Not Available For This Effect"}},
        {"diagonal directions", 224, 0, 0, 5, 5, 2,
         {"320,12 0/255 Transition", "344,42 255/252 Direction", "330,202 255/252 Top Left",
          "330,298 0/255 Bottom Right"}},
        {"chess directions", 224, 1, 0, 5, 5, 9,
         {"342,106 199/255 Ineffective in Overlay Mode", "330,202 255/252 Small", "330,266 0/255 Large"}},
        {"layout in transition mode", 23, 0, 0, 5, 5, 0, {"332,106 199/255 Ineffective in Transition Mode"}},
        {"layout with a 4K output", 23, 1, 0, 42, 42, 0,
         {"340,106 199/255 One Window Only in 4k2k30", "330,170 255/252 Single Window",
          "330,202 199/255 Picture In Picture", "330,330 199/255 Custom Dual"}},
        {"layout, outputs differ", 23, 1, 0, 5, 9, 0,
         {"330,266 199/255 Top And Bottom", "330,298 0/255 Custom Single", "330,330 199/255 Custom Dual"}},
        {"display mode in 4K is overlay only", 21, 0, 0, 42, 42, 0,
         {"355,106 199/255 Overlay Mode Only", "330,266 255/252 Overlay Mode"}},
        {"resolution page in overlay mode", 241, 1, 0, 5, 5, 0,
         {"330,234 199/255 Output 1", "330,266 199/255 Output 2", "330,298 255/252 Both Outputs"}},
        {"routing of output 2 while output 1 follows", 2422, 0, 0, 5, 5, 0,
         {"320,106 199/255 Pressing Enter Resets Resolution", "320,12 0/255 Routing", "344,42 255/252 Output 2",
          "330,266 0/255 HDBaseT", "330,298 199/255 Follow Output"}},
    };
    for (const Case& c : cases) {
        PM.DISPLAY_MODE = static_cast<uint8_t>(c.mode);
        PM.DWINDOW = static_cast<uint8_t>(c.layout);
        PM.TRANS_EFFECT = static_cast<uint8_t>(c.effect);
        PM.OUTPUT_CH[0] = 2;
        PB_22 = PB_241 = 0;
        formats(c.out0, c.out1, c.out0, c.out1);
        screen(c.node);
        EXPECT_THAT(shown(), IsSupersetOf(c.want)) << c.note;
        osd_swap();
    }
    EXPECT_EQ(in_tbar_process_flag, 1);
    screen(24);
    EXPECT_EQ(output_sel, 255);
}

TEST_F(LayoutPages, RoutingShowsAChoiceAndAppliesItOnEnter) {
    st_num = 242;
    PB_242 = 1;
    key(1);  // ENTER on "Output 2"
    EXPECT_EQ(st_num, 2422);
    key(2);  // the next choice: shown only
    EXPECT_EQ(PM.OUTPUT_CH[1], 1);
    EXPECT_EQ(st_num, 2422);
    EXPECT_TRUE(conversions().empty());
    EXPECT_FALSE(journalHas("scaler.build_picture"));
    EXPECT_THAT(shown(), Contains("330,266 255/252 HDBaseT"));

    key(1);  // ENTER on the item: applied
    EXPECT_EQ(conversions(), std::vector<std::string>{"1/1"}) << "output 2 is native";
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2422 value=1 channel=1"));
    EXPECT_TRUE(journalHas("scaler.build_picture ch=0 caller=rebuildPictures"));
    EXPECT_TRUE(journalHas("scaler.build_picture ch=1 caller=rebuildPictures"));
    EXPECT_TRUE(journalHas("get_win_cust_of_all_windows which=2"));
    EXPECT_TRUE(drew("Setting Native Resolution...", 340, 394, 199));
    EXPECT_EQ(st_num, 2422);

    // In the overlay mode output 1's routing makes output 2 follow it.
    PM.DISPLAY_MODE = 1;
    vp.fixedOutFrmt[0] = 5;
    vp.gFlags = 0;
    EXPECT_EQ(setByProtocol("0,2421,1"), 5);
    EXPECT_EQ(PM.OUTPUT_CH[1], 2);
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2422 value=2 channel=1"));
    EXPECT_TRUE(conversions().empty()) << "output 1 has a fixed format";
}

TEST_F(LayoutPages, ResolutionBrowser) {
    struct Case {
        const char* note;
        int cursor;  // 241's item: 2411, 2412, 2413
        int out0, out1, fixed0, fixed1;
        std::vector<int> keys;
        int end0, end1, endFixed0, endFixed1;
        std::vector<std::string> cnv;
        int endNode;
        int prev0, prev1;  // previous formats stored (-1: not written)
    } cases[] = {
        {"4K for output 1 takes output 2 along, one request", 0, 5, 5, 5, 5, {2, 2, 2, 2, 2, 2, 1}, 42, 42, 42, 42,
         {"1/2"}, 999, 5, 5},
        {"MENU puts the format back", 0, 5, 5, 5, 5, {3, 3, 0}, 5, 5, 5, 5, {}, 241, -1, -1},
        {"ENTER on the format in use fixes it", 0, 7, 7, 0, 7, {3, 3, 3, 3, 3, 3, 3, 1}, 7, 7, 7, 7, {}, 241, -1, -1},
        {"output 2 leaving 4K takes output 1 along", 1, 42, 42, 42, 42, {2, 1}, 41, 41, 41, 41, {"1/2"}, 999, 42, 42},
        {"output 2 alone", 1, 5, 9, 5, 9, {3, 1}, 5, 10, 5, 10, {"1/1"}, 999, -1, 9},
        {"both outputs to output 1's format", 2, 5, 9, 5, 9, {1}, 5, 5, 5, 5, {"1/2"}, 999, 5, 9},
    };
    for (const Case& c : cases) {
        formats(c.out0, c.out1, c.fixed0, c.fixed1);
        board_->write("sim/journal.log", "");
        const uint8_t blank[2] = {0xFF, 0xFF};
        ASSERT_EQ(eepromWrite(0x7EB3, 2, blank), 0);
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        st_num = 241;
        PB_241 = c.cursor;
        for (int k : c.keys) queueKeys({k});
        key(1);
        EXPECT_EQ(PM.OUTPUT_RES_SEL[0], c.end0) << c.note;
        EXPECT_EQ(PM.OUTPUT_RES_SEL[1], c.end1) << c.note;
        EXPECT_EQ(vp.fixedOutFrmt[0], c.endFixed0) << c.note;
        EXPECT_EQ(vp.fixedOutFrmt[1], c.endFixed1) << c.note;
        EXPECT_EQ(conversions(), c.cnv) << c.note;
        EXPECT_EQ(st_num, c.endNode) << c.note;
        EXPECT_EQ((vp.gFlags & VP_GFLAG_MENU_OPEN) != 0, c.endNode != 999) << c.note;
        EXPECT_EQ(vp.gFlags & VP_GFLAG_MODAL_KEYS, 0u) << c.note;
        EXPECT_EQ(eepromAt(0x7EB3), c.prev0 < 0 ? 0xFF : c.prev0) << c.note;
        EXPECT_EQ(eepromAt(0x7EB4), c.prev1 < 0 ? 0xFF : c.prev1) << c.note;
        if (c.endNode == 241) {
            EXPECT_THAT(shown(), Contains("344,42 255/252 Resolution")) << c.note;
        }
        osd_swap();
    }
    EXPECT_TRUE(journalHas("scaler.osdDispOutput format=5 colour=0"));
}

TEST_F(LayoutPages, ResolutionBrowserTakesInputKeysAndRefusesOthers) {
    formats(5, 5, 5, 5);
    st_num = 241;
    queueKeys({17}, 1);  // input 3 of CH1, sent by the protocol
    queueKeys({10, 3, 0});
    key(1);
    EXPECT_TRUE(journalHas("switchAFV channel=0 input=2"));
    EXPECT_TRUE(drew("   Ineffective Keystroke", 340, 330, 199));
    EXPECT_TRUE(journalHas("scaler.osdDispOutput format=6 colour=199"));
    EXPECT_EQ(PM.OUTPUT_RES_SEL[0], 5);
    EXPECT_EQ(st_num, 241);
}

TEST_F(LayoutPages, ResolutionBrowserTimeOutRestoresTheFormats) {
    formats(5, 9, 5, 9);
    st_num = 241;
    PB_241 = 2;
    queueKeys({3, 3});
    std::thread timer([] {
        Sleep(400);
        exitOsdMenu();
    });
    key(1);
    timer.join();
    EXPECT_EQ(PM.OUTPUT_RES_SEL[0], 5);
    EXPECT_EQ(PM.OUTPUT_RES_SEL[1], 9);
    EXPECT_EQ(st_num, 241) << "997, left by the action";
    EXPECT_EQ(gBreakOutComplexOsd, BREAKOUT_NONE);
    EXPECT_TRUE(conversions().empty());
    pumpSteps();
    EXPECT_EQ(st_num, kNodeClosed);
    EXPECT_FALSE(windowOn());
}

TEST_F(LayoutPages, AProtocolFormatWithTheMenuClosedIsAppliedWithoutTheBrowser) {
    formats(5, 5, 5, 5);
    vp.gFlags = 0;
    EXPECT_EQ(setByProtocol("0,2411,42"), 5);
    EXPECT_EQ(PM.OUTPUT_RES_SEL[1], 42);
    EXPECT_EQ(conversions(), std::vector<std::string>{"1/2"});
    EXPECT_EQ(eepromAt(0x7EB3), 0xFF) << "previous formats only from the menu";
    EXPECT_TRUE(journalHas("changeModeToSingleWindowIf_4k format=42 flag=1"));
    EXPECT_EQ(PM.DISPLAY_MODE, 1);
}

TEST_F(LayoutPages, TakeFromTheMenu) {
    struct Case {
        int mode;
        uint32_t flags;
        bool taken;
    } cases[] = {{0, 0, true}, {1, 0, false}, {0, VP_GFLAG_TRANSITION, false}};
    for (const Case& c : cases) {
        PM.DISPLAY_MODE = static_cast<uint8_t>(c.mode);
        vp.gFlags = VP_GFLAG_MENU_OPEN | c.flags;
        st_num = 22;
        PB_22 = 4;
        key(1);
        const auto keys = drain(E_EXMSG_TYPE_KEYPAD);
        EXPECT_EQ(keys.size(), c.taken ? 1u : 0u) << c.mode;
        if (c.taken) {
            EXPECT_EQ(keys[0].key, 1);
            EXPECT_EQ(keys[0].source, 1);
            EXPECT_EQ(st_num, kNodeClosed);
            EXPECT_FALSE(windowOn());
        } else {
            EXPECT_EQ(st_num, 22) << "the page stays";
        }
    }
}

TEST_F(LayoutPages, EffectDirectionAndOutputRequests) {
    PM.TRANS_EFFECT = 3;
    PM.TRANS_DIR = 2;
    func223(0);
    EXPECT_EQ(PM.TRANS_DIR, 0);
    EXPECT_TRUE(journalHas("webLockAnnounce n=5"));
    PM.TRANS_EFFECT = 0;
    func224(0);
    EXPECT_TRUE(journalHas("webLockAnnounce n=4"));
    EXPECT_EQ(is_tbar_ineffective(), -1);

    struct Dir {
        int effect, direction, result;
    } dirs[] = {{2, 3, 0}, {8, 3, 0}, {3, 4, 255}, {4, 1, 0}, {10, 2, 255}, {9, 2, 0}, {9, 3, 255},
                {1, 0, 255}, {11, 0, 255}, {5, -1, 255}};
    for (const Dir& d : dirs) {
        PM.TRANS_EFFECT = static_cast<uint8_t>(d.effect);
        EXPECT_EQ(restrictTransDir(d.direction), d.result) << d.effect << "/" << d.direction;
    }

    func243(0);
    func244(0);
    EXPECT_EQ(conversions(), (std::vector<std::string>{"2/0", "3/0"}));
}

TEST_F(LayoutPages, DisplayModeOverlay) {
    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 1;  // two windows
    formats(5, 9, 5, 9);
    PM.AUTO_SWITCH_MODE[0] = 1;
    PM.AUTO_SWITCH_MODE[1] = 2;
    PM.TEST_PATTERN[0] = PM.TEST_PATTERN[1] = 1;
    PM.FREEZE[0] = 1;
    PM.BLANK[1] = 1;
    PM.PASS_THROUGH[1] = 1;
    PM.RATIO[1] = 300;
    OSD_CHANNEL = 1;
    func21(row(21));
    EXPECT_TRUE(journalHas("changeOutput channel=1 format=5"));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2411 value=5 channel=0"));
    EXPECT_EQ(PM.OUTPUT_CH[0], 0);
    EXPECT_EQ(PM.OUTPUT_CH[1], 2);
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2422 value=2 channel=1"));
    EXPECT_EQ(vp.numInputs, 2);
    EXPECT_EQ(PM.SCAN[0], 1);
    EXPECT_EQ(PM.SCAN[1], 1);
    EXPECT_EQ(PM.AUTO_SWITCH_MODE[0] + PM.AUTO_SWITCH_MODE[1], 0);
    EXPECT_TRUE(journalHas("p7kEvForceAnnounceInt function=3871 value=0 channel=0"));
    EXPECT_TRUE(journalHas("p7kEvForceAnnounceInt function=4871 value=0 channel=1"));
    EXPECT_EQ(PM.TEST_PATTERN[0] + PM.TEST_PATTERN[1], 0);
    EXPECT_EQ(PM.FREEZE[0] + PM.BLANK[1], 0);
    EXPECT_TRUE(journalHas("handle_pass_through_in_mode_Swap pin=1"));
    EXPECT_EQ(board::gpio::read(gio_gioo_5A) & 32u, 0u) << "low at the end";
    EXPECT_TRUE(journalHas("audioDisplayModeSwitch mode=1"));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=424 value=300 channel=1"));
    EXPECT_TRUE(journalHas("webLockAnnounce n=4"));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=21 value=1 channel=0"));
    EXPECT_FALSE(journalHas("function=41 "));
    EXPECT_EQ(OSD_CHANNEL, 0) << "the menu goes to the composed output";
}

TEST_F(LayoutPages, DisplayModeTransition) {
    PM.DISPLAY_MODE = 0;
    PM.TRANS_EFFECT = 2;
    PM.CHROMA_KEYING = 1;
    formats(5, 5, 5, 0);
    vp.numInputs = 1;
    func21(row(21));
    EXPECT_EQ(vp.numInputs, 2);
    EXPECT_EQ(PM.CHROMA_KEYING, 0);
    EXPECT_TRUE(journalHas("confNewVideo channel=0"));
    EXPECT_TRUE(journalHas("confNewVideo channel=1"));
    EXPECT_EQ(conversions(), std::vector<std::string>{"1/1"}) << "output 2 is not fixed";
    EXPECT_TRUE(journalHas("webLockAnnounce n=5"));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=41 value=2 channel=1"));
    EXPECT_EQ(OSD_CHANNEL, 1);
}

TEST_F(LayoutPages, TransitionModeLeavesTheCustomisedWindows) {
    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 4;
    func23(row(23));
    ASSERT_NE(vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN, 0u);
    PM.DISPLAY_MODE = 0;
    func21(row(21));
    EXPECT_EQ(vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN, 0u) << "each channel fills its own output";
    EXPECT_EQ(PM.DWINDOW, 4) << "kept for the overlay mode";
    // The scan applies instead of warning about a layout it cannot leave.
    Channel = 0;
    func321(row(321));
    EXPECT_TRUE(journalHas("scaler.build_picture ch=0 caller=func321"));
}

TEST_F(LayoutPages, WindowLayout) {
    PM.DISPLAY_MODE = 0;
    func23(row(23));
    EXPECT_TRUE(journalHas("transition mode: nothing to do"));
    EXPECT_FALSE(journalHas("blackout"));

    // From one window to picture in picture: both channels measure anew.
    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 1;
    vp.numInputs = 1;
    func23(row(23));
    EXPECT_TRUE(journalHas("blackout force=1 channel=2 act=1"));
    EXPECT_TRUE(journalHas("confNewVideo channel=1"));
    EXPECT_FALSE(journalHas("scaler.build_picture"));
    EXPECT_EQ(vp.numInputs, 2);

    // To the custom single window: rebuilt at once, the blackout lifted.
    PM.DWINDOW = 4;
    PM.TEST_PATTERN[1] = 1;
    func23(row(23));
    EXPECT_EQ(vp.numInputs, 1);
    EXPECT_NE(vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN, 0u);
    EXPECT_TRUE(journalHas("scaler.set_clock_p2"));
    board::sim::registerHwControl();
    EXPECT_NE(board::sim::ctl::dispatch("state").find("link windows 1\n"), std::string::npos)
        << "the FPGA's output links carry one window";
    EXPECT_TRUE(journalHas("scaler.build_picture ch=1 caller=func23"));
    EXPECT_TRUE(journalHas("blackout force=1 channel=2 act=2"));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=484 value=0 channel=1"));
    EXPECT_EQ(PM.TEST_PATTERN[1], 0);
    PM.DWINDOW = 0;
    func23(row(23));
    EXPECT_EQ(vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN, 0u);
}

TEST_F(LayoutPages, PassThroughPin) {
    struct Case {
        int passThrough, mode, layout, pin;
    } cases[] = {{1, 0, 0, 32}, {1, 1, 0, 0}, {1, 1, 4, 0}, {1, 1, 1, 32}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        PM.PASS_THROUGH[1] = static_cast<uint8_t>(c.passThrough);
        PM.DISPLAY_MODE = static_cast<uint8_t>(c.mode);
        PM.DWINDOW = static_cast<uint8_t>(c.layout);
        handle_pass_through_in_mode_Swap();
        EXPECT_EQ(board::gpio::read(gio_gioo_5A) & 32u, static_cast<uint32_t>(c.pin)) << c.mode << c.layout;
    }
}

TEST_F(LayoutPages, TbarTravel) {
    set_dumping_time(16);
    PM.TRANS_EFFECT = 2;
    PM.T_BAR = 5;
    func2261(0);
    EXPECT_TRUE(journalHas("webLockAnnounce n=2"));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2261 value=5 channel=0"));
    PM.T_BAR = 7;
    func2261(0);  // too soon: the delay timer sends it
    EXPECT_FALSE(journalHas("function=2261 value=7 "));
    Sleep(100);
    PM.T_BAR = 100;
    func2261(0);
    std::vector<uint32_t> sent;
    for (const _EXMSG& m : drain(E_EXMSG_TYPE_T_BAR)) sent.push_back(m.param);
    EXPECT_EQ(sent, (std::vector<uint32_t>{5, 7, 100}));
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2261 value=100 channel=0"));
    EXPECT_TRUE(journalHas("webLockAnnounce n=0"));
    EXPECT_TRUE(journalHas("webLockAnnounce n=1"));
    EXPECT_EQ(PM.T_BAR, 0);

    PM.T_BAR_SMOOTHNESS = 1;
    func2262(0);
    EXPECT_EQ(get_dumping_time(), 100);
    PM.T_BAR_SMOOTHNESS = 0;
    func2262(0);
    EXPECT_EQ(get_dumping_time(), 16);
}

TEST_F(LayoutPages, TbarPageAtTheEndOfTheTravelClosesTheMenu) {
    PM.TRANS_EFFECT = 0;
    PM.T_BAR = 40;
    osd_func2261(0);
    EXPECT_THAT(shown(), IsSupersetOf({"342,106 199/255 Ineffective in these Conditions", "530,228 248/1  040"}));
    osd_swap();

    PM.TRANS_EFFECT = 2;
    PM.T_BAR = 100;
    queueKeys({3, 3});
    osd_func2261(0);
    EXPECT_EQ(wait_till_release_key, 1u);
    EXPECT_TRUE(drain(E_EXMSG_TYPE_KEYPAD).empty());
    EXPECT_EQ(st_num, kNodeClosed);
    EXPECT_EQ(vp.gFlags & VP_GFLAG_MENU_OPEN, 0u);
    EXPECT_FALSE(windowOn());
    EXPECT_EQ(PM.T_BAR, 0);
    EXPECT_TRUE(journalHas("p7kEvAnnounceInt function=2261 value=0 channel=0"));
}

}  // namespace
}  // namespace hx40test
