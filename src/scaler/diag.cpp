#include "scaler/diag.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<unsigned> gMask{[] {
    const char* v = std::getenv("PRINT_VERBOSE");
    return v ? static_cast<unsigned>(std::strtoul(v, nullptr, 16)) : 0u;
}()};

}  // namespace

void scaler_print(unsigned mask, const char* fmt, ...) {
    if (!(gMask.load() & mask)) return;
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::fflush(stdout);
}

void scaler_set_print_mask(unsigned mask) { gMask = mask; }

void scaler_wdt_clear() {
    // The system services' WDT_Clear() takes this place once they are in.
}
