// The menus' label lists: each ends within its 12 entries and names real
// sentences.
#include "menu/menu_lists.h"
#include "menu/root_page.h"
#include "osd/sentences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<int> entries(const int* list) {
    std::vector<int> out;
    for (int i = 0; i < kMenuListLength && list[i] != 0; ++i) out.push_back(list[i]);
    return out;
}

// The text of sentence n, decoded from its glyph codes.
std::string sentenceText(int n) {
    std::vector<long> f;
    for (const char* p = s1[n - 1]; *p;) {
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p) {
            ++p;
            continue;
        }
        f.push_back(v);
        p = end;
    }
    std::string text;
    for (size_t i = 6; i < f.size(); ++i) text += static_cast<char>(f[i] + 32);
    return text;
}

TEST(MenuLists, EveryListEndsAndNamesLabelledSentences) {
    EXPECT_EQ(menuLists().size(), 72u + 30u);
    for (const MenuListEntry& l : menuLists()) {
        const auto e = entries(l.list);
        EXPECT_LT(e.size(), static_cast<size_t>(kMenuListLength)) << l.name << " has its 0 within 12 entries";
        EXPECT_FALSE(e.empty()) << l.name;
        for (int s : e) {
            ASSERT_TRUE(s >= 1 && s <= kSentenceCount) << l.name << " " << s;
            EXPECT_NE(sentenceText(s).front(), '[') << l.name << " uses unlabelled sentence " << s;
        }
    }
}

TEST(MenuLists, ListsAsTheMenusFixThem) {
    struct Case {
        const int* list;
        std::vector<int> want;
    } cases[] = {
        {menu_list_3, {62, 66, 84, 89, 97, 112, 123, 130, 147}},
        {menu_list_54, {197, 197}},
        {menu_list_3872x1, {205, 206, 207, 208, 209, 210, 211, 212, 352}},
        {menu_list_55221, {308, 309, 310, 311, 312, 313, 314, 315}},
        {menu_list_555x5, {291, 292, 293, 294, 295, 296, 303, 349}},
        {menu_list_5, {179, 185, 190, 197, 130, 200}},
        {menu_list_515x, {330, 331, 332}},
        {menu_list_OFF_ON, {213, 214}},
        {menu_list_ON_OFF, {214, 213}},
    };
    for (const Case& c : cases) EXPECT_EQ(entries(c.list), c.want);
    const int* const previews[5] = {menu_list_1, menu_list_2, menu_list_3, menu_list_3, menu_list_5};
    for (int t = 0; t < 5; ++t) EXPECT_EQ(main_menu_list[t], previews[t]) << t;
}

}  // namespace
