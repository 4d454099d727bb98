// Register access to the scaler window through its bank-select byte.
//
// Every path that selects a bank (register access, the bank helpers, the
// OSD) goes through these functions with CS3_mutex held by the caller, so the
// one cache of the selected bank never falls out of step with the chip.
#pragma once

#include <cstdint>

uint8_t scaler_bus_read(unsigned bank, unsigned offset);   // CS3_mutex held
void scaler_bus_write(unsigned bank, unsigned offset, uint8_t value);  // CS3_mutex held
// Forgets the cached bank (after a chip reset).
void scaler_bus_invalidate();
