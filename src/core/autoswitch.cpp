#include "core/autoswitch.h"

#include "commands/notifications.h"
#include "core/core_state.h"
#include "core/pm.h"
#include "core/switching.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/timeutil.h"
#include "video/frontend.h"

#include <cstdio>
#include <mutex>

int ind[2] = {0, 0};
int newPriorityIndexArrayLength = 0;

namespace {

constexpr int kPlaces = 8;
constexpr int kModeOff = 0, kModePriority = 1, kModeLastConnected = 2;
constexpr int kNodeScanInProgress[2] = {3873, 4873};
constexpr uint32_t kPassMs = 100;

std::mutex gMutex;  // the arrays: the thread reads what menu actions rebuild
int gPart[2][kPlaces] = {};
int gPrio[2][kPlaces] = {};
int gPrioLen[2] = {0, 0};
int gPrevMode[2] = {0, 0};
uint32_t gStepAt[2] = {0, 0};

bool validChannel(int ch) { return ch == 0 || ch == 1; }

// The channel's input changes as an input key from the program would
// change it (video and audio together).
void switchTo(int ch, int input) {
    _EXMSG m;
    m.key = static_cast<uint16_t>((ch == 0 ? KEY_INPUT1_CH1 : KEY_INPUT1_CH2) + input);
    m.mode = 0;
    m.source = KEY_SOURCE_PROGRAM;
    send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
}

void setScanning(int ch, bool on) {
    int was = PI_SCAN_MODE_IN_PROGRESS[ch].exchange(on ? 1 : 0);
    if (on) vp.chData[ch].cFlags.fetch_or(VP_CFLAG_SCAN_IN_PROGRESS);
    else vp.chData[ch].cFlags.fetch_and(static_cast<uint16_t>(~VP_CFLAG_SCAN_IN_PROGRESS));
    if (was != (on ? 1 : 0)) {
        board::journal("autoswitch.scan", "channel=%d %s", ch, on ? "searching" : "done");
        p7kEvForceAnnounceInt(kNodeScanInProgress[ch], on ? 1 : 0, static_cast<uint8_t>(ch));
    }
}

bool hasSignal(int ch) {
    return gInInitialize[ch] == 0 && !(vp.chData[ch].cFlags.load() & VP_CFLAG_NO_SIGNAL) &&
           vp.chData[ch].vidFormat <= kInputFormatLast;
}

void priorityScan(int ch) {
    if (hasSignal(ch)) {
        setScanning(ch, false);
        return;
    }
    if (gInInitialize[ch] || getElapsedMs(gStepAt[ch]) < kScanDwellMs) return;
    int next = -1;
    {
        std::lock_guard lock(gMutex);
        if (gPrioLen[ch] == 0) return;
        ind[ch] = (ind[ch] + 1) % gPrioLen[ch];
        next = gPrio[ch][ind[ch]];
    }
    setScanning(ch, true);
    gStepAt[ch] = getCurrMsCount();
    if (PM.SEL_INPUT[ch] - 1 == next) return;  // already there: wait for it once more
    board::journal("autoswitch", "channel=%d scan input=%d", ch, next + 1);
    switchTo(ch, next);
}

void lastConnected(int ch, int connector, int format) {
    if (format > kInputFormatLast || PM.SEL_INPUT[ch] - 1 == connector) return;
    board::journal("autoswitch", "channel=%d last connected input=%d", ch, connector + 1);
    switchTo(ch, connector);
}

}  // namespace

void scanModeParticipantNumberToArray(int channel) {
    if (!validChannel(channel)) return;
    std::lock_guard lock(gMutex);
    for (int x = 0; x < kPlaces; ++x) gPart[channel][x] = PM.AUTO_SWITCH_PARTICIPATION[x][channel] ? 1 : 0;
}

void scanModePriorityNumberToArray(int channel) {
    if (!validChannel(channel)) return;
    std::lock_guard lock(gMutex);
    bool seen[kPlaces] = {};
    int n = 0;
    for (int x = 0; x < kPlaces; ++x) {
        int input = PM.AUTO_SWITCH_PRIORITY[x][channel];
        // A byte outside 0..7 or a repeated input never reaches the scan.
        if (input >= kPlaces || seen[input] || !PM.AUTO_SWITCH_PARTICIPATION[x][channel]) continue;
        seen[input] = true;
        gPrio[channel][n++] = input;
    }
    gPrioLen[channel] = n;
    newPriorityIndexArrayLength = n;
    if (ind[channel] >= n) ind[channel] = n > 0 ? n - 1 : 0;
}

int autoSwitchParticipation(int channel, int place) {
    std::lock_guard lock(gMutex);
    return validChannel(channel) && place >= 1 && place <= kPlaces ? gPart[channel][place - 1] : 0;
}

int autoSwitchPriority(int channel, int position, int* length) {
    std::lock_guard lock(gMutex);
    if (!validChannel(channel)) return -1;
    if (length) *length = gPrioLen[channel];
    return position >= 0 && position < gPrioLen[channel] ? gPrio[channel][position] : -1;
}

void activate_autoswitching_config() {
    int ch = Channel == 1 ? 1 : 0;
    int mode = PM.AUTO_SWITCH_MODE[ch];
    board::journal("activate_autoswitching_config", "channel=%d mode=%d previous=%d", ch, mode, gPrevMode[ch]);
    ledsOnManager(ch);
    if (mode == kModePriority && gPrevMode[ch] != kModePriority) {
        scanModeParticipantNumberToArray(ch);
        scanModePriorityNumberToArray(ch);
        std::lock_guard lock(gMutex);
        ind[ch] = gPrioLen[ch] - 1;
    }
    if (mode == kModeOff || mode == kModeLastConnected) {
        PI_SCAN_MODE_IN_PROGRESS[ch] = 0;
        vp.chData[ch].cFlags.fetch_and(static_cast<uint16_t>(~VP_CFLAG_SCAN_IN_PROGRESS));
        p7kEvForceAnnounceInt(kNodeScanInProgress[ch], 0, static_cast<uint8_t>(ch));
    }
    gPrevMode[ch] = mode;
}

void autoSwitchPass() {
    for (int ch = 0; ch < 2; ++ch) {
        int mode = PM.AUTO_SWITCH_MODE[ch];
        _EXMSG m;
        int queue = ch == 0 ? E_EXMSG_TYPE_AUTO_SCAN_CH1 : E_EXMSG_TYPE_AUTO_SCAN_CH2;
        while (get_message_q(queue, &m) >= 0)
            if (mode == kModeLastConnected) lastConnected(ch, m.key, static_cast<int>(m.param));
        if (mode == kModePriority) priorityScan(ch);
        else if (PI_SCAN_MODE_IN_PROGRESS[ch]) setScanning(ch, false);
    }
}

void* auto_switch_thread(void*) {
    std::printf("auto_switch_thread: start\n");
    for (int ch = 0; ch < 2; ++ch) {
        scanModeParticipantNumberToArray(ch);
        scanModePriorityNumberToArray(ch);
        gPrevMode[ch] = PM.AUTO_SWITCH_MODE[ch];
    }
    for (;;) {
        autoSwitchPass();
        Sleep(kPassMs);
    }
    return nullptr;
}
