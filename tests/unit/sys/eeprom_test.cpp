#include "platform/i2c.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/i2c_sim.h"
#include "support/temp_board.h"
#include "sys/eeprom.h"
#include "sys/timeutil.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using hx40test::TempBoard;

namespace {

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

// Raw page write on the chip (bus 0, 7-bit 0x56), as the driver must not do.
int rawWrite(uint16_t addr, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(addr >> 8), static_cast<uint8_t>(addr)};
    out.insert(out.end(), data.begin(), data.end());
    board::i2c::Msg m{0x56, false, out.data(), static_cast<uint16_t>(out.size())};
    return board::i2c::transfer(0, &m, 1);
}

}  // namespace

TEST(Eeprom, WritesAcrossPageBoundariesLandWhole) {
    TempBoard board;
    struct Case {
        uint16_t offset;
        uint16_t count;
    } cases[] = {{0x7ED0, 40}, {0x7E81, 9}, {0x003F, 2}, {0x0010, 200}, {0x7FC0, 64}, {0x0100, 1}};
    uint8_t seed = 1;
    for (const auto& c : cases) {
        auto data = pattern(c.count, seed++);
        ASSERT_EQ(eepromWrite(c.offset, c.count, data.data()), 0) << c.offset;
        std::vector<uint8_t> back(c.count);
        ASSERT_EQ(eepromRead(c.offset, c.count, back.data()), 0);
        EXPECT_EQ(back, data) << "offset " << c.offset;
        std::string file = board.read("sim/eeprom.bin");
        ASSERT_EQ(file.size(), 32768u);
        EXPECT_EQ(std::string(file.data() + c.offset, c.count), std::string(data.begin(), data.end()));
    }
    // The pause after each page is the chip's write cycle: it never refused.
    EXPECT_EQ(board::sim::i2c::eepromBusyNacks(), 0u);
}

TEST(Eeprom, EachPageIsFollowedByTheWriteCycle) {
    TempBoard board;
    auto data = pattern(130, 3);  // 0x3E..0xBF: 2 + 64 + 64 bytes, three pages
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(eepromWrite(0x3E, 130, data.data()), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 15);
    EXPECT_EQ(board::sim::i2c::eepromBusyNacks(), 0u);
}

TEST(Eeprom, TheChipWrapsInsideItsPageAndRefusesDuringItsWriteCycle) {
    TempBoard board;
    // A long write cycle, so that "straight after" holds on a loaded machine.
    board::sim::mutableConf().set("eeprom_write_cycle_ms", "300");
    // A write that runs past the page end overwrites the page's start.
    ASSERT_EQ(rawWrite(0x003E, {0xA1, 0xA2, 0xA3, 0xA4}), 0);
    std::string file = board.read("sim/eeprom.bin");
    EXPECT_EQ(static_cast<uint8_t>(file[0x3E]), 0xA1);
    EXPECT_EQ(static_cast<uint8_t>(file[0x3F]), 0xA2);
    EXPECT_EQ(static_cast<uint8_t>(file[0x00]), 0xA3);
    EXPECT_EQ(static_cast<uint8_t>(file[0x01]), 0xA4);
    EXPECT_EQ(static_cast<uint8_t>(file[0x40]), 0xFF);
    // Straight after: busy.
    EXPECT_NE(rawWrite(0x0080, {0x11}), 0);
    EXPECT_EQ(board::sim::i2c::eepromBusyNacks(), 1u);
    delayMilli(310);
    EXPECT_EQ(rawWrite(0x0080, {0x11}), 0);
}

TEST(Eeprom, BadArgumentsAndAFailingBus) {
    TempBoard board;
    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_EQ(eepromWrite(0x7FFE, 4, b), 2);  // past the end
    EXPECT_EQ(eepromRead(0x7FFF, 2, b), 2);
    EXPECT_EQ(eepromWrite(0, 0, nullptr), 0);
    board::sim::i2c::failNext(0, 3);  // every try of the first page
    EXPECT_EQ(eepromWrite(0x10, 4, b), 7);
    EXPECT_EQ(static_cast<uint8_t>(board.read("sim/eeprom.bin")[0x10]), 0xFF);
    board::sim::i2c::failNext(0, 2);  // two tries fail, the third succeeds
    EXPECT_EQ(eepromWrite(0x10, 4, b), 0);
    uint8_t back[4] = {};
    ASSERT_EQ(eepromRead(0x10, 4, back), 0);
    EXPECT_EQ(back[3], 4);
}

TEST(Eeprom, EraseSetsEveryByte) {
    TempBoard board;
    board.write("sim/eeprom.bin", std::string(32768, '\x5A'));
    board::sim::i2c::reset();
    ASSERT_EQ(eepromErase(), 0);
    EXPECT_EQ(board.read("sim/eeprom.bin"), std::string(32768, '\xff'));
}
