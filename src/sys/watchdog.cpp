#include "sys/watchdog.h"

#include "platform/journal.h"
#include "platform/hw.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/warm_boot.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>

namespace {

std::atomic<bool> gEnabled{false};
thread_local int tRow = -1;

// The last call each row had at the previous handler pass: a row is judged
// only when it has not moved for a whole pass.
std::atomic<uint32_t> gSeen[kThreadRows] = {};
std::atomic<uint32_t> gStall[kThreadRows] = {};

void* tableThreadStart(void* arg) {
    int row = static_cast<int>(reinterpret_cast<intptr_t>(arg));
    tRow = row;
    pthread_set_selfname(thread_cb[row].name);
    return thread_cb[row].entry(nullptr);
}

uint32_t stamp() {
    uint32_t now = getCurrMsCount();
    return now == 0 ? 1 : now;  // 0 means "not supervised"
}

}  // namespace

void WDT_Clear() {
    int row = pthread_get_cb();
    if (row < 0) return;
    if (uint32_t ms = gStall[row].exchange(0)) Sleep(ms);
    THREAD_CB& cb = thread_cb[row];
    uint32_t now = stamp();
    uint32_t last = cb.lastCall;
    if (last != 0) {
        uint32_t gap = now - last;
        if (gap > cb.worstGap) cb.worstGap = gap;
    }
    cb.lastCall = now;
}

// Runs after every command of the older engine: plain stores, and none
// where the value is already there (other threads' rows stay untouched).
void WDT_Enable() {
    uint32_t now = stamp();
    for (auto& cb : thread_cb) {
        const uint32_t last = cb.lastCall.load(std::memory_order_relaxed);
        if (last != 0 && last != now) cb.lastCall.store(now, std::memory_order_relaxed);
    }
    for (auto& s : gSeen)
        if (s.load(std::memory_order_relaxed) != 0) s.store(0, std::memory_order_relaxed);
    gEnabled.store(true, std::memory_order_release);
}

void WDT_Disable() { gEnabled = false; }
bool WDT_isEnabled() { return gEnabled; }

uint32_t WDT_getTimeout(int row) {
    if (row < 0 || row >= kThreadRows) return 2000;
    return thread_cb[row].timeout;
}

void WDT_setTimeout(int row, int ms) {
    if (row < 0 || row >= kThreadRows || ms <= 0) return;
    thread_cb[row].timeout = static_cast<uint32_t>(ms);
}

void WDT_setAllTimeouts(uint32_t ms) {
    if (ms == 0) return;
    for (auto& cb : thread_cb) cb.timeout = ms;
}

int pthread_get_cb() {
    if (tRow >= 0) return tRow;
    pthread_t self = pthread_self();
    for (int i = 0; i < kThreadRows; ++i)
        if (thread_cb[i].handle != 0 && pthread_equal(thread_cb[i].handle, self)) return i;
    return -1;
}

const char* pthread_get_selfname() {
    int row = pthread_get_cb();
    return row < 0 ? "IDLE" : thread_cb[row].name;
}

void pthread_set_selfname(const char* name) {
    prctl(PR_SET_NAME, name, 0, 0, 0);
    board::journalThreadRenamed();
}

int startTableThread(int row) {
    if (row < 0 || row >= kThreadRows || thread_cb[row].entry == nullptr) return -1;
    pthread_t t{};
    int rc = pthread_create(&t, nullptr, tableThreadStart, reinterpret_cast<void*>(static_cast<intptr_t>(row)));
    if (rc != 0) {
        std::printf("startTableThread: %s: %s\n", thread_cb[row].name, std::strerror(rc));
        return -1;
    }
    thread_cb[row].handle = t;
    return 0;
}

int WDT_check(uint32_t now) {
    if (!gEnabled) return -1;
    int stuck = -1;
    for (int i = 0; i < kThreadRows; ++i) {
        uint32_t last = thread_cb[i].lastCall;
        bool missedPass = last != 0 && last == gSeen[i];
        if (stuck < 0 && missedPass && static_cast<int32_t>(now - last) > static_cast<int32_t>(thread_cb[i].timeout))
            stuck = i;
        gSeen[i] = last;
    }
    return stuck;
}

int WDT_handler() {
    int row = WDT_check(getCurrMsCount());
    if (row < 0) return -1;
    const THREAD_CB& cb = thread_cb[row];
    std::printf("WDT: thread %s stuck: last call %u ms ago, time-out %u ms\n", cb.name, getElapsedMs(cb.lastCall),
                cb.timeout.load());
    std::fflush(stdout);
    logEvent("watchdog: thread %s stuck", cb.name);
    board::journal("watchdog.stuck", "thread=%s timeout=%u", cb.name, cb.timeout.load());
    dumpRegisters();
    if (board::watchdogRebootsOnStuck()) warm_boot();
    // Reported only: judge the thread again after a full time-out.
    thread_cb[row].lastCall = stamp();
    return row;
}

void WDT_stall(int row, uint32_t ms) {
    if (row >= 0 && row < kThreadRows) gStall[row] = ms;
}

int threadRowByName(const char* name) {
    for (int i = 0; i < kThreadRows; ++i)
        if (std::strcmp(thread_cb[i].name, name) == 0) return i;
    return -1;
}
