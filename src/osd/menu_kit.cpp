#include "osd/menu_kit.h"

#include "core/functable.h"
#include "core/pm.h"
#include "osd/formated_osd_list.h"
#include "osd/osd.h"
#include "scaler/output_formats.h"
#include "scaler/scaler.h"
#include "sys/print.h"
#include "sys/valutil.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kOwn = kOsdOwnColour;
constexpr int kSize = 16;
constexpr int kWindowW = 640, kWindowH = 480;
constexpr int kWindowKey = 239;

// Tabs: label sentence t at (140, 92 + 58 t), highlight part 27 at (60, 74 + 58 t).
constexpr int kTabLabels[kMenuTabs] = {1, 2, 59, 60, 178};
constexpr const char* kTopPageNames[kMenuTabs] = {"Inputs", "Layout", "Channel 1", "Channel 2", "Misc"};
constexpr int kTabPitch = 58;
constexpr int kTabLabelX = 140, kTabLabelY = 92;
constexpr int kTabPartX = 60, kTabPartY = 74;
constexpr int kPartBase = 28, kPartTab = 27, kPartBar = 29;

constexpr int kTitleX = 320, kTitleY = 12, kSubtitleY = 42;
constexpr int kRootTitle = 255;
constexpr const char* kSpacer = "   ";

constexpr int kListX = 330, kMarkX = 326, kPitch = 32;
constexpr int kMaxLines = 11;
constexpr int kGreyedText = 95, kGreyedBg = 255;

constexpr int kBarFillDx = 8, kBarFillDy = 9, kBarFillH = 13, kBarFull = 160, kBarEnds = 17;
constexpr int kNumDx = 180, kNumDy = 8, kNumBg = 1;

constexpr int kWarningColour = 199, kWarningBg = 255;

bool validRow(int row) { return row >= 0 && row < funcTableSize(); }

int digitCount(uint32_t n) {
    int d = 1;
    while (n >= 10) n /= 10, ++d;
    return d;
}

// Sentence of a title digit (1-based); 0 for none.
int listEntry(const int* list, uint32_t digit) {
    return list != nullptr && digit >= 1 && digit <= kMenuListLength ? list[digit - 1] : 0;
}

void topPageName(uint32_t page) {
    if (page >= 1 && page <= kMenuTabs)
        osd_put_ascii_string(kTopPageNames[page - 1], kTitleX, kTitleY, 0, 255, 0, kSize);
}

// Second title line: three blanks, then the sentence in colour mode 1.
void subtitle(const int* list, uint32_t digit) {
    osd_put_ascii_string(kSpacer, kTitleX, kSubtitleY, formated_osd_list::c_gray, 1, 0, kSize);
    if (int s = listEntry(list, digit); s != 0)
        osd_put_sentence(s, kTitleX + getStrTotalCharaHw(kSpacer, 0).width, kSubtitleY, 1, 0, kSize, kOwn, kOwn);
}

int firstLineY(int n) { return (4 - n / 2) * kPitch + 138; }

bool greyed(uint8_t enable) { return enable == 0 || enable == 2; }

double bound(const FuncRow& r, FuncNum n) { return r.type <= FT_FLOAT_CH ? n.f : n.i; }

// A bar's number: signed when the row goes below 0, as many digits as the
// longer bound.
void barNumber(const FuncRow& r, int value, int x, int y, int colour) {
    const int max = static_cast<int>(bound(r, r.max)), min = static_cast<int>(bound(r, r.min));
    osd_put_num(min < 0 ? 2 : 1, std::max(int2bcdlen(max), int2bcdlen(min)), value, x, y, colour, kNumBg, 0, kSize);
}

int warningLine(const char* text, int x) {
    osd_put_ascii_string(text, x, kWarningY, kWarningColour, kWarningBg, 0, kSize);
    return 1;
}

bool singleWindow() { return PM.DISPLAY_MODE == 1 && (PM.DWINDOW == 0 || PM.DWINDOW == 4); }

}  // namespace

void reprepareOsd() {
    osd_put_part(kPartBase, 0, 0);
    for (int t = 0; t < kMenuTabs; ++t)
        osd_put_sentence(kTabLabels[t], kTabLabelX, kTabLabelY + kTabPitch * t, 0, 0, kSize, kOwn, kOwn);
}

void osd_put_tab(int tab) {
    if (tab < 0 || tab >= kMenuTabs) return;
    osd_put_part(kPartTab, kTabPartX, kTabPartY + kTabPitch * tab);
    osd_put_sentence(kTabLabels[tab], kTabLabelX, kTabLabelY + kTabPitch * tab, 1, 0, kSize, kOwn, kOwn);
}

void osd_page_begin(int row, int tab) {
    PRINT(PRINT_GENERAL, "+++ osd_func%d MainMenu +++ \n", validRow(row) ? static_cast<int>(funcDataTbl[row].node) : -1);
    osd_write_inh_ct(1, 1);
    osd_put_tab(tab);
}

void osd_page_show() {
    osd_on(OSD_CHANNEL, PM.OSDPOSH, kWindowW, PM.OSDPOSV, kWindowH, PM.OSDTRAN, 255, 255, 255, kWindowKey);
    osd_write_inh_ct(0, 1);
}

void osd_page_screen(int row, int tab, const int* top_list, const int* item_list, const formated_osd_list& list) {
    osd_page_begin(row, tab);
    osd_put_title(row, top_list, item_list, 0);
    osd_put_list(row, funcIntAt(row, Channel), list, 1);
    osd_page_show();
}

void osd_put_title(int row, const int* top_list, const int* item_list, int /*flag*/) {
    if (!validRow(row)) return;
    const uint32_t node = funcDataTbl[row].node;
    switch (digitCount(node)) {
    case 1:
        if (node == 0) osd_put_sentence(kRootTitle, kTitleX, kTitleY, 0, 0, kSize, kOwn, kOwn);
        else topPageName(node);
        break;
    case 2:
        topPageName(node / 10);
        if (top_list != nullptr) subtitle(top_list, node % 10);
        break;
    default:
        if (int s = listEntry(top_list, node / 10 % 10); s != 0)
            osd_put_sentence(s, kTitleX, kTitleY, 0, 0, kSize, kOwn, kOwn);
        if (item_list != nullptr) subtitle(item_list, node % 10);
        break;
    }
}

void osd_put_list(int row, int value, const formated_osd_list& list, int cursor_mode) {
    const int* lines = list.get_lines();
    if (lines == nullptr || lines[0] == 0 || !validRow(row)) return;
    const FuncRow& shown = funcDataTbl[row];
    const bool cursor = cursor_mode != 0;
    int n = 0;
    if (cursor) {
        n = shown.max.i + 1 - shown.min.i;
    } else {
        while (n < formated_osd_list::kLines && lines[n] != 0) ++n;
        if (n >= kMenuListLength) return;
    }
    if (n <= 0 || n > kMaxLines) return;

    const int* fg = list.get_foreground_colors();
    const int* bg = list.get_background_colors();
    const int* warnColour = list.get_warning_colors();
    const auto& warnings = list.get_warnings();
    const bool page = shown.type == FT_PAGE;
    bool marked = false;
    int y = firstLineY(n);
    for (int i = 0; i < n; ++i) {
        const bool deleted = list.get_line_status(i + 1) == formated_osd_list::kDeleted;
        if (!deleted) {
            const int item = shown.node != 0 ? funcNum2TblInx(static_cast<int>(shown.node * 10 + 1 + i)) : row;
            const bool grey = greyed(funcDataTbl[item].enable) || greyed(shown.enable);
            const bool onCursor = cursor && i + shown.min.i == value;
            const bool markable = onCursor && shown.enable == 1;
            if (page && cursor && grey) {
                osd_put_sentence(lines[i], kListX, y, 0, 0, kSize, kGreyedText, kGreyedBg);
                if (markable) osd_paint(kMarkX, 15, y, 15, kGreyedText);
            } else {
                const int mode = onCursor ? 1 : 0;
                const int width = fg[i] == formated_osd_list::c_nativ
                                      ? osd_put_sentence(lines[i], kListX, y, mode, 0, kSize, kOwn, kOwn)
                                      : osd_put_sentence(lines[i], kListX, y, mode, 0, kSize, fg[i], bg[i]);
                if (!warnings[i].empty())
                    osd_put_ascii_string(warnings[i].c_str(), kListX + width, y, warnColour[i],
                                         bg[i] == formated_osd_list::c_nativ ? 255 : bg[i], 0, kSize);
                if (markable) osd_paint(kMarkX, 16, y, 16, formated_osd_list::c_gray);
            }
            marked = marked || markable;
            y += kPitch;
        }
        if (i + 1 >= formated_osd_list::kLines || lines[i + 1] == 0) break;
    }

    // A value on no drawn line goes back to the row's minimum; a page's
    // cursor too (setVal leaves page cursors alone).
    if (cursor && !marked && shown.enable == 1) {
        osd_paint(kMarkX, 16, (4 - n / 2 - n % 2) * kPitch + 138, 16, formated_osd_list::c_gray);
        if (page) funcSetIntAt(row, 0, shown.min.i);
        else setVal(row, shown.min.i);
    }
}

void osd_put_pbar(int row, int value, int x, int y, int colour) {
    if (!validRow(row)) return;
    const FuncRow& r = funcDataTbl[row];
    OsdPartGeometry bar{};
    const int barW = osd_part_geometry(kPartBar, bar) ? bar.w : kBarFull + kBarEnds;
    osd_put_part(kPartBar, x, y);
    const double max = bound(r, r.max), min = bound(r, r.min);
    if (r.enable == 1 && value < max) {
        const int filled = max != min ? static_cast<int>((value - min) * (barW - kBarEnds) / (max - min)) : 0;
        if (filled != 0 && value > min) osd_paint(x + kBarFillDx, filled, y + kBarFillDy, kBarFillH, colour);
    } else {
        osd_paint(x + kBarFillDx, kBarFull, y + kBarFillDy, kBarFillH, colour);
    }
    if (r.enable == 1) barNumber(r, value, x + kNumDx, y + kNumDy, colour);
    else osd_put_ascii_string("n/a", x + kNumDx, y + kNumDy, colour, kNumBg, 0, kSize);
}

int print_single_window_warning_if_needed(int force) {
    if (singleWindow() && (Channel == 1 || force)) return warningLine("Ineffective In Single Window", 344);
    return 0;
}

int print_overlay_warning_if_needed() {
    if (PM.DISPLAY_MODE == 1 && Channel == 1) return warningLine("Ineffective In Overlay Mode", 344);
    return 0;
}

int print_transition_warning_if_needed() {
    if (singleWindow() && Channel == 1) return warningLine("Ineffective In Transition Window", 344);
    return 0;
}

void osd_put_prev_4k_warning() {
    if (PM.OUTPUT_RES_SEL[Channel == 1 ? 1 : 0] == kOutputFormat4K) warningLine("Ineffective in 4k2k30 output", 342);
}

void osd_put_palette() {
    constexpr int kSquare = 12, kPerRow = 16, kX = 330, kY = 138;
    for (int c = 0; c < 256; ++c) {
        const int x = kX + c % kPerRow * kSquare, y = kY + c / kPerRow * kSquare;
        PRINT(PRINT_GENERAL, "X =%d, Y=%d, color = %d\n", x, y, c);
        osd_paint(x, kSquare, y, kSquare, c);
    }
}

void osd_funcGEN(int row) {
    if (!validRow(row)) return;
    const FuncRow& r = funcDataTbl[row];
    PRINT(PRINT_GENERAL, "+++ osd_func%d MainMenu +++ \n", static_cast<int>(r.node));
    osd_write_inh_ct(1, 1);
    if (r.callMode == 0 || r.callMode == 3) {
        osd_put_part(kPartTab, 60, 132);
        osd_put_sentence(39, 140, 150, 0, 0, kSize, kOwn, kOwn);
        osd_put_sentence(132, 320, 42, 0, 0, kSize, kOwn, kOwn);
        osd_put_part(kPartBar, 350, 220);
        const int max = static_cast<int>(bound(r, r.max)), min = static_cast<int>(bound(r, r.min));
        const int gain = PM.OSDGAIN;
        const int width =
            gain >= max || max == min ? kBarFull : std::max(0, kBarFull * (gain - min) / (max - min));
        if (width == 0) osd_paint(358, 5, 229, kBarFillH, 255);
        else osd_paint(358, width, 229, kBarFillH, 248);
        barNumber(r, gain, 530, 228, 248);
    }
    osd_page_show();
}
