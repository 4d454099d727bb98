// Page 387 of each channel page (487 for CH2): how the channel switches its
// input by itself. The mode, and for the priority scan eight places, each
// naming one of the eight inputs (the eight bytes of a channel are kept a
// permutation of 0..7) and whether it takes part. The switching service
// (core/autoswitch.h) reads the bytes through its arrays.
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

extern int32_t PB_387, PB_487, PB_3872, PB_4872;
extern int32_t PB_38721, PB_38722, PB_38723, PB_38724, PB_38725, PB_38726, PB_38727, PB_38728;
extern int32_t PB_48721, PB_48722, PB_48723, PB_48724, PB_48725, PB_48726, PB_48727, PB_48728;

// The mode of the current channel (both pages).
void func3871(int row);
// The input at a place, node 3872x1 or 4872x1: in dialog state 989 only
// returns the menu to the node; otherwise applies the choice (a choice held
// by another place swaps the two), rebuilds the service's arrays and
// announces the channel's eight places.
void func3872x(int node);
// Participation of a place.
void func3872x2(int row);
// Places 1..8 back to inputs 1..8, all taking part.
void func38729(int row);

void osd_func3872(int row);
void osd_func3872x(int row);
void osd_func3872x1(int row);
void osd_func38729(int row);

std::span<const FuncRow> channelAutoSwitchRows();
