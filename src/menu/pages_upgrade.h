// Page 54 under Misc: the firmware upgrade from a USB key (541) and the
// rollback to the previous firmware (542). Each entry runs its whole
// dialogue in the thread that runs menu actions, on the OSD text console,
// and returns to page 5 when it ends. Meanwhile the older command engine
// refuses every command (error 4), the dialogue reads the keys itself and
// the software watchdog is off.
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

// The entries' values: one byte each, 0 only.
extern uint8_t PB_541;
extern uint8_t PB_542;

void osd_func54(int row);
void osd_func541(int row);
void osd_func542(int row);
void func541(int row);
void func542(int row);
// Page 5 again after a dialogue: the menu window on, the planes swapped,
// the base screen, the page with its cursor.
void restorefn500();

std::span<const FuncRow> upgradePageRows();
