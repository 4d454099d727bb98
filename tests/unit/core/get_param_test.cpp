#include "core/get_param.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The fields get_param yields, "<end>" marking a field without a comma behind.
std::vector<std::string> fields(const char* text) {
    std::vector<std::string> out;
    const char* cur = text;
    for (int guard = 0; cur != nullptr && guard < 20; ++guard) {
        const char* next = reinterpret_cast<const char*>(1);
        int len = get_param(&cur, &next);
        if (len == 0 && *cur == '\0') break;
        out.emplace_back(cur, static_cast<size_t>(len));
        if (next == nullptr) out.emplace_back("<end>");
        cur = next;
    }
    return out;
}

}  // namespace

TEST(GetParam, SplitsCommaFields) {
    using V = std::vector<std::string>;
    struct Case {
        const char* text;
        V want;
    } cases[] = {
        {" 0,31,5", V{"0", "31", "5", "<end>"}},
        {"\t1 , 31 \r\n", V{"1", "31", "<end>"}},
        {"a,,b", V{"a", "", "b", "<end>"}},
        {"1,2,", V{"1", "2"}},
        {"", V{}},
        {" \t\r\n", V{}},
        {"[x y],z", V{"[x y]", "z", "<end>"}},
    };
    for (const Case& c : cases) EXPECT_EQ(fields(c.text), c.want) << '"' << c.text << '"';
}

TEST(GetParam, LeavesTheTextUntouchedAndMovesTheCursorToTheField) {
    char text[] = "  12 ,3";
    char* cur = text;
    char* next = nullptr;
    EXPECT_EQ(get_param(&cur, &next), 2);
    EXPECT_EQ(cur, text + 2);
    EXPECT_EQ(next, text + 6);
    EXPECT_STREQ(text, "  12 ,3");
}
