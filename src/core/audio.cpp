#include "core/audio.h"

#include "core/core_state.h"
#include "core/pm.h"
#include "platform/journal.h"
#include "platform/sim/ctl.h"
#include "sys/print.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// How a setter's value reaches the DSP.
enum class Conv : uint8_t {
    PLAIN,
    INVERTED,   // the DSP takes 1 - value
    U16,        // a 16-bit value
    LOW_S8,     // the low byte, signed
};

struct DspParam {
    const char* name;
    Conv conv;
};

enum Param : int {
    OUTPUT_VOLUME, BASS, MID, TREBLE, BALANCE,
    TALKOVER_1, TALKOVER_2, RMS_DEPTH_1, RMS_DEPTH_2, TRIGGER_1, TRIGGER_2,
    ATTACK_1, ATTACK_2, HOLD_1, HOLD_2, RELEASE_1, RELEASE_2,
    MIC1_MIX_L, MIC1_MIX_R, MIC2_MIX_L, MIC2_MIX_R,
    GAIN_1, GAIN_2, DELAY_1, DELAY_2, MIC_MUTE_1, MIC_MUTE_2,
    LINE_MIX_L, LINE_MIX_R, LINE_MUTE, INPUT_VOLUME,
    PARAM_COUNT
};

// In Param order.
constexpr DspParam kParams[PARAM_COUNT] = {
    {"OutputVolume", Conv::PLAIN},           {"Bass", Conv::PLAIN},
    {"Mid", Conv::PLAIN},                    {"Treble", Conv::PLAIN},
    {"Balance", Conv::PLAIN},                {"TalkoverEnableMicrophone_1", Conv::INVERTED},
    {"TalkoverEnableMicrophone_2", Conv::INVERTED}, {"RmsTableDepthMicrophone_1", Conv::PLAIN},
    {"RmsTableDepthMicrophone_2", Conv::PLAIN},     {"TriggerLevelMicrophone_1", Conv::PLAIN},
    {"TriggerLevelMicrophone_2", Conv::PLAIN},      {"AttackTimeMicrophone_1", Conv::U16},
    {"AttackTimeMicrophone_2", Conv::U16},          {"HoldTimeMicrophone_1", Conv::U16},
    {"HoldTimeMicrophone_2", Conv::U16},            {"ReleaseTimeMicrophone_1", Conv::U16},
    {"ReleaseTimeMicrophone_2", Conv::U16},         {"MixerMic1MixLeft", Conv::PLAIN},
    {"MixerMic1MixRight", Conv::PLAIN},             {"MixerMic2MixLeft", Conv::PLAIN},
    {"MixerMic2MixRight", Conv::PLAIN},             {"MicrophoneGain_1", Conv::LOW_S8},
    {"MicrophoneGain_2", Conv::LOW_S8},             {"MicrophoneDelay_1", Conv::LOW_S8},
    {"MicrophoneDelay_2", Conv::LOW_S8},            {"MicMuteMicrophone_1", Conv::PLAIN},
    {"MicMuteMicrophone_2", Conv::PLAIN},           {"MixerLineMixLeft", Conv::PLAIN},
    {"MixerLineMixRight", Conv::PLAIN},             {"LineMute", Conv::PLAIN},
    {"InputVolume", Conv::PLAIN},
};

std::mutex gMutex;
int gValue[PARAM_COUNT][2] = {};
int gRouted[2] = {-1, -1};
bool gMuted[2] = {true, true};
int gAmplifier = -1;
std::once_flag gStateOnce;

bool validChannel(int ch) { return ch == 0 || ch == 1; }

int convert(Conv c, int v) {
    switch (c) {
        case Conv::INVERTED: return 1 - v;
        case Conv::U16: return v & 0xFFFF;
        case Conv::LOW_S8: return static_cast<int8_t>(v & 0xFF);
        case Conv::PLAIN: break;
    }
    return v;
}

void registerState() {
    std::call_once(gStateOnce, [] { board::sim::ctl::addState("audio", audioStateText); });
}

void dspSet(Param p, int channel, int value) {
    if (!validChannel(channel)) return;
    int v = convert(kParams[p].conv, value);
    {
        std::lock_guard lock(gMutex);
        gValue[p][channel] = v;
    }
    board::journal("audio.dsp", "%s channel=%d value=%d", kParams[p].name, channel, v);
}

// The input the channel's audio comes from now.
int sourceFor(int ch) {
    if (PM.TEST_PATTERN[ch] != 0) return kAudioTestPattern;
    if (PM.AUDIO_SOURCE[ch] != 0) return PM.AUDIO_SOURCE[ch] - 1;
    if (PM.ANALOG_TAKEOVER[ch] == 1) return PM.SEL_INPUT[ch] - 1;
    return kAudioAnalogCh1 + ch;
}

}  // namespace

void audioSwitchExe(int input, int channel, const char* caller, int line) {
    if (!validChannel(channel) || input < 0 || input > kAudioTestPattern) {
        PRINT(PRINT_GENERAL, "audioSwitchExe: input %d channel %d refused\n", input, channel);
        return;
    }
    {
        std::lock_guard lock(gMutex);
        gRouted[channel] = input;
    }
    vp.chData[channel].audioInput = static_cast<uint8_t>(input);
    board::journal("audioSwitchExe", "input=%d channel=%d caller=%s:%d", input, channel, caller ? caller : "?", line);
}

void audioSwitch(int channel, int force, int fade, int reapply) {
    if (!validChannel(channel)) return;
    registerState();
    board::journal("audioSwitch", "channel=%d force=%d fade=%d reapply=%d", channel, force, fade, reapply);
    if (PM.DISPLAY_MODE == 1) {
        // Overlay mode: CH1's source feeds both outputs.
        int src = sourceFor(0);
        audioSwitchExe(src, 0, __func__, __LINE__);
        audioSwitchExe(src, 1, __func__, __LINE__);
        return;
    }
    audioSwitchExe(sourceFor(channel), channel, __func__, __LINE__);
}

void audioDisplayModeSwitch(int mode) {
    board::journal("audioDisplayModeSwitch", "mode=%d", mode);
    audioSwitch(0, 1, 0, 0);
    if (mode == 0) audioSwitch(1, 1, 0, 0);
}

void changeAudioSettings(int channel) {
    if (!validChannel(channel)) return;
    board::journal("changeAudioSettings", "channel=%d", channel);
    audioSetOutputVolume(channel, PM.VOLUME[channel]);
    audioSetBass(channel, PM.BASS[channel]);
    audioSetMid(channel, PM.MID[channel]);
    audioSetTreble(channel, PM.TREBLE[channel]);
    audioSetBalance(channel, PM.BALANCE[channel]);
    audioSetInputVolume(vp.chData[channel].audioInput, PM.INP_VOLUME[channel], channel);
}

int audioMute(int channel, int on) {
    if (!validChannel(channel)) return -1;
    registerState();
    bool scanning = (vp.chData[channel].cFlags.load() & VP_CFLAG_SCAN_IN_PROGRESS) || PI_SCAN_MODE_IN_PROGRESS[channel];
    if (!on && scanning) {
        board::journal("audioMute", "channel=%d on=0 refused: scan runs", channel);
        return -1;
    }
    {
        std::lock_guard lock(gMutex);
        gMuted[channel] = on != 0;
    }
    board::journal("audioMute", "channel=%d on=%d", channel, on ? 1 : 0);
    return 0;
}

void audioSetInputVolume(int source, int volume, int channel) {
    board::journal("audioSetInputVolume", "source=%d volume=%d channel=%d", source, volume, channel);
    dspSet(INPUT_VOLUME, channel, volume);
}

void paPower() {
    int v = PM.POWER_AMPLIFIER;
    {
        std::lock_guard lock(gMutex);
        gAmplifier = v;
    }
    board::journal("paPower", "value=%d", v);
}

void audioSetOutputVolume(int c, int v) { dspSet(OUTPUT_VOLUME, c, v); }
void audioSetBass(int c, int v) { dspSet(BASS, c, v); }
void audioSetMid(int c, int v) { dspSet(MID, c, v); }
void audioSetTreble(int c, int v) { dspSet(TREBLE, c, v); }
void audioSetBalance(int c, int v) { dspSet(BALANCE, c, v); }
void audioSetTalkoverEnableMicrophone_1(int c, int v) { dspSet(TALKOVER_1, c, v); }
void audioSetTalkoverEnableMicrophone_2(int c, int v) { dspSet(TALKOVER_2, c, v); }
void audioSetRmsTableDepthMicrophone_1(int c, int v) { dspSet(RMS_DEPTH_1, c, v); }
void audioSetRmsTableDepthMicrophone_2(int c, int v) { dspSet(RMS_DEPTH_2, c, v); }
void audioSetTriggerLevelMicrophone_1(int c, int v) { dspSet(TRIGGER_1, c, v); }
void audioSetTriggerLevelMicrophone_2(int c, int v) { dspSet(TRIGGER_2, c, v); }
void audioSetAttackTimeMicrophone_1(int c, int v) { dspSet(ATTACK_1, c, v); }
void audioSetAttackTimeMicrophone_2(int c, int v) { dspSet(ATTACK_2, c, v); }
void audioSetHoldTimeMicrophone_1(int c, int v) { dspSet(HOLD_1, c, v); }
void audioSetHoldTimeMicrophone_2(int c, int v) { dspSet(HOLD_2, c, v); }
void audioSetReleaseTimeMicrophone_1(int c, int v) { dspSet(RELEASE_1, c, v); }
void audioSetReleaseTimeMicrophone_2(int c, int v) { dspSet(RELEASE_2, c, v); }
void audioSetMixerMic1MixLeft(int c, int v) { dspSet(MIC1_MIX_L, c, v); }
void audioSetMixerMic1MixRight(int c, int v) { dspSet(MIC1_MIX_R, c, v); }
void audioSetMixerMic2MixLeft(int c, int v) { dspSet(MIC2_MIX_L, c, v); }
void audioSetMixerMic2MixRight(int c, int v) { dspSet(MIC2_MIX_R, c, v); }
void audioSetMicrophoneGain_1(int c, int v) { dspSet(GAIN_1, c, v); }
void audioSetMicrophoneGain_2(int c, int v) { dspSet(GAIN_2, c, v); }
void audioSetMicrophoneDelay_1(int c, int v) { dspSet(DELAY_1, c, v); }
void audioSetMicrophoneDelay_2(int c, int v) { dspSet(DELAY_2, c, v); }
void audioSetMicMuteMicrophone_1(int c, int v) { dspSet(MIC_MUTE_1, c, v); }
void audioSetMicMuteMicrophone_2(int c, int v) { dspSet(MIC_MUTE_2, c, v); }
void audioSetMixerLineMixLeft(int c, int v) { dspSet(LINE_MIX_L, c, v); }
void audioSetMixerLineMixRight(int c, int v) { dspSet(LINE_MIX_R, c, v); }
void audioSetLineMute(int c, int v) { dspSet(LINE_MUTE, c, v); }

void audioInit() {
    registerState();
    for (int ch = 0; ch < 2; ++ch) {
        gAudioPowerUpInitFlag[ch] = 1;
        audioMute(ch, 1);
    }
    board::journal("audioInit", "muted");
}

void audioUnmute() {
    // The microphones and the line are device-wide; they travel with CH1.
    audioSetTalkoverEnableMicrophone_1(0, PM.MIC1_MODE);
    audioSetTalkoverEnableMicrophone_2(0, PM.MIC2_MODE);
    audioSetRmsTableDepthMicrophone_1(0, PM.MIC1_TA_DEPTH);
    audioSetRmsTableDepthMicrophone_2(0, PM.MIC2_TA_DEPTH);
    audioSetTriggerLevelMicrophone_1(0, PM.MIC1_TA_TRIGGER);
    audioSetTriggerLevelMicrophone_2(0, PM.MIC2_TA_TRIGGER);
    audioSetAttackTimeMicrophone_1(0, PM.MIC1_TA_ATTACK_TIME);
    audioSetAttackTimeMicrophone_2(0, PM.MIC2_TA_ATTACK_TIME);
    audioSetHoldTimeMicrophone_1(0, PM.MIC1_TA_HOLD_TIME);
    audioSetHoldTimeMicrophone_2(0, PM.MIC2_TA_HOLD_TIME);
    audioSetReleaseTimeMicrophone_1(0, PM.MIC1_TA_RELEASE_TIME);
    audioSetReleaseTimeMicrophone_2(0, PM.MIC2_TA_RELEASE_TIME);
    audioSetMixerMic1MixLeft(0, PM.MIC1_MIX);
    audioSetMixerMic1MixRight(0, PM.MIC1_MIX);
    audioSetMixerMic2MixLeft(0, PM.MIC2_MIX);
    audioSetMixerMic2MixRight(0, PM.MIC2_MIX);
    audioSetMicrophoneGain_1(0, PM.MIC1_VOLUME);
    audioSetMicrophoneGain_2(0, PM.MIC2_VOLUME);
    audioSetMicrophoneDelay_1(0, PM.MIC1_DELAY);
    audioSetMicrophoneDelay_2(0, PM.MIC2_DELAY);
    audioSetMicMuteMicrophone_1(0, PM.MIC1_MUTE);
    audioSetMicMuteMicrophone_2(0, PM.MIC2_MUTE);
    audioSetMixerLineMixLeft(0, PM.LINE_MIX);
    audioSetMixerLineMixRight(0, PM.LINE_MIX);
    audioSetLineMute(0, PM.LINE_MUTE);
    paPower();
    for (int ch = 0; ch < 2; ++ch) {
        audioSwitch(ch, 1, 0, 0);
        changeAudioSettings(ch);
        // With pass-through outside overlay mode the DSP's own audio stays off.
        bool passThrough = PM.PASS_THROUGH[ch] != 0 && PM.DISPLAY_MODE == 0;
        audioMute(ch, passThrough ? 1 : 0);
        gAudioPowerUpInitFlag[ch] = 0;
    }
    board::journal("audioUnmute", "stored settings applied");
}

void audioPowerDown() {
    for (int ch = 0; ch < 2; ++ch) audioMute(ch, 1);
    {
        std::lock_guard lock(gMutex);
        gAmplifier = 0;
    }
    board::journal("audio.powerDown", "amplifier off, DSP outputs muted");
}

std::string audioStateText() {
    std::lock_guard lock(gMutex);
    std::string out;
    char line[96];
    for (int ch = 0; ch < 2; ++ch) {
        std::snprintf(line, sizeof line, "channel %d input %d mute %s\n", ch + 1, gRouted[ch], gMuted[ch] ? "on" : "off");
        out += line;
    }
    std::snprintf(line, sizeof line, "amplifier %d\n", gAmplifier);
    out += line;
    for (int p = 0; p < PARAM_COUNT; ++p) {
        std::snprintf(line, sizeof line, "%s %d %d\n", kParams[p].name, gValue[p][0], gValue[p][1]);
        out += line;
    }
    return out;
}

int audioRoutedInput(int channel) {
    std::lock_guard lock(gMutex);
    return validChannel(channel) ? gRouted[channel] : -1;
}

bool audioMuted(int channel) {
    std::lock_guard lock(gMutex);
    return validChannel(channel) && gMuted[channel];
}

int audioDspValue(const char* name, int channel) {
    std::lock_guard lock(gMutex);
    for (int p = 0; p < PARAM_COUNT; ++p)
        if (std::strcmp(kParams[p].name, name) == 0 && validChannel(channel)) return gValue[p][channel];
    return 0;
}
