#include "platform/sim/board_conf.h"
#include "support/temp_board.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

void resetRows() {
    for (auto& cb : thread_cb) {
        cb.lastCall = 0;
        cb.worstGap = 1;
        cb.handle = 0;
    }
    WDT_Disable();
}

}  // namespace

TEST(ThreadTable, ElevenRowsWithTheDeviceNamesAndTimeouts) {
    const struct {
        const char* name;
        uint32_t timeout;
    } expected[] = {{"FPNL", 10000}, {"IRRC", 10000}, {"FEND", 10000},     {"MAIN", 15000},
                    {"P7KT", 10000}, {"IOSD", 10000}, {"BGND", 1000},      {"WSCK", 10000},
                    {"PTNL", 10000}, {"USRS_MSG", 10000}, {"AUTO_SWITCH", 10000}};
    ASSERT_EQ(kThreadRows, 11);
    for (int i = 0; i < kThreadRows; ++i) {
        EXPECT_STREQ(thread_cb[i].name, expected[i].name) << i;
        EXPECT_EQ(thread_cb[i].timeout, expected[i].timeout) << i;
        EXPECT_EQ(thread_cb[i].worstGap, 1u) << i;
        EXPECT_EQ(thread_cb[i].lastCall, 0u) << i;
        EXPECT_NE(thread_cb[i].entry, nullptr) << i;
    }
}

TEST(Watchdog, AThreadIsStuckOnlyAfterMissingAWholePassAndItsTimeout) {
    resetRows();
    thread_cb[THREAD_MAIN].lastCall = 1000;
    WDT_Enable();
    uint32_t t = thread_cb[THREAD_MAIN].lastCall;  // restamped by WDT_Enable
    EXPECT_EQ(WDT_check(t + 20), -1);
    EXPECT_EQ(WDT_check(t + 15000), -1);  // not older than 15000 ms
    EXPECT_EQ(WDT_check(t + 15001), THREAD_MAIN);

    // Old, but cleared since the previous pass: not judged in this pass.
    resetRows();
    WDT_Enable();
    thread_cb[THREAD_BGND].lastCall = 5000;
    EXPECT_EQ(WDT_check(9000), -1);
    thread_cb[THREAD_BGND].lastCall = 5001;
    EXPECT_EQ(WDT_check(9020), -1);
    EXPECT_EQ(WDT_check(9040), THREAD_BGND);
}

TEST(Watchdog, SwitchedOffOrUnsupervisedRowsAreNeverJudged) {
    resetRows();
    thread_cb[THREAD_FPNL].lastCall = 100;
    EXPECT_EQ(WDT_check(100000), -1);
    EXPECT_EQ(WDT_check(100020), -1);  // switched off
    WDT_Enable();
    thread_cb[THREAD_FPNL].lastCall = 0;  // a row that never cleared
    EXPECT_EQ(WDT_check(200000), -1);
    EXPECT_EQ(WDT_check(200020), -1);
}

TEST(Watchdog, EnableRestampsOnlySupervisedRows) {
    resetRows();
    thread_cb[THREAD_IOSD].lastCall = 7;
    uint32_t before = getCurrMsCount();
    WDT_Enable();
    EXPECT_TRUE(WDT_isEnabled());
    EXPECT_GE(thread_cb[THREAD_IOSD].lastCall - before, 0u);
    EXPECT_LT(thread_cb[THREAD_IOSD].lastCall - before, 1000u);
    EXPECT_EQ(thread_cb[THREAD_P7KT].lastCall, 0u);
}

TEST(Watchdog, TimesAcrossThe32BitWrap) {
    resetRows();
    WDT_Enable();
    thread_cb[THREAD_FEND].lastCall = 0xFFFFFF00u;
    EXPECT_EQ(WDT_check(0xFFFFFF10u), -1);
    EXPECT_EQ(WDT_check(9000), -1);   // 9256 ms: within 10000
    EXPECT_EQ(WDT_check(9800), THREAD_FEND);  // 10056 ms
}

TEST(Watchdog, TimeoutAccessorsAndRowsOfTheCaller) {
    resetRows();
    EXPECT_EQ(WDT_getTimeout(-1), 2000u);
    EXPECT_EQ(WDT_getTimeout(THREAD_MAIN), 15000u);
    WDT_setTimeout(-1, 5000);
    WDT_setTimeout(THREAD_MAIN, 0);
    WDT_setTimeout(THREAD_MAIN, -3);
    EXPECT_EQ(WDT_getTimeout(THREAD_MAIN), 15000u);
    WDT_setTimeout(THREAD_MAIN, 3600000);
    EXPECT_EQ(WDT_getTimeout(THREAD_MAIN), 3600000u);

    EXPECT_EQ(pthread_get_cb(), -1);
    EXPECT_STREQ(pthread_get_selfname(), "IDLE");
    WDT_Clear();  // no row: nothing
    for (const auto& cb : thread_cb) EXPECT_EQ(cb.lastCall, 0u);

    thread_cb[THREAD_IOSD].handle = pthread_self();
    EXPECT_EQ(pthread_get_cb(), THREAD_IOSD);
    EXPECT_STREQ(pthread_get_selfname(), "IOSD");
    WDT_Clear();
    EXPECT_NE(thread_cb[THREAD_IOSD].lastCall, 0u);
    EXPECT_EQ(thread_cb[THREAD_IOSD].worstGap, 1u);
    Sleep(30);
    WDT_Clear();
    EXPECT_GE(thread_cb[THREAD_IOSD].worstGap, 30u);
}

TEST(Watchdog, TheStartOptionSetsEveryTimeout) {
    WDT_setAllTimeouts(4000);
    for (const auto& cb : thread_cb) EXPECT_EQ(cb.timeout, 4000u);
}

TEST(Watchdog, AStuckThreadIsDumpedAndReportedWhenTheBoardSaysLog) {
    hx40test::TempBoard board;
    board::sim::mutableConf().set("watchdog_action", "log");
    resetRows();
    thread_cb[THREAD_MAIN].handle = pthread_self();
    WDT_Clear();
    WDT_setTimeout(THREAD_MAIN, 40);
    WDT_Enable();
    EXPECT_EQ(WDT_handler(), -1);
    Sleep(60);
    EXPECT_EQ(WDT_handler(), THREAD_MAIN);
    EXPECT_TRUE(board.exists("root/app/logs/regs_dump000.log"));
    EXPECT_NE(board.read("root/app/logs/events.log").find("watchdog: thread MAIN stuck"), std::string::npos);
    // Reported once, then given a fresh time-out.
    EXPECT_EQ(WDT_handler(), -1);
}
