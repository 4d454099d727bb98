#include "menu/complex_osd.h"

#include "core/osd_timer.h"
#include "core/pm.h"
#include "menu/page_common.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <string>

std::atomic<int> gBreakOutComplexOsd{BREAKOUT_NONE};

namespace {

// A browser is waiting for keys.
std::atomic<bool> gWaiting{false};

constexpr uint32_t kPollMs = 10;  // between polls of the queue: no busy wait
constexpr uint32_t kBreakOutPauseMs = 125;
constexpr uint32_t kRefusedMs = 500;
constexpr int kRefusedX = 340, kRefusedY = 330;

void refused() {
    pageText("   Ineffective Keystroke", kRefusedX, kRefusedY);
    Sleep(kRefusedMs);
    pageText(std::string(30, ' ').c_str(), kRefusedX, kRefusedY);
}

}  // namespace

void breakOutComplexOsd(int reason) {
    if (!gWaiting) return;
    gBreakOutComplexOsd = reason;
    board::journal("complexOsd.breakOut", "reason=%d", reason);
}

ComplexOsdKeys::ComplexOsdKeys(uint32_t arrowPauseMs, bool programKeys)
    : arrowPauseMs_(arrowPauseMs), programKeys_(programKeys) {
    setModalKeys(true);
    // A mark left by a time-out (or set just after the last browser took its
    // final key) belongs to no one now.
    gBreakOutComplexOsd = BREAKOUT_NONE;
    gWaiting = true;
}

ComplexOsdKeys::~ComplexOsdKeys() { release(); }

void ComplexOsdKeys::release() {
    if (!held_) return;
    held_ = false;
    gWaiting = false;
    setModalKeys(false);
}

int ComplexOsdKeys::wait(_EXMSG* program) {
    for (;;) {
        WDT_Clear();
        if (gBreakOutComplexOsd != BREAKOUT_NONE) {
            Sleep(kBreakOutPauseMs);
            return kComplexOsdBrokenOut;
        }
        _EXMSG m;
        if (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) < 0) {
            Sleep(kPollMs);
            continue;
        }
        board::journal("complexOsd.key", "key=%u source=%u", m.key, m.source);
        if (programKeys_ && m.source == KEY_SOURCE_PROGRAM) {
            if (program != nullptr) *program = m;
            return kComplexOsdProgramKey;
        }
        int key = m.key;
        if (key == KEY_LEFT) key = KEY_MENU;
        else if (key == KEY_RIGHT) key = KEY_ENTER;
        resetOsdTimer(PM.OSDTM);
        if (key <= KEY_UP) {
            Sleep(arrowPauseMs_);
            return key;
        }
        refused();
    }
}
