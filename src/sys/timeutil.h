// Milliseconds for intervals and delays.
//
// The count runs on the monotonic clock: setting the time (TIME, ntpd, a
// DHCP lease) must not make the watchdog or a time-out fire. Wall time is
// used only where a date is shown.
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary origin, truncated to 32 bits.
uint32_t getCurrMsCount();

// Milliseconds from since to now, correct across the 32-bit wrap.
uint32_t getElapsedMs(uint32_t since);

// Block the calling thread for ms milliseconds, the full time even when a
// signal interrupts the sleep.
void Sleep(uint32_t ms);
void delayMilli(uint32_t ms);

// What one request may spend waiting for files that other programs write,
// shared by all such waits of the request: the protocol starts a budget of
// the calling thread for each line it runs. waitBudget gives a wait of
// wantMs what is left (all of it on a thread without a budget);
// spendWaitBudget takes what a wait used.
inline constexpr uint32_t kLineWaitBudgetMs = 2000;
void startWaitBudget(uint32_t ms);
uint32_t waitBudget(uint32_t wantMs);
void spendWaitBudget(uint32_t ms);
