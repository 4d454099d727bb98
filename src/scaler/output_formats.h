// The output format table: index 0 "Native" to 42 "4k2k30" (the formats
// between are common computer and television timings), and the active
// picture of each channel's output.
#pragma once

#include "scaler/video_timing.h"

#include <cstdint>

using OutputFormat = VideoTiming;

inline constexpr int kOutputFormats = 43;
inline constexpr int kOutputFormat4K = 42;
extern const OutputFormat sysParamTbl[kOutputFormats];

// The name of an output format index ("Unsupported" outside 0 to 42).
const char* getOutputFormat(int format);

// Per channel: the active picture's start (from the sync) and size.
extern uint16_t PS_PANELACTHST[2];
extern uint16_t PS_PANELACTVST[2];
extern uint16_t PS_PANELACTHW[2];
extern uint16_t PS_PANELACTVW[2];

// Applies the timing of an output format to the channel's output: sets
// PS_PANELACT* and the chip's active-picture registers. Native uses the
// 1080p60 timing until the sink's preferred timing is known here.
void set_output_timing(int channel, int format);
