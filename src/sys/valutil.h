// Values of 1, 2 or 4 bytes at an address (fields of PM and the chip
// tables): reads sign-extend, adds wrap at the width, stores truncate.
#pragma once

#include <cstdint>

int32_t getVal8(const void* p);
int32_t getVal16(const void* p);
int32_t getVal32(const void* p);
void addVal8(void* p, int32_t amount);
void addVal16(void* p, int32_t amount);
void addVal32(void* p, int32_t amount);
void setVal8(void* p, int32_t value);
void setVal16(void* p, int32_t value);
void setVal32(void* p, int32_t value);

// Number of decimal digits of |v| (0 for 0).
int int2bcdlen(int32_t v);
