#include "core/core_rows.h"
#include "core/functable.h"
#include "core/paramcmd.h"
#include "core/pm.h"
#include "core/core_state.h"
#include "scaler/output_formats.h"
#include "scaler/scaler.h"
#include "support/temp_board.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/msgq.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// What the actions saw.
struct Call {
    int node;
    int channel;
};
std::vector<Call> gCalls;
char gInfo[32] = "stale";
float gFloat = 0;
int32_t gCursor = 0;
uint8_t gStub = 0;

void record(int row) { gCalls.push_back({static_cast<int>(funcDataTbl[row].node), Channel}); }
void refreshInfo(int row) {
    record(row);
    std::strcpy(gInfo, "fresh");
}

FuncRow row(uint32_t node, uint32_t type, void* value, int32_t min, int32_t max, void (*action)(int) = record,
            uint8_t enable = 1) {
    return FuncRow{node, action, 5, nullptr, type, value, fnI(max), fnI(min), fnI(1), fnI(0), enable};
}

class ParseVidCmd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        reset();
    }

    void reset() {
        PM = PMRec{};
        PM.SEL_INPUT[0] = 1;
        PM.SEL_INPUT[1] = 2;
        PM.USER1_DESTINATION = 7;
        PM.USER2_DESTINATION = 7;
        PM.DISPLAY_MODE = 1;
        PM.DWINDOW = 1;
        // The menu's 640 x 480 fits a 1920 x 1080 output up to 1280, 600.
        OSD_CHANNEL = 0;
        PS_PANELACTHW[0] = 1920;
        PS_PANELACTVW[0] = 1080;
        vp.gFlags = 0;
        gCalls.clear();
        Channel = 0;
        static std::array<FuncRow, 28> rows = {
            row(31, FT_S8, &PM.SEL_INPUT[0], 1, 8),
            row(41, FT_S8, &PM.SEL_INPUT[1], 1, 8),
            row(3931, 5, &PM.VOLUME[0], -80, 20),
            row(4931, 6, &PM.VOLUME[1], -80, 20),
            row(4822, 6, &PM.BLANK[1], 0, 1),
            row(4823, 6, &PM.MUTE[1], 0, 1),
            row(324, 9, &PM.RATIO[0], 8, 4000),
            row(521, FT_S16, &PM.OSDPOSH, 0, 2047, nullptr),
            row(534, FT_S8, &PM.CHROMA_KEYING, 0, 1),
            row(535, FT_S8, &PM.LUMA_KEYING, 0, 1),
            row(55312, FT_S8, &PM.CONNECTION[0].DESTINATION, 0, 6),
            row(55322, FT_S8, &PM.CONNECTION[1].DESTINATION, 0, 6),
            row(511, FT_TEXT, gInfo, 0, 0, refreshInfo),
            row(51511, FT_TEXT, gInfo, 0, 0, refreshInfo),
            row(7550, FT_S32, PM.NODE7550, 0, 3, nullptr),
            row(2, FT_PAGE, &gCursor, 0, 3, nullptr),
            row(100, FT_FLOAT, &gFloat, 0, 0),
            row(556, FT_S8, &PM.ALERT_SYSTEM, 0, 1, nullptr, 0),
            row(38729, FT_PAGE, nullptr, 0, 0),
            row(541, FT_S8, &gStub, 0, 0),
            row(331, 9, &PM.OWIN_HST[0], 0, 2046),
            row(332, 9, &PM.OWIN_HW[0], 16, 3840),
            row(333, 9, &PM.OWIN_VST[0], 0, 2046),
            row(334, 9, &PM.OWIN_VW[0], 9, 2160),
            row(431, 10, &PM.OWIN_HST[1], 0, 2046),
            row(151, FT_S8, &PM_I[4].SEL_INPUT_TYPE, 0, 3),
            row(13, FT_S8_CH, &PM.HDCP_MODE[0], 0, 1),
            row(3832, FT_S8, &PI_SYNC_OFF[0], 0, 2, nullptr),
        };
        rows[16].max = fnF(10.0f);
        rows[16].min = fnF(0.0f);
        rows[16].step = fnF(0.5f);
        const FuncRowGroup groups[] = {{"test", rows}, {"core", coreFuncRows()}};
        funcTableInstall(groups);
    }

    // Keys waiting on a queue, oldest first.
    std::vector<int> keys(int queue) {
        std::vector<int> out;
        _EXMSG m;
        while (get_message_q(queue, &m) >= 0) {
            EXPECT_EQ(m.source, KEY_SOURCE_PROGRAM);
            out.push_back(m.key);
        }
        return out;
    }

    int run(const char* text) {
        i = -999;
        f = -999;
        t = nullptr;
        return parseVidCmd(text, &f, &i, &t);
    }

    hx40test::TempBoard board;
    float f = 0;
    int32_t i = 0;
    const char* t = nullptr;
};

}  // namespace

TEST_F(ParseVidCmd, RefusesMalformedCommands) {
    struct Case {
        const char* text;
        int status;
    } cases[] = {
        {"", 1},          {" ", 1},           {" 0", 1},            {" 2,31,1", 1},     {" 00,31,1", 1},
        {" 0,31", 1},     {" 1,31,5", 1},     {" 0,31,1,2", 1},     {" 0,31,x", 1},     {" 0,31,1.5", 1},
        {" 0,abc,1", 1},  {" 0,-31,1", 1},    {" 0,,1", 1},         {" 0,100,nan", 1},  {" 0,100,1e40", 1},
        {" 1,12345", 2},  {" 0,99999999999,1", 2},
        {" 1,2", 12},     {" 0,2,1", 5},      {" 1,920", 12},       {" 1,925", 12},
    };
    for (const Case& c : cases) EXPECT_EQ(run(c.text), c.status) << '"' << c.text << '"';
}

// A row the menu cannot select is still the protocol's to read and set;
// a row that OSD.conf disables is refused to both.
TEST_F(ParseVidCmd, OnlyRowsTheConfDisablesAreRefused) {
    board.write("root/app/conf/OSD.conf", "4822 0\n4823 0\n4823 1\n");
    ASSERT_EQ(funcTableLoadEnables(), 3);
    EXPECT_EQ(run(" 0,556,1"), 5);
    EXPECT_EQ(PM.ALERT_SYSTEM, 1);
    EXPECT_EQ(run(" 1,556"), 6);
    EXPECT_EQ(i, 1);
    keys(E_EXMSG_TYPE_KEYPAD);
    EXPECT_EQ(run(" 0,4822,1"), 10);
    EXPECT_EQ(run(" 1,4822"), 10);
    EXPECT_EQ(PM.BLANK[1], 0);
    EXPECT_TRUE(gCalls.empty());
    EXPECT_TRUE(keys(E_EXMSG_TYPE_KEYPAD).empty());
    EXPECT_EQ(run(" 0,4823,1"), 5);  // enabled again by its later line
}

TEST_F(ParseVidCmd, GetsReturnTheValueOfTheirType) {
    PM.VOLUME[1] = -7;
    PM.RATIO[0] = 1000;
    gFloat = 2.5f;
    EXPECT_EQ(run(" 1,31"), 6);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(run("1,4931\r\n"), 6);
    EXPECT_EQ(i, -7);
    EXPECT_EQ(run(" 1 , 324 "), 6);
    EXPECT_EQ(i, 1000);
    EXPECT_EQ(run(" 1,100"), 7);
    EXPECT_EQ(f, 2.5f);
    EXPECT_TRUE(gCalls.empty());
    // A text row runs its action first, then returns its buffer.
    EXPECT_EQ(run(" 1,511"), 9);
    EXPECT_STREQ(t, "fresh");
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].node, 511);
}

TEST_F(ParseVidCmd, KeyFunctionsPostOnTheFrontPanelQueue) {
    EXPECT_EQ(run(" 0,931"), 8);
    EXPECT_EQ(run(" 0,920,1"), 8);
    EXPECT_EQ(run(" 0,953,0"), 8);
    EXPECT_EQ(keys(E_EXMSG_TYPE_FPANEL), (std::vector<int>{11, 0, 33}));
    EXPECT_TRUE(keys(E_EXMSG_TYPE_KEYPAD).empty());

    fpanel_lockstat = 1;
    mode_stat = 2;
    gPowerSave = 0;
    PM.BLANK[1] = 1;
    PM.FREEZE[1] = 0;
    PM.BLANK[0] = 0;
    PM.FREEZE[0] = 1;
    struct Case {
        const char* text;
        int value;
    } gets[] = {{" 1,927", 1}, {" 1,930", 2}, {" 1,931", 1}, {" 1,932", 0}, {" 1,933", 0}, {" 1,934", 1}, {" 1,953", 1}};
    for (const Case& c : gets) {
        EXPECT_EQ(run(c.text), 6) << c.text;
        EXPECT_EQ(i, c.value) << c.text;
    }
    gPowerSave = 1;
    EXPECT_EQ(run(" 1,953"), 6);
    EXPECT_EQ(i, 0);
    gPowerSave = 0;
    fpanel_lockstat = 0;
    mode_stat = 0;
}

TEST_F(ParseVidCmd, SetsAreClampedToTheRowBounds) {
    struct Case {
        const char* text;
        size_t offset, size;
        int64_t stored;
    } cases[] = {
        {" 0,31,0", 130, 1, 1},          {" 0,31,9", 130, 1, 8},          {" 0,31,99999999999", 130, 1, 8},
        {" 0,31,-99999999999", 130, 1, 1}, {" 0,3931,-100", 172, 1, 0xB0}, {" 0,3931,+7", 172, 1, 7},
        {" 0,324,5000", 0, 2, 4000},     {" 0,324,3", 0, 2, 8},           {" 0,7550,99", 326, 4, 3},
        {" 0,41,5", 131, 1, 5},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run(c.text), 5) << c.text;
        int64_t v = 0;
        std::memcpy(&v, reinterpret_cast<uint8_t*>(&PM) + c.offset, c.size);
        EXPECT_EQ(v, c.stored) << c.text;
    }
    // The 32-bit value of 7550 leaves the bytes past the stored image at 0.
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&PM)[328], 0);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&PM)[329], 0);

    EXPECT_EQ(run(" 0,100,11.5"), 5);
    EXPECT_EQ(gFloat, 10.0f);
    EXPECT_EQ(run(" 0,100,-"), 5);
    EXPECT_EQ(gFloat, 9.5f);

    PM.VOLUME[0] = 20;
    EXPECT_EQ(run(" 0,3931,+"), 5);
    EXPECT_EQ(PM.VOLUME[0], 20);
    EXPECT_EQ(run(" 0,3931,-"), 5);
    EXPECT_EQ(PM.VOLUME[0], 19);
}

TEST_F(ParseVidCmd, ASetPostsTheChannelsTunedKey) {
    EXPECT_EQ(run(" 0,31,3"), 5);
    EXPECT_EQ(run(" 0,4823,1"), 5);
    EXPECT_EQ(run(" 0,521,10"), 5);
    EXPECT_EQ(keys(E_EXMSG_TYPE_KEYPAD), (std::vector<int>{43, 44, 43}));
    // A sync-off request does not wake the output it puts to sleep.
    EXPECT_EQ(run(" 0,3832,1"), 5);
    EXPECT_EQ(PI_SYNC_OFF[0], 1);
    EXPECT_TRUE(keys(E_EXMSG_TYPE_KEYPAD).empty());
    PI_SYNC_OFF[0] = 0;
    // Refused sets post nothing.
    EXPECT_EQ(run(" 0,511,1"), 3);
    EXPECT_TRUE(keys(E_EXMSG_TYPE_KEYPAD).empty());
    EXPECT_TRUE(keys(E_EXMSG_TYPE_FPANEL).empty());
}

TEST_F(ParseVidCmd, RestrictionRules) {
    struct Case {
        const char* name;
        void (*prepare)();
        const char* text;
        int status;
    } cases[] = {
        {"information pages", [] {}, " 0,511,1", 3},
        {"port information", [] {}, " 0,51511,0", 3},
        {"chroma keying in overlay", [] {}, " 0,534,1", 5},
        {"chroma keying with luma keying on", [] { PM.LUMA_KEYING = 1; }, " 0,534,1", 3},
        {"luma keying with chroma keying on", [] { PM.CHROMA_KEYING = 1; }, " 0,535,0", 3},
        {"keying in transition mode", [] { PM.DISPLAY_MODE = 0; }, " 0,535,1", 3},
        {"keying in a single window", [] { PM.DWINDOW = 0; }, " 0,534,1", 3},
        {"keying in one custom window", [] { PM.DWINDOW = 4; }, " 0,534,1", 3},
        {"menu inside the output", [] {}, " 0,521,1280", 5},
        {"menu beyond the output", [] {}, " 0,521,1281", 3},
        {"destination free", [] {}, " 0,55312,2", 5},
        {"destination used by a user port", [] { PM.USER2_DESTINATION = 2; }, " 0,55322,2", 3},
        {"user port sends to all", [] { PM.USER1_DESTINATION = 6; }, " 0,55312,3", 3},
        {"no destination always passes", [] { PM.USER1_DESTINATION = 6; }, " 0,55312,6", 5},
        {"clamped to no destination", [] { PM.USER1_DESTINATION = 6; }, " 0,55312,60", 5},
        {"CH2 value in 4K", [] { PM.OUTPUT_RES_SEL[1] = 42; }, " 0,4931,-3", 3},
        {"CH2 value in 4K, unchanged", [] { PM.OUTPUT_RES_SEL[1] = 42; }, " 0,4931,0", 5},
        {"CH2 mute in 4K", [] { PM.OUTPUT_RES_SEL[1] = 42; }, " 0,4823,1", 5},
        {"CH2 in 4K of CH1 only", [] { PM.OUTPUT_RES_SEL[0] = 42; }, " 0,4931,-3", 5},
        {"CH1 value in 4K", [] { PM.OUTPUT_RES_SEL[0] = 42; }, " 0,3931,-3", 5},
        {"upgrade entry", [] {}, " 0,541,0", 5},
    };
    for (const Case& c : cases) {
        reset();
        c.prepare();
        EXPECT_EQ(run(c.text), c.status) << c.name;
        if (c.status == 3) {
            EXPECT_TRUE(gCalls.empty()) << c.name;
        }
        keys(E_EXMSG_TYPE_KEYPAD);
    }
    EXPECT_EQ(isParamRestricted(0, 1), 0);
}

TEST_F(ParseVidCmd, TheActionRunsAtOnceOnlyWhileTheMenuIsClosed) {
    EXPECT_EQ(run(" 0,31,4"), 5);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].node, 31);

    gCalls.clear();
    gProtFuncNum = 0;
    vp.gFlags |= VP_GFLAG_MENU_OPEN;
    EXPECT_EQ(run(" 0,4822,1"), 5);
    EXPECT_EQ(PM.BLANK[1], 1);
    EXPECT_TRUE(gCalls.empty());  // the menu engine runs it (key 39)
    EXPECT_EQ(gProtFuncNum.load(), 4822);
    vp.gFlags = 0;
}

TEST_F(ParseVidCmd, NodesWithoutAValueRunTheirActionAndReportNothing) {
    EXPECT_EQ(run(" 0,38729,1"), 11);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].node, 38729);
}

TEST_F(ParseVidCmd, ChannelPageNodesRunOnTheirChannel) {
    struct Case {
        int threadChannel;
        const char* text;
        int actionChannel, tunedKey;
    } cases[] = {
        {1, " 0,3931,5", 0, 43},
        {0, " 0,4822,1", 1, 44},
        {1, " 0,13,1", 1, 44},  // neither page: the thread's own channel
    };
    for (const Case& c : cases) {
        gCalls.clear();
        Channel = c.threadChannel;
        EXPECT_EQ(run(c.text), 5) << c.text;
        EXPECT_EQ(Channel, c.threadChannel) << c.text;
        ASSERT_EQ(gCalls.size(), 1u) << c.text;
        EXPECT_EQ(gCalls[0].channel, c.actionChannel) << c.text;
        EXPECT_EQ(keys(E_EXMSG_TYPE_KEYPAD), std::vector<int>{c.tunedKey}) << c.text;
    }

    // A channel-indexed row reads the element of the node's channel.
    Channel = 0;
    PM.HDCP_MODE[1] = 1;
    EXPECT_EQ(run(" 1,13"), 6);
    EXPECT_EQ(i, 0);
    Channel = 1;
    EXPECT_EQ(run(" 1,13"), 6);
    EXPECT_EQ(i, 1);
    Channel = 0;
    // Refused and malformed commands restore it too.
    PM.OUTPUT_RES_SEL[1] = 42;
    EXPECT_EQ(run(" 0,4931,5"), 3);
    EXPECT_EQ(run(" 0,4931,x"), 1);
    EXPECT_EQ(Channel, 0);
    // And PM_mutex is free on every path.
    EXPECT_EQ(pthread_mutex_trylock(&PM_mutex), 0);
    pthread_mutex_unlock(&PM_mutex);
}

TEST_F(ParseVidCmd, GetTextOfAFunction) {
    std::string out;
    EXPECT_EQ(unParseVidCmd(out, 3931), 0);
    EXPECT_EQ(out, " 1,3931");
    EXPECT_NE(unParseVidCmd(out, 12345), 0);
}

TEST_F(ParseVidCmd, OutputWindowAndInputTypeCommands) {
    EXPECT_EQ(parseOwinVidCmd("0,10,5000,20,200"), 0);
    EXPECT_EQ(PM.OWIN_HST[0], 10);
    EXPECT_EQ(PM.OWIN_HW[0], 3840);
    EXPECT_EQ(PM.OWIN_VST[0], 20);
    EXPECT_EQ(PM.OWIN_VW[0], 200);
    EXPECT_EQ(parseOwinVidCmd("2,1,2,3,4"), 1);
    EXPECT_EQ(parseOwinVidCmd("0,1,2,3"), 1);
    EXPECT_EQ(parseOwinVidCmd("0,1,2,3,x"), 1);
    EXPECT_EQ(parseOwinVidCmd("1,1,2,3,4"), 2);  // CH2's rows 432..434 are missing here
    PM.OUTPUT_RES_SEL[1] = 42;
    EXPECT_EQ(parseOwinVidCmd("1,7,2,3,4"), 3);

    EXPECT_EQ(parseVidInpCmd("4,2"), 0);
    EXPECT_EQ(PM_I[4].SEL_INPUT_TYPE, 2);
    EXPECT_EQ(parseVidInpCmd("4,9"), 0);
    EXPECT_EQ(PM_I[4].SEL_INPUT_TYPE, 3);
    EXPECT_EQ(parseVidInpCmd("8,1"), 1);
    EXPECT_EQ(parseVidInpCmd("3,1"), 2);
    EXPECT_EQ(parseVidInpCmd("4"), 1);

    struct Case {
        const char* text;
        int result;
    } cust[] = {{"0", 0}, {" 1", 0}, {"1,5,6", 0}, {"2", 1}, {"", 1}, {"01", 1}, {"-1", 1}};
    for (const Case& c : cust) EXPECT_EQ(parseCmdWinCustStr(c.text), c.result) << c.text;
}
