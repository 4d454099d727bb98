// Page 39 of each channel page (49 for CH2): the channel's audio source,
// analog takeover, volume and tone, lip-sync delay and pass-through; page
// 39 also holds the device-wide microphone and line settings of the DSP
// (page 396 and below, no twin). In overlay mode CH1's settings drive both
// outputs and CH2's volume, tone, lip-sync and takeover do nothing.
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

extern int32_t PB_39, PB_49, PB_393, PB_493, PB_396, PB_3961, PB_3962, PB_39612, PB_39622;

void func391(int row);
// Also run when an input's signal type is applied.
void func392(int row);
void func492(int row);
// Volume (unmutes the channel), bass, mid, treble, balance.
void func3931(int row);
void funcTone(int row);
void func394(int row);
void func395(int row);
// A microphone or line item: its DSP operation with the PM value.
void funcMicrophone(int row);

// The lip-sync delay chip of output 0 or 1: value x 48 samples. 0, or 255
// (nothing written) above 8160 samples, or -1 when the chip did not answer.
int setLipSyncDelay(int output, int value);

void osd_func3931(int row);

std::span<const FuncRow> channelAudioRows();
