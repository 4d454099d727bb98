#include "menu/root_page.h"

#include "core/pm.h"
#include "menu/menu_lists.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "scaler/scaler.h"
#include "sys/print.h"

#include <array>

int32_t PB_0 = 0;

// The channel 2 tab previews the channel 1 page: both hold the same items.
const int* const main_menu_list[kMenuTabs] = {menu_list_1, menu_list_2, menu_list_3, menu_list_3, menu_list_5};

void osd_func0(int row) {
    PRINT(PRINT_GENERAL, "+++ osd_func%d MainMenu +++ \n", 0);
    osd_write_inh_ct(1, 1);
    // The inhibit stays set: the next screen or the closed menu releases it.
    if (!(vp.gFlags & VP_GFLAG_MENU_OPEN)) return;
    if (PB_0 < 0 || PB_0 >= kMenuTabs) PB_0 = 0;
    osd_put_tab(PB_0);
    osd_put_title(row, nullptr, nullptr, 0);
    const formated_osd_list preview(main_menu_list[PB_0]);
    osd_put_list(row, 0, preview, 0);
    osd_page_show();
}

void osd_func999(int /*row*/) {
    osd_off(OSD_CHANNEL);
    PRINT(PRINT_GENERAL, "+++ osd_func999 Idle +++ ");
    osd_write_inh_ct(0, 1);
}

namespace {

const std::array<FuncRow, 1> kRows = {{
    {0, nullptr, 5, osd_func0, FT_PAGE, &PB_0, fnI(kMenuTabs - 1), fnI(0), fnI(1), fnI(0), 1},
}};

}  // namespace

std::span<const FuncRow> rootPageRows() { return kRows; }
