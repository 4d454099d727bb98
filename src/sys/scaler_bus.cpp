#include "sys/scaler_bus.h"

#include "platform/scaler_window.h"

namespace {
int gBank = -1;  // guarded by CS3_mutex

void select(unsigned bank) {
    if (gBank == static_cast<int>(bank & 0xFF)) return;
    board::scalerWindow().write8(0, static_cast<uint8_t>(bank));
    gBank = static_cast<int>(bank & 0xFF);
}
}  // namespace

uint8_t scaler_bus_read(unsigned bank, unsigned offset) {
    select(bank);
    return board::scalerWindow().read8(offset);
}

void scaler_bus_write(unsigned bank, unsigned offset, uint8_t value) {
    select(bank);
    board::scalerWindow().write8(offset, value);
}

void scaler_bus_invalidate() { gBank = -1; }
