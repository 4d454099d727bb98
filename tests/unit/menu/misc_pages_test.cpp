// Page 5 (Misc) and the rows under it: the rows as the pages give them, the
// screens as the OSD shows them, and what each setting does to the chip, the
// timers and the audio and output services.
#include "unit/menu/misc_fixture.h"

#include "core/paramcmd.h"
#include "menu/pages_factory.h"
#include "menu/pages_misc.h"
#include "menu/pages_network.h"
#include "scaler/output_formats.h"
#include "sys/locks.h"

#include <cstring>
#include <functional>

namespace hx40test {
namespace {

const void* pm(int offset) { return reinterpret_cast<const uint8_t*>(&PM) + offset; }

struct Golden {
    int node;
    const void* value;
    uint32_t type;
    int32_t min, max, step, fast;
    uint32_t mode;
    bool action, screen;
    uint8_t enable;
};

// The rows of pages 5, 55 and 56 as the pages list them (types: 3 byte, 7
// 16-bit, 11 32-bit, 15 page; step 1 and fast 0 where none is given).
std::vector<Golden> goldenRows() {
    std::vector<Golden> g = {
        {5, &PB_5, 15, 0, 5, 1, 0, 5, false, true, 1},
        {51, &PB_51, 15, 0, 4, 1, 0, 5, false, true, 1},
        {52, &PB_52, 15, 0, 5, 1, 0, 5, false, true, 1},
        {521, pm(174), 7, 0, 2047, 1, 8, 3, false, true, 1},
        {522, pm(176), 7, 0, 2047, 1, 8, 3, false, true, 1},
        {523, pm(178), 3, 0, 1, 1, 0, 5, false, true, 1},
        {524, pm(179), 3, 1, 4, 1, 0, 3, true, true, 1},
        {525, pm(180), 7, -128, 127, 8, 0, 3, true, true, 1},
        {526, pm(182), 3, 0, 2, 1, 0, 5, true, true, 1},
        {53, &PB_53, 15, 0, 4, 1, 0, 5, false, true, 1},
        {531, pm(228), 7, 0, 240, 16, 32, 3, true, true, 1},
        {532, pm(230), 7, 0, 240, 16, 32, 3, true, true, 1},
        {533, pm(232), 7, 0, 240, 16, 32, 3, true, true, 1},
        {534, pm(226), 3, 0, 1, 1, 0, 5, true, true, 1},
        {535, pm(234), 3, 0, 1, 1, 0, 5, true, true, 1},
        {54, &PB_54, 15, 0, 1, 1, 0, 5, false, true, 1},
        {55, &PB_55, 15, 0, 5, 1, 0, 5, false, true, 1},
        {554, pm(237), 3, 0, 4, 1, 0, 7, true, true, 1},
        {556, pm(236), 3, 0, 1, 1, 0, 5, false, true, 0},
        {56, &PB_56, 15, 0, 1, 1, 0, 5, false, true, 1},
        {7510, &channelSyncCtrl, 11, 0, 3, 1, 0, 1, true, false, 0},
        {7531, &gIactHst[0], 11, 0, 1, 1, 0, 8, true, false, 0},
        {7532, &gIactVst[0], 11, 0, 1, 1, 0, 8, true, false, 0},
        {7541, &gIactHst[1], 11, 0, 1, 1, 0, 8, true, false, 0},
        {7542, &gIactVst[1], 11, 0, 1, 1, 0, 8, true, false, 0},
        {7550, pm(326), 11, 0, 3, 1, 0, 1, false, false, 1},
        {551, &PB_551, 15, 0, 0, 1, 0, 5, false, true, 1},
        {5511, &networkDHCPMode, 3, 0, 1, 1, 0, 1, true, true, 1},
        {552, &PB_Stub, 15, 0, 1, 1, 0, 5, false, true, 1},
        {5521, &PB_5521, 15, 0, 1, 1, 0, 5, false, true, 1},
        {55211, pm(287), 3, 0, 1, 1, 0, 5, true, true, 1},
        {55212, pm(288), 11, 0, 64000, 1, 50, 3, true, true, 1},
        {5522, &PB_5522, 15, 0, 3, 1, 0, 5, false, true, 1},
        {55221, pm(292), 3, 0, 7, 1, 0, 5, true, true, 1},
        {55222, pm(293), 3, 0, 3, 1, 0, 5, true, true, 1},
        {55223, pm(294), 3, 0, 4, 1, 0, 5, true, true, 1},
        {55224, pm(295), 3, 0, 1, 1, 0, 5, true, true, 1},
        {553, &PB_553, 15, 0, 8, 1, 0, 5, false, true, 1},
        {5539, &PB_5539, 15, 0, 0, 1, 0, 7, true, true, 1},
        {555, &PB_Stub, 15, 0, 1, 1, 0, 5, false, true, 1},
        {5551, &PB_5551, 15, 0, 6, 1, 0, 7, false, true, 1},
        {55511, pm(296), 3, 0, 7, 1, 0, 5, true, true, 1},
        {55512, pm(297), 3, 0, 3, 1, 0, 5, true, true, 1},
        {55513, pm(298), 3, 0, 4, 1, 0, 5, true, true, 1},
        {55514, pm(299), 3, 0, 1, 1, 0, 5, true, true, 1},
        {55515, pm(300), 3, 0, 7, 1, 0, 6, true, true, 1},
        {55516, &PB_Stub, 15, 0, 7, 1, 0, 5, false, true, 1},
        {55517, &PB_Stub, 15, 0, 1, 1, 0, 7, true, true, 1},
        {5552, &PB_5552, 15, 0, 6, 1, 0, 7, false, true, 1},
        {55521, pm(301), 3, 0, 7, 1, 0, 5, true, true, 1},
        {55522, pm(302), 3, 0, 3, 1, 0, 5, true, true, 1},
        {55523, pm(303), 3, 0, 4, 1, 0, 5, true, true, 1},
        {55524, pm(304), 3, 0, 1, 1, 0, 5, true, true, 1},
        {55525, pm(305), 3, 0, 7, 1, 0, 6, true, true, 1},
        {55526, &PB_Stub, 15, 0, 7, 1, 0, 5, false, true, 1},
        {55527, &PB_Stub, 15, 0, 1, 1, 0, 7, true, true, 1},
        // 5621's parent is the one that is not a page.
        {561, &PB_Stub, 11, 0, 1, 1, 0, 7, true, true, 1},
        {562, &PB_Stub, 11, 0, 1, 1, 0, 7, true, true, 1},
        {5621, &PB_Stub, 11, 0, 1, 1, 0, 7, true, false, 0},
    };
    int32_t* const connectionPages[] = {&PB_5531, &PB_5532, &PB_5533, &PB_5534,
                                        &PB_5535, &PB_5536, &PB_5537, &PB_5538};
    for (int n = 1; n <= 8; ++n) {
        g.push_back({5530 + n, connectionPages[n - 1], 15, 0, 1, 1, 0, 7, true, true, 1});
        g.push_back({55300 + 10 * n + 1, pm(269 + 2 * n), 3, 0, 6, 1, 0, 6, true, true, 1});
        g.push_back({55300 + 10 * n + 2, pm(270 + 2 * n), 3, 0, 6, 1, 0, 6, true, true, 1});
    }
    return g;
}

}  // namespace

TEST(MiscPageRows, EveryRowAsThePagesGiveIt) {
    funcTableInstallProgram();
    const auto golden = goldenRows();
    EXPECT_EQ(golden.size(), 83u);
    for (const Golden& g : golden) {
        const int r = funcNum2TblInx(g.node);
        ASSERT_NE(r, 0) << g.node;
        const FuncRow& row = funcDataTbl[r];
        EXPECT_EQ(row.value, g.value) << g.node;
        EXPECT_EQ(row.type, g.type) << g.node;
        EXPECT_EQ(row.min.i, g.min) << g.node;
        EXPECT_EQ(row.max.i, g.max) << g.node;
        EXPECT_EQ(row.step.i, g.step) << g.node;
        EXPECT_EQ(row.fast.i, g.fast) << g.node;
        EXPECT_EQ(row.callMode, g.mode) << g.node;
        EXPECT_EQ(row.action != nullptr, g.action) << g.node;
        EXPECT_EQ(row.screen != nullptr, g.screen) << g.node;
        EXPECT_EQ(row.enable, g.enable) << g.node;
    }
}

TEST_F(MiscPages, ScreensShowTitleAndList) {
    struct Case {
        int node;
        std::function<void()> setUp;
        std::vector<std::string> lines;  // among what the window shows
    } cases[] = {
        {5, [] { PB_5 = 2; },
         {"140,324 255/252 Misc", "320,12 0/255 Misc", "330,170 0/255 Information", "330,234 255/252 Keying",
          "330,298 0/255 Control", "330,330 0/255 Factory Reset"}},
        {526, [] { PM.OSDTM = 1; },
         {"320,12 0/255 OSD", "344,42 255/252 Time-Out", "330,234 0/255 Off", "330,266 255/252 30 Sec",
          "330,298 0/255 60 Sec"}},
        {525, [] { PM.OSDBIAS = -8; }, {"344,42 255/252 Bias", "530,228 248/1 -008"}},
        // The alert system is shown greyed on its page and cannot be entered.
        {55, [] { PB_55 = 0; },
         {"344,42 255/252 Control", "330,170 255/252 Network", "330,266 0/255 Power Amplifier",
          "330,330 95/255 Alert System"}},
        {56, [] { PB_56 = 1; },
         {"344,42 255/252 Factory Reset", "330,234 0/255 Reset All", "330,266 255/252 Reset Except Network"}},
        {55221, [] { PM.PORT_TUNNELING_BAUD = 3; },
         {"320,12 0/255 Serial", "344,42 255/252 Baud Rate", "330,138 0/255 1200", "330,234 255/252 9600",
          "330,362 0/255 115200"}},
        {55212, [] { PM.PORT_TUNNELING_PORT_NUMBER = 5001; }, {"344,42 255/252 Port", "530,228 248/1  05001"}},
        {553, [] { PB_553 = 8; }, {"344,42 255/252 Serial Matrix", "330,394 255/252 Reset Connections"}},
        {55523, [] { PM.USER2_PARITY = 2; }, {"320,12 0/255 USR2", "344,42 255/252 Parity", "330,202 0/255 NONE", "330,266 255/252 EVEN"}},
        {55515, [] { PM.USER1_DESTINATION = 6; },
         {"320,12 0/255 USR1", "344,42 255/252 Destination", "330,330 255/252 ALL", "330,362 0/255 NONE"}},
    };
    for (const Case& c : cases) {
        c.setUp();
        draw(c.node);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(shows(line)) << c.node << " should show \"" << line << "\"\n" << ::testing::PrintToString(shown());
        osd_swap();
    }
}

TEST_F(MiscPages, OsdPositionStaysInsideTheOutput) {
    PS_PANELACTHW[0] = 1920;
    PS_PANELACTVW[0] = 1080;
    PM.OSDPOSH = 2000;
    PM.OSDPOSV = 500;
    draw(521);
    EXPECT_EQ(PM.OSDPOSH, 1280) << "1920 - 640";
    EXPECT_TRUE(shows("530,228 248/1  1280"));
    EXPECT_NE(chip().sceneText().find("window on plane " + std::to_string(drawingPlane()) + " at 1280,500 "),
              std::string::npos)
        << "the window stands at the limited position\n"
        << chip().sceneText();
    osd_swap();
    draw(522);
    EXPECT_EQ(PM.OSDPOSV, 500) << "500 + 480 fits 1080";
}

// Keying acts on channel 1's bank only in a two-window overlay, and chroma
// and luma keying exclude each other. Registers the action must not touch
// keep the marker 0x5A.
TEST_F(MiscPages, KeyingRegistersAndWhyAnItemCannotAct) {
    struct Reg {
        uint32_t code;
        int channel;
        uint64_t value;
    };
    const uint32_t kCodes[] = {0x6A01, 0x6B01, 0x6C01, 0x6D01, 0x6E01, 0x6F01, 0x7001, 0x7101, 0x7201, 0x7301};
    struct Case {
        const char* note;
        uint8_t displayMode, window, chroma, luma;
        int node, keyPress;  // the item and the key on it
        std::vector<Reg> regs;
        const char* shownNote;  // "x,y fg/bg text" or ""
        uint8_t flagAfter;
    } cases[] = {
        {"chroma on", 1, 1, 0, 0, 534, 2,
         {{0x6A01, 0, 1}, {0x6B01, 0, 0x10}, {0x6C01, 0, 0xF0}, {0x6D01, 0, 0x20}, {0x6E01, 0, 0}, {0x6F01, 0, 0},
          {0x7001, 0, 64}, {0x7101, 0, 64}, {0x7201, 0, 12}, {0x7301, 0, 0}, {0x32C03, 1, 0}},
         "", 1},
        {"chroma off", 1, 2, 1, 0, 534, 3,
         {{0x6A01, 0, 0}, {0x6B01, 0, 0}, {0x6C01, 0, 0}, {0x6D01, 0, 0}, {0x6E01, 0, 0}, {0x6F01, 0, 0},
          {0x7001, 0, 0}, {0x7101, 0, 0}, {0x7201, 0, 1}, {0x7301, 0, 0}, {0x32C03, 1, 0}},
         "", 0},
        {"a key colour applies through chroma keying", 1, 3, 1, 0, 532, 3, {{0x6A01, 0, 1}, {0x6C01, 0, 0x20}},
         "", 1},
        {"chroma while luma keying is on", 1, 1, 0, 1, 534, 2, {{0x6A01, 0, 0x5A}, {0x7301, 0, 0x5A}},
         "325,138 199/255 Unavailable with Luma Keying", 0},
        {"chroma in a single window", 1, 0, 0, 0, 534, 2, {{0x6A01, 0, 0x5A}},
         "320,138 199/255 Available in Dual Windows Mode", 0},
        {"chroma in transition mode", 0, 1, 0, 0, 534, 2, {{0x6A01, 0, 0x5A}},
         "320,138 199/255 Available in Dual Windows Mode", 0},
        {"luma on", 1, 5, 0, 0, 535, 2,
         {{0x41901, 0, 0}, {0x41901, 1, 0}, {0x7301, 0, 0}, {0x7201, 0, 12}, {0x6F01, 0, 22}, {0x6C01, 0, 24},
          {0x6A01, 0, 0x5A}},
         "", 1},
        {"luma off", 1, 5, 0, 1, 535, 3, {{0x7201, 0, 1}, {0x6F01, 0, 0}, {0x6C01, 0, 0}}, "", 0},
        {"luma while chroma keying is on", 1, 5, 1, 0, 535, 2, {{0x7201, 0, 0x5A}, {0x41901, 1, 0x5A}},
         "320,138 199/255 Unavailable with Chroma Keying", 0},
        {"luma in a single window", 1, 4, 0, 0, 535, 2, {{0x7201, 0, 0x5A}},
         "320,138 199/255 Available in Dual Windows Mode", 0},
    };
    for (const Case& c : cases) {
        for (uint32_t code : kCodes) write_C812(code, 0x5A, 0, 0);
        write_C812(0x41901, 0x5A, 0, 0);
        write_C812(0x41901, 0x5A, 1, 0);
        write_C812(0x32C03, 0x5A5A5A, 1, 0);
        PM.DISPLAY_MODE = c.displayMode;
        PM.DWINDOW = c.window;
        PM.CHROMA_KEYING = c.chroma;
        PM.LUMA_KEYING = c.luma;
        PM.CHROMA_KEYING_R = 0x110;  // the low byte goes to the chip
        PM.CHROMA_KEYING_G = 0xF0;
        PM.CHROMA_KEYING_B = 0x20;
        if (c.node == 532) PM.CHROMA_KEYING_G = 16;  // up adds 16
        at(c.node);
        key(c.keyPress);
        for (const Reg& r : c.regs)
            EXPECT_EQ(chip().regCode(r.code, r.channel), r.value)
                << c.note << ": register 0x" << std::hex << r.code << " channel " << r.channel;
        const uint8_t flag = c.node == 535 ? PM.LUMA_KEYING : PM.CHROMA_KEYING;
        EXPECT_EQ(flag, c.flagAfter) << c.note;
        if (*c.shownNote) {
            EXPECT_TRUE(shows(c.shownNote)) << c.note << "\n" << ::testing::PrintToString(shown());
        }
    }
}

TEST_F(MiscPages, OsdColourTimeOutAmplifierAndSyncControl) {
    // Keys on the items, as a person changes them.
    at(524);
    key(3);  // 1 -> 2
    EXPECT_EQ(chip().regCode(0x22001, 0), 128u) << "gain 2 on all three components of the menu's channel";
    EXPECT_EQ(chip().regCode(0x22C01, 0), 128u);
    EXPECT_EQ(chip().regCode(0x20901, 0) & 0x10, 0x10u) << "gain on";
    at(525);
    key(2);  // 0 -> -8
    EXPECT_EQ(PM.OSDBIAS, -8);
    EXPECT_EQ(chip().regCode(0x22301, 0), 0xF8u);
    EXPECT_EQ(chip().regCode(0x22F01, 0), 0xF8u);
    at(526);
    key(2);  // 1 -> 2: a minute
    EXPECT_EQ(gOsdTimeOut, 60000u);
    EXPECT_TRUE(journalHas("resetOsdTimer value=2 ms=60000"));
    at(554);
    PM.POWER_AMPLIFIER = 1;
    key(2);
    EXPECT_EQ(PM.POWER_AMPLIFIER, 2);
    EXPECT_TRUE(journalHas("paPower value=2"));

    // The protocol-only sync control, disabled in the menu.
    vp.gFlags = 0;
    struct {
        const char* set;
        const char* journalLine;
    } sync[] = {
        {"0,7510,1", "exeSyncOff channel=0 tmds=0 5v=1"},
        {"0,7510,2", "exeSyncOff channel=0 tmds=0 5v=0"},
        {"0,7510,3", "exeSyncOff channel=0 tmds=1 5v=1"},
    };
    for (const auto& s : sync) {
        float f;
        int32_t i;
        const char* t;
        EXPECT_EQ(parseVidCmd(s.set, &f, &i, &t), YST_SET) << s.set;
        EXPECT_TRUE(journalHas(s.journalLine)) << s.set;
    }
}

TEST_F(MiscPages, ActiveStartsAnswerTheProtocolsGet) {
    vp.gFlags = 0;
    struct Case {
        uint8_t format;
        uint8_t type;
        const char* get;
        int32_t want;
        const char* note;
    } cases[] = {
        {8, 0, "1,7531", 260, "720p60 over HDMI: sync 40 + back porch 220"},
        {35, 2, "1,7531", 300, "1024x768@60 over VGA: 136 + 160 and the analog delay 4"},
        {255, 0, "1,7531", -1, "no valid format"},
        {8, 9, "1,7531", -1, "an input type the table does not have"},
        {35, 0, "1,7542", 35, "CH2: 6 + 29 lines"},
    };
    for (const Case& c : cases) {
        const int ch = c.get[4] == '4' ? 1 : 0;  // 754x: CH2
        vp.chData[ch].vidFormat = c.format;
        PM.SEL_INPUT_TYPE[ch] = c.type;
        float f;
        int32_t i = 12345;
        const char* t;
        EXPECT_EQ(parseVidCmd(c.get, &f, &i, &t), YST_INT) << c.note;
        EXPECT_EQ(i, c.want) << c.note;
    }
}

TEST_F(MiscPages, TheUnnamedValueStaysInsideTheRecord) {
    vp.gFlags = 0;
    std::memset(reinterpret_cast<uint8_t*>(&PM) + 326, 0xEE, sizeof(PMRec) - 326);
    float f;
    int32_t i;
    const char* t;
    EXPECT_EQ(parseVidCmd("0,7550,3", &f, &i, &t), YST_SET);
    const auto* b = reinterpret_cast<const uint8_t*>(&PM);
    EXPECT_EQ((std::vector<int>{b[326], b[327], b[328], b[329]}), (std::vector<int>{3, 0, 0, 0}));
    EXPECT_EQ(parseVidCmd("1,7550", &f, &i, &t), YST_INT);
    EXPECT_EQ(i, 3);
}

}  // namespace hx40test
