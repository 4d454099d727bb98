// The background thread "BGND": every 20 ms polls the audio DSP, runs the
// watchdog handler, recovers the I2C buses after repeated errors and tests
// the eth0 link; it ends when power saving starts.
#pragma once

#include <atomic>

// Start options that the background thread honours.
extern std::atomic<bool> g_dsp_restart_option;  // DSP: restart a failed DSP
extern std::atomic<bool> g_phy_reset_option;    // PHY-RESET: reset the PHY at most every 10 s while the link is down

void* backgnd_thread(void*);
// One pass (tests call it directly).
void backgnd_pass();
