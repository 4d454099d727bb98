// The Layout page (node 2): how the two channels share the outputs. The
// display mode (21), the transition between preview and program (page 22),
// the window layout (23) and the outputs (page 24: resolutions, routing,
// deep colour, colour space, output HDCP). Output formats go to the main
// task as CNV requests; the resolution is chosen in a browser that reads
// the keys itself, the routing applies only on ENTER (dialog states 990 and
// 991 of the menu engine).
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

// Page cursors.
extern int32_t PB_2;
extern int32_t PB_22;
extern int32_t PB_24;
extern int32_t PB_241;
extern int32_t PB_242;

// 255 while the outputs page is shown.
extern int output_sel;

// Dialog states of these pages.
inline constexpr int32_t kStateRouting1 = 990;   // 2421 shows a choice
inline constexpr int32_t kStateRouting2 = 991;   // 2422 shows a choice
inline constexpr int32_t kStateRouting = 992;    // 242 (no row runs it)
inline constexpr int32_t kStateResolution = 997; // the resolution browser ended

// Screens.
void osd_func2(int row);
void osd_func21(int row);
void osd_func22(int row);
void osd_func221(int row);
void osd_func222(int row);
void osd_func223(int row);
void osd_func224(int row);
void osd_func225(int row);
void osd_func226(int row);
void osd_func2261(int row);
void osd_func2262(int row);
void osd_func23(int row);
void osd_func24(int row);
void osd_func241(int row);
void osd_func2411(int row);  // the resolution browser of 2411, 2412 and 2413
void osd_func242(int row);
void osd_func2421(int row);
void osd_func2422(int row);
void osd_func243(int row);
void osd_func244(int row);
void osd_func245(int row);

// Actions.
void func21(int row);
void func221(int row);
void func222(int row);
void func223(int row);
void func224(int row);
void func225(int row);
void func23(int row);
void func235(int row);
void func236(int row);
void func240(int row);
void func2411(int row);
void func2412(int row);
void func2413(int row);
void func242(int row);
void func2421(int row);
void func2422(int row);
void func243(int row);
void func244(int row);
// The T-bar's travel (PM.T_BAR): run by the back end's poll and the T-bar
// timers; sends the value to the T-bar thread at most every dumping_time ms.
void func2261(int row);
// The T-bar's smoothness: dumping_time 100 ms with PM.T_BAR_SMOOTHNESS 1, else 16.
void func2262(int row);

// Drives the audio pass-through pin: high only when CH2 passes its audio
// through and the overlay mode with one window is not on.
void handle_pass_through_in_mode_Swap();
// Web-lock notice for the T-bar: 4 (locked) when the T-bar cannot act (no
// effect, or the overlay mode), else 5. True when it cannot act.
bool is_tbar_limited();
// -1 when PM.TRANS_EFFECT is 0, else 0.
int is_tbar_ineffective();
// 0 when the direction is allowed for the current PM.TRANS_EFFECT, else 255.
int restrictTransDir(int direction);
void set_dumping_time(int ms);
int get_dumping_time();
// Runs func2261 (the T-bar delay timer's function).
void send_message_to_tbar_thread();

// Sends a CNV request: code 1 output resolution (channel 0, 1 or 2 = both),
// 2 deep colour, 3 colour space.
void postConversionRequest(int code, int channel);

// The rows of the Layout pages.
std::span<const FuncRow> layoutPageRows();
