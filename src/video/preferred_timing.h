// The native resolutions an input's EDID can offer: a name and the EDID
// detailed timing descriptor of each, in the order of the native-resolution
// page.
#pragma once

#include <cstdint>

struct PreferredTiming {
    char name[20];
    uint8_t descriptor[18];
};
static_assert(sizeof(PreferredTiming) == 38);

inline constexpr int kPreferredTimings = 16;
extern const PreferredTiming (&preferredTiming)[kPreferredTimings];

// The last index of preferredTiming (15).
int getLastNativeInd();
