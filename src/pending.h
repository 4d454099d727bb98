// Placeholders for what later subsystems own. Each prints "PENDING: <name>"
// under mask 0x200 and writes "pending <name>" to the journal (with its
// arguments where the callers' arguments matter), so a missing part is never
// mistaken for a working one. Each issue that builds one of these deletes
// its entry here (and in pending.cpp).
#pragma once

#include <atomic>
#include <cstdint>

// Start-up steps of other subsystems, in the order main calls them.
void switchWebIndexPages(bool enable);
void clocksInit();

// The channel page's projection: writes the mirror register of the channel
// (called by the picture build).
void projection(int ch);

// Actions of the channel pages that the main task runs with its own
// channel set (freeze, blank, mute, test pattern).
void func3821(int row);
void func3822(int row);
void func3823(int row);
void func4823(int row);
void func384(int row);
void func484(int row);
void enforce_test_pattern(int channel);
