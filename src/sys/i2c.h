// I2C register access. Chip addresses are the 8-bit forms the device's code
// uses (0xAC, 0xD0, ...); each call tries up to three times, 100 ms apart.
#pragma once

#include <atomic>
#include <cstdint>

// 0 or -1.
int I2C_Set_Byte_Register(int bus, uint8_t chip, uint8_t reg, uint8_t value);
int I2C_BurstWrite(int bus, uint8_t chip, uint8_t reg, const uint8_t* data, int length);
int I2C_Set_WordReg_Byte_Register(int bus, uint8_t chip, uint16_t reg, uint8_t value);
int I2C_WordReg_BurstWrite(int bus, uint8_t chip, uint16_t reg, const uint8_t* data, int length);
// The register's value; 0 when the chip does not answer.
uint8_t I2C_Read_Register(int bus, uint8_t chip, uint8_t reg);
uint8_t I2C_Read_WordReg_Register(int bus, uint8_t chip, uint16_t reg);
// 0 or -1; on failure the buffer is left as it was.
int I2C_BurstRead(int bus, uint8_t chip, uint8_t reg, uint8_t* buffer, int length);
int I2C_WordReg_BurstRead(int bus, uint8_t chip, uint16_t reg, uint8_t* buffer, int length);

// The one place where a chip's 8-bit address becomes the bus's 7-bit one.
constexpr uint8_t i2cAddr7(uint8_t chip8) { return static_cast<uint8_t>(chip8 >> 1); }

// Transfers that failed every try since the last bus recovery (the
// background thread recovers the buses after more than 10).
extern std::atomic<unsigned> g_i2c_critical_errors;
// The background thread's recovery step: resets the count; true when it ran.
bool I2C_recoverIfNeeded();

// Under the expanders' own lock: reads output port 0 or 1 of the I/O
// expander, replaces the mask bits by those of value and writes it back.
// address is the 8-bit form (0x48, 0x4A). 0 or -1.
int PCA9535_update_pins_output(uint8_t mask, uint8_t value, int bus, uint8_t address, int port);
