#include "platform/sim/scaler_chip.h"
#include "support/temp_board.h"
#include "sys/i2c.h"
#include "sys/spi.h"
#include "upgrade/valens.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using hx40test::TempBoard;

namespace {

void routeRxCh1() { ASSERT_EQ(PCA9535_update_pins_output(0x0C, 0x04, 0, 0x48, 0), 0); }

void command(int dev, std::vector<uint8_t> bytes) {
    if (bytes.size() == 1) {
        io_spi(SPI_SINGLE, dev, bytes[0]);
        return;
    }
    io_spi(SPI_WRITE, dev, bytes[0]);
    for (size_t i = 1; i + 1 < bytes.size(); ++i) io_spi(SPI_CONTINUE, dev, bytes[i]);
    io_spi(SPI_END, dev, bytes.back());
}

std::vector<uint8_t> readFlash(int dev, uint32_t addr, size_t n) {
    io_spi(SPI_WRITE, dev, 0x03);
    io_spi(SPI_CONTINUE, dev, static_cast<uint8_t>(addr >> 16));
    io_spi(SPI_CONTINUE, dev, static_cast<uint8_t>(addr >> 8));
    io_spi(SPI_CONTINUE, dev, static_cast<uint8_t>(addr));
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < n; ++i) out.push_back(io_spi(SPI_READ, dev, 0));
    out.push_back(io_spi(SPI_STATUS_END, dev, 0));
    return out;
}

uint8_t status(int dev) {
    io_spi(SPI_WRITE, dev, 0x05);
    return io_spi(SPI_STATUS_END, dev, 0);
}

}  // namespace

TEST(SpiFlash, IdentifiesItselfAndProgramsAPageAfterWriteEnable) {
    TempBoard board;
    routeRxCh1();
    io_spi(SPI_WRITE, 6, 0x9F);
    uint8_t id[3] = {io_spi(SPI_READ, 6, 0), io_spi(SPI_READ, 6, 0), io_spi(SPI_STATUS_END, 6, 0)};
    EXPECT_EQ(id[0], 0x5A);
    EXPECT_EQ(id[1], 0x40);
    EXPECT_EQ(id[2], 0x14);

    // Past the firmware the board starts with, the flash is erased.
    command(6, {0x02, 0x01, 0x01, 0x00, 0xDE, 0xAD});  // no write enable: ignored
    EXPECT_EQ(readFlash(6, 0x10100, 2), (std::vector<uint8_t>{0xFF, 0xFF}));

    command(6, {0x06});
    EXPECT_EQ(status(6) & 0x02, 0x02);
    command(6, {0x02, 0x01, 0x01, 0xFE, 0xDE, 0xAD, 0xBE});  // wraps inside the page
    EXPECT_EQ(status(6) & 0x01, 0x01);                         // busy once
    EXPECT_EQ(status(6), 0x00);
    EXPECT_EQ(readFlash(6, 0x101FE, 2), (std::vector<uint8_t>{0xDE, 0xAD}));
    EXPECT_EQ(readFlash(6, 0x10100, 1), (std::vector<uint8_t>{0xBE}));
    std::string file = board.read("sim/spiflash/rx-ch1.bin");
    ASSERT_EQ(file.size(), 0x10200u);
    EXPECT_EQ(static_cast<uint8_t>(file[0x101FE]), 0xDE);
    EXPECT_EQ(static_cast<uint8_t>(file[0x10100]), 0xBE);
    EXPECT_EQ(static_cast<uint8_t>(file[0xFFFF]), 0xFF);  // the gap reads erased

    command(6, {0x06});
    command(6, {0xC7});
    int polls = 0;
    while ((status(6) & 1) && polls < 100) ++polls;
    EXPECT_GT(polls, 1);
    EXPECT_EQ(readFlash(6, 0x101FE, 1), (std::vector<uint8_t>{0xFF}));
    EXPECT_EQ(board.read("sim/spiflash/rx-ch1.bin"), "");
}

TEST(SpiFlash, RoutesFollowTheExpanderPins) {
    TempBoard board;
    // Both receiver routes set (the expanders' power-up state): nobody answers.
    io_spi(SPI_WRITE, 6, 0x9F);
    EXPECT_EQ(io_spi(SPI_STATUS_END, 6, 0), 0xFF);
    // Transmitter flash of CH2 only.
    const std::string ch1 = board.read("sim/spiflash/tx-ch1.bin");
    ASSERT_EQ(PCA9535_update_pins_output(0xC0, 0x80, 1, 0x4A, 0), 0);
    command(5, {0x06});
    command(5, {0x02, 0x02, 0x00, 0x10, 0x42});
    while (status(5) & 1) {
    }
    EXPECT_EQ(readFlash(5, 0x20010, 1), (std::vector<uint8_t>{0x42}));
    EXPECT_EQ(static_cast<uint8_t>(board.read("sim/spiflash/tx-ch2.bin")[0x20010]), 0x42);
    EXPECT_EQ(board.read("sim/spiflash/tx-ch1.bin"), ch1);
    // Devices 1 to 4 answer 0.
    EXPECT_EQ(io_spi(SPI_SINGLE, 1, 0x12), 0);
}

TEST(SpiFlash, AnHdbtUpdateHoldsTheOtherFlashDevice) {
    TempBoard board;
    routeRxCh1();
    valence_update_in_operation_mode = 5;
    io_spi(SPI_WRITE, 6, 0x9F);
    EXPECT_EQ(io_spi(SPI_STATUS_END, 6, 0), 0);  // no transfer
    valence_update_in_operation_mode = 6;
    io_spi(SPI_WRITE, 6, 0x9F);
    EXPECT_EQ(io_spi(SPI_STATUS_END, 6, 0), 0x5A);
    valence_update_in_operation_mode = 0;
}

TEST(ScalerBanks, BankRegistersSelectThroughTheWindow) {
    TempBoard board;
    auto& chip = board::sim::scalerChip();
    EXPECT_EQ(write_bank(0x02, 0x10, 0xAB), 0);
    EXPECT_EQ(chip.reg(0x02, 0x10), 0xAB);
    EXPECT_EQ(chip.selectedBank(), 0x02);
    // Channel 2's copy of the same register sits 0x0B banks higher.
    EXPECT_EQ(write_bank(0x02 + 0x0B, 0x10, 0xCD), 0);
    EXPECT_EQ(chip.reg(0x0D, 0x10), 0xCD);
    uint8_t v = 0;
    EXPECT_EQ(read_bank(0x02, 0x10, &v), 0);
    EXPECT_EQ(v, 0xAB);
    EXPECT_EQ(chip.selectedBank(), 0x02);
    EXPECT_EQ(write_bank(0x02, 0, 1), 2);  // offset 0 is the bank select
    EXPECT_EQ(read_bank(0x02, 0x10, nullptr), 2);
}
