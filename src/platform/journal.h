// The board's journal: one line per operation of the least subsystems and per
// simulated device event, in <root>/sim/journal.log:
//   <ms since start> <thread> <call> <arguments>
// Tests and people read it to see what the program did to the hardware.
//
// A call only formats its line into memory; a writer thread appends the
// lines to the file a few milliseconds later, so the command path never
// writes a file. Past kJournalRotateBytes the file becomes journal.log.1
// (the one older file kept) and a new one starts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace board {

inline constexpr size_t kJournalRotateBytes = 4u << 20;

void journal(const char* call, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// The same with the arguments' text made by the caller (no formatting).
void journalText(const char* call, std::string_view args);

// Starts writing to <root>/sim/journal.log (called when the board opens).
void journalOpen(const std::string& root);
// Writes what is held and stops the writer.
void journalClose();
// Returns once every line journalled before the call is in the file.
void journalFlush();
// Empties the file; lines journalled before the call are gone.
void journalClear();
// The calling thread changed its name: its next lines carry the new one.
void journalThreadRenamed();

}  // namespace board
