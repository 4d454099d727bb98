// State of the application core that the menus, the protocol, the front
// end and the timers share. Written by several threads: each is atomic.
#pragma once

#include <atomic>
#include <cstdint>

// The menu time-out in ms: PM.OSDTM x 30000; 2000 while the volume
// shortcut is shown, 5000 while a mute shortcut is shown.
extern std::atomic<uint32_t> gOsdTimeOut;
inline constexpr uint32_t kOsdTimeOutVolume = 2000;
inline constexpr uint32_t kOsdTimeOutMute = 5000;

// Non-zero while a channel initialises (from the start until its first
// format report); keys are dropped and broadcasts held meanwhile.
extern std::atomic<int> gInInitialize[2];
// Non-zero while a channel's audio start-up initialisation runs.
extern std::atomic<int> gAudioPowerUpInitFlag[2];
// 1 while a channel's output sleeps in sync-off.
extern std::atomic<int> gIsSyncOff[2];
// 1 makes the sync-off service switch that output's sync off.
extern std::atomic<int> PI_SYNC_OFF[2];
// 1 while the channel's priority scan searches.
extern std::atomic<int> PI_SCAN_MODE_IN_PROGRESS[2];
// Non-zero while a protocol scaler command runs.
extern std::atomic<int> y_cmd_start;
// A T-bar transition process runs.
extern std::atomic<int> in_tbar_process_flag;
// 1 while a hardware T-bar controller keeps asking for the T-bar's state.
extern std::atomic<int> is_hwtbar_connected;
// 1 while the web page's T-bar control is locked.
extern std::atomic<int> disable_web_tbar_flg;
// 1 = power saving.
extern std::atomic<int> gPowerSave;
// An input EDID changed (cleared by the native-resolution page).
extern std::atomic<int> gWasHdmiEdidChg;

// True while either channel initialises.
bool anyChannelInitialising();
// True while either channel's input scan runs.
bool anyChannelScanning();
