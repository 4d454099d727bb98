#include "core/core_state.h"
#include "core/functable.h"
#include "core/main_task.h"
#include "core/pm.h"
#include "support/temp_board.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/timers.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

_EXMSG key(int code, uint8_t source) {
    _EXMSG m;
    m.key = static_cast<uint16_t>(code);
    m.source = source;
    return m;
}
constexpr uint8_t P = KEY_SOURCE_PANEL;
constexpr uint8_t G = KEY_SOURCE_PROGRAM;

std::vector<int> codes(const std::vector<_EXMSG>& v) {
    std::vector<int> out;
    for (const auto& m : v) out.push_back(m.key);
    return out;
}

std::vector<int> drain(int queue) {
    std::vector<int> out;
    _EXMSG m;
    while (get_message_q(queue, &m) >= 0) out.push_back(m.key);
    return out;
}

class MainKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        reset();
    }
    void reset() {
        PM = PMRec{};
        PM.OSDTM = 2;
        vp.gFlags = 0;
        for (auto& ch : vp.chData) ch.cFlags = 0;
        gInInitialize[0] = gInInitialize[1] = 0;
        in_tbar_process_flag = 0;
        gProtFuncNum = 0;
        gOsdTimeOut = 0;
        drain(E_EXMSG_TYPE_STLOOP);
    }
    void TearDown() override { osdTimerKill(); }
    hx40test::TempBoard board;
};

}  // namespace

TEST(MainKeyRules, WhichWaitingKeysAreTaken) {
    struct Case {
        const char* name;
        std::vector<_EXMSG> waiting;
        bool initialising, transition;
        std::vector<int> taken;
    } cases[] = {
        {"one key", {key(15, P)}, false, false, {15}},
        {"dropped while initialising", {key(15, P), key(43, G)}, true, false, {}},
        {"panel keys collapse to the newest", {key(15, P), key(16, P), key(17, P)}, false, false, {17}},
        {"program keys are all kept, in order", {key(15, P), key(43, G), key(16, P), key(45, G)}, false, false,
         {43, 16, 45}},
        {"a transition lets 11, 12 and 45 through", {key(1, G), key(11, G), key(12, G), key(13, G), key(45, G)},
         false, true, {11, 12, 45}},
        {"collapsing comes first during a transition", {key(11, P), key(14, P)}, false, true, {}},
        {"nothing waiting", {}, false, false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(codes(selectKeys(c.waiting, c.initialising, c.transition)), c.taken) << c.name;
}

TEST_F(MainKeys, MenuKeysWithTheMenuClosed) {
    struct Case {
        const char* name;
        int key;
        int displayMode;
        bool opens;
        std::vector<int> posted;  // on STLOOP
        int node;                 // gProtFuncNum
        uint32_t timeOut;
    } cases[] = {
        {"MENU opens the menu", 0, 0, true, {0}, 0, 60000},
        {"RIGHT shows CH1's volume", 5, 0, true, {39}, 3931, 2000},
        {"LEFT shows CH1's volume", 4, 1, true, {39}, 3931, 2000},
        {"UP shows CH2's volume", 3, 0, true, {39}, 4931, 2000},
        {"DOWN in overlay mode does nothing", 2, 1, false, {}, 0, 0},
        {"MENU held does nothing", 40, 0, false, {}, 0, 0},
    };
    for (const Case& c : cases) {
        reset();
        PM.DISPLAY_MODE = static_cast<uint8_t>(c.displayMode);
        dispatchKey(key(c.key, P));
        EXPECT_EQ((vp.gFlags.load() & VP_GFLAG_MENU_OPEN) != 0, c.opens) << c.name;
        EXPECT_EQ(drain(E_EXMSG_TYPE_STLOOP), c.posted) << c.name;
        EXPECT_EQ(gProtFuncNum.load(), c.node) << c.name;
        EXPECT_EQ(gOsdTimeOut.load(), c.timeOut) << c.name;
    }
}

TEST_F(MainKeys, TheVolumeShortcutUnmutesItsChannel) {
    PM.MUTE[0] = 1;
    dispatchKey(key(5, P));
    EXPECT_EQ(PM.MUTE[0], 0);
    EXPECT_TRUE(vp.chData[0].cFlags.load() & VP_CFLAG_DIRTY);
    PM.MUTE[1] = 1;
    vp.gFlags = 0;
    drain(E_EXMSG_TYPE_STLOOP);
    dispatchKey(key(2, P));
    EXPECT_EQ(PM.MUTE[1], 0);
}

TEST_F(MainKeys, MuteKeysToggleAndShowTheMuteShortcut) {
    dispatchKey(key(kKeyMuteCh2, P));
    EXPECT_EQ(PM.MUTE[1], 1);
    EXPECT_EQ(gProtFuncNum.load(), 4823);
    EXPECT_EQ(gOsdTimeOut.load(), 5000u);
    EXPECT_EQ(drain(E_EXMSG_TYPE_STLOOP), std::vector<int>{39});
    // With the menu open the mute changes but no shortcut opens.
    gProtFuncNum = 0;
    dispatchKey(key(kKeyMuteCh2, P));
    EXPECT_EQ(PM.MUTE[1], 0);
    EXPECT_EQ(gProtFuncNum.load(), 0);
}

TEST_F(MainKeys, WithTheMenuOpenMenuKeysGoToTheEngine) {
    vp.gFlags = VP_GFLAG_MENU_OPEN;
    gOsdTimeOut = 60000;
    for (int k : {0, 1, 2, 3, 4, 5, 40}) dispatchKey(key(k, P));
    EXPECT_EQ(drain(E_EXMSG_TYPE_STLOOP), (std::vector<int>{0, 1, 2, 3, 4, 5, 40}));
    EXPECT_TRUE(vp.gFlags.load() & VP_GFLAG_MENU_OPEN);
}

TEST_F(MainKeys, AModalReaderKeepsTheQueueUnlessAChannelScans) {
    vp.gFlags = VP_GFLAG_MODAL_KEYS;
    _EXMSG m = key(KEY_MODE, P);
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &m), 0);
    handleKeypadKeys();
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 1);
    vp.chData[1].cFlags = VP_CFLAG_SCAN_IN_PROGRESS;
    handleKeypadKeys();
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 0);
}

TEST_F(MainKeys, KeysWaitingWhileAChannelInitialisesAreDropped) {
    gInInitialize[1] = 1;
    _EXMSG m = key(0, P);
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &m), 0);
    handleKeypadKeys();
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 0);
    EXPECT_FALSE(vp.gFlags.load() & VP_GFLAG_MENU_OPEN);
    EXPECT_TRUE(drain(E_EXMSG_TYPE_STLOOP).empty());
}
