// The back end: the four HDMI transmitters (two per channel: outputs 0, 1
// for CH1 and 2, 3 for CH2) and the sinks behind them. The main task polls
// it every pass.
#pragma once

#include <atomic>

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
// The CNV requests that reach the transmitters: deep colour, colour space.
void backEnd_setDeepColor(int on);
void backEnd_setColorSpace(int value);
void backEnd_powerDown();
