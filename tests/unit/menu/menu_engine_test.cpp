// The menu engine driven key by key over a small table of pages: where the
// keys lead, how values step, the order of screens and actions, delayed
// actions, dialog states, saves and the close.
#include "unit/osd/osd_fixture.h"

#include "core/core_rows.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_engine.h"
#include "menu/menu_state.h"
#include "menu/root_page.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timers.h"
#include "sys/timeutil.h"

#include <array>
#include <cmath>
#include <cstring>

namespace hx40test {
namespace {

std::vector<std::string> gLog;
uint32_t gLastActionAt;
void logScreen(int row) { gLog.push_back("S" + std::to_string(funcDataTbl[row].node)); }
void logAction(int row) {
    gLog.push_back("A" + std::to_string(funcDataTbl[row].node));
    gLastActionAt = getCurrMsCount();
}
// A confirmation: the screen enters a dialog state, the action leaves it.
void dialogScreen(int row) {
    logScreen(row);
    st_num = 997;
}
void dialogAction(int row) {
    logAction(row);
    if (st_num == 997) st_num = static_cast<int32_t>(funcDataTbl[row].node);
}

int32_t PB_1, PB_2, PB_24, PB_241, PB_3, PB_39, PB_393, PB_396, PB_4, PB_5, PB_55, PB_553;
int8_t v11, v12, v17, v23, v33;
int16_t v13;
int32_t v21;
uint8_t v16;
float v15;
char info[16];

constexpr FuncRow page(uint32_t node, int32_t* cursor, int32_t max) {
    return {node, logAction, 5, logScreen, FT_PAGE, cursor, fnI(max), fnI(0), fnI(1), fnI(0), 1};
}
constexpr FuncRow item(uint32_t node, uint32_t mode, uint32_t type, void* value, int32_t min, int32_t max,
                       int32_t step = 1, int32_t fast = 0, uint8_t enable = 1) {
    return {node, logAction, mode, logScreen, type, value, fnI(max), fnI(min), fnI(step), fnI(fast), enable};
}

const FuncRow kTestRows[] = {
    page(1, &PB_1, 2),
    item(11, 0, FT_S8, &v11, -80, 20, 1, 2),
    item(12, 5, FT_S8, &v12, 0, 3),
    item(13, 6, FT_S16, &v13, 0, 100, 5),
    {14, dialogAction, 5, dialogScreen, FT_S8, &v17, fnI(5), fnI(0), fnI(1), fnI(0), 1},
    {15, logAction, 0, logScreen, FT_FLOAT, &v15, fnF(1.0f), fnF(-1.0f), fnF(0.16f), fnF(0), 1},
    item(16, 0, FT_S8, &v16, 0, 207),
    item(17, 5, FT_S8, &v17, 0, 5),
    page(2, &PB_2, 3),
    item(21, 4, FT_S32, &v21, 0, 9),
    item(22, 5, FT_S8, &v12, 0, 3, 1, 0, 0),
    item(23, 5, FT_S8, &v23, 0, 5),
    page(24, &PB_24, 2),
    page(241, &PB_241, 2),
    item(2411, 2, FT_S8, &v12, 0, 3),
    item(2421, 5, FT_S8, &v12, 0, 3),
    page(3, &PB_3, 8),
    item(33, 5, FT_S8, &v33, 0, 1),
    page(39, &PB_39, 5),
    page(393, &PB_393, 0),
    item(3931, 0, FT_S8_CH, &PM.VOLUME, -80, 20, 1, 2),
    page(396, &PB_396, 2),
    page(4, &PB_4, 8),
    item(43, 5, FT_S8, &v33, 0, 1),
    item(4823, 5, FT_S8_CH, &PM.MUTE, 0, 1),
    item(4931, 0, FT_S8_CH, &PM.VOLUME, -80, 20, 1, 2),
    page(5, &PB_5, 5),
    item(511, 2, FT_TEXT, info, 0, 0),
    item(512, 2, FT_TEXT, info, 0, 0),
    item(51511, 5, FT_S8, &v12, 0, 3),
    page(55, &PB_55, 3),
    page(553, &PB_553, 8),
    item(5539, 7, FT_S8, &v12, 0, 0),
};

class Engine : public OsdTest {
protected:
    Engine() : OsdTest(true, true) {}  // with the journal
    void SetUp() override {
        OsdTest::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
        static const std::array<FuncRowGroup, 3> groups = {{
            {"root", rootPageRows()}, {"core", coreFuncRows()}, {"test", kTestRows}}};
        funcTableInstall(groups);
        PM = PMRec{};
        PM.OSDPOSH = 640;
        PM.OSDPOSV = 300;
        OSD_CHANNEL = 0;
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        vp.chData[0].vidInput = 2;   // HDMI 3
        vp.chData[1].vidInput = 29;  // VGA of input 6
        gOsdTimeOut = 60000;
        st_num = kNodeClosed;
        acceleratePlusMinus = 0;
        wait_till_release_key = 0;
        gLog.clear();
        // The rows' values as a fresh process has them.
        for (int32_t* cursor : {&PB_1, &PB_2, &PB_24, &PB_241, &PB_3, &PB_39, &PB_393, &PB_396, &PB_4, &PB_5, &PB_55,
                                &PB_553})
            *cursor = 0;
        v11 = v12 = v17 = v23 = v33 = 0;
        v13 = 0;
        v21 = 0;
        v16 = 0;
        v15 = 0;
        std::memset(info, 0, sizeof info);
    }
    void TearDown() override {
        start_timer(TIMER_OSD_DELAY, 0);
        osdTimerKill();
        remove_message_queues();
        OsdTest::TearDown();
    }

    static void key(int k, uint32_t param = 0) { stLoop_proc(_stloop_proc_param{k, 0, param}); }
    static void at(int32_t node) { st_num = node; }
    static int row(int node) { return funcNum2TblInx(node); }
    static std::string log() {
        std::string s;
        for (const auto& e : gLog) s += (s.empty() ? "" : ",") + e;
        return s;
    }
    // Runs the steps of the keys that reach STLOOP within ms (IOSD's part).
    static void pump(uint32_t ms) {
        const uint32_t t0 = getCurrMsCount();
        while (getElapsedMs(t0) < ms) {
            _EXMSG m;
            if (get_message_q(E_EXMSG_TYPE_STLOOP, &m) >= 0) stLoop_proc(_stloop_proc_param{m.key, 0, m.param});
            else Sleep(5);
        }
    }
    static bool drew(const std::string& text, int x, int y) { return chipDrewText(text, x, y); }
    uint8_t eepromAt(size_t addr) const { return static_cast<uint8_t>(board_->read("sim/eeprom.bin").at(addr)); }
    std::string journal() const { return board_->read("sim/journal.log"); }
    static bool windowOn() { return chip().regCode(0x20901, 0) & 0x02; }
};

TEST_F(Engine, KeysWalkTheTree) {
    struct Step {
        int32_t from;  // -1: where the last key left it
        int key;
        int32_t to;
        const char* note;
    } walk[] = {
        {999, 0, 0, "MENU while closed opens the root"},
        {-1, 5, 3, "RIGHT is ENTER: the root cursor's page"},
        {-1, 1, 39, "ENTER takes the cursor's item"},
        {-1, 4, 3, "LEFT is MENU: the parent"},
        {-1, 0, 0, "MENU on a top page: the root"},
        {2, 1, 2, "a disabled child is not entered"},
        {553, 1, 553, "5539 is a notice, not a page"},
        {2261, 0, 2261, "the T-bar page holds while a transition runs"},
        {0, 0, 999, "MENU at the root closes"},
    };
    static std::atomic<int> timedOut{0};
    PB_0 = 2, PB_3 = 8, PB_2 = 1, PB_553 = 8;
    in_tbar_process_flag = 1;
    PM.T_BAR = 1;
    for (const Step& s : walk) {
        if (s.from >= 0) at(s.from);
        if (s.to == 999) osdTimerSet(150, 0, [] { ++timedOut; });  // the menu's time-out runs
        gLog.clear();
        const uint32_t t0 = getCurrMsCount();
        key(s.key);
        EXPECT_EQ(st_num, s.to) << s.note;
        if (s.from == 553) {
            EXPECT_GE(getElapsedMs(t0), 500u);
            EXPECT_EQ(log(), "S553,A5539") << "5539's action runs while the notice shows";
            EXPECT_TRUE(drew("Disconnecting", 403, 426));
            EXPECT_TRUE(drew(std::string(21, ' '), 403, 426));
        }
    }
    EXPECT_EQ(vp.gFlags & VP_GFLAG_MENU_OPEN, 0u);
    EXPECT_FALSE(windowOn());
    Sleep(300);
    EXPECT_EQ(timedOut, 0) << "closing stops the time-out";
}

TEST_F(Engine, ValuesStepWithinTheirBounds) {
    struct Case {
        int node;
        double from;
        int key;
        double to;
        const char* note;
    } cases[] = {
        {11, 20, 3, 20, "numeric: plus stops at the maximum"},
        {11, -80, 2, -80, "numeric: minus stops at the minimum"},
        {11, 0, 2, -1, "numeric: minus subtracts the step"},
        {12, 3, 2, 0, "list: down at the maximum wraps to the minimum"},
        {12, 0, 3, 3, "list: up at the minimum wraps to the maximum"},
        {12, 1, 3, 0, "list: up moves back"},
        {1, 2, 2, 0, "page: down at the last item wraps to the first"},
        {1, 0, 3, 2, "page: up at the first wraps to the last"},
        {15, 0, 3, 0.2, "float: 0.16 is put on the tenth above"},
        {15, 0, 2, -0.1, "float: -0.16 goes to the tenth towards zero"},
        {16, 128, 3, 129, "a byte row past 127 steps unsigned"},
        {23, 5, 2, 0, "layout mode: a list while both channel layouts are enabled"},
    };
    // The row's value as the engine reads it (the byte row past 127 unsigned).
    auto value = [](int node) -> double {
        if (node == 15) return v15;
        if (node == 16) return v16;
        return funcIntAt(row(node), 0);
    };
    for (const Case& c : cases) {
        at(c.node);
        acceleratePlusMinus = 0;
        if (c.node == 15) v15 = static_cast<float>(c.from);
        else funcSetIntAt(row(c.node), 0, static_cast<int32_t>(c.from));
        key(c.key);
        EXPECT_NEAR(value(c.node), c.to, 1e-6) << c.note;
    }
}

TEST_F(Engine, LayoutModeAndChannel2In4k) {
    struct Case {
        int node;
        bool channelLayouts;
        bool fourK;
        int from, key, to;
        const char* note;
    } cases[] = {
        {23, true, true, 2, 2, 2, "4K: the layout mode stays"},
        {23, false, true, 2, 2, 2, "4K: the layout mode stays"},
        {23, false, false, 3, 2, 0, "without channel layouts: past 2 back to the minimum"},
        {23, false, false, 0, 3, 3, "without channel layouts: up from the minimum to 3"},
        {23, false, false, 2, 2, 3, "without channel layouts: down adds the step"},
        {4931, true, true, 0, 3, 0, "4K: channel 2 values do not change"},
        {4823, true, true, 0, 2, 1, "4K: channel 2 mute still toggles"},
        {3931, true, true, 0, 3, 1, "4K: channel 1 values change"},
    };
    for (const Case& c : cases) {
        funcDataTbl[row(33)].enable = c.channelLayouts ? 1 : 0;
        PM.OUTPUT_RES_SEL[0] = c.fourK ? 42 : 0;
        at(c.node);
        setVal(row(c.node), c.from);
        key(c.key);
        EXPECT_EQ(getVal(row(c.node)), c.to) << c.note;
    }
}

TEST_F(Engine, HoldingPlusAcceleratesToTheFastStep) {
    g_print_verbose_lvl = PRINT_GENERAL;
    at(3931);
    std::vector<int> values;
    std::vector<uint32_t> pauses;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 12; ++i) {
        const uint32_t t0 = getCurrMsCount();
        key(3);
        pauses.push_back(getElapsedMs(t0));
        values.push_back(PM.VOLUME[0]);
    }
    const std::string out = testing::internal::GetCapturedStdout();
    g_print_verbose_lvl = 0;
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 13, 15}));
    EXPECT_GE(pauses[0], 20u);
    EXPECT_GE(pauses[1], 40u);
    EXPECT_EQ(out.find("acceleration slow down=20 milli\n"), out.rfind("acceleration slow down=20 milli\n"));
    EXPECT_NE(out.find("acceleration slow down=40 milli\n"), std::string::npos);
    for (int i = 0; i < 4; ++i) key(3);
    EXPECT_EQ(PM.VOLUME[0], 20) << "the fast step stops at the maximum too";

    acceleratePlusMinus = 0;  // a new key press
    key(2);
    EXPECT_EQ(PM.VOLUME[0], 19);
}

TEST_F(Engine, ScreenAndActionFollowTheCallMode) {
    struct Case {
        uint32_t mode;
        int key;
        const char* order;
    } cases[] = {
        {0, 3, "A17,S17"}, {1, 37, "S17"}, {2, 37, "A17,S17"}, {3, 39, "S17,A17"}, {5, 1, "S17"},
        {5, 2, "S17,A17"}, {6, 3, "S17"}, {6, 39, "S17,A17"}, {7, 37, "S17"}, {7, 1, "S17,A17"},
        {8, 3, ""},
    };
    gProtFuncNum = 17;
    for (const Case& c : cases) {
        funcDataTbl[row(17)].callMode = c.mode;
        funcDataTbl[row(17)].change = 0;
        at(17);
        gLog.clear();
        key(c.key);
        EXPECT_EQ(log(), c.order) << "mode " << c.mode << " key " << c.key;
    }
}

TEST_F(Engine, DelayedActionRunsOnceASecondAfterTheLastKey) {
    at(13);
    for (int i = 0; i < 3; ++i) {
        key(3);
        Sleep(200);
    }
    const uint32_t last = getCurrMsCount() - 200;
    EXPECT_EQ(log(), "S13,S13,S13");
    pump(1500);
    EXPECT_EQ(log(), "S13,S13,S13,A13,S13");
    EXPECT_GE(gLastActionAt - last, 950u);
    EXPECT_LT(gLastActionAt - last, 1400u);
    EXPECT_TRUE(drew("Saving Data", 403, 426));
    EXPECT_EQ(v13, 90) << "a list: up wraps from the first to the last, then steps back";
    EXPECT_EQ(funcDataTbl[row(13)].change & kRowChanged, 0);
    pump(1300);
    EXPECT_EQ(log(), "S13,S13,S13,A13,S13") << "once";
}

TEST_F(Engine, APendingDelayedActionRunsBeforeAnotherRowIsArmed) {
    at(13);
    key(3);
    at(21);
    key(3);  // arms row 21: row 13's action is posted at once
    pump(300);
    EXPECT_EQ(log(), "S13,S21,A13,S21");
    pump(1200);
    EXPECT_EQ(log(), "S13,S21,A13,S21,A21,S21");
    EXPECT_EQ(v21, 1);
}

TEST_F(Engine, DialogStateRunsTheActionAgainAndEndsTheStep) {
    at(12);
    key(37);
    const int plane = drawingPlane();
    const int32_t before = prv_st_num;
    at(14);
    gLog.clear();
    key(1);  // an item: would save
    EXPECT_EQ(log(), "S14,A14");
    EXPECT_EQ(st_num, 14) << "the action left the dialog state";
    EXPECT_EQ(prv_st_num, before);
    EXPECT_EQ(drawingPlane(), plane) << "no plane swap";
    EXPECT_FALSE(drew("Saving Data", 403, 426));
}

TEST_F(Engine, SavesBothChannelsZonesExceptOnInformationNodes) {
    PM.VOLUME[0] = -7;
    PM.VOLUME[1] = 5;
    at(12);
    key(1);  // ENTER on an item
    // Zone of input 2 on CH1 at 2 * 384, of input 6 (VGA 29) on CH2 at 13 * 384; VOLUME at 172.
    EXPECT_EQ(eepromAt(768 + 172), 0xF9);
    EXPECT_EQ(eepromAt(768 + 173), 0x05);
    EXPECT_EQ(eepromAt(4992 + 172), 0xF9);
    EXPECT_TRUE(drew("Saving Data", 403, 426));
    EXPECT_TRUE(drew(std::string(21, ' '), 403, 426));

    PM.VOLUME[0] = 9;
    chip().clearOperations();
    at(51511);
    key(1);
    at(2421);
    key(37);
    EXPECT_EQ(eepromAt(768 + 172), 0xF9) << "information nodes and redraws never save";
    EXPECT_FALSE(drew("Saving Data", 403, 426));

    vp.chData[1].vidInput = 26;  // no connector: CH2's zone is left alone
    key(1);
    EXPECT_EQ(eepromAt(768 + 172), 9);
    EXPECT_EQ(eepromAt(4992 + 172), 0xF9);
    EXPECT_TRUE(drew("Setting Native Resolution...", 340, 394));
    EXPECT_TRUE(drew(std::string(28, ' '), 340, 394));
}

TEST_F(Engine, PlusWithoutSaveMarksTheChannelDirtyAndAnnounces) {
    at(3931);
    key(3);
    EXPECT_EQ(funcDataTbl[row(3931)].change & kRowChanged, 0);
    EXPECT_EQ(vp.chData[0].cFlags & VP_CFLAG_DIRTY, VP_CFLAG_DIRTY);
    EXPECT_NE(journal().find("p7kEvAnnounceInt function=3931 value=1 channel=0"), std::string::npos);
    at(15);
    key(3);
    EXPECT_NE(journal().find("p7kEvAnnounceFloat function=15 value=0.20 channel=0"), std::string::npos);
    gInInitialize[1] = 1;
    at(3931);
    key(3);
    gInInitialize[1] = 0;
    EXPECT_EQ(journal().find("function=3931 value=2"), std::string::npos) << "nothing while a channel initialises";
    at(12);
    key(1);
    EXPECT_EQ(journal().find("function=12 "), std::string::npos) << "only plus and minus announce";
}

TEST_F(Engine, TwinPagesAndProtocolJumps) {
    struct Case {
        int32_t from, cursor, to, cursorAfter;
    } cases[] = {
        {3931, 0, 4931, 0}, {4931, 0, 3931, 0}, {4823, 0, 3823, 0}, {511, 0, 512, 0}, {512, 0, 511, 0},
        {39612, 0, 39622, 0}, {396, 0, 396, 1}, {396, 1, 396, 0}, {396, 2, 396, 2}, {0, 2, 0, 3},
        {0, 3, 0, 2}, {0, 1, 0, 1},
    };
    for (const Case& c : cases) {
        at(c.from);
        PB_396 = PB_0 = c.cursor;
        key(40);
        EXPECT_EQ(st_num, c.to) << c.from;
        if (c.from == 0 || c.from == 396) {
            EXPECT_EQ(c.from == 0 ? PB_0 : PB_396, c.cursorAfter) << c.from;
        }
    }
    EXPECT_EQ(PB_39, 2) << "the twin's pages show the way to it";
    EXPECT_EQ(PB_3, 8);

    gProtFuncNum = 2411;
    at(999);
    key(39);
    EXPECT_EQ(st_num, 2411);
    EXPECT_EQ((std::array<int32_t, 4>{PB_241, PB_24, PB_2, PB_0}), (std::array<int32_t, 4>{0, 0, 3, 1}));
    gProtFuncNum = 5;
    PB_0 = 0;
    at(1000);
    key(37);
    EXPECT_EQ(st_num, 5) << "node 1000 leads to the protocol's node";
    EXPECT_EQ(PB_0, 4);
}

// Requests that wait while the engine is busy each reach their own node:
// a later request must not take the place of an earlier one.
TEST_F(Engine, EachProtocolJumpRunsItsOwnNode) {
    at(1);
    stLoopNode(12);
    stLoopNode(17);
    EXPECT_EQ(gProtFuncNum.load(), 17);
    pump(100);
    EXPECT_EQ(log(), "S12,A12,S17,A17");
}

TEST_F(Engine, NodeNumbers) {
    int depth = 0;
    EXPECT_EQ(find_osd_hierarchy_num(39612, &depth), 3);
    EXPECT_EQ(depth, 5);
    EXPECT_EQ(find_osd_hierarchy_num(10, &depth), 10);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(replace_osd_hierarchy_num(3821, 4), 4821);
    EXPECT_EQ(replace_osd_hierarchy_num(7, 3), 3);
    const std::pair<int, int> mic[] = {{3961, 3962}, {3962, 3961}, {39612, 39622}, {396221, 396121}, {3963, 3963}};
    for (auto [from, to] : mic) EXPECT_EQ(replace_osd_microphone_hierarchy_num(from), to) << from;
}

TEST_F(Engine, ReleaseWaitHoldsOnlyNavigation) {
    at(12);
    wait_till_release_key = 1;
    for (int k : {0, 1, 2, 3, 4, 5, 40}) key(k);
    EXPECT_EQ(st_num, 12);
    EXPECT_EQ(v12, 0);
    EXPECT_TRUE(gLog.empty());
    gProtFuncNum = 13;
    key(39);
    EXPECT_EQ(st_num, 13) << "the protocol's node still goes";
    key(38);
    EXPECT_EQ(st_num, 999) << "the close still goes";
}

TEST_F(Engine, VolumeShortcutTurnsTheArrowsIntoVolume) {
    gOsdTimeOut = 2000;
    at(999);
    key(5);
    EXPECT_EQ(st_num, 3931);
    EXPECT_EQ(PM.VOLUME[0], 1);
    key(2);
    EXPECT_EQ(st_num, 4931) << "down and up are channel 2's volume";
    EXPECT_EQ(PM.VOLUME[0], 0);
    PM.DISPLAY_MODE = 1;
    at(999);
    key(3);
    EXPECT_EQ(st_num, 999) << "no channel 2 volume in overlay mode";
}

TEST_F(Engine, FullQueueDropsOnlyNavigation) {
    for (int i = 0; i < 11; ++i) stLoop(37);
    stLoop(2);
    stLoop(40);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_STLOOP), 11);
    stLoop(37);
    stLoop(38);
    stLoop(42);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_STLOOP), 14);
}

TEST_F(Engine, StartUpClosesTheMenuAndDrawsTheBase) {
    st_num = 12;
    button_num = 3;
    record();
    stInit();
    EXPECT_EQ(st_num, 999);
    EXPECT_EQ(button_num, -1);
    auto acc = recorded();
    auto expect = expand({{'w', 0x177404, 0}, {'w', 0x21E01, 0x30}, {'w', 0x21F01, 0x60}});
    ASSERT_GE(acc.size(), expect.size());
    EXPECT_EQ(std::vector<Access>(acc.begin(), acc.begin() + static_cast<long>(expect.size())), expect);
    auto texts = placed(chip().scene(drawingPlane()));
    EXPECT_EQ(texts, (std::vector<std::string>{"140,92 Inputs", "140,150 Layout", "140,208 Channel 1",
                                               "140,266 Channel 2", "140,324 Misc"}));
}

}  // namespace
}  // namespace hx40test
