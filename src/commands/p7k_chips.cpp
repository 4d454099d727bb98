// Raw chip access and test words: receivers, outputs, I2C registers, scaler
// registers and the SPI master.
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "sys/i2c.h"
#include "sys/print.h"
#include "sys/spi.h"
#include "video/backend.h"
#include "video/frontend.h"

#include <cstdio>

namespace {

// Exactly n fields, each read by convert; false otherwise.
template <class T, class Convert>
bool numbers(const std::vector<std::string>& f, size_t n, T* out, Convert convert) {
    if (f.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (!convert(f[i], out[i])) return false;
    return true;
}

bool decimals(const std::vector<std::string>& f, size_t n, long long* out) { return numbers(f, n, out, p7kDecimal); }
bool hexes(const std::vector<std::string>& f, size_t n, unsigned long long* out) { return numbers(f, n, out, p7kHex); }

// An I2C register field: up to two characters address an 8-bit register.
struct Register {
    unsigned address;
    bool wide;
};

bool registerOf(const std::string& field, unsigned long long value, Register& out) {
    out.wide = field.size() > 2;
    out.address = static_cast<unsigned>(value);
    return value <= (out.wide ? 0xFFFFu : 0xFFu);
}

int i2cWrite(int bus, uint8_t chip, const Register& r, const uint8_t* data, int n) {
    return r.wide ? I2C_WordReg_BurstWrite(bus, chip, static_cast<uint16_t>(r.address), data, n)
                  : I2C_BurstWrite(bus, chip, static_cast<uint8_t>(r.address), data, n);
}

int i2cRead(int bus, uint8_t chip, const Register& r, uint8_t* data, int n) {
    return r.wide ? I2C_WordReg_BurstRead(bus, chip, static_cast<uint16_t>(r.address), data, n)
                  : I2C_BurstRead(bus, chip, static_cast<uint8_t>(r.address), data, n);
}

}  // namespace

void p7kSelectReceiver(COMM_TYPE port, int id, const char* params) {
    long long v[2];
    if (!decimals(p7kFields(params), 2, v) || v[0] < 0 || v[0] > 1) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    ADV7842_incline(static_cast<uint8_t>(v[0]));
    protocol_out_success(port, id, params);
}

void p7kMemoryTest(COMM_TYPE port, int id, const char* params) {
    long long v[2];
    if (!decimals(p7kFields(params), 2, v) || v[0] < 0 || v[0] >= 5 || v[1] < 0 || v[1] >= 4) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kDisplayState(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    if (f.size() != 1 || f[0].size() != 1 || f[0][0] < '0' || f[0][0] > '3') {
        PRINT(PRINT_GENERAL, "error on ch output number\n");
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const int output = f[0][0] - '0';
    const int state = !dsRxPoweredUp[output] ? 0 : isEdidValid(output) ? 2 : 1;
    p7kSend(port, getPreAnswer() + "DISPLAY?" + params + "," + std::to_string(state) + "\r\n");
}

void p7kI2cWrite(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    unsigned long long v[4];
    Register r{};
    if (!hexes(f, 4, v) || v[0] > 3 || v[1] > 0xFF || !registerOf(f[2], v[2], r)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    // Four characters are two bytes, eight are four, most significant first.
    const int n = f[3].size() == 4 ? 2 : f[3].size() == 8 ? 4 : 1;
    if (n == 1 && v[3] > 0xFF) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    uint8_t data[4];
    for (int i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(v[3] >> (8 * (n - 1 - i)));
    if (i2cWrite(static_cast<int>(v[0]), static_cast<uint8_t>(v[1]), r, data, n) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kI2cRead(COMM_TYPE port, int id, const char* params) {
    std::vector<std::string> f = p7kFields(params);
    if (f.size() == 3) f.emplace_back("1");
    unsigned long long v[4];
    Register r{};
    if (!hexes(f, 4, v) || v[0] > 3 || v[1] > 0xFF || !registerOf(f[2], v[2], r)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const int n = static_cast<int>(v[3]);
    if (n != 1 && n != 2 && n != 4) return;  // no reply, as the device does
    uint8_t data[4] = {};
    if (i2cRead(static_cast<int>(v[0]), static_cast<uint8_t>(v[1]), r, data, n) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = value << 8 | data[i];
    char reg[8], val[12], text[64];
    std::snprintf(reg, sizeof reg, r.wide ? "0x%04X" : "0x%02X", r.address);
    std::snprintf(val, sizeof val, n == 1 ? "0x%02X" : n == 2 ? "0x%04X" : "0x%08X", value);
    std::snprintf(text, sizeof text, "I2C 0x%02X,0x%02X,%s,%s OK\r\n", static_cast<unsigned>(v[0]),
                  static_cast<unsigned>(v[1]), reg, val);
    p7kSend(port, getPreAnswer() + text);
}

void p7kScalerWrite(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    long long at[2];
    unsigned long long value = 0;
    if (f.size() != 3 || !decimals({f[0], f[1]}, 2, at) || !p7kHex(f[2], value)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (at[0] < 0 || at[0] >= 28 || at[1] < 0 || at[1] >= 128 || value > 0xFF ||
        write_bank(static_cast<unsigned>(at[0]), static_cast<unsigned>(at[1]), static_cast<uint8_t>(value)) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kScalerRead(COMM_TYPE port, int id, const char* params) {
    long long at[2];
    if (!decimals(p7kFields(params), 2, at)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    uint8_t value = 0;
    if (at[0] < 0 || at[0] >= 28 || at[1] < 0 || at[1] >= 128 ||
        read_bank(static_cast<unsigned>(at[0]), static_cast<unsigned>(at[1]), &value) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    char text[48];
    std::snprintf(text, sizeof text, "IPC 0x%02X,0x%02X,0x%02X OK\r\n", static_cast<unsigned>(at[0]),
                  static_cast<unsigned>(at[1]), value);
    p7kSend(port, getPreAnswer() + text);
}

// SPI words: the device (1 to 4) and a 16-bit word, most significant byte
// first.
void p7kSpiWrite(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    long long device = 0;
    unsigned long long v[2];
    if (f.size() != 3 || !p7kDecimal(f[0], device) || device < 1 || device > 4 || !hexes({f[1], f[2]}, 2, v) ||
        v[0] > 0xFF || v[1] > 0xFF) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const unsigned word = ((static_cast<unsigned>(v[0]) | 0x80u) << 8) + static_cast<unsigned>(v[1]);
    io_spi(SPI_WRITE, static_cast<int>(device), static_cast<uint8_t>(word >> 8));
    io_spi(SPI_END, static_cast<int>(device), static_cast<uint8_t>(word));
    protocol_out_success(port, id, params);
}

void p7kSpiRead(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    long long device = 0;
    unsigned long long word = 0;
    if (f.size() != 2 || !p7kDecimal(f[0], device) || device < 1 || device > 4 || !p7kHex(f[1], word) ||
        word > 0xFFFF) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const int dev = static_cast<int>(device);
    io_spi(SPI_WRITE, dev, static_cast<uint8_t>(word >> 8));
    io_spi(SPI_CONTINUE, dev, static_cast<uint8_t>(word));
    const uint8_t result = io_spi(SPI_STATUS_END, dev, 0xFF);
    char text[48];
    std::snprintf(text, sizeof text, "SPI 0x%X,0x%X,0x%X OK\r\n", dev, static_cast<unsigned>(word), result);
    p7kSend(port, getPreAnswer() + text);
}
