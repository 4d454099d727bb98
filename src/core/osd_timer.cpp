#include "core/osd_timer.h"

#include "core/core_state.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "menu/complex_osd.h"
#include "menu/menu_engine.h"
#include "platform/journal.h"
#include "sys/timers.h"
#include "sys/timeutil.h"

namespace {
constexpr int kKeyCloseMenu = 38;
constexpr uint32_t kOsdTimeOutUnitMs = 30000;
}  // namespace

void exitOsdMenu() {
    if ((vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_MENU_OPEN}) & VP_GFLAG_MENU_OPEN) == 0) return;
    board::journal("exitOsdMenu", "menu closed");
    breakOutComplexOsd(BREAKOUT_TIMEOUT);  // a browser waiting for keys restores its value
    osdTimerKill();
    stLoop(kKeyCloseMenu);
    Sleep(50);
}

void restartOsdTimer() { osdTimerSet(gOsdTimeOut, 0, exitOsdMenu); }

void openOsdMenu(uint32_t timeOutMs) {
    vp.gFlags.fetch_or(VP_GFLAG_MENU_OPEN);
    gOsdTimeOut = timeOutMs;
    restartOsdTimer();
}

uint32_t menuTimeOutMs() { return kOsdTimeOutUnitMs * PM.OSDTM; }

void resetOsdTimer(int value) {
    gOsdTimeOut = kOsdTimeOutUnitMs * static_cast<uint32_t>(value < 0 ? 0 : value);
    board::journal("resetOsdTimer", "value=%d ms=%u", value, gOsdTimeOut.load());
    if (osdTimerSet(gOsdTimeOut, 0, exitOsdMenu) == 255) {
        osdTimerKill();
        saveDirtyParameterZones();
    }
}
