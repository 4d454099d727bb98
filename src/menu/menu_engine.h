// The menu engine: one step per key message, run by the thread "IOSD".
//
// The tree lives in the function table: a node's row gives its screen, its
// action, the order in which a step runs them (call mode), its value and
// bounds. Any thread posts keys with stLoop; only IOSD runs steps. PM_mutex
// is held only while a value or a page cursor changes, never while a
// screen, an action or a save runs.
#pragma once

#include <cstdint>

// Keys the engine understands beyond the panel's (sys/frontpanel.h).
enum : int {
    KEY_FAST_PLUS = 34,   // made by the engine after repeated plus
    KEY_FAST_MINUS = 35,  // after repeated minus
    KEY_CLOSE_MENU = 38,  // posted when the menu times out or is closed
};

inline constexpr int32_t kNodeProtocolTarget = 1000;  // go to gProtFuncNum
inline constexpr int32_t kDialogFirst = 989;          // dialog states of the pages, no rows
inline constexpr int32_t kDialogLast = 997;
// Change byte of a row: plus or minus touched it since the last save.
inline constexpr uint8_t kRowChanged = 0x2;
// A delayed action (call modes 4 and 6) runs this long after the last key.
inline constexpr uint32_t kDelayedActionMs = 1000;

// What IOSD hands to one step: the key, a word the step ignores, and the
// queue message's parameter word (the row of key 42's delayed action).
struct _stloop_proc_param {
    int32_t key;
    int32_t unused;
    uint32_t param;
};

// Start-up, after the OSD: the menu closed, the scaler's working values
// cleared, the glyph widths and the base screen.
void stInit();
// Posts a key to the engine (any thread). When more than 10 messages wait,
// navigation keys (0 to 5, 40) are dropped; other keys always go.
void stLoop(int key);
// Leads the engine to a node (key 39): gProtFuncNum <- node, and the key
// carries the node too, so that a request posted before this step runs
// cannot take its place.
void stLoopNode(int node);
// The thread entry of "IOSD".
void* ichips_osd(void*);
// One step (IOSD only).
void stLoop_proc(const _stloop_proc_param& param);

// Sets the cursors of the pages above the row so that the menu shows the
// way to it; stops at the first ancestor without a page row.
void tracebackPbValues(int row);
// A row that plus or minus touched marks the thread channel's parameter
// memory dirty (the main task saves it).
void checkSetPmUnsave(int row);
// Sends the row's value as a protocol notification.
void announcePmChanged(int row);

// The leading digit of n (n itself when n < 11); the digit count into
// depth_out when given (1 when n < 11).
int find_osd_hierarchy_num(int n, int* depth_out = nullptr);
// n with its leading digit replaced by d (d for n < 11).
int replace_osd_hierarchy_num(int n, int d);
// The first microphone's node (3961...) to the second's (3962...) and back;
// 3963 stays.
int replace_osd_microphone_hierarchy_num(int n);

// Goes to node n and draws its screen.
void osd_return(int n);
// "Entire System Control" at the title of a row that sets a device-wide value.
void checkDispEntireSystemControl(int row);
void setBlinkTransparentOsd();
