#include "sys/timeutil.h"

#include <cerrno>
#include <ctime>

uint32_t getCurrMsCount() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    uint64_t ms = static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

uint32_t getElapsedMs(uint32_t since) { return getCurrMsCount() - since; }

void delayMilli(uint32_t ms) {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    uint64_t ns = static_cast<uint64_t>(t.tv_nsec) + static_cast<uint64_t>(ms % 1000) * 1000000u;
    t.tv_sec += static_cast<time_t>(ms / 1000 + ns / 1000000000u);
    t.tv_nsec = static_cast<long>(ns % 1000000000u);
    // An absolute deadline: an interrupted sleep resumes where it stopped.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

void Sleep(uint32_t ms) { delayMilli(ms); }

namespace {
thread_local bool tBudgeted = false;
thread_local uint32_t tBudgetMs = 0;
}  // namespace

void startWaitBudget(uint32_t ms) {
    tBudgeted = true;
    tBudgetMs = ms;
}

uint32_t waitBudget(uint32_t wantMs) { return tBudgeted && tBudgetMs < wantMs ? tBudgetMs : wantMs; }

void spendWaitBudget(uint32_t ms) {
    if (tBudgeted) tBudgetMs -= ms < tBudgetMs ? ms : tBudgetMs;
}
