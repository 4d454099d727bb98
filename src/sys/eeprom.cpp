#include "sys/eeprom.h"

#include "sys/i2c.h"
#include "sys/print.h"
#include "sys/timeutil.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kWriteCycleMs = 5;

bool fits(uint16_t offset, uint16_t count, const void* buf) {
    return buf != nullptr && uint32_t{offset} + count <= kEepromSize;
}

// Page by page, never past a page boundary (the chip would wrap to the page
// start); with held (what the chip holds at offset), only the pages that
// differ from it.
int writePages(uint16_t offset, uint16_t count, const uint8_t* buf, const uint8_t* held) {
    uint32_t at = offset;
    uint32_t end = uint32_t{offset} + count;
    while (at < end) {
        uint32_t chunk = std::min(end - at, kEepromPage - at % kEepromPage);
        const size_t from = at - offset;
        if (held != nullptr && std::memcmp(held + from, buf + from, chunk) == 0) {
            at += chunk;
            continue;
        }
        if (I2C_WordReg_BurstWrite(kEepromBus, kEepromChip, static_cast<uint16_t>(at), buf + from,
                                   static_cast<int>(chunk)) != 0) {
            PRINT(PRINT_GENERAL, "eepromWrite: page at 0x%04X failed\n", at);
            return 7;
        }
        delayMilli(kWriteCycleMs);
        at += chunk;
    }
    return 0;
}

}  // namespace

int eepromRead(uint16_t offset, uint16_t count, uint8_t* buf) {
    if (count == 0) return 0;
    if (buf == nullptr || uint32_t{offset} + count > kEepromSize) return 2;
    return I2C_WordReg_BurstRead(kEepromBus, kEepromChip, offset, buf, count) == 0 ? 0 : 7;
}

int eepromWrite(uint16_t offset, uint16_t count, const uint8_t* buf) {
    if (count == 0) return 0;
    return fits(offset, count, buf) ? writePages(offset, count, buf, nullptr) : 2;
}

int eepromWriteChanged(uint16_t offset, uint16_t count, const uint8_t* buf) {
    if (count == 0) return 0;
    if (!fits(offset, count, buf)) return 2;
    std::vector<uint8_t> held(count);
    const bool read = eepromRead(offset, count, held.data()) == 0;
    return writePages(offset, count, buf, read ? held.data() : nullptr);
}

int eepromErase() {
    std::vector<uint8_t> blank(kEepromPage, 0xFF);
    for (uint32_t at = 0; at < kEepromSize; at += kEepromPage)
        if (int rc = eepromWrite(static_cast<uint16_t>(at), kEepromPage, blank.data()); rc != 0) return rc;
    return 0;
}
