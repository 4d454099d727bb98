// The rows of the channel pages in the program's function table, line by
// line against the row digest of the pages: page 3 at the CH1 element,
// page 4 at the CH2 element.
#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_pages.h"
#include "unit/menu/row_expect.h"

#include <gtest/gtest.h>

namespace hx40test {
namespace {

const ChannelRowDigest kDigest[] = {
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
    {34, 44, &PB_34, &PB_44, 15, 15, 0, 3, 1, 0, 5, false},
    {341, 441, &PM.BRIGHT[0], &PM.BRIGHT[1], 9, 10, -512, 512, 32, 0, 3, true},
    {342, 442, &PM.CONTRAST[0], &PM.CONTRAST[1], 9, 10, 10, 160, 10, 0, 3, true},
    {343, 443, &PM.HSHARP[0], &PM.HSHARP[1], 5, 6, -10, 10, 1, 0, 3, true},
    {344, 444, &PM.VSHARP[0], &PM.VSHARP[1], 5, 6, -10, 10, 1, 0, 3, true},
    {35, 45, &PB_35, &PB_45, 15, 15, 0, 6, 1, 0, 5, false},
    {351, 451, &PM.CHROMA[0], &PM.CHROMA[1], 9, 10, 0, 400, 1, 8, 3, true},
    {352, 452, &PM.HUE[0], &PM.HUE[1], 9, 10, -180, 180, 1, 8, 3, true},
    {353, 453, &PM.COLOR_TEMP[0], &PM.COLOR_TEMP[1], 5, 6, 0, 1, 1, 0, 5, true},
    {354, 454, &PM.GAMMA[0], &PM.GAMMA[1], 5, 6, 0, 7, 1, 0, 5, true},
    {355, 455, &PM.CLRM1[0], &PM.CLRM1[1], 5, 6, 0, 4, 1, 0, 3, true},
    {356, 456, &PM.CLRM2[0], &PM.CLRM2[1], 5, 6, 0, 4, 1, 0, 3, true},
    {357, 457, &PM.CLRM3[0], &PM.CLRM3[1], 5, 6, 0, 4, 1, 0, 3, true},
    {36, 46, &PB_36, &PB_46, 15, 15, 0, 3, 1, 0, 5, false},
    {361, 461, &PM.PD[0], &PM.PD[1], 5, 6, 0, 2, 1, 0, 5, true},
    {362, 462, &PM.PD_DELAY[0], &PM.PD_DELAY[1], 5, 6, 0, 15, 1, 0, 3, true},
    {363, 463, &PM.IPLUT[0], &PM.IPLUT[1], 5, 6, 0, 4, 1, 0, 5, true},
    {364, 464, &PM.DIAG[0], &PM.DIAG[1], 5, 6, 0, 3, 1, 0, 3, true},
    {37, 47, &PB_37, &PB_47, 15, 15, 0, 5, 1, 0, 5, false},
    {371, 471, &PM.HNR[0], &PM.HNR[1], 5, 6, 0, 3, 1, 0, 3, true},
    {372, 472, &PM.VNR[0], &PM.VNR[1], 5, 6, 0, 3, 1, 0, 3, true},
    {373, 473, &PM.TNR[0], &PM.TNR[1], 5, 6, 0, 3, 1, 0, 3, true},
    {374, 474, &PM.BNR[0], &PM.BNR[1], 5, 6, 0, 3, 1, 0, 3, true},
    {375, 475, &PM.MNR[0], &PM.MNR[1], 5, 6, 0, 3, 1, 0, 3, true},
    {376, 476, &PM.COMB[0], &PM.COMB[1], 5, 6, 0, 3, 1, 0, 3, true},
};

TEST(ChannelRows, EveryRowAsTheDigestGivesIt) {
    expectChannelRows(kDigest);
    for (const ChannelRowDigest& d : kDigest) EXPECT_NE(funcDataTbl[funcNum2TblInx(static_cast<int>(d.node))].screen, nullptr) << d.node;
}

}  // namespace
}  // namespace hx40test
