#include "sys/i2c.h"

#include "platform/i2c.h"
#include "platform/journal.h"
#include "sys/print.h"
#include "sys/timeutil.h"

#include <cstring>
#include <mutex>
#include <vector>

std::atomic<unsigned> g_i2c_critical_errors{0};

namespace {

constexpr int kTries = 3;
constexpr uint32_t kRetryMs = 100;

// Register address bytes, most significant first.
std::vector<uint8_t> regBytes(uint16_t reg, bool word) {
    if (word) return {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    return {static_cast<uint8_t>(reg)};
}

int withRetries(const char* what, int bus, uint8_t chip, uint16_t reg, const std::vector<board::i2c::Msg>& proto) {
    int rc = 0;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (attempt > 0) delayMilli(kRetryMs);
        std::vector<board::i2c::Msg> msgs = proto;
        rc = board::i2c::transfer(bus, msgs.data(), static_cast<int>(msgs.size()));
        if (rc == 0) return 0;
    }
    ++g_i2c_critical_errors;
    PRINT(PRINT_GENERAL, "%s: bus %d chip 0x%02X reg 0x%04X: failed (%d)\n", what, bus, chip, reg, rc);
    return -1;
}

int writeRegs(const char* what, int bus, uint8_t chip, uint16_t reg, bool word, const uint8_t* data, int length) {
    if (length < 0 || (length > 0 && data == nullptr)) return -1;
    std::vector<uint8_t> out = regBytes(reg, word);
    out.insert(out.end(), data, data + length);
    board::i2c::Msg m{i2cAddr7(chip), false, out.data(), static_cast<uint16_t>(out.size())};
    return withRetries(what, bus, chip, reg, {m});
}

int readRegs(const char* what, int bus, uint8_t chip, uint16_t reg, bool word, uint8_t* buffer, int length) {
    if (buffer == nullptr || length <= 0 || length > 0xFFFF) return -1;
    std::vector<uint8_t> addr = regBytes(reg, word);
    std::vector<uint8_t> in(static_cast<size_t>(length));
    board::i2c::Msg m[2] = {{i2cAddr7(chip), false, addr.data(), static_cast<uint16_t>(addr.size())},
                            {i2cAddr7(chip), true, in.data(), static_cast<uint16_t>(length)}};
    if (withRetries(what, bus, chip, reg, {m[0], m[1]}) != 0) return -1;
    std::memcpy(buffer, in.data(), in.size());  // only a whole answer reaches the caller
    return 0;
}

std::mutex gExpanderMutex;

}  // namespace

int I2C_Set_Byte_Register(int bus, uint8_t chip, uint8_t reg, uint8_t value) {
    return writeRegs("I2C_Set_Byte_Register", bus, chip, reg, false, &value, 1);
}
int I2C_BurstWrite(int bus, uint8_t chip, uint8_t reg, const uint8_t* data, int length) {
    return writeRegs("I2C_BurstWrite", bus, chip, reg, false, data, length);
}
int I2C_Set_WordReg_Byte_Register(int bus, uint8_t chip, uint16_t reg, uint8_t value) {
    return writeRegs("I2C_Set_WordReg_Byte_Register", bus, chip, reg, true, &value, 1);
}
int I2C_WordReg_BurstWrite(int bus, uint8_t chip, uint16_t reg, const uint8_t* data, int length) {
    return writeRegs("I2C_WordReg_BurstWrite", bus, chip, reg, true, data, length);
}
uint8_t I2C_Read_Register(int bus, uint8_t chip, uint8_t reg) {
    uint8_t v = 0;
    return readRegs("I2C_Read_Register", bus, chip, reg, false, &v, 1) == 0 ? v : 0;
}
uint8_t I2C_Read_WordReg_Register(int bus, uint8_t chip, uint16_t reg) {
    uint8_t v = 0;
    return readRegs("I2C_Read_WordReg_Register", bus, chip, reg, true, &v, 1) == 0 ? v : 0;
}
int I2C_BurstRead(int bus, uint8_t chip, uint8_t reg, uint8_t* buffer, int length) {
    return readRegs("I2C_BurstRead", bus, chip, reg, false, buffer, length);
}
int I2C_WordReg_BurstRead(int bus, uint8_t chip, uint16_t reg, uint8_t* buffer, int length) {
    return readRegs("I2C_WordReg_BurstRead", bus, chip, reg, true, buffer, length);
}

bool I2C_recoverIfNeeded() {
    if (g_i2c_critical_errors <= 10) return false;
    g_i2c_critical_errors = 0;
    PRINT(PRINT_GENERAL, "I2C: more than 10 critical errors, recovering the buses\n");
    for (int bus = 0; bus < board::i2c::kBuses; ++bus) board::i2c::recover(bus);
    return true;
}

int PCA9535_update_pins_output(uint8_t mask, uint8_t value, int bus, uint8_t address, int port) {
    if (port != 0 && port != 1) return -1;
    const uint8_t outReg = static_cast<uint8_t>(2 + port);
    std::lock_guard lock(gExpanderMutex);
    uint8_t cur = 0;
    if (I2C_BurstRead(bus, address, outReg, &cur, 1) != 0) return -1;
    uint8_t next = static_cast<uint8_t>((cur & ~mask) | (value & mask));
    return I2C_Set_Byte_Register(bus, address, outReg, next);
}
