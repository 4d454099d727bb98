// Checks one row of the function table field by field.
#pragma once

#include "core/functable.h"

#include <gtest/gtest.h>

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

}  // namespace hx40test
