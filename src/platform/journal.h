// The board's journal: one line per operation of the least subsystems and per
// simulated device event, in <root>/sim/journal.log:
//   <ms since start> <thread> <call> <arguments>
// Tests and people read it to see what the program did to the hardware.
#pragma once

#include <string>

namespace board {

void journal(const char* call, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Starts writing to <root>/sim/journal.log (called when the board opens).
void journalOpen(const std::string& root);
void journalClose();

}  // namespace board
