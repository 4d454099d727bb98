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
// PS_PANELACT*, the chip's active-picture registers and the channel's
// transmitters. Native (0) takes the preferred timing of the channel's
// native sink; without a sink or a readable EDID, the table's (1080p60).
void set_output_timing(int channel, int format);
// The timing the channel's output runs now (before any was applied, the
// table's entry of the stored format, vp.outFrmt).
OutputFormat outputTiming(int channel);
