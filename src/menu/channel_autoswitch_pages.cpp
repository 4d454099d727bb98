// Page 387 of each channel page (487 for CH2): the automatic switching
// mode, the priority places and their participation. Every action works on
// the calling thread's Channel.
#include "menu/channel_autoswitch_pages.h"

#include "core/autoswitch.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_pages.h"
#include "menu/menu_engine.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"

#include <cstdio>

int32_t PB_387, PB_487, PB_3872, PB_4872;
int32_t PB_38721, PB_38722, PB_38723, PB_38724, PB_38725, PB_38726, PB_38727, PB_38728;
int32_t PB_48721, PB_48722, PB_48723, PB_48724, PB_48725, PB_48726, PB_48727, PB_48728;

namespace {

constexpr int kPlaces = 8;
constexpr int kModePriority = 1;
constexpr int32_t kStateBrowsing = 989;  // the input item shows a choice not yet applied
constexpr int kPriorityList[2] = {3872, 4872};
constexpr int kPlaceInputNode[2] = {387211, 487211};  // place x: + 10 (x - 1)
constexpr int kPlaceNodeStep = 10;
constexpr int kExtraColour = 247, kInactiveColour = 199;

int channel() { return Channel == 1 ? 1 : 0; }
int placeOf(int node) { return node / 10 % 10; }
uint8_t& input(int ch, int x) { return PM.AUTO_SWITCH_PRIORITY[x - 1][ch]; }
uint8_t& takesPart(int ch, int x) { return PM.AUTO_SWITCH_PARTICIPATION[x - 1][ch]; }
int nodeOfRow(int row) { return row > 0 && row < funcTableSize() ? static_cast<int>(funcDataTbl[row].node) : 0; }

void rebuildArrays(int ch) {
    scanModeParticipantNumberToArray(ch);
    scanModePriorityNumberToArray(ch);
}

// Under PM_mutex. The place x keeps its input; the first other place that
// holds the same input takes the one no place holds (a swap). Stored bytes
// that are no permutation (a blank EEPROM, older writes) are then repaired:
// each input stays at its first place, the places left over take the
// missing inputs in order. True when a byte changed.
bool keepPermutation(int ch, int x) {
    bool changed = false;
    int others = 0;
    for (int y = 1; y <= kPlaces; ++y)
        if (y != x) others += input(ch, y);
    const int missing = 28 - others;
    for (int y = 1; y <= kPlaces; ++y) {
        if (y == x || input(ch, y) != input(ch, x)) continue;
        if (missing >= 0 && missing < kPlaces) {
            input(ch, y) = static_cast<uint8_t>(missing);
            changed = true;
        }
        break;
    }
    bool held[kPlaces] = {};
    bool keep[kPlaces + 1] = {};
    const int chosen = input(ch, x);
    if (chosen < kPlaces) held[chosen] = keep[x] = true;
    for (int y = 1; y <= kPlaces; ++y) {
        const int v = input(ch, y);
        if (y == x || v >= kPlaces || held[v]) continue;
        held[v] = keep[y] = true;
    }
    int next = 0;
    for (int y = 1; y <= kPlaces; ++y) {
        if (keep[y]) continue;
        while (held[next]) ++next;
        held[next] = true;
        input(ch, y) = static_cast<uint8_t>(next);
        changed = true;
    }
    return changed;
}

// Applied outside the engine's save (leaving the item with MENU): the
// main task saves the channel's parameter memory.
void markDirty(int ch) { vp.chData[ch].cFlags.fetch_or(VP_CFLAG_DIRTY); }

void announcePlace(int ch, int x, bool withParticipation) {
    const int node = kPlaceInputNode[ch] + kPlaceNodeStep * (x - 1);
    announcePmChanged(funcNum2TblInx(node));
    if (withParticipation) announcePmChanged(funcNum2TblInx(node + 1));
}

// "Effective In Scan Mode Only" unless the single-window warning is shown.
void scanModeLine(int ch) {
    if (!print_single_window_warning_if_needed(0) && PM.AUTO_SWITCH_MODE[ch] != kModePriority)
        channelWarning("Effective In Scan Mode Only", 337, 98);
}

void placeText(int v, char* text, size_t size) {
    if (v <= 3) std::snprintf(text, size, " - (HDMI %d)", v + 1);
    else if (v <= 5) std::snprintf(text, size, " - (DVI-U %d)", v - 3);
    else if (v <= 7) std::snprintf(text, size, " - (HDBT %d)", v - 5);
    else std::snprintf(text, size, " - (NONE)");
}

void func3872xInput(int row) { func3872x(nodeOfRow(row)); }

void osd_func3871(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    channelScreenEnd();
}

void osd_func3872x2(int row) {
    const int ch = channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    scanModeLine(ch);
    channelScreenEnd();
}

}  // namespace

void func3871(int) { activate_autoswitching_config(); }

void func3872x(int node) {
    if (st_num == kStateBrowsing) {
        st_num = node;
        return;
    }
    const int ch = channel();
    const int x = placeOf(node);
    if (x < 1 || x > kPlaces) return;
    bool changed = false;
    {
        MutexLock lock(PM_mutex);
        changed = keepPermutation(ch, x);
    }
    rebuildArrays(ch);
    if (changed) markDirty(ch);
    board::journal("autoswitch.places", "channel=%d place=%d input=%d", ch, x, input(ch, x));
    for (int y = 1; y <= kPlaces; ++y) announcePlace(ch, y, false);
}

void func3872x2(int) {
    // The service's priority array holds only the places that take part.
    rebuildArrays(channel());
}

void func38729(int) {
    const int ch = channel();
    {
        MutexLock lock(PM_mutex);
        for (int x = 1; x <= kPlaces; ++x) {
            input(ch, x) = static_cast<uint8_t>(x - 1);
            takesPart(ch, x) = 1;
        }
    }
    for (int x = 1; x <= kPlaces; ++x) announcePlace(ch, x, true);
    rebuildArrays(ch);
    // Reached from a page, the engine does not save it.
    markDirty(ch);
}

void osd_func3872(int row) {
    const int ch = channelScreenBegin(row);
    formated_osd_list list(menu_list_3872);
    for (int x = 1; x <= kPlaces; ++x) {
        char text[24];
        placeText(input(ch, x), text, sizeof text);
        list.set_warning(text, x - 1, kExtraColour);
        if (!takesPart(ch, x)) list.set_foreground_color(kInactiveColour, x - 1);
    }
    scanModeLine(ch);
    channelTitle(row);
    // The list's cursor is the page's own (getVal reads no page row).
    osd_put_list(row, funcIntAt(row, ch), list, 1);
    channelScreenEnd();
}

void osd_func3872x(int row) {
    const int ch = channelScreenBegin(row);
    // Back from the place's input item with MENU: its choice applies now.
    if (st_num < prv_st_num) runFuncInd(funcNum2TblInx(prv_st_num));
    scanModeLine(ch);
    if (!takesPart(ch, placeOf(nodeOfRow(row) * 10))) channelWarning("Inactive Priority", 400, 138);
    channelTitle(row);
    channelPageBody(row);
    channelScreenEnd();
}

void osd_func3872x1(int row) {
    const int ch = channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    scanModeLine(ch);
    channelScreenEnd();
    // Browsing only shows the choice; ENTER or MENU applies it, and so does
    // a control system's set that the menu runs for it.
    if (button_num != KEY_ENTER && button_num != KEY_RUN_PROTOCOL_NODE) st_num = kStateBrowsing;
}

void osd_func38729(int row) {
    const int ch = channelOfNode(nodeOfRow(row));
    st_num = kPriorityList[ch];
    osd_func3872(funcNum2TblInx(kPriorityList[ch]));
}

namespace {

constexpr auto kPlaceInput = same(func3872xInput);
constexpr auto kPlacePart = same(func3872x2);

constexpr ChannelItem kItems[] = {
    {387, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_387, PB_487), 0, 1},
    {3871, same(func3871), 5, osd_func3871, FT_S8, both(PM.AUTO_SWITCH_MODE), 0, 2},
    {3872, kNoAction, 5, osd_func3872, FT_PAGE, cursors(PB_3872, PB_4872), 0, 8},
    {38721, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38721, PB_48721), 0, 1},
    {387211, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[0]), 0, 7},
    {387212, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[0]), 0, 1},
    {38722, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38722, PB_48722), 0, 1},
    {387221, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[1]), 0, 7},
    {387222, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[1]), 0, 1},
    {38723, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38723, PB_48723), 0, 1},
    {387231, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[2]), 0, 7},
    {387232, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[2]), 0, 1},
    {38724, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38724, PB_48724), 0, 1},
    {387241, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[3]), 0, 7},
    {387242, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[3]), 0, 1},
    {38725, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38725, PB_48725), 0, 1},
    {387251, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[4]), 0, 7},
    {387252, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[4]), 0, 1},
    {38726, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38726, PB_48726), 0, 1},
    {387261, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[5]), 0, 7},
    {387262, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[5]), 0, 1},
    {38727, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38727, PB_48727), 0, 1},
    {387271, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[6]), 0, 7},
    {387272, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[6]), 0, 1},
    {38728, kNoAction, 7, osd_func3872x, FT_PAGE, cursors(PB_38728, PB_48728), 0, 1},
    {387281, kPlaceInput, 7, osd_func3872x1, FT_S8, both(PM.AUTO_SWITCH_PRIORITY[7]), 0, 7},
    {387282, kPlacePart, 7, osd_func3872x2, FT_S8, both(PM.AUTO_SWITCH_PARTICIPATION[7]), 0, 1},
    {38729, same(func38729), 7, osd_func38729, FT_PAGE, kNoValue, 0, 0},
    // The scan-in-progress flag, for the control protocol only.
    {3873, kNoAction, 5, nullptr, FT_S8, both(PI_SCAN_MODE_IN_PROGRESS), 0, 1},
};
constexpr auto kRows = channelRows<kItems>();

}  // namespace

std::span<const FuncRow> channelAutoSwitchRows() { return kRows; }
