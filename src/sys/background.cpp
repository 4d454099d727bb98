#include "sys/background.h"

#include "core/core_state.h"
#include "platform/hw.h"
#include "sys/i2c.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <cstdio>

std::atomic<bool> g_dsp_restart_option{false};
std::atomic<bool> g_phy_reset_option{false};

namespace {
constexpr uint32_t kPassMs = 20;
constexpr uint32_t kPhyResetEveryMs = 10000;
uint32_t gLastPhyReset = 0;
bool gPhyResetOnce = false;
bool gDspReported = false;
}  // namespace

void backgnd_pass() {
    if (!board::dsp::alive()) {
        if (g_dsp_restart_option) {
            PRINT(PRINT_GENERAL, "backgnd: the DSP does not answer; restarting it\n");
            board::dsp::restart();
        } else if (!gDspReported) {
            PRINT(PRINT_GENERAL, "backgnd: the DSP does not answer\n");
            gDspReported = true;
        }
    }
    WDT_handler();
    I2C_recoverIfNeeded();
    if (g_phy_reset_option && !board::phy::linkUp() &&
        (!gPhyResetOnce || getElapsedMs(gLastPhyReset) >= kPhyResetEveryMs)) {
        board::phy::reset();
        gLastPhyReset = getCurrMsCount();
        gPhyResetOnce = true;
    }
}

void* backgnd_thread(void*) {
    std::printf("backgnd_thread: start\n");
    while (!gPowerSave) {
        WDT_Clear();
        backgnd_pass();
        Sleep(kPassMs);
    }
    std::printf("backgnd_thread: end\n");
    return nullptr;
}
