// The simulated I2C buses and their chips. Chips are keyed by bus and 7-bit
// address; an absent address does not acknowledge. Transfers on one bus are
// serialised by the bus model (the program's own code takes no lock).
//
// Standard chips of the board, made on first use for the open root:
//   bus 0 0x56  EEPROM, 32 KiB in sim/eeprom.bin, 16-bit addresses, 64-byte
//               pages (a write wraps inside its page), then a write cycle of
//               eeprom_write_cycle_ms (board.conf, 5) during which it NACKs
//   bus 0 0x24, bus 1 0x25  I/O expanders (8 registers, output latches kept)
//   bus 2 0x68, 0x6D        audio delay chips (plain register files)
//   bus 3 0x28, 0x29, 0x2A, 0x2B  the HDBaseT transceivers (vs100_sim.h)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace board::sim::i2c {

class Device {
public:
    virtual ~Device() = default;
    // One message of a transfer; false = not acknowledged.
    virtual bool write(const uint8_t* data, size_t n) = 0;
    virtual bool read(uint8_t* data, size_t n) = 0;
    // The stop condition at the end of the transfer.
    virtual void stop() {}
    // True while the chip ignores its address (write cycle).
    virtual bool busy() { return false; }
};

// Registers a chip (replacing one at the address); other issues' chip
// models (video receivers, transceivers) attach here.
void attach(int bus, uint8_t addr7, std::shared_ptr<Device> device);
void detach(int bus, uint8_t addr7);

// The next count transfers on bus fail with a bus fault.
void failNext(int bus, int count);
// A chip holds the data line low: every transfer on the bus fails with a
// bus fault until the bus is recovered.
void stick(int bus);

// Observation for tests and "ctl state".
unsigned eepromBusyNacks();
uint8_t expanderRegister(int bus, uint8_t addr7, unsigned reg);

// Registers "i2c" with the control socket and the [i2c] state section.
void registerControl();

// Forgets every chip (the next transfer makes the board's chips again).
void reset();

}  // namespace board::sim::i2c
