// The Inputs pages: what each screen shows and greys, the native-resolution
// browser with its keys and break-outs, and what each action does to PM,
// PM_I, the EEPROM, the EDID images, hot-plug, HDCP and the audio path.
#include "unit/menu/pages_fixture.h"

#include "core/core_state.h"
#include "core/osd_timer.h"
#include "core/pm_store.h"
#include "menu/pages_inputs.h"
#include "video/edid.h"
#include "video/frontend.h"

#include <thread>

namespace hx40test {
namespace {

using ::testing::Contains;
using ::testing::IsSupersetOf;
using ::testing::Not;

using InputPages = Pages;

TEST_F(InputPages, InputPageGreysTheItemsTheSignalTypeRulesOut) {
    struct Case {
        int node, input;
        int8_t type;
        std::vector<std::string> want;
    } cases[] = {
        {13, 2, 0, {"320,12 0/255 Inputs", "344,42 255/252 HDMI 3", "330,202 199/255 Signal Type",
                    "330,234 255/252 EDID", "330,266 0/255 HDCP", "330,298 0/255 Color Space", "330,330 0/255 Volume"}},
        {15, 4, 2, {"330,202 255/252 Signal Type", "330,234 0/255 EDID", "330,266 199/255 HDCP"}},
        {16, 5, 1, {"330,202 255/252 Signal Type", "330,234 199/255 EDID", "330,266 199/255 HDCP"}},
        {16, 5, 0, {"330,202 255/252 Signal Type", "330,234 0/255 EDID", "330,266 0/255 HDCP"}},
    };
    for (const Case& c : cases) {
        PM_I[c.input].SEL_INPUT_TYPE = c.type;
        PB_1x[c.input] = 0;
        screen(c.node);
        EXPECT_THAT(shown(), IsSupersetOf(c.want)) << c.node << " type " << int{c.type};
        osd_swap();
    }
    EXPECT_EQ(PB_1x[2], 1) << "the cursor left the greyed signal type";
}

TEST_F(InputPages, SignalTypeIsHdmiOnlyButOnInputsFiveAndSix) {
    PM_I[0].SEL_INPUT_TYPE = 2;  // stored by an older release
    screen(111);
    EXPECT_THAT(shown(), IsSupersetOf({"390,138 199/255 HDMI Type Only", "330,202 255/252 HDMI",
                                       "330,234 0/255 Component", "330,266 0/255 VGA", "330,298 0/255 Composite"}));
    EXPECT_THAT(shown(), Not(Contains("345,138 199/255 WARNING: Active Input")));
    EXPECT_EQ(PM_I[0].SEL_INPUT_TYPE, 0);
    osd_swap();

    struct Case {
        int sel0, sel1, numInputs;
        bool warned;
    } cases[] = {{5, 2, 2, true}, {1, 5, 2, true}, {1, 5, 1, false}, {1, 2, 2, false}};
    for (const Case& c : cases) {
        PM.SEL_INPUT[0] = static_cast<uint8_t>(c.sel0);
        PM.SEL_INPUT[1] = static_cast<uint8_t>(c.sel1);
        vp.numInputs = static_cast<uint8_t>(c.numInputs);
        PM_I[4].SEL_INPUT_TYPE = 2;
        screen(151);
        EXPECT_EQ(::testing::Matches(Contains("345,138 199/255 WARNING: Active Input"))(shown()), c.warned)
            << c.sel0 << "," << c.sel1 << " windows " << c.numInputs;
        EXPECT_THAT(shown(), Contains("330,266 255/252 VGA"));
        osd_swap();
    }
}

TEST_F(InputPages, EdidPagesOfVgaAndOfInputsWithoutAnEdid) {
    PM_I[5].SEL_INPUT_TYPE = 2;
    screen(162);
    EXPECT_THAT(shown(), IsSupersetOf({"320,12 0/255 DVI-U2", "344,42 255/252 EDID",
                                       "330,202 255/252 Native Resolution", "330,234 199/255 Color Depth",
                                       "330,266 0/255 Mode Lines", "330,298 199/255 Audio Channels"}));
    osd_swap();
    PM_I[4].SEL_INPUT_TYPE = 3;
    PM_I[4].MODELINE = 1;
    screen(1523);
    EXPECT_THAT(shown(), IsSupersetOf({"320,12 0/255 EDID", "344,42 255/252 Mode Lines",
                                       "330,138 199/255 Not Applicable To Input Mode", "330,234 0/255 Native Only",
                                       "330,266 255/252 All Modes"}))
        << "the warning stands behind the two choices";
}

// ---- the native-resolution browser ----

TEST_F(InputPages, NativeBrowserWrapsAndEnterKeepsTheShownEntry) {
    PM_I[0].RESOLUTION = 15;
    st_num = 112;
    PB_1x2[0] = 0;
    queueKeys({3, 1});
    key(1);  // ENTER on "Native Resolution"
    EXPECT_TRUE(drew(" Use UP and DOWN to navigate", 320, 170, 0));
    EXPECT_TRUE(drew("Press ENTER or RIGHT to select", 320, 202, 0));
    EXPECT_TRUE(drew("               2k60", 320, 234, 0)) << "the entry shown first, in colour 0";
    EXPECT_TRUE(drew("            1024x768@60", 320, 234, 199)) << "up from 2k60 wraps";
    EXPECT_EQ(PM_I[0].RESOLUTION, 0);
    EXPECT_EQ(st_num, 112) << "back on the EDID page";
    EXPECT_EQ(vp.gFlags & VP_GFLAG_MODAL_KEYS, 0u);
    EXPECT_THAT(shown(), IsSupersetOf({"344,42 255/252 EDID", "330,202 255/252 Native Resolution"}));
    EXPECT_TRUE(journalHas("frontEnd_replaceNativeResolution video_input=0 "));
    EXPECT_TRUE(journalHas("p7kEvForceAnnounceInt function=1121 value=0 channel=0"));
    EXPECT_EQ(eepromAt(0x1800 + 8), 0) << "PM_I stored";
    EXPECT_EQ(TvAppEdid[0][54], 0x64) << "1024x768's detailed timing: 65 MHz";
    EXPECT_EQ(TvAppEdid[0][55], 0x19);
}

TEST_F(InputPages, NativeBrowserKeys) {
    struct Case {
        int8_t start;
        std::vector<int> keys;
        int8_t end;
        bool refused;
        const char* note;
    } cases[] = {
        {5, {3, 3, 0}, 5, false, "MENU restores the entry active before"},
        {5, {2, 2, 5}, 3, false, "RIGHT selects"},
        {0, {2, 4}, 0, false, "LEFT is MENU"},
        {7, {10, 1}, 7, true, "another key is refused and the wait goes on"},
    };
    for (const Case& c : cases) {
        chip().clearOperations();
        PM_I[2].RESOLUTION = c.start;
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        std::vector<int> keys(c.keys.begin(), c.keys.end());
        for (int k : keys) queueKeys({k});
        screen(1321);
        EXPECT_EQ(PM_I[2].RESOLUTION, c.end) << c.note;
        EXPECT_EQ(st_num, 132) << c.note;
        EXPECT_EQ(drew("   Ineffective Keystroke", 340, 330, 199), c.refused) << c.note;
        EXPECT_EQ(drew(std::string(30, ' '), 340, 330), c.refused) << c.note;
        EXPECT_TRUE(drain(E_EXMSG_TYPE_KEYPAD).empty()) << c.note;
        osd_swap();
    }
}

TEST_F(InputPages, MenuTimeOutInTheBrowserRestoresTheEntryAndClosesTheMenu) {
    PM_I[0].RESOLUTION = 4;
    queueKeys({3, 3});
    std::thread timer([] {
        Sleep(600);
        exitOsdMenu();  // what timer 2 runs
    });
    screen(1121);
    timer.join();
    EXPECT_EQ(PM_I[0].RESOLUTION, 4);
    EXPECT_EQ(gBreakOutComplexOsd, BREAKOUT_NONE);
    EXPECT_EQ(vp.gFlags & (VP_GFLAG_MODAL_KEYS | VP_GFLAG_MENU_OPEN), 0u);
    EXPECT_EQ(st_num, 112);
    pumpSteps();  // the close key the time-out posted
    EXPECT_EQ(st_num, kNodeClosed);
    EXPECT_FALSE(windowOn());
}

TEST_F(InputPages, AProtocolSetInTheBrowserClosesTheMenuAndAppliesItsValue) {
    PM_I[0].RESOLUTION = 4;
    st_num = 112;
    std::thread protocol([] {
        Sleep(300);
        EXPECT_EQ(setByProtocol("0,1121,9"), 5);
    });
    key(1);
    protocol.join();
    EXPECT_EQ(vp.gFlags & (VP_GFLAG_MODAL_KEYS | VP_GFLAG_MENU_OPEN), 0u);
    pumpSteps();  // the protocol's node (39), then the close (38)
    EXPECT_EQ(PM_I[0].RESOLUTION, 9);
    EXPECT_EQ(st_num, kNodeClosed);
    EXPECT_FALSE(windowOn());
    EXPECT_TRUE(journalHas("p7kEvForceAnnounceInt function=1121 value=9 channel=0"));
    EXPECT_EQ(gBreakOutComplexOsd, BREAKOUT_NONE);
}

TEST_F(InputPages, AResolutionPastTheTableIsStoredButNeverIndexed) {
    vp.gFlags = 0;
    EXPECT_EQ(setByProtocol("0,1321,130"), 5);
    EXPECT_EQ(static_cast<uint8_t>(PM_I[2].RESOLUTION), 130);
    EXPECT_TRUE(journalHas("func1x21 input=3 index=130 not in the table"));
    EXPECT_FALSE(journalHas("frontEnd_replaceNativeResolution"));
    EXPECT_TRUE(journalHas("p7kEvForceAnnounceInt function=1321 value=-126 channel=0"));
    EXPECT_EQ(eepromAt(0x1800 + 2 * 12 + 8), 130);

    vp.gFlags = VP_GFLAG_MENU_OPEN;
    chip().clearOperations();
    queueKeys({1});
    screen(1321);
    EXPECT_TRUE(drew("           1280x1024@60", 320, 234, 0)) << "130 starts the browser on entry 2";
    EXPECT_EQ(PM_I[2].RESOLUTION, 2);
}

// ---- actions ----

TEST_F(InputPages, SignalTypeReroutesTheChannelsThatShowTheInput) {
    struct Case {
        const char* note;
        int node, input;
        int8_t type;
        int sel0, sel1, vid0, vid1, numInputs, takeover0;
        std::vector<std::string> want, unwanted;
        int endVid0, endVid1;
    } cases[] = {
        {"input 6 becomes VGA while CH1 shows it", 161, 5, 2, 6, 2, 5, 1, 2, 0,
         {"EP9442_MwRxSetInternalEdid video_input=29 connector=5", "confNewVideo channel=0 vidInput=29"},
         {"confNewVideo channel=1"}, 29, 1},
        {"back to HDMI: CH1's analog takeover goes", 161, 5, 0, 6, 2, 29, 1, 2, 1,
         {"p7kEvForceAnnounceInt function=392 value=0 channel=0", "confNewVideo channel=0 vidInput=5"}, {}, 5, 1},
        {"CH2 shows it in two windows", 151, 4, 2, 1, 5, 0, 4, 2, 0, {"confNewVideo channel=1 vidInput=28"},
         {"confNewVideo channel=0"}, 0, 28},
        {"CH2 shows it in one window", 151, 4, 2, 1, 5, 0, 4, 1, 0, {"SetInputType input=5 type=2 video_input=28"},
         {"confNewVideo"}, 0, 4},
        {"input 1 cannot become VGA", 111, 0, 2, 1, 2, 0, 1, 2, 0, {"SetInputType input=1 type=0 video_input=0"},
         {"confNewVideo"}, 0, 1},
    };
    for (const Case& c : cases) {
        board_->write("sim/journal.log", "");
        PM_I[c.input].SEL_INPUT_TYPE = c.type;
        PM.SEL_INPUT[0] = static_cast<uint8_t>(c.sel0);
        PM.SEL_INPUT[1] = static_cast<uint8_t>(c.sel1);
        vp.chData[0].vidInput = static_cast<uint8_t>(c.vid0);
        vp.chData[1].vidInput = static_cast<uint8_t>(c.vid1);
        vp.chData[0].cFlags = 0;
        vp.numInputs = static_cast<uint8_t>(c.numInputs);
        PM.ANALOG_TAKEOVER[0] = static_cast<uint8_t>(c.takeover0);
        func1x1(c.node);
        for (const std::string& w : c.want) EXPECT_TRUE(journalHas(w)) << c.note << ": " << w;
        for (const std::string& u : c.unwanted) EXPECT_FALSE(journalHas(u)) << c.note << ": " << u;
        EXPECT_EQ(vp.chData[0].vidInput, c.endVid0) << c.note;
        EXPECT_EQ(vp.chData[1].vidInput, c.endVid1) << c.note;
    }
    EXPECT_EQ(PM_I[0].SEL_INPUT_TYPE, 0) << "corrected where it is stored";
    EXPECT_EQ(eepromAt(0x1800), 0);
    EXPECT_EQ(eepromAt(0x1800 + 4 * 12), 2) << "input 5 stays VGA";
}

TEST_F(InputPages, AnInputNoChannelShowsBecomingHdmiLosesItsStoredTakeover) {
    const uint8_t one = 1;
    ASSERT_EQ(eepromSaveSingleParam(4, 0, &one, 100, 1), 0);
    ASSERT_EQ(eepromSaveSingleParam(4, 1, &one, 101, 1), 0);
    PM_I[4].SEL_INPUT_TYPE = 0;
    func1x1(151);
    EXPECT_EQ(eepromAt(4 * 384 + 100), 0) << "zone of input 5 on CH1";
    EXPECT_EQ(eepromAt(12 * 384 + 101), 0) << "zone of input 5 on CH2";
}

TEST_F(InputPages, EdidPatchesPulseHotPlugOnlyForAnInputOnAir) {
    ASSERT_EQ(edidLoadTemplates(), 0);
    for (int inp = 0; inp < 8; ++inp) initEdid_single(inp);
    ASSERT_EQ(board::sim::ctl::dispatch("input 1 connect 15"), "OK input 1 format 15");
    struct Case {
        int node;
        int8_t PMIRec::*field;
        const char* line;
        int connector, pulses;
    } cases[] = {
        {1122, &PMIRec::COLOR_DEPTH, "frontEnd_replaceNativeColorDepth video_input=0 value=1 changed=1 hotplug=1", 0, 1},
        {1124, &PMIRec::AUDIO_CHANNELS, "frontEnd_replaceNativeAudioChannels video_input=0 value=1 changed=1 hotplug=1", 0, 2},
        {1323, &PMIRec::MODELINE, "frontEnd_replaceNativeModeLines video_input=2 value=1 changed=1 hotplug=0", 2, 0},
    };
    for (const Case& c : cases) {
        const int inp = c.node / 100 % 10 - 1;
        PM_I[inp].*c.field = 1;
        func1x22(0);  // not an input node: nothing
        (c.node % 10 == 2 ? func1x22 : c.node % 10 == 3 ? func1x23 : func1x24)(c.node);
        EXPECT_TRUE(journalHas(c.line)) << c.node;
        EXPECT_EQ(board::sim::video::hotPlugPulses(c.connector), c.pulses) << c.node;
        EXPECT_EQ(eepromAt(0x1800 + inp * 12 + (c.field == &PMIRec::COLOR_DEPTH ? 6 : c.field == &PMIRec::MODELINE ? 7 : 9)), 1);
    }
}

TEST_F(InputPages, HdcpActsOnlyOnAChange) {
    struct Case {
        int8_t stored, value;
        uint8_t copy;
        bool acts;
    } cases[] = {{1, 1, 1, false}, {1, 0, 1, true}, {1, 1, 0, true}};
    for (const Case& c : cases) {
        PM_I[0].HDCP_MODE = c.stored;
        ASSERT_EQ(eepromSavePMIData(), 0);
        PM_I[0].HDCP_MODE = c.value;
        PM.HDCP_MODE[0] = c.copy;
        board_->write("sim/journal.log", "");
        func1x3(113);
        EXPECT_EQ(journalHas("issueHPD inp=0"), c.acts) << int{c.stored} << int{c.value} << int{c.copy};
        if (!c.acts) continue;
        const std::string j = journal();
        const size_t en = j.find("EP9442_HdmiEnHdcp inp=0 on=" + std::to_string(c.value));
        const size_t aim = j.find("EP9442_aimHPDHdmiVidInput on=1 inp=0");
        const size_t hpd = j.find("issueHPD inp=0");
        const size_t back = j.find("EP9442_aimHPDHdmiVidInput on=1 inp=1");
        EXPECT_TRUE(en < aim && aim < hpd && hpd < back) << j;
        EXPECT_NE(board::sim::ctl::dispatch("state").find("hotplug pins input 2\n"), std::string::npos)
            << "the switch's pins rest on channel 2's input";
        EXPECT_EQ(PM.HDCP_MODE[0], static_cast<uint8_t>(c.value));
        EXPECT_EQ(PM.HDCP_MODE[1], 0) << "CH2 shows another input";
        EXPECT_EQ(eepromAt(0x1800 + 2), static_cast<uint8_t>(c.value));
    }
}

TEST_F(InputPages, ColourSpaceGoesToTheReceiverOfAShowingChannel) {
    PM_I[1].COLOR_SPACE = 2;
    func1x4(124);  // CH2 shows input 2
    EXPECT_TRUE(journalHas("frontEnd_setColorSpace channel=1 value=2"));
    EXPECT_EQ(PM.COLOR_SPACE[1], 2);
    EXPECT_NE(board::sim::ctl::dispatch("state").find("receiver 2 colour space ycbcr\n"), std::string::npos);
    EXPECT_EQ(PM.COLOR_SPACE[0], 0);
    board_->write("sim/journal.log", "");
    PM_I[2].COLOR_SPACE = 1;
    func1x4(134);
    EXPECT_FALSE(journalHas("frontEnd_setColorSpace"));
    EXPECT_EQ(eepromAt(0x1800 + 2 * 12 + 4), 1);
    // Routed to a channel, an input brings its colour space to the
    // receiver; a VGA input has no YCbCr path.
    struct Case {
        int vidInput, connector;
        int8_t value;
        const char* shown;
    } cases[] = {{2, 2, 1, "rgb"}, {28, 4, 2, "automatic"}, {4, 4, 2, "ycbcr"}};
    for (const Case& c : cases) {
        PM_I[c.connector].COLOR_SPACE = c.value;
        frontEnd_setVidInput(0, c.vidInput);
        EXPECT_NE(board::sim::ctl::dispatch("state").find(std::string("receiver 1 colour space ") + c.shown + "\n"),
                  std::string::npos)
            << c.vidInput;
    }
}

TEST_F(InputPages, VolumeReachesTheChannelsThatHearTheInput) {
    struct Case {
        const char* note;
        int node;
        int source0, source1, takeover0;
        std::vector<std::string> want;
    } cases[] = {
        {"CH1 follows its video: the analog input", 115, 0, 0, 0, {"audioSetInputVolume source=8 volume=-20 channel=0"}},
        {"with analog takeover the input itself", 115, 0, 0, 1, {"audioSetInputVolume source=0 volume=-20 channel=0"}},
        {"CH2 takes its audio from input 3", 135, 0, 3, 0, {"audioSetInputVolume source=2 volume=-20 channel=1"}},
        {"CH2 follows its video too", 125, 3, 0, 0, {"audioSetInputVolume source=9 volume=-20 channel=1"}},
        {"input 4: nobody hears it", 145, 0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        board_->write("sim/journal.log", "");
        PM.AUDIO_SOURCE[0] = static_cast<uint8_t>(c.source0);
        PM.AUDIO_SOURCE[1] = static_cast<uint8_t>(c.source1);
        PM.ANALOG_TAKEOVER[0] = static_cast<uint8_t>(c.takeover0);
        const int inp = c.node / 10 % 10 - 1;
        PM_I[inp].INP_VOLUME = -20;
        func1x5(c.node);
        for (const std::string& w : c.want) EXPECT_TRUE(journalHas(w)) << c.note;
        EXPECT_EQ(journalCount("audioSetInputVolume"), c.want.size()) << c.note;
        EXPECT_EQ(static_cast<int8_t>(eepromAt(0x1800 + inp * 12 + 5)), -20) << c.note;
    }
    EXPECT_EQ(PM.INP_VOLUME[1], -20);
}

}  // namespace
}  // namespace hx40test
