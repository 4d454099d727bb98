// The main task "MAIN": a pass about every 20 ms over the two channels.
#pragma once

#include "sys/msgq.h"

#include <vector>

// One pass: watchdog, the one-time HDBaseT check, format reports, keys,
// dirty-zone saves, the front end, output requests, the back end, sync-off.
void mainTaskPass();

// Takes the waiting KEYPAD keys (unless a modal reader owns the queue and
// no channel scans) and dispatches those the rules let through.
void handleKeypadKeys();
// The rules: nothing while a channel initialises; panel keys (source 2)
// collapsed to the newest; only 11, 12 and 45 while a transition runs.
std::vector<_EXMSG> selectKeys(const std::vector<_EXMSG>& waiting, bool initialising, bool transition);
void dispatchKey(const _EXMSG& m);

// Power saving: LEDs, front end, back end, amplifier, HDBaseT, DSP and
// clocks down; then the program waits for the power key and ends (status 0).
void powerDownMode();

void* main_task(void*);

// Keys of the main task beyond the panel's.
inline constexpr int kKeyMuteCh1 = 31;
inline constexpr int kKeyMuteCh2 = 32;
inline constexpr int kNodeVolumeCh1 = 3931;
inline constexpr int kNodeVolumeCh2 = 4931;
inline constexpr int kNodeMuteCh1 = 3823;
inline constexpr int kNodeMuteCh2 = 4823;
