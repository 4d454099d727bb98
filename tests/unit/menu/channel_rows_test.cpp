// The rows of the channel pages in the program's function table, line by
// line against the row digest of the pages: page 3 at the CH1 element,
// page 4 at the CH2 element.
#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_pages.h"

#include <gtest/gtest.h>

namespace {

struct Digest {
    uint32_t node;  // page 3's; page 4's is the same with the leading digit 4
    uint32_t node4;
    void* ch1;
    void* ch2;
    uint32_t type1, type2;
    int32_t min, max, step, fast;
    uint32_t mode;
    bool action;
};

const Digest kDigest[] = {
    {3, 4, &PB_3, &PB_4, 15, 15, 0, 8, 1, 0, 5, false},
    {31, 41, &PM.SEL_INPUT[0], &PM.SEL_INPUT[1], 3, 3, 1, 8, 1, 0, 6, true},
    {32, 42, &PB_32, &PB_42, 15, 15, 0, 5, 1, 0, 5, false},
    {321, 421, &PM.SCAN[0], &PM.SCAN[1], 5, 6, 0, 3, 1, 0, 5, true},
    {322, 422, &PM.OVERSCAN[0], &PM.OVERSCAN[1], 5, 6, 0, 3, 1, 0, 5, true},
    {323, 423, &PM.RATIO_SHIFT_MODE[0], &PM.RATIO_SHIFT_MODE[1], 5, 6, 0, 2, 1, 0, 6, true},
    {324, 424, &PM.RATIO[0], &PM.RATIO[1], 9, 10, 8, 4000, 1, 8, 3, true},
    {325, 425, &PM.IACTHST[0], &PM.IACTHST[1], 9, 10, 20, 729, 1, 8, 3, true},
    {326, 426, &PM.IACTVST[0], &PM.IACTVST[1], 9, 10, 4, 239, 1, 8, 3, true},
    {33, 43, &PB_33, &PB_43, 15, 15, 0, 3, 1, 0, 5, false},
    {331, 431, &PM.OWIN_HST[0], &PM.OWIN_HST[1], 9, 10, 0, 2046, 1, 8, 0, true},
    {332, 432, &PM.OWIN_HW[0], &PM.OWIN_HW[1], 9, 10, 16, 3840, 1, 8, 0, true},
    {333, 433, &PM.OWIN_VST[0], &PM.OWIN_VST[1], 9, 10, 0, 2046, 1, 8, 0, true},
    {334, 434, &PM.OWIN_VW[0], &PM.OWIN_VW[1], 9, 10, 9, 2160, 1, 8, 0, true},
};

TEST(ChannelRows, EveryRowAsTheDigestGivesIt) {
    funcTableInstallProgram();
    for (const Digest& d : kDigest) {
        const int r3 = funcNum2TblInx(static_cast<int>(d.node));
        const int r4 = funcNum2TblInx(static_cast<int>(d.node4));
        ASSERT_NE(r3, 0) << d.node;
        ASSERT_NE(r4, 0) << d.node4;
        const struct {
            const FuncRow& row;
            void* value;
            uint32_t type;
        } both[] = {{funcDataTbl[r3], d.ch1, d.type1}, {funcDataTbl[r4], d.ch2, d.type2}};
        for (const auto& b : both) {
            const FuncRow& f = b.row;
            EXPECT_EQ(f.value, b.value) << f.node;
            EXPECT_EQ(f.type, b.type) << f.node;
            EXPECT_EQ(f.min.i, d.min) << f.node;
            EXPECT_EQ(f.max.i, d.max) << f.node;
            EXPECT_EQ(f.step.i, d.step) << f.node;
            EXPECT_EQ(f.fast.i, d.fast) << f.node;
            EXPECT_EQ(f.callMode, d.mode) << f.node;
            EXPECT_EQ(f.enable, 1) << f.node;
            EXPECT_EQ(f.action != nullptr, d.action) << f.node;
            EXPECT_NE(f.screen, nullptr) << f.node;
        }
        EXPECT_EQ(funcDataTbl[r4].screen, funcDataTbl[r3].screen) << d.node4 << " draws through " << d.node;
    }
}

}  // namespace
