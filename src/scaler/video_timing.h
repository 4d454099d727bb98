// The public timing of a video format, as the format tables hold it.
#pragma once

#include <cstdint>

struct VideoTiming {
    const char* name;
    uint32_t pixelClockKHz;
    uint16_t hActive, hFront, hSync, hBack;
    uint16_t vActive, vFront, vSync, vBack;  // interlaced: porches of one field
    bool interlaced;
};
