// Automatic input switching (thread "AUTO_SWITCH"): per channel, mode 1
// scans the participating inputs in priority order while the channel has no
// signal; mode 2 switches to the input whose source was connected last.
#pragma once

// Scan position of each channel in its priority array.
extern int ind[2];
// Length of the priority array built last.
extern int newPriorityIndexArrayLength;

// Rebuild the service's arrays from the PM bytes of the channel: which
// places take part, and the inputs of the taking-part places in place order.
void scanModeParticipantNumberToArray(int channel);
void scanModePriorityNumberToArray(int channel);
// The arrays as built: participation of places 1..8, and the priority list.
int autoSwitchParticipation(int channel, int place);
int autoSwitchPriority(int channel, int position, int* length = nullptr);

// The mode action of the current channel (nodes 3871 / 4871).
void activate_autoswitching_config();

// One pass of the service (every 100 ms in the thread).
void autoSwitchPass();
void* auto_switch_thread(void*);

// How long the scan waits on an input for a signal.
inline constexpr unsigned kScanDwellMs = 1000;
