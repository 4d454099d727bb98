// The thread table and the software watchdog.
//
// Six table threads clear their row in their loops; a row whose last call is
// 0 is not supervised. The watchdog starts switched off. The handler runs in
// BGND every 20 ms: a supervised thread that missed a whole handler pass and
// whose last call is older than its time-out is stuck; the registers are
// dumped and the device reboots (or, with watchdog_action = log in the
// board's configuration, the stuck thread is only reported).
#pragma once

#include <atomic>
#include <cstdint>
#include <pthread.h>

inline constexpr int kThreadRows = 11;

enum : int {
    THREAD_FPNL = 0,
    THREAD_IRRC,
    THREAD_FEND,
    THREAD_MAIN,
    THREAD_P7KT,
    THREAD_IOSD,
    THREAD_BGND,
    THREAD_WSCK,
    THREAD_PTNL,
    THREAD_USRS_MSG,
    THREAD_AUTO_SWITCH,
};

struct THREAD_CB {
    pthread_t handle;
    void* (*entry)(void*);
    const char* name;
    std::atomic<uint32_t> timeout;   // ms
    std::atomic<uint32_t> worstGap;  // worst ms between two WDT_Clear calls, starts at 1
    std::atomic<uint32_t> lastCall;  // 0 = not supervised yet
};

extern THREAD_CB thread_cb[kThreadRows];

void WDT_Clear();
void WDT_Enable();
void WDT_Disable();
bool WDT_isEnabled();
uint32_t WDT_getTimeout(int row);
void WDT_setTimeout(int row, int ms);
// The WDT start option with a number: every row's time-out.
void WDT_setAllTimeouts(uint32_t ms);

int pthread_get_cb();
const char* pthread_get_selfname();
void pthread_set_selfname(const char* name);

// Starts the row's thread (default attributes), named after its row.
int startTableThread(int row);

// One pass of the handler (BGND): returns the first stuck row, or -1.
// WDT_check is the rule alone, at a given time, with no action.
int WDT_handler();
int WDT_check(uint32_t now);

// Test and simulation hook: the row's thread sleeps ms inside its next
// WDT_Clear, as a thread stuck in a long call would.
void WDT_stall(int row, uint32_t ms);
int threadRowByName(const char* name);
