// Memory-mapped GPIO registers.
#pragma once

#include <cstdint>

// Bits 0x40 (CH1) and 0x20 (CH2) switch the audio pass-through path.
inline constexpr unsigned gio_gioo_5A = 0x5A;
inline constexpr uint32_t GIO_PASS_THROUGH_CH1 = 0x40;
inline constexpr uint32_t GIO_PASS_THROUGH_CH2 = 0x20;

// Sets (value non-zero) or clears the mask bits of the register.
void gio56_pin_set(unsigned reg, uint32_t mask, int value);
