#include "menu/pages_factory.h"

#include "commands/notifications.h"
#include "core/osd_timer.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "menu/pages_misc.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "platform/journal.h"
#include "scaler/scaler.h"
#include "sys/fileutil.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/warm_boot.h"
#include "sys/watchdog.h"

#include <cstdio>

int32_t PB_56 = 0;

namespace {

constexpr int32_t kNodeFactoryPage = 56;
constexpr uint32_t kStepMs = 250;  // one wait step; a count lasts four
constexpr uint32_t kKeyPollMs = 10;
constexpr int kFirstCount = 5;
constexpr int kSize = 16, kBg = 255, kRed = 249, kText = 0;

// 561 and 562 take PB_Stub as a 32-bit value, not as a page cursor: 5621
// below 562 is the one row whose parent is not a page.
const std::array kNodes = std::to_array<MiscNode>({
    {miscRow(56, FT_PAGE, &PB_56, 0, 1, 1, 0, 5, nullptr, osd_func56),
     {menu_list_5, nullptr, MiscBody::Page, menu_list_56, nullptr}},
    {miscRow(561, FT_S32, &PB_Stub, 0, 1, 1, 0, 7, func561, osd_func562), {}},
    {miscRow(562, FT_S32, &PB_Stub, 0, 1, 1, 0, 7, func562, osd_func562), {}},
    {miscRow(5621, FT_S32, &PB_Stub, 0, 1, 1, 0, 7, func5621, nullptr, 0), {}},
});

void drawCount(int row, int count) {
    osd_page_begin(row, 4);
    osd_put_title(row, menu_list_5, nullptr, 0);
    osd_put_ascii_string("Press MENU to abort", 360, 170, kRed, kBg, 0, kSize);
    osd_put_ascii_string("Please wait while reseting to", 340, 202, kText, kBg, 0, kSize);
    osd_put_ascii_string("factory defaults, system will", 340, 234, kText, kBg, 0, kSize);
    osd_put_ascii_string("reboot to complete procedure", 340, 266, kText, kBg, 0, kSize);
    char text[32];
    std::snprintf(text, sizeof text, "   Reset In %d Sec", count);
    osd_put_ascii_string(text, 360, 138, kRed, kBg, 0, kSize);
}

// The drawn count goes on screen; the next one is drawn into the other plane.
void showCount() {
    osd_page_show();
    osd_swap();
    reprepareOsd();
}

enum class Wait { RanOut, Aborted, MenuClosed };

// steps of 250 ms on the KEYPAD queue: MENU and LEFT abort, other keys are
// dropped; a menu that closes meanwhile abandons the reset.
Wait waitSteps(int steps) {
    for (int s = 0; s < steps; ++s) {
        if (!menuIsOpen()) return Wait::MenuClosed;
        WDT_Clear();
        const uint32_t start = getCurrMsCount();
        while (getElapsedMs(start) < kStepMs) {
            _EXMSG m;
            if (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) >= 0) {
                PRINT(PRINT_GENERAL, "Key received = %d\n", m.key);
                if (m.key == KEY_MENU || m.key == KEY_LEFT) return Wait::Aborted;
                continue;
            }
            Sleep(kKeyPollMs);
        }
    }
    return Wait::RanOut;
}

// The reset itself, after the countdown ran out or straight from the
// protocol's delayed action.
void factoryReset(int node, int withNetwork, const char* what) {
    PRINT(PRINT_GENERAL, "+++ func%d\n", node);
    PRINT(PRINT_GENERAL, "%s\n", what);
    if (st_num == kNodeResetAborted) {
        // The user's own input labels stay: nothing is reset.
        st_num = kNodeFactoryPage;
        osd_func56(funcNum2TblInx(kNodeFactoryPage));
        return;
    }
    board::journal("factory_reset", "node=%d withNetwork=%d", node, withNetwork);
    setInputsLabels(kDefaultInputLabels);
    osd_off(OSD_CHANNEL);
    exitOsdMenu();
    write_C812(PI_FACTORY_RST, 0, 0, 0);
    p7kEvAnnounceInt(static_cast<uint32_t>(node), 1, 0);
    const bool watched = WDT_isEnabled();
    WDT_Disable();
    if (factoryResetInitEeprom(withNetwork)) warm_boot();
    // A restart now would come back with the old settings as if reset.
    std::printf("factory reset (node %d) failed: the EEPROM was not written; the device keeps running\n", node);
    board::journal("factory_reset", "node=%d failed", node);
    if (watched) WDT_Enable();
}

}  // namespace

void osd_func56(int row) { misc_screen(row, kNodes[0].view); }

void osd_func562(int row) {
    setModalKeys(true);
    for (int count = kFirstCount; count >= 0; --count) {
        drawCount(row, count);
        const Wait w = waitSteps(count == kFirstCount ? 1 : 4);
        if (w == Wait::MenuClosed) {
            st_num = kNodeResetAborted;
            setModalKeys(false);
            return;
        }
        if (w == Wait::Aborted) setModalKeys(false);
        showCount();
        if (w == Wait::Aborted) {
            st_num = kNodeResetAborted;
            return;
        }
    }
    setModalKeys(false);
}

void func561(int) { factoryReset(561, 1, "+++ Factory reset and reboot"); }
void func562(int) { factoryReset(562, 0, "+++ Factory reset exclude ETH and reboot"); }
void func5621(int) { warm_boot(); }

std::span<const FuncRow> factoryPageRows() {
    static const auto rows = misc_rows(kNodes);
    return rows;
}
