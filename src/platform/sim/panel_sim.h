// The simulated front panel and remote: a key matrix driven by "ctl key",
// LEDs written to sim/leds.txt ("led r g b blink", one line per LED), and an
// infrared receiver fed by "ctl ir" with codes of the remote's table
// (root/app/memfiles/ir_codes.csv: name,code,key).
#pragma once

#include <cstdint>
#include <string>

namespace board::sim::panel {

// Key code of a panel key name (MENU, IN1_1, ... or a number), -1 if none.
int keyCode(const std::string& name);

void press(int key);
void release(int key);
// Held for ms from now, then released.
void holdFor(int key, uint32_t ms);
// Puts a code in the infrared receiver.
void irSend(int64_t code);

// The LED lines as written to sim/leds.txt.
std::string ledText();

void registerControl();

}  // namespace board::sim::panel
