// The channel pages' input, scan and aspect, and customised output window
// items (31..334 and their 4xx twins). Actions work on the calling thread's
// Channel; page 4 forwards to them (channel_pages.h).
#pragma once

#include "core/functable.h"

#include <span>

// The input of the channel (PM.SEL_INPUT, 1..8).
void func31(int row);
// Scan, overscan, aspect mode and the manual aspect values.
void func321(int row);
void func322(int row);
void func323(int row);
void func324(int row);
void func325(int row);
void func326(int row);
// The customised output window: start and size, horizontal and vertical.
void func331(int row);
void func332(int row);
void func333(int row);
void func334(int row);

void osd_func321(int row);
void osd_func323(int row);
void osd_func324(int row);
void osd_func325(int row);
void osd_func326(int row);
// The screen of 331..334: opening one switches to the customised layout.
void osd_func33x(int row);
void change_to_customized_if_nedded(int row);

std::span<const FuncRow> channelInputRows();
