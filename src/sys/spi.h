// The scaler-hosted SPI master and single scaler registers.
#pragma once

#include <cstdint>

// Transfer codes of io_spi (control word = code + 16 * device).
enum : unsigned {
    SPI_SINGLE = 0,       // a complete one-byte command
    SPI_WRITE = 1,        // the first byte of a longer command
    SPI_CONTINUE = 4,     // a byte that continues it
    SPI_END = 5,          // the byte that ends it
    SPI_STATUS_END = 13,  // a read that ends it (0xFF sent)
    SPI_READ = 255,       // a read that continues it (0xFF sent)
};
enum : int {
    SPI_DEV_HDBT_TX_FLASH = 5,
    SPI_DEV_HDBT_RX_FLASH = 6,
};

// One byte under CS3_mutex; the byte received. While an HDBaseT update
// holds another device (valence_update_in_operation_mode), 0 without a
// transfer.
uint8_t io_spi(unsigned code, int device, uint8_t byte);

// One scaler register through the bank-select register, under CS3_mutex.
int read_bank(unsigned bank, unsigned reg, uint8_t* out);
int write_bank(unsigned bank, unsigned reg, uint8_t value);
