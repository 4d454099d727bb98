#include "platform/sim/i2c_sim.h"
#include "support/temp_board.h"
#include "sys/i2c.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using hx40test::TempBoard;

TEST(I2c, RegistersOfAChipByItsEightBitAddress) {
    TempBoard board;
    // The audio delay chip at 8-bit 0xD0 on bus 2.
    EXPECT_EQ(I2C_Set_Byte_Register(2, 0xD0, 0x02, 0x5A), 0);
    EXPECT_EQ(I2C_Read_Register(2, 0xD0, 0x02), 0x5A);
    const uint8_t burst[4] = {1, 2, 3, 4};
    EXPECT_EQ(I2C_BurstWrite(2, 0xD0, 0x03, burst, 4), 0);
    uint8_t back[4] = {};
    EXPECT_EQ(I2C_BurstRead(2, 0xD0, 0x03, back, 4), 0);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[3], 4);
    // 16-bit register addresses reach the EEPROM (8-bit 0xAC).
    EXPECT_EQ(I2C_Set_WordReg_Byte_Register(0, 0xAC, 0x7E81, 0x4B), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(6));
    EXPECT_EQ(I2C_Read_WordReg_Register(0, 0xAC, 0x7E81), 0x4B);
    EXPECT_EQ(static_cast<uint8_t>(board.read("sim/eeprom.bin")[0x7E81]), 0x4B);
}

TEST(I2c, AnAbsentChipGivesEachFunctionsFailureResultAfterItsRetries) {
    TempBoard board;
    uint8_t buf[3] = {0x55, 0x55, 0x55};
    const uint8_t data[2] = {9, 9};
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(I2C_Read_Register(3, 0x40, 0x10), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 200);  // two retries 100 ms apart
    EXPECT_EQ(I2C_Read_WordReg_Register(3, 0x40, 0x1000), 0);
    EXPECT_EQ(I2C_BurstRead(3, 0x40, 0x10, buf, 3), -1);
    EXPECT_EQ(I2C_WordReg_BurstRead(3, 0x40, 0x1000, buf, 3), -1);
    EXPECT_EQ(buf[0], 0x55);  // left as it was
    EXPECT_EQ(buf[2], 0x55);
    EXPECT_EQ(I2C_Set_Byte_Register(3, 0x40, 1, 1), -1);
    EXPECT_EQ(I2C_BurstWrite(3, 0x40, 1, data, 2), -1);
    EXPECT_EQ(I2C_Set_WordReg_Byte_Register(3, 0x40, 1, 1), -1);
    EXPECT_EQ(I2C_WordReg_BurstWrite(3, 0x40, 1, data, 2), -1);
    EXPECT_EQ(g_i2c_critical_errors, 8u);
}

TEST(I2c, InjectedFaultsAreRetriedAndCountedWhenEveryTryFails) {
    TempBoard board;
    g_i2c_critical_errors = 0;
    board::sim::i2c::failNext(2, 2);
    EXPECT_EQ(I2C_Set_Byte_Register(2, 0xD0, 0x08, 0x33), 0);  // third try
    EXPECT_EQ(g_i2c_critical_errors, 0u);
    board::sim::i2c::failNext(2, 3);
    uint8_t v = 0x77;
    EXPECT_EQ(I2C_BurstRead(2, 0xD0, 0x08, &v, 1), -1);
    EXPECT_EQ(v, 0x77);
    EXPECT_EQ(I2C_Read_Register(2, 0xD0, 0x08), 0x33);
    // A chip holding the data line: every transfer fails until the
    // background step recovers the buses after more than 10 errors.
    board::sim::i2c::stick(2);
    EXPECT_EQ(I2C_Read_Register(2, 0xD0, 0x08), 0);
    g_i2c_critical_errors = 10;
    EXPECT_FALSE(I2C_recoverIfNeeded());
    EXPECT_EQ(I2C_Read_Register(2, 0xD0, 0x08), 0) << "still held";
    EXPECT_TRUE(I2C_recoverIfNeeded());
    EXPECT_EQ(g_i2c_critical_errors, 0u);
    EXPECT_EQ(I2C_Read_Register(2, 0xD0, 0x08), 0x33) << "the recovery freed the bus";
    EXPECT_FALSE(I2C_recoverIfNeeded());
    // A held bus belongs to its board: the next board's bus is free.
    board::sim::i2c::stick(2);
    TempBoard next;
    EXPECT_EQ(I2C_Set_Byte_Register(2, 0xD0, 0x08, 0x44), 0);
    EXPECT_EQ(I2C_Read_Register(2, 0xD0, 0x08), 0x44);
    EXPECT_EQ(g_i2c_critical_errors, 0u);
}

TEST(I2c, ExpanderPinsChangeOnlyUnderTheMask) {
    TempBoard board;
    // Outputs start high.
    EXPECT_EQ(PCA9535_update_pins_output(0x0C, 0x04, 0, 0x48, 0), 0);
    EXPECT_EQ(board::sim::i2c::expanderRegister(0, 0x24, 2), 0xF7);
    EXPECT_EQ(PCA9535_update_pins_output(0xC0, 0x00, 1, 0x4A, 0), 0);
    EXPECT_EQ(board::sim::i2c::expanderRegister(1, 0x25, 2), 0x3F);
    EXPECT_EQ(PCA9535_update_pins_output(0x01, 0x00, 1, 0x4A, 1), 0);
    EXPECT_EQ(board::sim::i2c::expanderRegister(1, 0x25, 3), 0xFE);
    EXPECT_EQ(board::sim::i2c::expanderRegister(1, 0x25, 2), 0x3F);
    EXPECT_EQ(PCA9535_update_pins_output(0x01, 0x00, 1, 0x4A, 2), -1);
}
