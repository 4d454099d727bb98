#include "menu/page_common.h"

#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_state.h"
#include "menu/root_page.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "sys/timers.h"

namespace {
constexpr int kBarX = 350, kBarY = 220, kBarColour = 248;
constexpr int kTextFg = 199, kTextBg = 255, kSize = 16;
}  // namespace

void pageOpen(int row, const PageTitle& title) {
    osd_page_begin(row, title.tab);
    osd_put_title(row, title.top, title.item, 0);
}

void pageList(int row, const formated_osd_list& list) { osd_put_list(row, funcIntAt(row, Channel), list, 1); }

void pageBar(int row) { osd_put_pbar(row, funcIntAt(row, Channel), kBarX, kBarY, kBarColour); }

void pageShow() { osd_page_show(); }

void pageText(const char* text, int x, int y) { osd_put_ascii_string(text, x, y, kTextFg, kTextBg, 0, kSize); }

void pageListScreen(int row, const PageTitle& title, const int* list) {
    pageOpen(row, title);
    pageList(row, formated_osd_list(list));
    pageShow();
}

void runNodeAs(int node, int ch) {
    ChannelAs scope(ch);
    runFuncInd(funcNum2TblInx(node));
}

void closeMenuFromPage() {
    st_num = kNodeClosed;
    osd_func999(funcNum2TblInx(kNodeClosed));
    if (vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_MENU_OPEN}) & VP_GFLAG_MENU_OPEN) osdTimerKill();
}
