// The rows of the Inputs and Layout pages against the row digest: node,
// value type, bounds, step, fast step and call mode, typed here as numbers.
#include "core/functable.h"
#include "core/pm.h"
#include "menu/pages_inputs.h"
#include "menu/pages_layout.h"

#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {

struct Want {
    uint32_t node, type;
    int32_t min, max, step, fast;
    uint32_t mode;
    bool action;  // the row has an action
};

// One input page family; the node is 1k followed by the suffix.
const Want kInputFamily[] = {
    {0, 15, 0, 4, 1, 0, 5, false},        // 1k: page
    {1, 3, 0, 3, 1, 0, 6, true},          // 1k1 signal type
    {2, 15, 0, 3, 1, 0, 5, false},        // 1k2 EDID page
    {21, 3, 0, 207, 1, 0, 7, true},       // 1k21 native resolution
    {22, 3, 0, 1, 1, 0, 5, true},         // 1k22 colour depth
    {23, 3, 0, 1, 1, 0, 5, true},         // 1k23 mode lines
    {24, 3, 0, 1, 1, 0, 5, true},         // 1k24 audio channels
    {3, 3, 0, 1, 1, 0, 5, true},          // 1k3 HDCP
    {4, 3, 0, 2, 1, 0, 5, true},          // 1k4 colour space
    {5, 3, -80, 20, 1, 0, 3, true},       // 1k5 volume
};

const Want kLayout[] = {
    {2, 15, 0, 3, 1, 0, 5, false},     {21, 3, 0, 1, 1, 0, 6, true},      {22, 15, 0, 4, 1, 0, 5, false},
    {221, 3, 1, 15, 1, 0, 3, false},   {222, 3, 0, 1, 1, 0, 5, false},    {223, 3, 0, 5, 1, 0, 5, true},
    {224, 3, 0, 3, 1, 0, 5, true},     {225, 3, 0, 1, 1, 0, 7, true},     {23, 3, 0, 5, 1, 0, 6, true},
    {24, 15, 0, 4, 1, 0, 5, false},    {241, 15, 0, 2, 1, 0, 5, false},   {2411, 3, 0, 42, 1, 0, 7, true},
    {2412, 3, 0, 42, 1, 0, 7, true},   {2413, 3, 0, 42, 1, 0, 7, true},   {242, 15, 0, 1, 1, 0, 5, false},
    {2421, 3, 0, 2, 1, 0, 7, true},    {2422, 3, 0, 2, 1, 0, 7, true},    {243, 3, 0, 1, 1, 0, 5, true},
    {244, 3, 0, 2, 1, 0, 5, true},     {245, 3, 0, 1, 1, 0, 5, false},
};

std::vector<Want> expected() {
    std::vector<Want> all{{1, 15, 0, 7, 1, 0, 5, false}};
    for (uint32_t k = 1; k <= 8; ++k)
        for (Want w : kInputFamily) {
            const uint32_t page = 10 + k;
            w.node = w.node == 0 ? page : w.node < 10 ? page * 10 + w.node : page * 100 + w.node;
            all.push_back(w);
        }
    all.insert(all.end(), std::begin(kLayout), std::end(kLayout));
    return all;
}

TEST(PageRows, EveryRowAsTheDigestGivesIt) {
    funcTableInstallProgram();
    const std::vector<Want> want = expected();
    ASSERT_EQ(inputPageRows().size() + layoutPageRows().size(), 101u);
    ASSERT_EQ(want.size(), 101u);
    std::set<uint32_t> seen;
    for (const Want& w : want) {
        ASSERT_TRUE(seen.insert(w.node).second) << w.node;
        const int r = funcNum2TblInx(static_cast<int>(w.node));
        ASSERT_NE(r, 0) << w.node;
        const FuncRow& row = funcDataTbl[r];
        EXPECT_EQ(row.type, w.type) << w.node;
        EXPECT_EQ(row.min.i, w.min) << w.node;
        EXPECT_EQ(row.max.i, w.max) << w.node;
        EXPECT_EQ(row.step.i, w.step) << w.node;
        EXPECT_EQ(row.fast.i, w.fast) << w.node;
        EXPECT_EQ(row.callMode, w.mode) << w.node;
        EXPECT_EQ(row.action != nullptr, w.action) << w.node;
        EXPECT_NE(row.screen, nullptr) << w.node;
        EXPECT_NE(row.value, nullptr) << w.node;
        EXPECT_EQ(row.enable, 1) << w.node;
    }
}

TEST(PageRows, ValuesLieWhereTheStoredImagesKeepThem) {
    funcTableInstallProgram();
    auto at = [](int node) { return static_cast<const uint8_t*>(funcDataTbl[funcNum2TblInx(node)].value); };
    const auto* pmi = reinterpret_cast<const uint8_t*>(PM_I);
    const auto* pm = reinterpret_cast<const uint8_t*>(&PM);
    // Input 3's record is the third 12-byte record; the fields at their bytes.
    const struct {
        int node;
        long offset;
    } inputs[] = {{131, 24 + 0}, {133, 24 + 2}, {134, 24 + 4}, {135, 24 + 5},
                  {1322, 24 + 6}, {1323, 24 + 7}, {1321, 24 + 8}, {1324, 24 + 9}, {181, 84}};
    for (const auto& c : inputs) EXPECT_EQ(at(c.node) - pmi, c.offset) << c.node;
    const struct {
        int node;
        long offset;
    } layout[] = {{21, 113}, {23, 112}, {2411, 114}, {2412, 115}, {2413, 114}, {2421, 117}, {2422, 118},
                  {243, 119}, {244, 120}, {245, 121}, {221, 122}, {222, 123}, {223, 124}, {224, 125}};
    for (const auto& c : layout) EXPECT_EQ(at(c.node) - pm, c.offset) << c.node;
}

}  // namespace
