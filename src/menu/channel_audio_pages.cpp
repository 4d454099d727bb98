// Page 39 of each channel page (49 for CH2): audio source, analog takeover,
// volume and tone, lip-sync, pass-through; and page 396, the device-wide
// microphones and line of the DSP. Every action works on the calling
// thread's Channel.
#include "menu/channel_audio_pages.h"

#include "commands/notifications.h"
#include "core/audio.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_output_pages.h"
#include "menu/channel_pages.h"
#include "menu/menu_engine.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "scaler/output_formats.h"
#include "scaler/scaler.h"
#include "sys/gpio.h"
#include "sys/i2c.h"
#include "sys/locks.h"
#include "sys/print.h"

int32_t PB_39, PB_49, PB_393, PB_493, PB_396, PB_3961, PB_3962, PB_39612, PB_39622;

namespace {

constexpr uint32_t kNodeMute[2] = {3823, 4823};
constexpr int kMuteNode = 3823;

// The lip-sync delay chips: bus 2, one per output.
constexpr int kDelayBus = 2;
constexpr uint8_t kDelayChip[2] = {0xD0, 0xDA};
constexpr int kSamplesPerStep = 48, kMaxSamples = 8160;

constexpr int kShortcutTextX = 320, kShortcutTextY = 202, kShortcutTextFg = 248;

int channel() { return Channel == 1 ? 1 : 0; }
bool overlay() { return PM.DISPLAY_MODE == 1; }
int nodeOfRow(int row) { return row > 0 && row < funcTableSize() ? static_cast<int>(funcDataTbl[row].node) : 0; }

// Tone and balance: each item's DSP setter; in overlay mode the same value
// goes to output channel 1 as well.
struct ToneItem {
    int node;  // page 3's
    void (*set)(int channel, int value);
};
constexpr ToneItem kToneItems[] = {
    {3932, audioSetBass}, {3933, audioSetMid}, {3934, audioSetTreble}, {3935, audioSetBalance},
};

void applyTone(int row) {
    const int node = page3Node(nodeOfRow(row));
    const int value = getVal(row);  // the row's own channel element
    for (const ToneItem& t : kToneItems) {
        if (t.node != node) continue;
        t.set(channel(), value);
        if (overlay()) t.set(1, value);
    }
}

// The microphone and line items (page 39 only). The actions pass the PM
// field whole; the rows of release time, gain and delay edit its low byte.
struct MicItem {
    int node;
    int (*value)();
    void (*set)(int channel, int value);
    void (*setRight)(int channel, int value);  // the mix items: left, then right
};
constexpr MicItem kMic[] = {
    {39611, [] { return int{PM.MIC1_MODE}; }, audioSetTalkoverEnableMicrophone_1, nullptr},
    {396121, [] { return int{PM.MIC1_TA_DEPTH}; }, audioSetRmsTableDepthMicrophone_1, nullptr},
    {396122, [] { return int{PM.MIC1_TA_TRIGGER}; }, audioSetTriggerLevelMicrophone_1, nullptr},
    {396123, [] { return int{PM.MIC1_TA_ATTACK_TIME}; }, audioSetAttackTimeMicrophone_1, nullptr},
    {396124, [] { return int{PM.MIC1_TA_HOLD_TIME}; }, audioSetHoldTimeMicrophone_1, nullptr},
    {396125, [] { return int{PM.MIC1_TA_RELEASE_TIME}; }, audioSetReleaseTimeMicrophone_1, nullptr},
    {39613, [] { return int{PM.MIC1_MIX}; }, audioSetMixerMic1MixLeft, audioSetMixerMic1MixRight},
    {39614, [] { return int{PM.MIC1_VOLUME}; }, audioSetMicrophoneGain_1, nullptr},
    {39615, [] { return int{PM.MIC1_DELAY}; }, audioSetMicrophoneDelay_1, nullptr},
    {39616, [] { return int{PM.MIC1_MUTE}; }, audioSetMicMuteMicrophone_1, nullptr},
    {39617, [] { return int{PM.LINE_MIX}; }, audioSetMixerLineMixLeft, audioSetMixerLineMixRight},
    {39621, [] { return int{PM.MIC2_MODE}; }, audioSetTalkoverEnableMicrophone_2, nullptr},
    {396221, [] { return int{PM.MIC2_TA_DEPTH}; }, audioSetRmsTableDepthMicrophone_2, nullptr},
    {396222, [] { return int{PM.MIC2_TA_TRIGGER}; }, audioSetTriggerLevelMicrophone_2, nullptr},
    {396223, [] { return int{PM.MIC2_TA_ATTACK_TIME}; }, audioSetAttackTimeMicrophone_2, nullptr},
    {396224, [] { return int{PM.MIC2_TA_HOLD_TIME}; }, audioSetHoldTimeMicrophone_2, nullptr},
    {396225, [] { return int{PM.MIC2_TA_RELEASE_TIME}; }, audioSetReleaseTimeMicrophone_2, nullptr},
    {39623, [] { return int{PM.MIC2_MIX}; }, audioSetMixerMic2MixLeft, audioSetMixerMic2MixRight},
    {39624, [] { return int{PM.MIC2_VOLUME}; }, audioSetMicrophoneGain_2, nullptr},
    {39625, [] { return int{PM.MIC2_DELAY}; }, audioSetMicrophoneDelay_2, nullptr},
    {39626, [] { return int{PM.MIC2_MUTE}; }, audioSetMicMuteMicrophone_2, nullptr},
    {39627, [] { return int{PM.LINE_MIX}; }, audioSetMixerLineMixLeft, audioSetMixerLineMixRight},
    {3963, [] { return int{PM.LINE_MUTE}; }, audioSetLineMute, nullptr},
};

// The microphone (1 or 2) of a node under 3961 or 3962; 0 for others.
int micOf(int node) {
    while (node >= 10000) node /= 10;
    return node == 3961 ? 1 : node == 3962 ? 2 : 0;
}

// Warnings of the device-wide screens: the pass-through warning first;
// where it is not shown, the microphone mode the item needs.
enum class MicMode : int8_t { Any = -1, TalkOver = 0, Mix = 1 };
MicMode micModeNeeded(int node) {
    // The talk-over page and its five items.
    if (node == 39612 || node == 39622 || node / 10 == 39612 || node / 10 == 39622) return MicMode::TalkOver;
    // The mix level and the line mix of each microphone page.
    const bool item = node / 10 == 3961 || node / 10 == 3962;
    if (item && (node % 10 == 3 || node % 10 == 7)) return MicMode::Mix;
    return MicMode::Any;
}

void deviceWideWarnings(int row) {
    const int node = nodeOfRow(row);
    if (print_Pass_Through_Warning_If_Nedded()) return;
    const MicMode need = micModeNeeded(node);
    if (need != MicMode::Any) print_mic_mode_warning_If_Nedded(static_cast<int>(need), micOf(node));
}

void osd_deviceWidePage(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelPageBody(row);
    deviceWideWarnings(row);
    channelScreenEnd();
}

void osd_deviceWideList(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    deviceWideWarnings(row);
    channelScreenEnd();
}

void osd_deviceWideBar(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelBarBody(row);
    deviceWideWarnings(row);
    channelScreenEnd();
}

// Source, tone and lip-sync screens: the overlay warning, else the
// pass-through warning.
void overlayThenPassThrough() {
    if (!print_overlay_warning_if_needed()) print_Pass_Through_Warning_If_Nedded();
}

void osd_func391(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    overlayThenPassThrough();
    channelScreenEnd();
}

void osd_func392(int row) {
    const int ch = channelScreenBegin(row);
    if (PM.SEL_INPUT_TYPE[ch] != 0) {
        // An analog input's audio is always taken over (the line is greyed).
        MutexLock lock(PM_mutex);
        PM.ANALOG_TAKEOVER[ch] = 1;
    }
    channelTitle(row);
    channelListBody(row);
    if (!print_overlay_warning_if_needed() && !print_Pass_Through_Warning_If_Nedded() && PM.AUDIO_SOURCE[ch] != 0)
        channelWarning("Ineffective When Not in AFV Mode", 315);
    channelScreenEnd();
}

void osd_funcTone(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelBarBody(row);
    overlayThenPassThrough();
    channelScreenEnd();
}

void osd_func395(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    print_overlay_warning_if_needed();
    channelScreenEnd();
}

// The volume shortcut's window: where on the output it sits.
void shortcutWindow(int ch, int& x, int& y) {
    const int w = PS_PANELACTHW[ch], h = PS_PANELACTVW[ch];
    const int format = PM.OUTPUT_RES_SEL[ch];
    if (format == kOutputFormat4K) {
        x = w - 620;
        y = h / 2 - 40;
    } else if (format == 1 || format == 2) {
        x = w / 2 - 445;
        y = h / 2 - 50;
    } else {
        x = w / 2 - 455;
        y = h / 2 - 40;
    }
}

}  // namespace

void func391(int) {
    const int ch = channel();
    const int shown = vp.chData[ch].audioInput;
    const int asSource = shown >= 8 ? 0 : shown + 1;
    if (asSource != PM.AUDIO_SOURCE[ch] && gAudioPowerUpInitFlag[ch] == 0) audioSwitch(ch, 1, 0, 0);
}

void func392(int) {
    const int ch = channel();
    if (gAudioPowerUpInitFlag[ch] == 0) audioSwitch(ch, 1, 0, 0);
}

void func492(int row) { twin<func392, TwinGuard::Overlay>(row); }

void func3931(int) {
    const int ch = channel();
    audioSetOutputVolume(ch, PM.VOLUME[ch]);
    {
        MutexLock lock(PM_mutex);
        PM.MUTE[ch] = 0;
    }
    func3823(funcNum2TblInx(kMuteNode + 1000 * ch));
    // Held back only while both channels start up.
    if (!(gInInitialize[0] && gInInitialize[1]))
        p7kEvForceAnnounceInt(kNodeMute[ch], PM.MUTE[ch], static_cast<uint8_t>(ch));
    if (overlay()) audioSetOutputVolume(1, PM.VOLUME[ch]);
}

void funcTone(int row) { applyTone(row); }

int setLipSyncDelay(int output, int value) {
    if (output != 0 && output != 1) return 255;
    const uint16_t d = static_cast<uint16_t>(value * kSamplesPerStep);
    if (d > kMaxSamples) return 255;
    const uint8_t chip = kDelayChip[output];
    const uint8_t hi = static_cast<uint8_t>(d >> 8), lo = static_cast<uint8_t>(d & 0xFF);
    const struct {
        uint8_t reg, value;
    } writes[] = {{2, hi}, {3, lo}, {4, hi}, {5, lo}, {8, 1}};
    for (const auto& w : writes) {
        if (I2C_Set_Byte_Register(kDelayBus, chip, w.reg, w.value) != 0) {
            PRINT(PRINT_GENERAL, "setLipSyncDelay: chip 0x%02X register %u not written\n", chip, w.reg);
            return -1;
        }
    }
    return 0;
}

void func394(int) {
    const int ch = channel();
    const int value = PM.LIP_SYNC[ch] & 0xFF;
    setLipSyncDelay(ch, value);
    if (overlay()) setLipSyncDelay(1, value);
}

void func395(int) {
    const int ch = channel();
    const uint32_t mask = ch == 0 ? GIO_PASS_THROUGH_CH1 : GIO_PASS_THROUGH_CH2;
    if (PM.DISPLAY_MODE == 0) {
        gio56_pin_set(gio_gioo_5A, mask, PM.PASS_THROUGH[ch]);
    } else if (overlay()) {
        if (ch == 1) {
            gio56_pin_set(gio_gioo_5A, GIO_PASS_THROUGH_CH2, 0);
            return;
        }
        gio56_pin_set(gio_gioo_5A, GIO_PASS_THROUGH_CH1, PM.PASS_THROUGH[0]);
        const int a = PM.AUDIO_SOURCE[0] != 0        ? PM.AUDIO_SOURCE[0] - 1
                      : PM.ANALOG_TAKEOVER[0] == 1 ? PM.SEL_INPUT[0] - 1
                                                   : kAudioAnalogCh1;
        audioSwitchExe(a, 1, "func395", __LINE__);
    }
    changeAudioSettings(ch);
    if (PM.PASS_THROUGH[ch] != 0) {
        if (!overlay()) audioMute(ch, 1);
    } else if (PM.MUTE[ch] == 0 && PM.FREEZE[ch] == 0 && PM.BLANK[ch] == 0) {
        audioMute(ch, 0);
    }
}

void funcMicrophone(int row) {
    const int node = nodeOfRow(row);
    for (const MicItem& m : kMic) {
        if (m.node != node) continue;
        const int value = m.value();
        m.set(channel(), value);
        if (m.setRight) m.setRight(channel(), value);
    }
}

void osd_func3931(int row) {
    const int ch = channelScreenBegin(row);
    if (gOsdTimeOut != kOsdTimeOutVolume) {
        channelTitle(row);
        channelBarBody(row);
        overlayThenPassThrough();
        channelScreenEnd();
        return;
    }
    // The volume shortcut: the bar and its label in a window of its own, on
    // the shortcut's backdrop (which would cover a warning drawn before it).
    osd_put_part(17, 0, 0);
    channelBarBody(row);
    const char* label = overlay() ? "             Volume" : ch == 0 ? "         Ch1 Volume" : "         Ch2 Volume";
    osd_put_ascii_string(label, kShortcutTextX, kShortcutTextY, kShortcutTextFg, 255, 0, 16);
    overlayThenPassThrough();
    int x = 0, y = 0;
    shortcutWindow(ch, x, y);
    osd_on(OSD_CHANNEL, x, 620, y, 260, 1, 239, 239, 239, 247);
    osd_write_inh_ct(0, 1);
}

namespace {

constexpr auto kToneAction = acts<funcTone, TwinGuard::Overlay>();
constexpr auto kMicAction = same(funcMicrophone);

constexpr ChannelItem kItems[] = {
    {39, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_39, PB_49), 0, 5, 1, 0, true, 4},
    {391, acts<func391>(), 5, osd_func391, FT_CH_S8, both(PM.AUDIO_SOURCE), 0, 8},
    {392, {func392, func492}, 5, osd_func392, FT_CH_S8, both(PM.ANALOG_TAKEOVER), 0, 1},
    {393, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_393, PB_493), 0, 4},
    {3931, acts<func3931, TwinGuard::Overlay>(), 3, osd_func3931, FT_CH_S8, both(PM.VOLUME), -80, 20, 1, 2},
    {3932, kToneAction, 3, osd_funcTone, FT_CH_S8, both(PM.BASS), -18, 18},
    {3933, kToneAction, 3, osd_funcTone, FT_CH_S8, both(PM.MID), -18, 18},
    {3934, kToneAction, 3, osd_funcTone, FT_CH_S8, both(PM.TREBLE), -18, 18},
    {3935, kToneAction, 3, osd_funcTone, FT_CH_S8, both(PM.BALANCE), -10, 10},
    {394, acts<func394, TwinGuard::Overlay>(), 4, osd_funcTone, FT_CH_S16, both(PM.LIP_SYNC), 0, 170, 1, 8},
    {395, acts<func395>(), 5, osd_func395, FT_CH_S8, both(PM.PASS_THROUGH), 0, 1},
    // The microphones and the line: device-wide, page 39 only.
    {396, kNoAction, 5, channelPageScreen, FT_PAGE, {&PB_396, nullptr}, 0, 2, 1, 0, kPage3Only},
    {3961, kNoAction, 5, osd_deviceWidePage, FT_PAGE, {&PB_3961, nullptr}, 0, 6, 1, 0, kPage3Only},
    {39611, kMicAction, 5, osd_deviceWideList, FT_CH_S8, {&PM.MIC1_MODE, nullptr}, 0, 1, 1, 0, kPage3Only},
    {39612, kNoAction, 5, osd_deviceWidePage, FT_PAGE, {&PB_39612, nullptr}, 0, 4, 1, 0, kPage3Only},
    {396121, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC1_TA_DEPTH, nullptr}, 30, 100, 10, 0, kPage3Only},
    {396122, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC1_TA_TRIGGER, nullptr}, -90, -33, 3, 0, kPage3Only},
    {396123, kMicAction, 3, osd_deviceWideBar, FT_CH_S16, {&PM.MIC1_TA_ATTACK_TIME, nullptr}, 1, 12, 1, 5, kPage3Only},
    {396124, kMicAction, 3, osd_deviceWideBar, FT_CH_S16, {&PM.MIC1_TA_HOLD_TIME, nullptr}, 0, 2000, 50, 100, kPage3Only},
    {396125, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC1_TA_RELEASE_TIME, nullptr}, 0, 100, 1, 5, kPage3Only},
    {39613, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC1_MIX, nullptr}, -30, 6, 1, 3, kPage3Only},
    {39614, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC1_VOLUME, nullptr}, -16, 16, 1, 4, kPage3Only},
    {39615, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC1_DELAY, nullptr}, 1, 40, 1, 8, kPage3Only},
    {39616, kMicAction, 5, osd_deviceWideList, FT_CH_S8, {&PM.MIC1_MUTE, nullptr}, 0, 1, 1, 0, kPage3Only},
    {39617, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.LINE_MIX, nullptr}, -30, 6, 1, 3, kPage3Only},
    {3962, kNoAction, 5, osd_deviceWidePage, FT_PAGE, {&PB_3962, nullptr}, 0, 6, 1, 0, kPage3Only},
    {39621, kMicAction, 5, osd_deviceWideList, FT_CH_S8, {&PM.MIC2_MODE, nullptr}, 0, 1, 1, 0, kPage3Only},
    {39622, kNoAction, 5, osd_deviceWidePage, FT_PAGE, {&PB_39622, nullptr}, 0, 4, 1, 0, kPage3Only},
    {396221, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC2_TA_DEPTH, nullptr}, 30, 100, 10, 0, kPage3Only},
    {396222, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC2_TA_TRIGGER, nullptr}, -90, -33, 3, 0, kPage3Only},
    {396223, kMicAction, 3, osd_deviceWideBar, FT_CH_S16, {&PM.MIC2_TA_ATTACK_TIME, nullptr}, 1, 12, 1, 5, kPage3Only},
    {396224, kMicAction, 3, osd_deviceWideBar, FT_CH_S16, {&PM.MIC2_TA_HOLD_TIME, nullptr}, 0, 2000, 50, 100, kPage3Only},
    {396225, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC2_TA_RELEASE_TIME, nullptr}, 0, 100, 1, 5, kPage3Only},
    {39623, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC2_MIX, nullptr}, -30, 6, 1, 3, kPage3Only},
    {39624, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC2_VOLUME, nullptr}, -16, 16, 1, 4, kPage3Only},
    {39625, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.MIC2_DELAY, nullptr}, 1, 40, 1, 8, kPage3Only},
    {39626, kMicAction, 5, osd_deviceWideList, FT_CH_S8, {&PM.MIC2_MUTE, nullptr}, 0, 1, 1, 0, kPage3Only},
    {39627, kMicAction, 3, osd_deviceWideBar, FT_CH_S8, {&PM.LINE_MIX, nullptr}, -30, 6, 1, 3, kPage3Only},
    {3963, kMicAction, 5, osd_deviceWideList, FT_CH_S8, {&PM.LINE_MUTE, nullptr}, 0, 1, 1, 0, kPage3Only},
};
constexpr auto kRows = channelRows<kItems>();

}  // namespace

std::span<const FuncRow> channelAudioRows() { return kRows; }
