// Audio control: the source of each channel, the DSP's output, tone and
// microphone settings, mutes and the power amplifier. Every operation writes
// one journal line and keeps its value in the audio state that
// "hx40-sim ctl ROOT state" shows.
#pragma once

#include <cstdint>
#include <string>

// Audio inputs: 0..7 the inputs, 8 and 9 the analog inputs of CH1 and CH2,
// 10 the silence that goes with a test pattern.
inline constexpr int kAudioAnalogCh1 = 8;
inline constexpr int kAudioTestPattern = 10;

// Re-selects the channel's audio source: the fixed input of
// PM.AUDIO_SOURCE, or following the video (the input itself with analog
// takeover, else the channel's analog input). In overlay mode CH1's choice
// drives both channels. The flags are kept for the callers' tracing.
void audioSwitch(int channel, int force, int fade, int reapply);
// Routes audio input 0..10 to the channel.
void audioSwitchExe(int input, int channel, const char* caller, int line);
// Overlay mode (1) feeds both outputs from CH1; transition mode (0) each its own.
void audioDisplayModeSwitch(int mode);
// Re-applies volume, tone, balance and mute of the channel.
void changeAudioSettings(int channel);
// on 1 mutes, 0 unmutes; an unmute is refused while the channel's input
// scan runs. 0, or -1 when refused.
int audioMute(int channel, int on);
void audioSetInputVolume(int source, int volume, int channel);
// Writes PM.POWER_AMPLIFIER to the amplifier.
void paPower();

// DSP setters, each (channel, value).
void audioSetOutputVolume(int channel, int value);
void audioSetBass(int channel, int value);
void audioSetMid(int channel, int value);
void audioSetTreble(int channel, int value);
void audioSetBalance(int channel, int value);
// The DSP's talk-over enable is 1 - value (value 1 = mix mode).
void audioSetTalkoverEnableMicrophone_1(int channel, int value);
void audioSetTalkoverEnableMicrophone_2(int channel, int value);
void audioSetRmsTableDepthMicrophone_1(int channel, int value);
void audioSetRmsTableDepthMicrophone_2(int channel, int value);
void audioSetTriggerLevelMicrophone_1(int channel, int value);
void audioSetTriggerLevelMicrophone_2(int channel, int value);
// 16-bit values.
void audioSetAttackTimeMicrophone_1(int channel, int value);
void audioSetAttackTimeMicrophone_2(int channel, int value);
void audioSetHoldTimeMicrophone_1(int channel, int value);
void audioSetHoldTimeMicrophone_2(int channel, int value);
void audioSetReleaseTimeMicrophone_1(int channel, int value);
void audioSetReleaseTimeMicrophone_2(int channel, int value);
void audioSetMixerMic1MixLeft(int channel, int value);
void audioSetMixerMic1MixRight(int channel, int value);
void audioSetMixerMic2MixLeft(int channel, int value);
void audioSetMixerMic2MixRight(int channel, int value);
// Only the low byte counts, signed.
void audioSetMicrophoneGain_1(int channel, int value);
void audioSetMicrophoneGain_2(int channel, int value);
void audioSetMicrophoneDelay_1(int channel, int value);
void audioSetMicrophoneDelay_2(int channel, int value);
void audioSetMicMuteMicrophone_1(int channel, int value);
void audioSetMicMuteMicrophone_2(int channel, int value);
void audioSetMixerLineMixLeft(int channel, int value);
void audioSetMixerLineMixRight(int channel, int value);
void audioSetLineMute(int channel, int value);

// Start-up: the audio path comes up muted with the channels' audio
// initialisation running; audioUnmute applies the stored settings and ends it.
void audioInit();
void audioUnmute();
// Power saving: the amplifier and the DSP's outputs off.
void audioPowerDown();

// The audio state as "ctl state" shows it.
std::string audioStateText();
// The input routed to the channel (-1 before any), its DSP mute, and the
// DSP value of a setter's name ("OutputVolume", "MicrophoneGain_1", ...).
int audioRoutedInput(int channel);
bool audioMuted(int channel);
int audioDspValue(const char* name, int channel);
