// The input format table: the formats the receivers report (index 0 to 66;
// above 66 there is no signal), with their public timings, and the words the
// picture build takes from it for each input type.
#pragma once

#include "scaler/video_timing.h"

#include <cstdint>

using InputFormat = VideoTiming;

inline constexpr int kInputFormats = 67;
inline constexpr int kInputTypes = 4;  // 0 HDMI, 1 component, 2 VGA, 3 composite
inline constexpr int kPictureParamWords = 5;
extern const InputFormat inputFormatTbl[kInputFormats];

// Per format and input type: 0 pixels per line, 1 horizontal active start
// (from the sync), 2 active width, 3 vertical active start, 4 active lines
// of a field. The analog receivers sample a few pixels late, so their
// horizontal start is larger than HDMI's.
extern const uint32_t (&buildPictureParam)[kInputFormats][kInputTypes][kPictureParamWords];

// The name of an input format index, "NONE" outside 0 to 66.
const char* inputFormatName(int format);
