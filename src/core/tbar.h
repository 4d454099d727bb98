// The T-bar thread "TBAR": takes the T-bar's travel from the T_BAR queue
// (value 0..100 in the parameter word, the time it was taken in the time
// word) and posts the TAKE (key 45) when the travel reaches its end.
#pragma once

#include <cstdint>

// Starts the thread once: 0, or -1.
int create_t_bar_thread();
// Ends it (it wakes up for that) and waits for it.
void close_t_bar_thread();
// The thread's step for one value (tests call it directly).
void tbarTravel(uint32_t value, uint32_t time);
inline constexpr uint32_t kTbarEnd = 100;
// Key code of the message that ends the thread.
inline constexpr uint16_t kTbarQuitKey = 0xFFFF;
