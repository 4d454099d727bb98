// The root page (node 0: the five tabs with a preview of each top page) and
// the closed menu (node 999).
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>

// The root page's cursor: the highlighted tab, 0 to 4.
extern int32_t PB_0;
// The list previewed on the root page for each tab.
extern const int* const main_menu_list[5];

void osd_func0(int row);
void osd_func999(int row);

// The root page's row of the function table.
std::span<const FuncRow> rootPageRows();
