#include "sys/valutil.h"

#include <cstring>

namespace {
// Fields may sit at odd offsets of packed records: copy, never dereference.
template <typename T>
T load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
void store(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
}  // namespace

int32_t getVal8(const void* p) { return load<int8_t>(p); }
int32_t getVal16(const void* p) { return load<int16_t>(p); }
int32_t getVal32(const void* p) { return load<int32_t>(p); }

void setVal8(void* p, int32_t value) { store(p, static_cast<uint8_t>(value)); }
void setVal16(void* p, int32_t value) { store(p, static_cast<uint16_t>(value)); }
void setVal32(void* p, int32_t value) { store(p, static_cast<uint32_t>(value)); }

void addVal8(void* p, int32_t amount) { store(p, static_cast<uint8_t>(load<uint8_t>(p) + static_cast<uint32_t>(amount))); }
void addVal16(void* p, int32_t amount) {
    store(p, static_cast<uint16_t>(load<uint16_t>(p) + static_cast<uint32_t>(amount)));
}
void addVal32(void* p, int32_t amount) { store(p, load<uint32_t>(p) + static_cast<uint32_t>(amount)); }

int int2bcdlen(int32_t v) {
    // Through 64 bits: |INT32_MIN| does not fit 32.
    int64_t a = v < 0 ? -static_cast<int64_t>(v) : v;
    int n = 0;
    while (a > 0) {
        a /= 10;
        ++n;
    }
    return n;
}
