// The four I2C buses: combined transfers (one or more messages with repeated
// starts, as I2C_RDWR) to chips at 7-bit addresses.
#pragma once

#include <cstdint>

namespace board::i2c {

inline constexpr int kBuses = 4;

struct Msg {
    uint8_t addr;      // 7-bit
    bool read;
    uint8_t* buf;
    uint16_t len;
};

// 0 when every message was acknowledged, otherwise a negative errno
// (-ENXIO: no chip answered or the chip is busy; -EIO: bus fault).
int transfer(int bus, Msg* msgs, int count);

// Bus recovery: nine clock pulses and a stop condition, which free a chip
// left holding the data line low in the middle of a byte.
void recover(int bus);

}  // namespace board::i2c
