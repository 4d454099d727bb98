// Output formats of the two channels (_E_TX_VFORMAT: 0 native, 42 4K).
#pragma once

// Applies PM.OUTPUT_RES_SEL of the channel (both with both non-zero, or
// channel 2) to its output after delay ms: vp.outFrmt, the output timing and
// the picture. A 4K format drives both outputs.
void confOutputResolution(int delay, int channel, int both);
// Sets the channel's output format and applies it, announcing 2411/2412.
void changeOutput(int channel, int format);
// For 4K (42): overlay mode with one window, announced with flag 1.
void changeModeToSingleWindowIf_4k(int format, int flag);
// Chroma and luma keying off (announced when they were on).
void cancelSpecialEffects();
// Start-up: both outputs in their stored formats.
void initOutputResolutions();

// CNV request codes.
enum : int {
    CNV_OUTPUT_RESOLUTION = 1,
    CNV_DEEP_COLOR = 2,
    CNV_COLOR_SPACE = 3,
};
// The main task's handling of one CNV request (channel 0, 1 or 2 = both).
void handleConversionRequest(int code, int channel);
