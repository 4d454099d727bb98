// Page 56, the factory resets: 561 restores every setting, the network
// settings included; 562 every setting but the network settings. Both count
// down five seconds, which MENU or LEFT aborts, then write the factory
// values and restart the device. 5621 (no menu line) only restarts; the
// control protocol's RESET runs it.
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

extern int32_t PB_56;

// The menu state that marks an aborted countdown.
inline constexpr int32_t kNodeResetAborted = 996;
// The input labels both resets write.
inline constexpr const char* kDefaultInputLabels = "HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2";

// The countdown (the screen of 561 and 562): reads the KEYPAD queue itself
// while it runs. Returns when it ran out (the state unchanged) or was
// aborted by MENU or LEFT or by the menu closing (state 996).
void osd_func562(int row);
void osd_func56(int row);

// Return only when the countdown was aborted (back on page 56); otherwise
// the device restarts.
void func561(int row);
void func562(int row);
[[noreturn]] void func5621(int row);

std::span<const FuncRow> factoryPageRows();
