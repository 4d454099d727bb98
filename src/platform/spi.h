// The SPI master hosted by the scaler chip: one byte per transfer. control
// is the transfer code plus 16 times the device (1 to 6): code 0 a complete
// one-byte command, 1 the first byte of a longer command, 4 a byte that
// continues it, 5 the byte that ends it, 255 a read (0xFF sent) that
// continues it, 13 a read that ends it. Returns the byte received.
#pragma once

#include <cstdint>

namespace board::spi {

uint8_t transfer(unsigned control, uint8_t out);

}  // namespace board::spi
