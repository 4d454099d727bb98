// The front panel (key matrix and LEDs) and the infrared receiver.
#pragma once

#include <cstdint>

namespace board::panel {

inline constexpr int kLeds = 32;

// The keys held at this moment: bit n = panel key code n.
uint64_t keys();

// One LED command word: (led << 11) | r | g << 3 | b << 6, 0x200 = blink.
void setLed(uint16_t word);

// The next code the infrared receiver caught, or -1.
int64_t irPoll();

}  // namespace board::panel
