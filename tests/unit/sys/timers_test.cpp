#include "core/pm.h"
#include "core/core_state.h"
#include "support/temp_board.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timers.h"
#include "sys/timeutil.h"

#include <atomic>
#include <gtest/gtest.h>

namespace {

std::atomic<int> gFired{0};
void fire() { ++gFired; }

bool waitFor(const std::function<bool()>& pred, uint32_t ms) {
    uint32_t t0 = getCurrMsCount();
    while (!pred()) {
        if (getElapsedMs(t0) > ms) return false;
        Sleep(5);
    }
    return true;
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        gFired = 0;
    }
    void TearDown() override { remove_message_queues(); }
    hx40test::TempBoard board_;
};

}  // namespace

TEST_F(Timers, ZeroMillisecondsStartsNothing) {
    EXPECT_EQ(osdTimerSet(0, 1, fire), 255);
    EXPECT_EQ(osdRefreshTimerSet(0), 255);
    EXPECT_EQ(osdDelayTimerSet(0, 1, 5), 255);
    EXPECT_EQ(tbarEnableTimerSet(0), 255);
    EXPECT_EQ(tbarDelayTimerSet(0, 1, fire), 255);
    Sleep(50);
    EXPECT_EQ(gFired, 0);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_STLOOP), 0);
    EXPECT_EQ(create_timer(7, nullptr), -1);
    EXPECT_EQ(start_timer(-1, 10), -1);
}

TEST_F(Timers, RefreshAndDelayedActionPostTheirKeysOnStLoop) {
    g_print_verbose_lvl = 0x200;
    testing::internal::CaptureStdout();
    ASSERT_EQ(osdRefreshTimerSet(20), 0);
    _EXMSG m;
    ASSERT_TRUE(waitFor([&] { return get_message_q(E_EXMSG_TYPE_STLOOP, &m) > 0; }, 3000));
    EXPECT_EQ(m.key, 37);

    ASSERT_EQ(osdDelayTimerSet(20, 0, 321), 0);
    ASSERT_TRUE(waitFor([&] { return get_message_q(E_EXMSG_TYPE_STLOOP, &m) > 0; }, 3000));
    EXPECT_EQ(m.key, 42);
    EXPECT_EQ(m.param, 321u);
    Sleep(20);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("osdDelayTmrHandler_thread: Timer expired.\n"), std::string::npos) << out;
}

TEST_F(Timers, ANewRowsDelayedActionPostsThePendingOneFirst) {
    ASSERT_EQ(osdDelayTimerSet(5000, 0, 11), 0);
    ASSERT_EQ(osdDelayTimerSet(5000, 0, 11), 0);  // the same row only restarts
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_STLOOP), 0);
    ASSERT_EQ(osdDelayTimerSet(30, 0, 22), 0);
    _EXMSG m;
    ASSERT_GT(get_message_q(E_EXMSG_TYPE_STLOOP, &m), 0);  // at once
    EXPECT_EQ(m.key, 42);
    EXPECT_EQ(m.param, 11u);
    ASSERT_TRUE(waitFor([&] { return get_message_q(E_EXMSG_TYPE_STLOOP, &m) > 0; }, 3000));
    EXPECT_EQ(m.param, 22u);
    Sleep(50);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_STLOOP), 0);
}

TEST_F(Timers, AKilledTimerDoesNotFireAndReArmingRestarts) {
    ASSERT_EQ(osdTimerSet(200, 0, fire), 0);
    Sleep(50);
    osdTimerKill();
    Sleep(300);
    EXPECT_EQ(gFired, 0);

    ASSERT_EQ(tbarDelayTimerSet(300, 0, fire), 0);
    Sleep(200);
    ASSERT_EQ(tbarDelayTimerSet(300, 0, fire), 0);  // restarts: due 500 ms from the first start
    Sleep(150);
    EXPECT_EQ(gFired, 0);
    ASSERT_TRUE(waitFor([] { return gFired == 1; }, 3000));
    Sleep(400);
    EXPECT_EQ(gFired, 1);  // one-shot
    ASSERT_EQ(tbarDelayTimerSet(100, 0, fire), 0);
    tbarDelayTimerKill();
    Sleep(250);
    EXPECT_EQ(gFired, 1);
}

TEST_F(Timers, TheTBarEnableTimerReleasesAVanishedHardwareTBar) {
    is_hwtbar_connected = 1;
    disable_web_tbar_flg = 1;
    PM.T_BAR = 4;
    ASSERT_EQ(tbarEnableTimerSet(20), 0);
    ASSERT_TRUE(waitFor([] { return is_hwtbar_connected == 0; }, 3000));
    ASSERT_TRUE(waitFor([] { return disable_web_tbar_flg == 0; }, 3000));
    EXPECT_EQ(PM.T_BAR, 0);

    // Without a hardware T-bar the expiry changes nothing.
    disable_web_tbar_flg = 1;
    PM.T_BAR = 4;
    ASSERT_EQ(tbarEnableTimerSet(20), 0);
    Sleep(150);
    EXPECT_EQ(PM.T_BAR, 4);
    EXPECT_EQ(disable_web_tbar_flg, 1);
    ASSERT_EQ(tbarEnableTimerSet(50), 0);
    tbarEnableTimerKill();
}

TEST_F(Timers, TimerHandlerRunsItsCallbackOnce) {
    std::atomic<int> n{0};
    Timer_Handler t([&] { ++n; });
    EXPECT_FALSE(t.armed());
    ASSERT_EQ(t.start(30), 0);
    EXPECT_TRUE(t.armed());
    ASSERT_TRUE(waitFor([&] { return n == 1; }, 3000));
    EXPECT_FALSE(t.armed());
    ASSERT_EQ(t.start(100), 0);
    t.stop();
    Sleep(200);
    EXPECT_EQ(n, 1);
}
