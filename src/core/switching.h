// Input switching, blackout, freeze and blank keys, TAKE, sync-off and the
// front-panel LEDs of the two channels (channel 0 = CH1, 1 = CH2; 2 = both
// where an operation accepts it).
#pragma once

#include <cstdint>

struct _EXMSG;

// Video input numbers (_E_VID_INPUT) of input 0..7: HDMI input, composite
// input + 8, component input + 16, VGA input + 24.
int prepVidInput(int type, int input);
// The video input number of input 0..7 from its stored signal type (other
// types than HDMI exist only for inputs 5 and 6).
int getNewVidInput(int channel, int input);
// The same; the channel's PM.SEL_INPUT_TYPE takes the input's type.
int getNewVidInputPM(int channel, int index);
// The display name of a video input: its label from
// /root/app/conf/input_labels (the default name where the file has none).
const char* getInputName(int vidInput);
// The name of an input format index, "NONE" above 66.
const char* getForamtName(int format);

// blackout acts.
enum : int {
    BLACKOUT_ON = 1,
    BLACKOUT_OFF = 2,
    BLACKOUT_NO_SIGNAL = 3,
};
// Per-channel blanking of the picture (channel 2 = both). With force 0 a
// frozen channel keeps its picture on ON and a blanked one stays black on
// OFF and NO_SIGNAL; with 1 the act is applied regardless.
void blackout(int force, int channel, int act, const char* caller, int line);
// What each channel's picture shows now.
enum class ChannelPicture : uint8_t { NORMAL, BLACK, NO_SIGNAL };
ChannelPicture channelPicture(int channel);
// The no-signal background colour of PM.NOSIG_COLOR.
void setNoSignalColorParams(int& r, int& g, int& b, int channel);

// The main task's input switching for an input key (15..22 CH1, 23..30
// CH2) with the switching mode of the message.
void handleInputKey(int key, const _EXMSG* message);
// mode 0 video and audio, 1 video only, 2 audio only.
void switchAFV(int channel, int input, int mode);
// Routes the channel's vidInput through the front end; the format report
// that follows tunes the channel.
void confNewVideo(int channel);
// The main task's handling of the front end's reports.
void tuneChannel(int channel, int format);
void channelSignalLost(int channel);

// Freeze keys 14 (CH1) and 12 (CH2), blank keys 13 and 11: toggle; with
// release 1 only lift a freeze or blank. Through the menu actions, announced.
void handleFreeze(int key, int release);
void handleBlank(int key, int release);

// TAKE: channel 2 (preview) becomes the program and the channels exchange
// their inputs. Only in transition mode, with no transition running and
// both outputs in one format. True when it ran.
bool takeTransition(int source);

// Sync-off of an output: TMDS and 5 V (both channels in two-window mode),
// and the outputs blanked or restored; a restored output's immediate
// sync-off has ended (PI_SYNC_OFF cleared).
void exeSyncOff(int channel, int tmds, int power5v);
// Automatic and immediate sync-off off (channel 2 = both): a sleeping
// output wakes, a pending request is dropped, the idle time restarts.
void sync_off_deactivate(int channel, int flag);
// Posts the channel's tuned key (43 CH1, 44 CH2), which wakes its output.
void sendCancelSyncSignal(int channel);
// The main task's sync-off service: immediate requests, the idle time of
// automatic sync-off, and the wake-up keys 43 and 44.
void syncOffService();
// The wake-up keys and a newly tuned channel: the idle time restarts and a
// sleeping output wakes; a request the service has not served yet stays.
void syncOffWake(int channel);

// 0 when position + 640 (horizontal) or + 480 fits the OSD channel's
// output; else 255 and, unless testOnly, PM.OSDPOSH or OSDPOSV is moved in.
int delimitOsdPos(int horizontal, int testOnly, int position);
// 0 when start + size fits the current channel's output (always in 4K);
// else 255 and, unless isTest, the channel's output window is corrected:
// size = output - start (isStart 0) or start = output - size (isStart 1),
// never outside the window's bounds.
int delimitOwin(int isStart, int isHorizontal, int isTest, int size, int start);

// The channel's front-panel LEDs: inputs, audio source and switching mode.
void ledsOnManager(int channel);
// bright 0 scales r, g, b by 0.29; otherwise blink is set while a
// transition runs. The LED command word.
uint16_t build_led_state_(int led, int bright, int r, int g, int b, int blink);
// LED numbers of this panel.
inline constexpr int kLedInputCh1 = 0;   // 0..7
inline constexpr int kLedInputCh2 = 8;   // 8..15
inline constexpr int kLedMode = 16;      // 16 follow, 17 video only, 18 audio only

// The channel pictures as "ctl state" shows them.
void registerChannelState();
