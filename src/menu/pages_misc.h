// Page 5, Misc: the device-wide settings. This group holds the page, the
// OSD's own position, blend, colour and time-out, chroma and luma keying,
// the power amplifier and the alert system, and five rows that only the
// control protocol reaches (7510 to 7550). It also gives the common form
// of every screen under page 5, which the network, serial and factory-reset
// groups share.
#pragma once

#include "core/functable.h"
#include "sys/locks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class formated_osd_list;

// Page cursors of this group.
extern int32_t PB_5, PB_51, PB_52, PB_53, PB_54;
// One cursor shared by pages 552 and 555 and the items 55516, 55517, 561,
// 562 and 5621, which keep no value of their own.
extern int32_t PB_Stub;

// 7510: the outputs' sync control (1 sync off with 5 V, 2 sync and 5 V off,
// 3 TMDS and 5 V on); 7531 to 7542: the input's active horizontal and
// vertical start of CH1 (word 0) and CH2 (word 1), -1 without a format.
extern int32_t channelSyncCtrl;
extern int32_t gIactHst[2];
extern int32_t gIactVst[2];

// What the body of a screen shows.
enum class MiscBody : uint8_t {
    Page,  // the page's items with its cursor
    List,  // the value's choices with the value
    Bar,   // the value on a bar at (350, 220)
};

// How a screen under page 5 draws its node: the lists of its title
// (osd_put_title), its body and the body's list.
struct MiscView {
    const int* top;
    const int* item;
    MiscBody body;
    const int* list;
    const char* field;  // the value's name in the screen's diagnostic
};

// A row of a page group under page 5 with the way its screen draws it.
struct MiscNode {
    FuncRow row;
    MiscView view;
};

// The common form: inhibit, frame and tab of page 5, the title. The body is
// drawn by misc_screen_body (or by the screen itself), then osd_page_show.
void misc_screen_begin(int row, const MiscView& view);
// The body of a view with the list given (the view's list, adjusted by the
// screen where it marks lines).
void misc_screen_body(int row, const MiscView& view, const formated_osd_list& list);
// The whole screen of a view.
void misc_screen(int row, const MiscView& view);
// The view of row's node in a group; null when the group has none.
const MiscView* misc_view_of(std::span<const MiscNode> nodes, int row);

template <size_t N>
std::array<FuncRow, N> misc_rows(const std::array<MiscNode, N>& nodes) {
    std::array<FuncRow, N> rows{};
    for (size_t i = 0; i < N; ++i) rows[i] = nodes[i].row;
    return rows;
}

// The row of a table entry: the fields in the order the pages' tables give
// them.
constexpr FuncRow miscRow(uint32_t node, uint32_t type, void* value, int32_t min, int32_t max, int32_t step,
                          int32_t fast, uint32_t mode, void (*action)(int), void (*screen)(int), uint8_t enable = 1) {
    return FuncRow{node, action, mode, screen, type, value, fnI(max), fnI(min), fnI(step), fnI(fast), enable, 0, 0, 0};
}

// f() with PM_mutex held: the pages read and write PM values through it.
template <class F>
auto underPm(F f) {
    MutexLock lock(PM_mutex);
    return f();
}

// Screens with more than the common form.
void osd_func521(int row);
void osd_func522(int row);
void osd_func534(int row);
void osd_func535(int row);

// Actions (the row index is not used).
void func524(int row);
void func525(int row);
void func526(int row);
void func534(int row);
void func535(int row);
void func554(int row);
void func7510(int row);
void func7531(int row);
void func7532(int row);
void func7541(int row);
void func7542(int row);

std::span<const FuncRow> miscPageRows();
