// The parameter EEPROM: I2C bus 0, chip 0xAC, 16-bit addresses, 32 KiB.
#pragma once

#include <cstdint>

inline constexpr int kEepromBus = 0;
inline constexpr uint8_t kEepromChip = 0xAC;
inline constexpr uint32_t kEepromSize = 32768;
inline constexpr uint32_t kEepromPage = 64;

// 0 on success.
int eepromRead(uint16_t offset, uint16_t count, uint8_t* buf);
// Split at the chip's 64-byte page boundaries, 5 ms after each page (the
// chip's write cycle). 0 on success.
int eepromWrite(uint16_t offset, uint16_t count, const uint8_t* buf);
// The same, writing only the pages whose bytes differ from what the chip
// holds (everything when it cannot be read): a save after one changed value
// costs one page's write cycle.
int eepromWriteChanged(uint16_t offset, uint16_t count, const uint8_t* buf);
// Every byte to 0xFF (the EEPROM start option).
int eepromErase();
