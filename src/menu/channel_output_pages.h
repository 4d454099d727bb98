// Page 38 of each channel page (48 for CH2) without its automatic-switching
// sub-page: projection, freeze, blank and mute with their key LEDs, the
// automatic and immediate sync-off, the test patterns, the no-signal colour
// and the input-change effect. Actions work on the calling thread's Channel;
// the main task also calls the freeze, blank, mute and test-pattern actions
// with its own channel set.
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

extern int32_t PB_38, PB_48, PB_382, PB_482, PB_383, PB_483, PB_3831, PB_4831;

// The mirror register of the channel from PM.UPSIDEDOWN (both channels'
// registers when the channel drives the 4K output); the picture build calls it.
void projection(int ch);

void func381(int row);
// Freeze, blank and mute of the channel, with their key LEDs.
void func3821(int row);
void func3822(int row);
void func3823(int row);
// Channel 2's mute: nothing in overlay mode, where CH1's mute drives both.
void func4823(int row);
void func38311(int row);
void func3832(int row);
// The test pattern of PM.TEST_PATTERN (0 off, 1 and 2 the patterns).
void func384(int row);
void func484(int row);
// The no-signal fill in PM.NOSIG_COLOR's colour, while the channel shows it.
void func385(int row);
// Runs the test-pattern action for the channel when it shows a pattern
// (after a retune or an output change lost the pattern's registers).
void enforce_test_pattern(int channel);

// The screen of page 383/483; the countdown returns there.
void osd_func383(int row);
// The mute item, also the mute shortcut's screen.
void osd_func3823(int row);
// The immediate sync-off: a five-second countdown that owns the KEYPAD
// queue; MENU or LEFT aborts.
void osd_func3832(int row);

std::span<const FuncRow> channelOutputRows();
