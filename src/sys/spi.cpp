#include "sys/spi.h"

#include "platform/spi.h"
#include "sys/locks.h"
#include "sys/scaler_bus.h"
#include "upgrade/valens.h"

uint8_t io_spi(unsigned code, int device, uint8_t byte) {
    int holder = valence_update_in_operation_mode;
    if (holder != 0 && holder != device) return 0;
    MutexLock lock(CS3_mutex);
    return board::spi::transfer(code + static_cast<unsigned>(device) * 16u, byte);
}

int read_bank(unsigned bank, unsigned reg, uint8_t* out) {
    if (out == nullptr || reg == 0 || reg > 0xFF) return 2;
    MutexLock lock(CS3_mutex);
    *out = scaler_bus_read(bank, reg);
    return 0;
}

int write_bank(unsigned bank, unsigned reg, uint8_t value) {
    if (reg == 0 || reg > 0xFF) return 2;
    MutexLock lock(CS3_mutex);
    scaler_bus_write(bank, reg, value);
    return 0;
}
