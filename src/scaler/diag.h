// Diagnostic printing and the watchdog hook of the scaler engine and the OSD.
//
// These stand in for the system services' gated print (g_print_verbose_lvl)
// and WDT_Clear() until those are part of the program; every diagnostic of
// the scaler engine and the OSD goes through here, so switching over touches
// only diag.cpp.
#pragma once

// Prints when a bit of mask is set in the diagnostic mask (bit 0x200 gates
// the OSD's lines). The mask starts from PRINT_VERBOSE (hexadecimal).
void scaler_print(unsigned mask, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void scaler_set_print_mask(unsigned mask);

// Records that the calling thread is alive (the OSD busy wait calls it).
void scaler_wdt_clear();

inline constexpr unsigned kPrintOsd = 0x200;
