#include "core/main_task.h"

#include "commands/notifications.h"
#include "core/audio.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/osd_timer.h"
#include "core/output.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "core/switching.h"
#include "core/usrmsg.h"
#include "menu/channel_output_pages.h"
#include "menu/menu_engine.h"
#include "platform/journal.h"
#include "platform/panel.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/print.h"
#include "sys/sys_exit.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"
#include "upgrade/valens.h"
#include "video/backend.h"
#include "video/frontend.h"

#include <cstdio>

namespace {

constexpr uint32_t kPassMs = 20;
bool gValensChecked = false;

void runWithChannel(void (*action)(int), int ch, int node) {
    ChannelAs scope(ch);
    action(funcNum2TblInx(node));
}

// Opens the menu on a node (a shortcut) for timeOut ms.
void openShortcut(int node, uint32_t timeOut) {
    openOsdMenu(timeOut);
    board::journal("main_task.shortcut", "node=%d timeout=%u", node, timeOut);
    stLoopNode(node);
}

void setMute(int ch, int value) {
    {
        MutexLock lock(PM_mutex);
        PM.MUTE[ch] = static_cast<uint8_t>(value);
    }
    vp.chData[ch].cFlags.fetch_or(VP_CFLAG_DIRTY);
    int node = ch == 0 ? kNodeMuteCh1 : kNodeMuteCh2;
    runWithChannel(ch == 0 ? func3823 : func4823, ch, node);
    p7kEvAnnounceInt(static_cast<uint32_t>(node), value, static_cast<uint8_t>(ch));
}

void menuKey(const _EXMSG& m) {
    int key = m.key;
    if (menuIsOpen()) {
        stLoop(key);
        if (!in_tbar_process_flag) restartOsdTimer();
        return;
    }
    switch (key) {
        case KEY_MENU:
            openOsdMenu(menuTimeOutMs());
            stLoop(KEY_MENU);
            break;
        case KEY_ENTER: takeTransition(m.source); break;
        case KEY_LEFT:
        case KEY_RIGHT:
            openShortcut(kNodeVolumeCh1, kOsdTimeOutVolume);
            if (PM.MUTE[0]) setMute(0, 0);
            break;
        case KEY_DOWN:
        case KEY_UP:
            if (PM.DISPLAY_MODE != 0) break;  // one volume drives both outputs in overlay mode
            openShortcut(kNodeVolumeCh2, kOsdTimeOutVolume);
            if (PM.MUTE[1]) setMute(1, 0);
            break;
        default: break;  // MENU held does nothing with the menu closed
    }
}

void muteKey(int ch) {
    setMute(ch, PM.MUTE[ch] ? 0 : 1);
    if (!menuIsOpen()) openShortcut(ch == 0 ? kNodeMuteCh1 : kNodeMuteCh2, kOsdTimeOutMute);
}

void takeFormatReports() {
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_VFM, &m) >= 0) {
        int ch = (m.mode >> 8) & 0xFF;
        if (m.key == VFM_NEW_FORMAT) tuneChannel(ch, static_cast<int>(m.param));
        else if (m.key == VFM_SIGNAL_LOST) channelSignalLost(ch);
    }
}

void takeConversionRequests() {
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_CNV, &m) >= 0) {
        handleConversionRequest(m.key, (m.mode >> 8) & 0xFF);
        if (menuIsOpen()) stLoop(KEY_MENU_REFRESH);
    }
}

// Once both channels have initialised: the HDBaseT chips' firmware check
// (it raises this thread's watchdog time-out itself).
void checkTransceiversOnce() {
    if (gValensChecked || anyChannelInitialising()) return;
    gValensChecked = true;
    valens_init();
}

}  // namespace

std::vector<_EXMSG> selectKeys(const std::vector<_EXMSG>& waiting, bool initialising, bool transition) {
    std::vector<_EXMSG> out;
    if (initialising) return out;
    size_t newestPanel = waiting.size();
    for (size_t i = 0; i < waiting.size(); ++i)
        if (waiting[i].source == KEY_SOURCE_PANEL) newestPanel = i;
    for (size_t i = 0; i < waiting.size(); ++i) {
        const _EXMSG& m = waiting[i];
        if (m.source == KEY_SOURCE_PANEL && i != newestPanel) continue;
        if (transition && m.key != KEY_BLANK_CH2 && m.key != KEY_FREEZE_CH2 && m.key != KEY_TBAR_TAKE) continue;
        out.push_back(m);
    }
    return out;
}

void dispatchKey(const _EXMSG& m) {
    board::journal("main_task.key", "key=%u mode=%u param=%u source=%u", m.key, m.mode, m.param, m.source);
    int key = m.key;
    if (key <= KEY_RIGHT || key == KEY_MENU_HELD) {
        menuKey(m);
    } else if (key >= KEY_INPUT1_CH1 && key < KEY_INPUT1_CH2 + 8) {
        handleInputKey(key, &m);
    } else {
        switch (key) {
            case KEY_USR1: usr1_key_pressing(); break;
            case KEY_USR2: usr2_key_pressing(); break;
            case KEY_MODE:
                ledsOnManager(0);
                ledsOnManager(1);
                break;
            case KEY_BLANK_CH1:
            case KEY_BLANK_CH2: handleBlank(key, 0); break;
            case KEY_FREEZE_CH1:
            case KEY_FREEZE_CH2: handleFreeze(key, 0); break;
            case kKeyMuteCh1: muteKey(0); break;
            case kKeyMuteCh2: muteKey(1); break;
            case KEY_POWER: powerDownMode(); break;
            case KEY_MENU_REFRESH:
                if (menuIsOpen()) stLoop(KEY_MENU_REFRESH);
                break;
            case KEY_CH1_TUNED: syncOffWake(0); break;
            case KEY_CH2_TUNED: syncOffWake(1); break;
            case KEY_TBAR_TAKE: takeTransition(m.source); break;
            default: break;
        }
    }
}

void handleKeypadKeys() {
    if ((vp.gFlags.load() & VP_GFLAG_MODAL_KEYS) && !anyChannelScanning()) return;
    std::vector<_EXMSG> waiting;
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) >= 0) waiting.push_back(m);
    if (waiting.empty()) return;
    bool initialising = anyChannelInitialising();
    bool transition = vp.gFlags.load() & VP_GFLAG_TRANSITION;
    std::vector<_EXMSG> taken = selectKeys(waiting, initialising, transition);
    if (taken.size() != waiting.size())
        board::journal("main_task.drop", "%zu of %zu keys%s", waiting.size() - taken.size(), waiting.size(),
                       initialising ? " (initialising)" : transition ? " (transition)" : "");
    for (const _EXMSG& k : taken) dispatchKey(k);
}

void mainTaskPass() {
    WDT_Clear();
    checkTransceiversOnce();
    takeFormatReports();
    handleKeypadKeys();
    if (gPowerSave) return;
    saveDirtyParameterZones();
    frontEnd_poll();
    takeConversionRequests();
    if (backEnd_poll() && menuIsOpen()) stLoop(KEY_MENU_REFRESH);
    syncOffService();
}

void powerDownMode() {
    if (gPowerSave.exchange(1)) return;
    board::journal("powerDownMode", "power saving");
    std::printf("main_task: power saving\n");
    exitOsdMenu();
    saveDirtyParameterZones();
    for (int led = 0; led < board::panel::kLeds; ++led) post_led(build_led_state(led, 0, 0, 0, 0));
    frontEnd_powerDown();
    backEnd_powerDown();
    audioPowerDown();
    shut_all_valens();
    board::journal("powerDownMode", "DSP and clocks down");
    p7kEvAnnounceInt(953, 0, 0);
    // The power key ends the program; the device then starts anew.
    for (;;) {
        WDT_Clear();
        _EXMSG m;
        while (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) >= 0)
            if (m.key == KEY_POWER) {
                board::journal("powerDownMode", "power key: ending");
                sys_exit(0);
            }
        Sleep(kPassMs);
    }
}

void* main_task(void*) {
    std::printf("main_task: start\n");
    registerChannelState();
    ledsOnManager(0);
    ledsOnManager(1);
    for (;;) {
        mainTaskPass();
        Sleep(kPassMs);
    }
    return nullptr;
}
