// Checks one row of the function table field by field.
#pragma once

#include "core/functable.h"

#include <gtest/gtest.h>
#include <span>

namespace hx40test {

struct RowFields {
    uint32_t type;
    void* value;
    int32_t min, max, step, fast;
    uint32_t mode;
};

// The row of node, enabled, with these fields; null when it has none.
inline const FuncRow* expectRow(uint32_t node, const RowFields& e) {
    const int r = funcNum2TblInx(static_cast<int>(node));
    EXPECT_NE(r, 0) << node;
    if (r == 0) return nullptr;
    const FuncRow& f = funcDataTbl[r];
    EXPECT_EQ(f.type, e.type) << node;
    EXPECT_EQ(f.value, e.value) << node;
    EXPECT_EQ(f.min.i, e.min) << node;
    EXPECT_EQ(f.max.i, e.max) << node;
    EXPECT_EQ(f.step.i, e.step) << node;
    EXPECT_EQ(f.fast.i, e.fast) << node;
    EXPECT_EQ(f.callMode, e.mode) << node;
    EXPECT_EQ(f.enable, 1) << node;
    return &f;
}

// A row of the channel pages and its page-4 twin, as the digest of the
// pages gives them.
struct ChannelRowDigest {
    uint32_t node;   // page 3's
    uint32_t node4;  // page 4's; 0 when the row is on page 3 only
    void* ch1;
    void* ch2;
    uint32_t type1, type2;
    int32_t min, max, step, fast;
    uint32_t mode;
    bool action;
    int32_t max4 = -1;  // page 4's maximum where it differs
};

// Both rows of each digest line; the twin draws through page 3's screen.
inline void expectChannelRows(std::span<const ChannelRowDigest> digest) {
    funcTableInstallProgram();
    for (const ChannelRowDigest& d : digest) {
        const FuncRow* r3 = expectRow(d.node, {d.type1, d.ch1, d.min, d.max, d.step, d.fast, d.mode});
        ASSERT_TRUE(r3) << d.node;
        EXPECT_EQ(r3->action != nullptr, d.action) << d.node;
        if (d.node4 == 0) continue;
        const FuncRow* r4 = expectRow(d.node4, {d.type2, d.ch2, d.min, d.max4 >= 0 ? d.max4 : d.max, d.step, d.fast, d.mode});
        ASSERT_TRUE(r4) << d.node4;
        EXPECT_EQ(r4->action != nullptr, d.action) << d.node4;
        EXPECT_EQ(r4->screen, r3->screen) << d.node4 << " draws through " << d.node;
    }
}

}  // namespace hx40test
