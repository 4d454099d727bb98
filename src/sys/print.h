// Diagnostics: the verbose mask, gated console lines, the event log and
// register dumps.
#pragma once

#include <atomic>
#include <cstdint>

// Bits of the mask: 0x200 gates nearly every diagnostic line, 0x2 back-end
// detail, 0x4 key detail. Read from PRINT_VERBOSE (hexadecimal) at start.
extern std::atomic<uint16_t> g_print_verbose_lvl;

enum : uint16_t {
    PRINT_BACKEND = 0x2,
    PRINT_KEYS = 0x4,
    PRINT_GENERAL = 0x200,
};

void set_debug_level(uint16_t mask, int flag);

// Reads PRINT_VERBOSE into the mask (unset or not hexadecimal: unchanged).
void initPrintVerbose();

// printf when any bit of mask is set in g_print_verbose_lvl.
void print_gated(uint16_t mask, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
#define PRINT(mask, ...) print_gated((mask), __VA_ARGS__)

// Kept for the callers that dump buffers while debugging: prints nothing.
void dumpbuff(const void* buffer, int length);

// Writes the scaler's register banks to ../logs/regs_dumpNNN.log and keeps
// the 10 newest dumps. Returns the file's number, or -1.
int dumpRegisters();
// Banks first to last only; with extras each bank is followed by its
// channel-2 twin (bank + 0x0B).
int dumpRegisters(unsigned firstBank, unsigned lastBank, bool extras);

// Interval gate for periodic diagnostics: elapsed is set once interval ms
// have passed since the last time it was set; disabled, never.
struct PrintInterval {
    bool enabled = true;
    uint32_t intervalMs = 1000;
    bool elapsed = false;
    uint32_t last = 0;
};
bool print_with_intervals(PrintInterval& gate);

// Appends one line to the event log ../logs/events.log, stamped with the
// seconds since start.
void logEvent(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
