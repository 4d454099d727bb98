// The Inputs page (node 1) and its eight input pages (nodes 11 to 18): the
// signal type of each connector, the EDID it offers (native resolution,
// colour depth, mode lines, audio channels), input HDCP, colour space and
// audio volume. The values live in PM_I[input]; the actions apply them to
// the hardware and to every channel that shows the input, and store PM_I.
//
// The eight pages share their screens and actions: the input is the second
// digit of the node (node 1k.. is input k, index k - 1).
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

inline constexpr int kInputPages = 8;

// Cursors: page 1, page 1k (PB_1x[k - 1]) and its EDID page 1k2 (PB_1x2[k - 1]).
extern int32_t PB_1;
extern int32_t PB_1x[kInputPages];
extern int32_t PB_1x2[kInputPages];

// Screens (the row of the node).
void osd_func1(int row);
void osd_func11(int row);     // page 1k
void osd_func111(int row);    // 1k1 signal type
void osd_func1x2(int row);    // 1k2 EDID page
void osd_func1x21(int row);   // 1k21 native resolution: a browser that reads the keys itself
void osd_func1x22(int row);   // 1k22 colour depth
void osd_func1x23(int row);   // 1k23 mode lines
void osd_func1x24(int row);   // 1k24 audio channels
void osd_func113(int row);    // 1k3 HDCP
void osd_func114(int row);    // 1k4 colour space
void osd_func115(int row);    // 1k5 volume

// Actions (the node number).
void func1x1(int node);
void func1x21(int node);
void func1x22(int node);
void func1x23(int node);
void func1x24(int node);
void func1x3(int node);
void func1x4(int node);
void func1x5(int node);

// Appliers of an input's values (input index 0..7), also for the start-up.
void SetInputType(int inp, int no_reconfigure);
void SetInputHDCPMode(int inp);
void SetInputColorSpace(int inp);
void SetInputAutopos(int inp, int no_rebuild);
void SetInputVolume(int inp);

// "WARNING: Active Input" at (345, 138) when a channel shows the input.
void print_warning_active_input_if_nedded(int inp);
// "Not Applicable To Input Mode" at (330, 138) and 1 when the input's type
// takes no EDID (neither HDMI nor VGA); else 0.
int print_edid_warning_if_needed(int inp);

// The video input number an input's EDID work uses: the input for HDMI,
// input + 24 for any other type.
int edidVideoInput(int inp);

// The rows of the Inputs pages.
std::span<const FuncRow> inputPageRows();
