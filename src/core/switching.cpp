#include "core/switching.h"

#include "commands/notifications.h"
#include "core/audio.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "menu/channel_output_pages.h"
#include "menu/menu_engine.h"
#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/ctl.h"
#include "scaler/input_formats.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "scaler/scaler.h"
#include "sys/fileutil.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "video/backend.h"
#include "video/frontend.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr int kInputs = 8;
constexpr int kOutput4K = 42;
constexpr int kNodeInput[2] = {31, 41};
constexpr int kNodeChannelInfo[2] = {511, 512};
constexpr int kNodeFreeze[2] = {3821, 4821};
constexpr int kNodeBlank[2] = {3822, 4822};
constexpr int kOwinMinWidth = 16;   // the window rows' minimum sizes
constexpr int kOwinMinHeight = 9;
constexpr int kOsdWidth = 640;
constexpr int kOsdHeight = 480;
constexpr const char* kDefaultLabels[kInputs] = {"HDMI 1", "HDMI 2", "HDMI 3", "HDMI 4",
                                                 "DVI-U1", "DVI-U2", "HDBT 1", "HDBT 2"};

// No-signal colours by PM.NOSIG_COLOR.
struct Rgb {
    int r, g, b;
};
constexpr Rgb kNoSignalColour[] = {{0, 0, 255}, {0, 0, 0}, {128, 128, 128}};  // blue, black, grey

std::atomic<ChannelPicture> gPicture[2] = {ChannelPicture::NORMAL, ChannelPicture::NORMAL};
// The channel froze its picture instead of blacking out while it changes input.
std::atomic<bool> gHeldForChange[2] = {false, false};
// When the channel's picture lost its signal (automatic sync-off).
uint32_t gNoSignalSince[2] = {0, 0};

bool validChannel(int ch) { return ch == 0 || ch == 1; }

// The stored signal type of input 0..7: only inputs 5 and 6 take another
// type than HDMI.
int inputType(int input) {
    int type = (input == 4 || input == 5) ? PM_I[input].SEL_INPUT_TYPE : 0;
    return type >= 0 && type <= 3 ? type : 0;
}

bool is4k() {
    return vp.outFrmt[0] == kOutput4K || vp.outFrmt[1] == kOutput4K || PM.OUTPUT_RES_SEL[0] == kOutput4K ||
           PM.OUTPUT_RES_SEL[1] == kOutput4K;
}

bool twoWindows() { return PM.DISPLAY_MODE == 1 && PM.DWINDOW != 0 && PM.DWINDOW != 4; }

void postKeypad(int key) { post_program_key(E_EXMSG_TYPE_KEYPAD, static_cast<uint16_t>(key)); }


// Runs a channel-page action the way the menu would, with the thread's
// channel set to ch.
void runChannelAction(void (*action)(int), int ch, int node) {
    int saved = Channel;
    Channel = ch;
    action(funcNum2TblInx(node));
    Channel = saved;
}

void blackoutOne(int force, int ch, int act) {
    bool frozen = PM.FREEZE[ch] != 0, blanked = PM.BLANK[ch] != 0;
    ChannelPicture pic = gPicture[ch];
    if (act == BLACKOUT_NO_SIGNAL) vp.chData[ch].cFlags.fetch_or(VP_CFLAG_NO_SIGNAL);
    bool noSignal = vp.chData[ch].cFlags.load() & VP_CFLAG_NO_SIGNAL;
    if (act == BLACKOUT_ON) {
        if (!force && frozen) return;  // the frozen picture stays on screen
        pic = ChannelPicture::BLACK;
    } else if (!force && blanked) {
        pic = ChannelPicture::BLACK;
    } else if (act == BLACKOUT_NO_SIGNAL || (act == BLACKOUT_OFF && noSignal)) {
        pic = ChannelPicture::NO_SIGNAL;
    } else {
        pic = ChannelPicture::NORMAL;
    }
    if (pic == ChannelPicture::NO_SIGNAL) {
        int r, g, b;
        setNoSignalColorParams(r, g, b, ch);
        set_ofill(ch, 2, r, g, b);
    } else if (pic == ChannelPicture::BLACK) {
        set_ofill(ch, 2, 0, 0, 0);
    } else {
        set_ofill(ch, 0, 0, 0, 0);
    }
    gPicture[ch] = pic;
}

// Points the channel at input 0..7: the old input's values are saved when
// changed, the new input's values taken from its zone, the receiver routed.
void routeChannel(int ch, int input) {
    int old = vidInputToConnector(vp.chData[ch].vidInput);
    if ((vp.chData[ch].cFlags.load() & VP_CFLAG_DIRTY) && old >= 0) eepromSaveFullPMData(old, ch);
    {
        MutexLock lock(PM_mutex);
        PM.SEL_INPUT[ch] = static_cast<uint8_t>(input + 1);
    }
    eepromLoadInputValues(input, ch);
    board::journal("routeChannel", "channel=%d input=%d zone=%d", ch, input + 1, input + 8 * ch);
    vp.chData[ch].vidInput = static_cast<uint8_t>(getNewVidInputPM(ch, input));
    vp.chData[ch].vidFormat = kFormatNone;
    confNewVideo(ch);
    audioSwitch(ch, 0, 0, 0);
}

// The road of an input key: blackout, route, store, LEDs, notification.
void switchVideo(int ch, int input) {
    if (!validChannel(ch)) return;
    int c = is4k() ? 2 : ch;
    if (PM.INPUT_CHANGE_EFFECT[ch] == 1 && c != 2) {
        set_image_frozen(ch, 1);
        gHeldForChange[ch] = true;
    } else {
        blackout(0, c, BLACKOUT_ON, __func__, __LINE__);
    }
    routeChannel(ch, input);
    eepromSaveVpData();
    markBothChannelsDirty();
    ledsOnManager(ch);
    p7kEvAnnounceInt(kNodeInput[ch], PM.SEL_INPUT[ch], static_cast<uint8_t>(ch));
    handleFreeze(ch == 0 ? KEY_FREEZE_CH1 : KEY_FREEZE_CH2, 1);
    handleBlank(ch == 0 ? KEY_BLANK_CH1 : KEY_BLANK_CH2, 1);
}

int keyChannel(int key, int ch1Key, int ch2Key) { return key == ch1Key ? 0 : key == ch2Key ? 1 : -1; }

// Toggles (or only lifts, with release) one of PM.FREEZE / PM.BLANK.
void toggleKey(uint8_t* field, int ch, int release, void (*action)(int), const int* nodes, const char* what) {
    uint8_t v;
    {
        MutexLock lock(PM_mutex);
        if (release && field[ch] == 0) return;
        field[ch] = release ? 0 : static_cast<uint8_t>(!field[ch]);
        v = field[ch];
    }
    vp.chData[ch].cFlags.fetch_or(VP_CFLAG_DIRTY);
    board::journal(what, "channel=%d value=%u%s", ch, v, release ? " (released)" : "");
    runChannelAction(action, ch, nodes[ch]);
    p7kEvAnnounceInt(static_cast<uint32_t>(nodes[ch]), v, static_cast<uint8_t>(ch));
}

const char* channelPictureName(ChannelPicture p) {
    switch (p) {
        case ChannelPicture::BLACK: return "black";
        case ChannelPicture::NO_SIGNAL: return "nosignal";
        case ChannelPicture::NORMAL: break;
    }
    return "normal";
}

}  // namespace

int prepVidInput(int type, int input) {
    switch (type) {
        case 1: return input + 16;  // component
        case 2: return input + 24;  // VGA
        case 3: return input + 8;   // composite
        default: return input;
    }
}

int getNewVidInput(int, int input) {
    if (input < 0 || input >= kInputs) return 0;
    return prepVidInput(inputType(input), input);
}

int getNewVidInputPM(int channel, int index) {
    if (index < 0 || index >= kInputs) return 0;
    if (validChannel(channel)) {
        MutexLock lock(PM_mutex);
        PM.SEL_INPUT_TYPE[channel] = static_cast<uint8_t>(inputType(index));
    }
    return getNewVidInput(channel, index);
}

const char* getInputName(int vidInput) {
    thread_local char name[24];
    int c = vidInputToConnector(vidInput);
    if (c < 0) return "NONE";
    std::snprintf(name, sizeof name, "%s", kDefaultLabels[c]);
    char line[256] = {};
    FILE* f = fl_open(board::deviceText("/root/app/conf/input_labels"), "r");
    bool read = f && fl_gets(line, sizeof line, f);
    fl_close(f);
    if (!read) return name;
    line[std::strcspn(line, "\r\n")] = '\0';
    const char* p = line;
    for (int i = 0; i < c && p; ++i) {
        p = std::strchr(p, ',');
        if (p) ++p;
    }
    if (p && *p && *p != ',') {
        size_t n = std::strcspn(p, ",");
        std::snprintf(name, sizeof name, "%.*s", static_cast<int>(std::min<size_t>(n, 16)), p);
    }
    return name;
}

const char* getForamtName(int format) { return format < 0 || format > kInputFormatLast ? "NONE" : inputFormatName(format); }

void setNoSignalColorParams(int& r, int& g, int& b, int channel) {
    int i = validChannel(channel) ? PM.NOSIG_COLOR[channel] : 0;
    const Rgb& c = kNoSignalColour[i < 3 ? i : 0];
    r = c.r, g = c.g, b = c.b;
}

void blackout(int force, int channel, int act, const char* caller, int line) {
    if (channel < 0 || channel > 2 || act < BLACKOUT_ON || act > BLACKOUT_NO_SIGNAL) return;
    board::journal("blackout", "force=%d channel=%d act=%d caller=%s:%d", force, channel, act, caller ? caller : "?",
                   line);
    for (int ch = 0; ch < 2; ++ch)
        if (channel == 2 || channel == ch) blackoutOne(force, ch, act);
}

ChannelPicture channelPicture(int channel) { return validChannel(channel) ? gPicture[channel].load() : ChannelPicture::BLACK; }

void handleInputKey(int key, const _EXMSG* message) {
    int ch = -1, input = -1;
    if (key >= KEY_INPUT1_CH1 && key < KEY_INPUT1_CH1 + kInputs) ch = 0, input = key - KEY_INPUT1_CH1;
    else if (key >= KEY_INPUT1_CH2 && key < KEY_INPUT1_CH2 + kInputs) ch = 1, input = key - KEY_INPUT1_CH2;
    if (ch < 0) return;
    int mode = message ? (message->mode & 0xFF) : mode_stat.load();
    switchAFV(ch, input, mode > 2 ? 0 : mode);
}

void switchAFV(int channel, int input, int mode) {
    if (!validChannel(channel) || input < 0 || input >= kInputs) return;
    board::journal("switchAFV", "channel=%d input=%d mode=%d", channel, input, mode);
    bool sameVideo = PM.SEL_INPUT[channel] == input + 1;
    if (mode == 2) {
        // Audio only: the input becomes the channel's fixed audio source.
        {
            MutexLock lock(PM_mutex);
            PM.AUDIO_SOURCE[channel] = static_cast<uint8_t>(input + 1);
        }
        vp.chData[channel].cFlags.fetch_or(VP_CFLAG_DIRTY);
        audioSwitch(channel, 1, 0, 0);
        ledsOnManager(channel);
        p7kEvAnnounceInt(channel == 0 ? 391 : 491, PM.AUDIO_SOURCE[channel], static_cast<uint8_t>(channel));
        return;
    }
    {
        MutexLock lock(PM_mutex);
        // Video only keeps the audio of the input shown so far.
        if (mode == 1 && PM.AUDIO_SOURCE[channel] == 0) PM.AUDIO_SOURCE[channel] = PM.SEL_INPUT[channel];
        if (mode == 0) PM.AUDIO_SOURCE[channel] = 0;
    }
    if (sameVideo) {
        audioSwitch(channel, 1, 0, 0);
        ledsOnManager(channel);
        return;
    }
    switchVideo(channel, input);
}

void confNewVideo(int channel) {
    if (!validChannel(channel)) return;
    board::journal("confNewVideo", "channel=%d vidInput=%u", channel, vp.chData[channel].vidInput);
    frontEnd_setVidInput(channel, vp.chData[channel].vidInput);
}

void tuneChannel(int channel, int format) {
    if (!validChannel(channel)) return;
    vp.chData[channel].vidFormat = static_cast<uint8_t>(format);
    vp.chData[channel].cFlags.fetch_and(static_cast<uint16_t>(~VP_CFLAG_NO_SIGNAL));
    board::journal("tuneChannel", "channel=%d format=%d %s", channel, format, getForamtName(format));
    // The scaler takes the new format: windows, then the whole picture.
    calc_input_window_init(channel);
    calc_display_window_init(channel);
    build_picture(channel, __func__, __LINE__);
    if (gHeldForChange[channel].exchange(false)) set_image_frozen(channel, PM.FREEZE[channel]);
    blackout(0, is4k() ? 2 : channel, BLACKOUT_OFF, __func__, __LINE__);
    enforce_test_pattern(channel);
    syncOffWake(channel);
    p7kEvAnnounceInt(kNodeChannelInfo[channel], format, static_cast<uint8_t>(channel));
    gInInitialize[channel] = 0;
    if (vp.gFlags.load() & VP_GFLAG_MENU_OPEN) stLoop(KEY_MENU_REFRESH);
}

void channelSignalLost(int channel) {
    if (!validChannel(channel)) return;
    vp.chData[channel].vidFormat = kFormatNone;
    board::journal("channelSignalLost", "channel=%d", channel);
    if (gHeldForChange[channel].exchange(false)) set_image_frozen(channel, PM.FREEZE[channel]);
    blackout(0, channel, BLACKOUT_NO_SIGNAL, __func__, __LINE__);
    gNoSignalSince[channel] = getCurrMsCount();
    gInInitialize[channel] = 0;
    if (vp.gFlags.load() & VP_GFLAG_MENU_OPEN) stLoop(KEY_MENU_REFRESH);
}

void handleFreeze(int key, int release) {
    int ch = keyChannel(key, KEY_FREEZE_CH1, KEY_FREEZE_CH2);
    if (ch >= 0) toggleKey(PM.FREEZE, ch, release, func3821, kNodeFreeze, "handleFreeze");
}

void handleBlank(int key, int release) {
    int ch = keyChannel(key, KEY_BLANK_CH1, KEY_BLANK_CH2);
    if (ch >= 0) toggleKey(PM.BLANK, ch, release, func3822, kNodeBlank, "handleBlank");
}

bool takeTransition(int source) {
    const char* refused = nullptr;
    if (PM.DISPLAY_MODE != 0) refused = "overlay mode";
    else if (vp.gFlags.load() & VP_GFLAG_TRANSITION) refused = "a transition runs";
    else if (vp.outFrmt[0] != vp.outFrmt[1] || PM.OUTPUT_RES_SEL[0] != PM.OUTPUT_RES_SEL[1]) refused = "outputs differ";
    if (refused) {
        board::journal("take", "source=%d refused: %s", source, refused);
        return false;
    }
    vp.gFlags.fetch_or(VP_GFLAG_TRANSITION);
    int program = PM.SEL_INPUT[0] - 1, preview = PM.SEL_INPUT[1] - 1;
    board::journal("take", "source=%d program=%d preview=%d", source, program + 1, preview + 1);
    blackout(0, 2, BLACKOUT_ON, __func__, __LINE__);
    routeChannel(0, preview);
    routeChannel(1, program);
    eepromSaveVpData();
    markBothChannelsDirty();
    for (int ch = 0; ch < 2; ++ch) {
        ledsOnManager(ch);
        p7kEvAnnounceInt(kNodeInput[ch], PM.SEL_INPUT[ch], static_cast<uint8_t>(ch));
    }
    vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_TRANSITION});
    return true;
}

void exeSyncOff(int channel, int tmds, int power5v) {
    if (!validChannel(channel)) return;
    int c = twoWindows() ? 2 : channel;
    board::journal("exeSyncOff", "channel=%d tmds=%d 5v=%d", c, tmds, power5v);
    backEnd_outputPower(c, tmds, power5v);
    for (int ch = 0; ch < 2; ++ch) {
        if (c != 2 && c != ch) continue;
        blankBetweenStates(ch, tmds ? 0 : 1, __func__, __LINE__, 0);
        gIsSyncOff[ch] = tmds ? 0 : 1;
        // A woken output's immediate sync-off has ended (in two-window mode
        // the other channel's too, or the service would put both back).
        if (tmds) PI_SYNC_OFF[ch] = 0;
    }
}

void sync_off_deactivate(int channel, int flag) {
    board::journal("sync_off_deactivate", "channel=%d flag=%d", channel, flag);
    // The running states end; the stored automatic setting stays, its idle
    // time counts anew.
    for (int ch = 0; ch < 2; ++ch) {
        if (channel != 2 && channel != ch) continue;
        PI_SYNC_OFF[ch] = 0;
        syncOffWake(ch);
    }
}

void sendCancelSyncSignal(int channel) {
    if (!validChannel(channel)) return;
    board::journal("sendCancelSyncSignal", "channel=%d", channel);
    postKeypad(channel == 0 ? KEY_CH1_TUNED : KEY_CH2_TUNED);
}

void syncOffWake(int channel) {
    if (!validChannel(channel)) return;
    gNoSignalSince[channel] = getCurrMsCount();
    // Only a sleeping output wakes: a request the service has not served
    // yet stays.
    if (gIsSyncOff[channel]) exeSyncOff(channel, 1, 1);
}

void syncOffService() {
    for (int ch = 0; ch < 2; ++ch) {
        if (gIsSyncOff[ch]) continue;
        if (PI_SYNC_OFF[ch]) {
            exeSyncOff(ch, 0, 0);
            continue;
        }
        if (!PM.AUTO_SYNC_OFF[ch] || !(vp.chData[ch].cFlags.load() & VP_CFLAG_NO_SIGNAL)) continue;
        uint32_t idle = PM.SYNC_OFF_IDLE[ch] == 0 ? 20000u : 60000u * PM.SYNC_OFF_IDLE[ch];
        if (getElapsedMs(gNoSignalSince[ch]) >= idle) exeSyncOff(ch, 0, 0);
    }
}

int delimitOsdPos(int horizontal, int testOnly, int position) {
    int ch = OSD_CHANNEL > 1 ? 0 : OSD_CHANNEL;
    int out = horizontal ? PS_PANELACTHW[ch] : PS_PANELACTVW[ch];
    int size = horizontal ? kOsdWidth : kOsdHeight;
    if (position + size <= out) return 0;
    if (!testOnly) {
        uint16_t v = static_cast<uint16_t>(std::max(0, out - size));
        MutexLock lock(PM_mutex);
        (horizontal ? PM.OSDPOSH : PM.OSDPOSV) = v;
    }
    return 255;
}

int delimitOwin(int isStart, int isHorizontal, int isTest, int size, int start) {
    int ch = Channel == 1 ? 1 : 0;
    if (PM.OUTPUT_RES_SEL[ch] == kOutput4K) return 0;
    int out = isHorizontal ? PS_PANELACTHW[ch] : PS_PANELACTVW[ch];
    if (start + size <= out) return 0;
    if (!isTest) {
        int minSize = isHorizontal ? kOwinMinWidth : kOwinMinHeight;
        // A start beyond the output leaves room for the smallest window first.
        if (start > out - minSize) start = std::max(0, out - minSize);
        if (isStart == 0) size = out - start;
        else if (size > out) size = out, start = 0;
        else start = out - size;
        MutexLock lock(PM_mutex);
        (isHorizontal ? PM.OWIN_HST : PM.OWIN_VST)[ch] = static_cast<uint16_t>(start);
        (isHorizontal ? PM.OWIN_HW : PM.OWIN_VW)[ch] = static_cast<uint16_t>(size);
    }
    return 255;
}

uint16_t build_led_state_(int led, int bright, int r, int g, int b, int blink) {
    if (bright == 0) {
        r = static_cast<int>(r * 0.29), g = static_cast<int>(g * 0.29), b = static_cast<int>(b * 0.29);
    } else if (vp.gFlags.load() & VP_GFLAG_TRANSITION) {
        blink = 1;
    }
    return build_led_state(led, r, g, b, blink);
}

void ledsOnManager(int channel) {
    if (!validChannel(channel)) return;
    int video = PM.SEL_INPUT[channel] - 1;
    int audio = PM.AUDIO_SOURCE[channel] ? PM.AUDIO_SOURCE[channel] - 1 : video;
    // CH2's LEDs are dimmed while CH1 alone is shown.
    bool dim = channel == 1 && PM.DISPLAY_MODE == 1 && (PM.DWINDOW == 0 || PM.DWINDOW == 4);
    int base = channel == 0 ? kLedInputCh1 : kLedInputCh2;
    for (int i = 0; i < kInputs; ++i) {
        int r = (i == audio) ? 7 : 0;  // audio red, video green, both yellow
        int g = (i == video) ? 7 : 0;
        post_led(build_led_state_(base + i, dim ? 0 : 255, r, g, 0, 0));
    }
    int mode = mode_stat.load();
    for (int m = 0; m < 3; ++m) {
        int on = m == mode ? 7 : 0;
        post_led(build_led_state_(kLedMode + m, 255, on, on, on, 0));
    }
    board::journal("ledsOnManager", "channel=%d video=%d audio=%d mode=%d", channel, video + 1, audio + 1, mode);
}

void registerChannelState() {
    static std::once_flag once;
    std::call_once(once, [] {
        board::sim::ctl::addState("channels", [] {
            std::string out;
            char line[160];
            for (int ch = 0; ch < 2; ++ch) {
                const auto& d = vp.chData[ch];
                std::snprintf(line, sizeof line,
                              "channel %d input %u vidInput %u format %u picture %s flags 0x%02X output %u syncoff %d\n",
                              ch + 1, PM.SEL_INPUT[ch], d.vidInput, d.vidFormat, channelPictureName(gPicture[ch]),
                              d.cFlags.load(), vp.outFrmt[ch], gIsSyncOff[ch].load());
                out += line;
            }
            std::snprintf(line, sizeof line, "gflags 0x%04X initialising %d %d\n", vp.gFlags.load(),
                          gInInitialize[0].load(), gInInitialize[1].load());
            return out + line;
        });
    });
}
