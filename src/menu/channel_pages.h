// The channel pages: top page 3 holds channel 1's settings, top page 4 the
// same settings of channel 2 (node 4... is node 3... with the leading digit
// 4). Every action and screen is written once, for page 3, and works on the
// calling thread's Channel; page 4 forwards to it.
//
// How a page group of these pages adds its rows:
//   1. Write one table of ChannelItem, in page 3's node numbers:
//        constexpr ChannelItem kItems[] = {
//            {381, acts<func381>(), 5, channelListScreen, FT_CH_S8, both(PM.UPSIDEDOWN), 0, 3},
//            {3823, acts<func3823, TwinGuard::Overlay>(), 5, osd_func3823, FT_CH_S8, both(PM.MUTE), 0, 1},
//            {396, kNoAction, 5, channelPageScreen, FT_PAGE, {&PB_396, nullptr}, 0, 2, 1, 0, kPage3Only},
//        };
//      Value types are page 3's: FT_CH_S8 (5) and FT_CH_S16 (9) become 6 and
//      10 on page 4; FT_S8 (3) and FT_PAGE (15) stay. both(PM.X) points page
//      3 at the CH1 element and page 4 at the CH2 element; cursors(PB_3n,
//      PB_4n) gives each page its own cursor. acts<f, guard>() makes page 4's
//      action call f under the guard (same(f) when both call f as it is).
//      kPage3Only keeps a row off page 4; twinMax gives page 4 its own
//      maximum (page 49).
//   2. constexpr auto kRows = channelRows<kItems>();  (page 3's rows, then page 4's)
//   3. One line in src/core/functable_groups.cpp: {"name", kRows}.
// Screens set the channel from their own node and draw through the steps
// below (channelScreenBegin ... channelScreenEnd); the plain page, list and
// bar screens are ready made, and pages 382 and 39 grey their lines already.
// The lists of every channel page are found by node (channelMenuList), so
// titles need no arguments.
#pragma once

#include "core/functable.h"
#include "osd/menu_kit.h"

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>

class formated_osd_list;

// Page-3 value types: one byte or 16 bits at the CH1 element.
inline constexpr uint32_t FT_CH_S8 = 5;
inline constexpr uint32_t FT_CH_S16 = 9;
// Their page-4 twins, at the CH2 element.
inline constexpr uint32_t FT_CH2_S8 = 6;
inline constexpr uint32_t FT_CH2_S16 = 10;

// When a page-4 action skips its page-3 twin.
enum class TwinGuard : uint8_t {
    None,
    SingleWindow,  // overlay mode with one window (DWINDOW 0 or 4)
    Overlay,       // overlay mode, where CH1's settings drive both outputs
};
bool twinGuarded(TwinGuard guard);

// A page-4 action: its page-3 twin under the guard.
template <void (*F)(int), TwinGuard G = TwinGuard::None>
void twin(int row) {
    if (!twinGuarded(G)) F(row);
}

struct ChannelActions {
    void (*ch1)(int);
    void (*ch2)(int);
};
template <void (*F)(int), TwinGuard G = TwinGuard::None>
constexpr ChannelActions acts() {
    return {F, &twin<F, G>};
}
// Both pages call the same operation (it reads the channel itself).
constexpr ChannelActions same(void (*f)(int)) { return {f, f}; }
inline constexpr ChannelActions kNoAction{nullptr, nullptr};

struct ChannelValue {
    void* ch1;
    void* ch2;
};
template <class T>
constexpr ChannelValue both(T (&pair)[2]) {
    return {&pair[0], &pair[1]};
}
constexpr ChannelValue cursors(int32_t& ch1, int32_t& ch2) { return {&ch1, &ch2}; }
inline constexpr ChannelValue kNoValue{nullptr, nullptr};

inline constexpr int32_t kTwinSameMax = INT32_MIN;
inline constexpr bool kPage3Only = false;

// One row of page 3 and, unless page3Only, its page-4 twin.
struct ChannelItem {
    uint32_t node;  // the page-3 node
    ChannelActions action;
    uint32_t callMode;
    void (*screen)(int row);  // the page-3 screen also draws the page-4 node
    uint32_t type;            // page 3's
    ChannelValue value;
    int32_t min, max, step = 1, fast = 0;
    bool twinned = true;
    int32_t twinMax = kTwinSameMax;
};

// The page-4 node of a page-3 node.
constexpr uint32_t twinNode(uint32_t node) {
    uint32_t power = 1;
    while (node / power >= 10) power *= 10;
    return node + power;
}
constexpr uint32_t twinType(uint32_t type) {
    return type == FT_CH_S8 ? FT_CH2_S8 : type == FT_CH_S16 ? FT_CH2_S16 : type;
}

template <const auto& Items>
constexpr auto channelRows() {
    constexpr size_t n = [] {
        size_t k = 0;
        for (const ChannelItem& it : Items) k += it.twinned ? 2 : 1;
        return k;
    }();
    std::array<FuncRow, n> rows{};
    size_t k = 0;
    for (const ChannelItem& it : Items)
        rows[k++] = {it.node,   it.action.ch1,   it.callMode,     it.screen,       it.type, it.value.ch1,
                     fnI(it.max), fnI(it.min), fnI(it.step), fnI(it.fast), 1};
    for (const ChannelItem& it : Items)
        if (it.twinned)
            rows[k++] = {twinNode(it.node), it.action.ch2, it.callMode, it.screen, twinType(it.type), it.value.ch2,
                         fnI(it.twinMax == kTwinSameMax ? it.max : it.twinMax), fnI(it.min), fnI(it.step),
                         fnI(it.fast), 1};
    return rows;
}

// The cursors of the channel pages built here (0 = first item).
extern int32_t PB_3, PB_4, PB_32, PB_42, PB_33, PB_43;
extern int32_t PB_34, PB_44, PB_35, PB_45, PB_36, PB_46, PB_37, PB_47;

// The menu list of a channel-page node (page 4 uses page 3's), null when the
// node has none.
const int* channelMenuList(int node);
// The channel of a channel-page node: 0 for 3..., 1 for 4....
int channelOfNode(int node);
// The page-3 node of a channel-page node.
int page3Node(int node);

// Screen steps 1 and 2: diagnostic line, update inhibit, the thread's
// Channel from the row's node, the channel's tab and, on CH2 with a 4K
// output, "Ineffective in 4k2k30 output" (not on page 3/4 itself, the mute
// item or the audio pages). Returns the channel.
int channelScreenBegin(int row);
// Step 3: the title, with the lists of the nodes above the row's.
void channelTitle(int row);
// Step 4 bodies. The page list with its cursor and the lines the pages grey
// out; a list of choices with the row's value; a value bar at (350, 220).
void channelPageBody(int row);
void channelListBody(int row, const formated_osd_list& list);
void channelListBody(int row);
void channelBarBody(int row, int value);
void channelBarBody(int row);
// Step 6: the menu window shown and the inhibit released.
void channelScreenEnd();

// The ready-made screens: a page; a list or a value bar followed by the
// single-window warning.
void channelPageScreen(int row);
void channelListScreen(int row);
void channelBarScreen(int row);

// A warning line (199 on 255, 16 x 16 cells); returns 1.
int channelWarning(const char* text, int x, int y = kWarningY);
// The warnings the pages share; each returns 1 when it drew its line.
int print_freez_warning_if_needed();
int print_Pass_Through_Warning_If_Nedded();
int print_mic_mode_warning_If_Nedded(int expected, int mic);

// The screen of pages 3 and 4.
void osd_func3(int row);

// The rows of pages 3 and 4.
std::span<const FuncRow> channelPageRows();
