#include "sys/gpio.h"

#include "platform/hw.h"

#include <mutex>

namespace {
std::mutex gMutex;  // read-modify-write of one register at a time
}

void gio56_pin_set(unsigned reg, uint32_t mask, int value) {
    std::lock_guard lock(gMutex);
    uint32_t v = board::gpio::read(reg);
    board::gpio::write(reg, value ? (v | mask) : (v & ~mask));
}
