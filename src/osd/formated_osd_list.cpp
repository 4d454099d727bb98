#include "osd/formated_osd_list.h"

#include "core/functable.h"
#include "menu/menu_state.h"
#include "sys/print.h"
#include "sys/valutil.h"

#include <algorithm>

namespace {

constexpr int kKeyUp = 3;

int32_t readValue(const void* p, int width) {
    if (width == 1) return *static_cast<const uint8_t*>(p);
    return width == 2 ? getVal16(p) : getVal32(p);
}

void writeValue(void* p, int width, int32_t v) {
    if (width == 1) setVal8(p, v);
    else if (width == 2) setVal16(p, v);
    else setVal32(p, v);
}

}  // namespace

formated_osd_list::formated_osd_list() {
    fg_.fill(c_nativ);
    bg_.fill(c_nativ);
    warnColour_.fill(c_red);
}

formated_osd_list::formated_osd_list(const int* table) : formated_osd_list() {
    *this = table;
}

formated_osd_list& formated_osd_list::operator=(const int* table) {
    if (table == nullptr) {
        hasLines_ = false;
        filled_ = false;
        lines_.fill(0);
    } else if (!filled_) {
        hasLines_ = true;
        copyLines(table);
    }
    return *this;
}

// Menu lists are shorter than the list: copy through the terminating 0 only.
// A menu list of 12 sentences (no room for its 0) keeps 12 lines, which
// osd_put_list refuses to draw.
void formated_osd_list::copyLines(const int* table) {
    lines_.fill(0);
    for (int i = 0; i < kMenuListLength && table[i] != 0; ++i) lines_[i] = table[i];
    filled_ = true;
}

void formated_osd_list::set_lines(const int* table) {
    if (hasLines_ && table != nullptr) copyLines(table);
}

void formated_osd_list::set_line(int sentence, int i) {
    if (inRange(i) && hasLines_) lines_[i] = sentence;
}

void formated_osd_list::set_foreground_color(int colour, int i) {
    if (inRange(i)) fg_[i] = colour;
}

void formated_osd_list::set_background_color(int colour, int i) {
    if (inRange(i)) bg_[i] = colour;
}

void formated_osd_list::set_warning_color(int colour, int i) {
    if (inRange(i)) warnColour_[i] = colour;
}

void formated_osd_list::set_foreground_color(int colour) { fg_.fill(colour); }

void formated_osd_list::set_background_color(int colour) { bg_.fill(colour); }

void formated_osd_list::enable_line(int i) {
    if (inRange(i)) status_[i] = kEnabled;
}

void formated_osd_list::set_warning(const char* text, int i, int colour) {
    if (text == nullptr || !inRange(i)) return;
    warnings_[i] = text;
    warnColour_[i] = colour;
}

int formated_osd_list::get_line_status(int n) const { return n >= 1 && n <= kLines ? status_[n - 1] : kNoLine; }

void formated_osd_list::set_foreground_colors(const int (&colours)[kLines]) {
    std::copy(std::begin(colours), std::end(colours), fg_.begin());
}

void formated_osd_list::set_warnings_colors(const int (&colours)[kLines]) {
    std::copy(std::begin(colours), std::end(colours), warnColour_.begin());
}

void formated_osd_list::set_warnings(const char* const* texts, int k) {
    if (texts == nullptr) return;
    k = std::min(k, kLines);
    for (int i = 0; i < k; ++i) {
        if (texts[i] != nullptr) warnings_[i] = texts[i];
        else warnings_[i].clear();
    }
}

int formated_osd_list::disable_line(int row, int n, const char* warning) {
    const uint32_t type = row >= 0 && row < funcTableSize() ? funcDataTbl[row].type : FT_S32;
    if (type >= 3 && type <= 6) return disable_line_byte(row, n, warning);
    if (type >= 7 && type <= 10) return disable_line_short(row, n, warning);
    return disable_line_int(row, n, warning);
}

int formated_osd_list::disable_line_byte(int row, int n, const char* warning) { return disable(row, n, warning, 1); }
int formated_osd_list::disable_line_short(int row, int n, const char* warning) { return disable(row, n, warning, 2); }
int formated_osd_list::disable_line_int(int row, int n, const char* warning) { return disable(row, n, warning, 4); }

int formated_osd_list::disable(int row, int n, const char* warning, int width) {
    const int i = n - 1;
    if (!inRange(i)) return -1;
    fg_[i] = c_red;
    if (warning != nullptr) {
        PRINT(PRINT_GENERAL, "warning = %d\n", i);
        set_warning(warning, i, c_red);
    }
    status_[i] = kDisabled;
    PRINT(PRINT_GENERAL, "line_num = %d , line_disable = %d\n", i, 1);

    void* value = row >= 0 && row < funcTableSize() ? funcDataTbl[row].value : nullptr;
    if (value == nullptr) return 0;
    const int32_t remembered = readValue(value, width);
    PRINT(PRINT_GENERAL, "original_pm= %d , *pm_pointer = %d\n", remembered, remembered);
    if (remembered != i) return 0;

    // Walk at most once round the lines 0..max that the list can hold.
    const int last = std::min(funcDataTbl[row].max.i, kLines - 1);
    const bool back = button_num == kKeyUp;
    int32_t v = remembered;
    for (int steps = 0; last >= 0 && steps <= last; ++steps) {
        if (back) v = v <= 0 || v > last ? last : v - 1;
        else v = v >= last ? 0 : v + 1;
        PRINT(PRINT_GENERAL, "original_pm= %d , *pm_pointer = %d\n", remembered, v);
        if (v == remembered) break;
        if (status_[v] != kDisabled && status_[v] != kDeleted) {
            writeValue(value, width, v);
            return 0;
        }
    }
    PRINT(PRINT_GENERAL, "\033[31mALL LINES DISABLED - PLEASE LEABVE AT LIST ONE LINE\033[0m");
    return 0;
}

int formated_osd_list::delete_line(int row, int n) {
    const int fg = inRange(n - 1) ? fg_[n - 1] : c_nativ;
    if (disable_line(row, n, nullptr) == -1) return -1;
    PRINT(PRINT_GENERAL, "\033[35mFUNC %s CP %d\n\033[0m\n", "delete_line", 1);
    status_[n - 1] = kDeleted;
    fg_[n - 1] = fg & 0xFFFF;
    return 0;
}
