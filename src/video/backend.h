// The back end: the four HDMI transmitters (two per channel: outputs 0, 1
// for CH1 and 2, 3 for CH2) and the sinks behind them. The main task polls
// it every pass.
#pragma once

#include "scaler/video_timing.h"

#include <atomic>
#include <cstdint>

// Per output: the sink's receiver is powered.
extern std::atomic<int> dsRxPoweredUp[4];

void backEnd_init();
// One poll: a sink that came or went is noted, its EDID re-read. True when
// something changed.
bool backEnd_poll();
// ctl 0 mutes, 1 unmutes the channel's transmitters and their audio; an
// unmute is ignored while PM says the channel stays muted (mute, freeze or
// blank).
void backEnd_MuteCtl(int ch, int ctl, const char* caller, int line);
// Non-zero when the output's sink EDID re-reads and parses valid.
int isEdidValid(int output);
void SI9136_init_all();
// The transmitters' poll (part of backEnd_poll).
void pollSiI9136State();
// TMDS and 5 V of the channel's outputs (2 = both channels).
void backEnd_outputPower(int ch, int tmds, int power5v);
// The CNV requests that reach the transmitters: deep colour (PM.DEEP_COLOR)
// and the output colour space (PM.SAMPLING_RATE: 0 RGB, 1 YCbCr 4:4:4,
// 2 YCbCr 4:2:2). Each output sends what its sink's EDID announces of
// them, RGB at 24 bits otherwise; a sink that comes later gets the same.
void backEnd_setDeepColor(int on);
void backEnd_setColorSpace(int value);

// The output connector (0 HDMI1, 1 HDBT1, 2 HDMI2, 3 HDBT2, other: none)
// whose sink gives the channel its native output format, from the routing
// of the two outputs (PM.OUTPUT_CH).
int nativeOutputConnector(int ch, const uint8_t outputCh[2]);
// The preferred timing of the channel's native sink (its EDID's first
// detailed timing); false without a sink or a valid EDID.
bool backEnd_nativeTiming(int ch, VideoTiming& timing);
// The timing the channel's two transmitters send.
void backEnd_setOutputTiming(int ch, const VideoTiming& timing);
void backEnd_powerDown();
