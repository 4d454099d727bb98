#include "sys/eeprom.h"

#include "sys/i2c.h"
#include "sys/print.h"
#include "sys/timeutil.h"

#include <algorithm>
#include <vector>

namespace {
constexpr uint32_t kWriteCycleMs = 5;
}

int eepromRead(uint16_t offset, uint16_t count, uint8_t* buf) {
    if (count == 0) return 0;
    if (buf == nullptr || uint32_t{offset} + count > kEepromSize) return 2;
    return I2C_WordReg_BurstRead(kEepromBus, kEepromChip, offset, buf, count) == 0 ? 0 : 7;
}

int eepromWrite(uint16_t offset, uint16_t count, const uint8_t* buf) {
    if (count == 0) return 0;
    if (buf == nullptr || uint32_t{offset} + count > kEepromSize) return 2;
    uint32_t at = offset;
    uint32_t end = uint32_t{offset} + count;
    while (at < end) {
        // Never past the page boundary: the chip would wrap to the page start.
        uint32_t chunk = std::min(end - at, kEepromPage - at % kEepromPage);
        if (I2C_WordReg_BurstWrite(kEepromBus, kEepromChip, static_cast<uint16_t>(at), buf + (at - offset),
                                   static_cast<int>(chunk)) != 0) {
            PRINT(PRINT_GENERAL, "eepromWrite: page at 0x%04X failed\n", at);
            return 7;
        }
        delayMilli(kWriteCycleMs);
        at += chunk;
    }
    return 0;
}

int eepromErase() {
    std::vector<uint8_t> blank(kEepromPage, 0xFF);
    for (uint32_t at = 0; at < kEepromSize; at += kEepromPage)
        if (int rc = eepromWrite(static_cast<uint16_t>(at), kEepromPage, blank.data()); rc != 0) return rc;
    return 0;
}
