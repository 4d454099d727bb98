// The formatted menu list: what it copies from a menu list, its index rules,
// and where disabling a line moves the value that sat on it.
#include "core/functable.h"
#include "menu/menu_state.h"
#include "osd/formated_osd_list.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

uint8_t gByte;
int16_t gShort;
int32_t gInt;

// Rows 1, 2, 3: a byte, a 16-bit and a 32-bit list value.
void installRows(int max) {
    static std::vector<FuncRow> rows;
    rows = {
        {311, nullptr, 5, nullptr, FT_S8, &gByte, fnI(max), fnI(0), fnI(1), fnI(0), 1},
        {312, nullptr, 5, nullptr, 9, &gShort, fnI(max), fnI(0), fnI(1), fnI(0), 1},
        {313, nullptr, 5, nullptr, FT_S32, &gInt, fnI(max), fnI(0), fnI(1), fnI(0), 1},
    };
    static std::array<FuncRowGroup, 1> groups;
    groups = {{{"test", rows}}};
    funcTableInstall(groups);
}

int32_t valueOf(int row) { return row == 1 ? gByte : row == 2 ? gShort : gInt; }
void setValue(int row, int32_t v) {
    if (row == 1) gByte = static_cast<uint8_t>(v);
    else if (row == 2) gShort = static_cast<int16_t>(v);
    else gInt = v;
}

TEST(FormatedOsdList, CopiesAMenuListThroughItsEnd) {
    // A 12-entry menu list followed by memory that is not the list's.
    struct {
        int list[12] = {205, 206, 207, 0};
        int after[8] = {77, 77, 77, 77, 77, 77, 77, 77};
    } mem;
    formated_osd_list l(mem.list);
    ASSERT_NE(l.get_lines(), nullptr);
    std::vector<int> lines(l.get_lines(), l.get_lines() + formated_osd_list::kLines);
    EXPECT_EQ(lines, std::vector<int>({205, 206, 207, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    formated_osd_list copy = l;
    copy.set_lines(mem.list + 1);
    EXPECT_EQ(copy.get_lines()[0], 206);
    EXPECT_EQ(copy.get_lines()[2], 0);
    EXPECT_EQ(l.get_lines()[0], 205) << "copies are deep";
}

TEST(FormatedOsdList, AssigningATableFillsOnlyAListNotFilledYet) {
    const int a[12] = {1, 2, 0}, b[12] = {59, 0};
    formated_osd_list blank;
    EXPECT_EQ(blank.get_lines()[0], 0) << "an empty list, not garbage";
    blank = a;
    EXPECT_EQ(blank.get_lines()[1], 2);
    blank = b;
    EXPECT_EQ(blank.get_lines()[0], 1) << "a list that has lines keeps them";

    formated_osd_list none(nullptr);
    EXPECT_EQ(none.get_lines(), nullptr);
    none.set_line(5, 0);
    none.set_lines(a);
    EXPECT_EQ(none.get_lines(), nullptr);
    none = b;
    EXPECT_EQ(none.get_lines()[0], 59);
    none = static_cast<const int*>(nullptr);
    EXPECT_EQ(none.get_lines(), nullptr);
}

TEST(FormatedOsdList, LineIndexesOutsideTheListAreIgnored) {
    formated_osd_list l;
    for (int i : {-1, 20}) {
        l.set_line(9, i);
        l.set_foreground_color(1, i);
        l.set_background_color(1, i);
        l.set_warning_color(1, i);
        l.set_warning("x", i, 1);
        l.enable_line(i);
    }
    for (int i = 0; i < formated_osd_list::kLines; ++i) {
        EXPECT_EQ(l.get_lines()[i], 0);
        EXPECT_EQ(l.get_foreground_colors()[i], 65535);
        EXPECT_EQ(l.get_background_colors()[i], 65535);
        EXPECT_EQ(l.get_warning_colors()[i], 199);
        EXPECT_TRUE(l.get_warnings()[i].empty());
    }
    EXPECT_EQ(l.get_line_status(0), 3);
    EXPECT_EQ(l.get_line_status(21), 3);
    EXPECT_EQ(l.get_line_status(20), 0);
    installRows(4);
    EXPECT_EQ(l.disable_line(1, 0, nullptr), -1);
    EXPECT_EQ(l.disable_line(1, 21, nullptr), -1);
    EXPECT_EQ(l.delete_line(1, 21), -1);

    const char* texts[25] = {"a", nullptr, "c"};
    l.set_warning("old", 1, 199);
    l.set_warnings(texts, 25);
    EXPECT_EQ(l.get_warnings()[0], "a");
    EXPECT_TRUE(l.get_warnings()[1].empty()) << "a null entry removes the warning";
    EXPECT_EQ(l.get_warnings()[2], "c");
}

TEST(FormatedOsdList, DisablingMovesTheValueToTheNextEnabledLine) {
    struct Case {
        const char* what;
        int row, max, value, key;
        std::vector<int> disabledBefore, deletedBefore;
        int line;  // 1-based
        int want;
    } cases[] = {
        {"down to the next line", 1, 4, 2, 2, {}, {}, 3, 3},
        {"up to the line before", 1, 4, 2, 3, {}, {}, 3, 1},
        {"up from the first line wraps to the maximum", 1, 4, 0, 3, {}, {}, 1, 4},
        {"down from the maximum wraps to 0", 1, 4, 4, 2, {}, {}, 5, 0},
        {"past disabled and deleted lines", 1, 4, 2, 2, {4}, {5}, 3, 0},
        {"the value elsewhere stays", 1, 4, 1, 2, {}, {}, 3, 1},
        {"every line disabled: the value stays", 1, 2, 2, 2, {1, 2}, {}, 3, 2},
        {"a maximum past the list wraps at its last line", 1, 30, 19, 2, {}, {}, 20, 0},
        {"16-bit value", 2, 3, 1, 2, {}, {}, 2, 2},
        {"32-bit value", 3, 3, 1, 3, {}, {}, 2, 0},
    };
    for (const Case& c : cases) {
        installRows(c.max);
        setValue(c.row, c.value);
        button_num = c.key;
        formated_osd_list l;
        for (int n : c.disabledBefore) l.disable_line(c.row, n, nullptr);
        for (int n : c.deletedBefore) l.delete_line(c.row, n);
        EXPECT_EQ(l.disable_line(c.row, c.line, "(locked)"), 0) << c.what;
        EXPECT_EQ(valueOf(c.row), c.want) << c.what;
        EXPECT_EQ(l.get_line_status(c.line), 1) << c.what;
        EXPECT_EQ(l.get_foreground_colors()[c.line - 1], 199) << c.what;
        EXPECT_EQ(l.get_warnings()[c.line - 1], "(locked)") << c.what;
    }
}

TEST(FormatedOsdList, DeletedLineKeepsItsColour) {
    installRows(4);
    gByte = 3;
    button_num = 2;
    formated_osd_list l;
    l.set_foreground_color(0x100F8, 1);
    EXPECT_EQ(l.delete_line(1, 2), 0);
    EXPECT_EQ(l.get_line_status(2), 2);
    EXPECT_EQ(l.get_foreground_colors()[1], 248) << "its low 16 bits";
    EXPECT_TRUE(l.get_warnings()[1].empty());
    l.enable_line(1);
    EXPECT_EQ(l.get_line_status(2), 0);
}

}  // namespace
