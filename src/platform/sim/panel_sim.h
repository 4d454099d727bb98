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

// "hx40-sim run --keys": the control line for the terminal keys at the start
// of input (arrows, Enter, Esc or m = MENU, M = MENU held, 1-8 and Shift+1-8
// = inputs of CH1 and CH2, b/B blank, f/F freeze, a mode, u/U user keys,
// l = LOCK held, p power, s snapshot, q or Ctrl-C quit). used is set to the
// bytes taken; "" when they mean nothing.
std::string terminalKeyCommand(const std::string& input, size_t& used);

}  // namespace board::sim::panel
