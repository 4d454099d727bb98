// The front end: the HDMI input switches and the two receivers that bring
// an input to each channel, format detection, the inputs' EDID images and
// hot-plug. The main task polls it every pass; it reports each channel's
// format on the VFM queue through videoFormatManager.
#pragma once

#include <cstdint>

// VFM reports: the code word, the format index in the parameter word and
// the channel in the second byte of the mode word.
enum : uint16_t {
    VFM_NEW_FORMAT = 1,
    VFM_SIGNAL_LOST = 2,
};
inline constexpr int kInputFormatLast = 66;  // 0..66 are formats; 245 and 255 no signal
inline constexpr int kFormatNone = 255;
// How long a receiver measures a newly routed input before it reports.
inline constexpr uint32_t kMeasureMs = 100;
inline constexpr uint32_t kHotPlugPulseMs = 500;

// Start-up: the EDID images of the eight inputs, HDCP, the serial
// crosspoint from PM, and both channels routed (they initialise until their
// first report).
void frontEnd_init();
// Routes a video input (_E_VID_INPUT) to the channel's receiver and starts
// measuring it.
void frontEnd_setVidInput(int channel, int vidInput);
// One poll (main task): reports a channel whose measurement ended or whose
// signal changed, and tells the automatic switching about connectors that
// came or went.
void frontEnd_poll();
// True while the channel's receiver sees no valid format.
bool frontEnd_noSignal(int channel);
// The format the source on connector 0..7 sends, kFormatNone without one
// (what a receiver routed to it would measure).
int frontEnd_inputFormat(int connector);
// Posts the channel's report on the VFM queue: new format (0..66) or
// signal lost.
void videoFormatManager(int channel, int format);
// Power saving: receivers and switches down.
void frontEnd_powerDown();

// EDID patches of an input (video input number); non-zero only when the
// image changed and the input is on air (a channel shows it and a source is
// connected), so that the caller pulses hot-plug.
int frontEnd_replaceNativeResolution(int video_input, const uint8_t* descriptor, const char* name);
int frontEnd_replaceNativeColorDepth(int video_input, int value);
int frontEnd_replaceNativeModeLines(int video_input, int value);
int frontEnd_replaceNativeAudioChannels(int video_input, int value);
// Holds the input's hot-plug line low for 500 ms.
void frontEnd_Edid_Issu_Hotplug(int video_input);
// Pulses hot-plug on the port that carries input inp (0..7); nothing while
// a channel initialises.
void issueHPD(int inp);
// The receiver's output colour space of the channel (VGA inputs: 2 is 0).
void frontEnd_setColorSpace(int channel, int value);
void get_info_panas(char* text);
// Selects the receiver the driver addresses: 0, or 255 above 1.
int ADV7842_incline(uint8_t receiver);

void EP9442_aimHPDHdmiVidInput(int on, int inp);
void EP9442_HdmiEnHdcp(int inp, int on);
void EP9442_MwRxSetInternalEdid(const uint8_t* edid, int video_input);
void EP9442_pollRX();

// Start-up: pulses hot-plug on the HDMI inputs whose EDID image changed
// from what their switch port held.
void pulseInputHotPlug();

// FEND: keeps its watchdog row alive until power saving.
void* frontend_thread(void*);
