// The rows of the channel pages' output control, automatic switching and
// audio items in the program's function table, line by line against the row
// digest of the pages: page 3 at the CH1 element, page 4 at the CH2
// element; the microphone and line rows on page 3 only.
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_audio_pages.h"
#include "menu/channel_autoswitch_pages.h"
#include "menu/channel_output_pages.h"
#include "unit/menu/row_expect.h"

#include <gtest/gtest.h>

namespace hx40test {
namespace {

uint8_t* pm(int offset) { return reinterpret_cast<uint8_t*>(&PM) + offset; }

TEST(ChannelControlRows, EveryRowAsTheDigestGivesIt) {
    const ChannelRowDigest digest[] = {
        // Output control.
        {38, 48, &PB_38, &PB_48, 15, 15, 0, 6, 1, 0, 5, false},
        {381, 481, pm(152), pm(153), 5, 6, 0, 3, 1, 0, 5, true},
        {382, 482, &PB_382, &PB_482, 15, 15, 0, 2, 1, 0, 5, false},
        {3821, 4821, pm(156), pm(157), 5, 6, 0, 1, 1, 0, 5, true},
        {3822, 4822, pm(158), pm(159), 5, 6, 0, 1, 1, 0, 5, true},
        {3823, 4823, pm(154), pm(155), 5, 6, 0, 1, 1, 0, 5, true},
        {383, 483, &PB_383, &PB_483, 15, 15, 0, 1, 1, 0, 5, false},
        {3831, 4831, &PB_3831, &PB_4831, 15, 15, 0, 1, 1, 0, 5, false},
        {38311, 48311, pm(160), pm(161), 5, 6, 0, 1, 1, 0, 5, true},
        {38312, 48312, pm(164), pm(165), 5, 6, 0, 5, 1, 0, 3, false},
        {3832, 4832, &PI_SYNC_OFF[0], &PI_SYNC_OFF[1], 3, 3, 0, 2, 1, 0, 7, true},
        {384, 484, pm(162), pm(163), 5, 6, 0, 2, 1, 0, 5, true},
        {385, 485, pm(166), pm(167), 5, 6, 0, 2, 1, 0, 5, true},
        {386, 486, pm(190), pm(191), 5, 6, 0, 1, 1, 0, 5, false},
        // Automatic switching.
        {387, 487, &PB_387, &PB_487, 15, 15, 0, 1, 1, 0, 5, false},
        {3871, 4871, pm(192), pm(193), 3, 3, 0, 2, 1, 0, 5, true},
        {3872, 4872, &PB_3872, &PB_4872, 15, 15, 0, 8, 1, 0, 5, false},
        {38721, 48721, &PB_38721, &PB_48721, 15, 15, 0, 1, 1, 0, 7, false},
        {38728, 48728, &PB_38728, &PB_48728, 15, 15, 0, 1, 1, 0, 7, false},
        {387211, 487211, pm(194), pm(195), 3, 3, 0, 7, 1, 0, 7, true},
        {387212, 487212, pm(210), pm(211), 3, 3, 0, 1, 1, 0, 7, true},
        {387241, 487241, pm(200), pm(201), 3, 3, 0, 7, 1, 0, 7, true},
        {387252, 487252, pm(218), pm(219), 3, 3, 0, 1, 1, 0, 7, true},
        {387281, 487281, pm(208), pm(209), 3, 3, 0, 7, 1, 0, 7, true},
        {387282, 487282, pm(224), pm(225), 3, 3, 0, 1, 1, 0, 7, true},
        {38729, 48729, nullptr, nullptr, 15, 15, 0, 0, 1, 0, 7, true},
        {3873, 4873, &PI_SCAN_MODE_IN_PROGRESS[0], &PI_SCAN_MODE_IN_PROGRESS[1], 3, 3, 0, 1, 1, 0, 5, false},
        // Audio of the channel.
        {39, 49, &PB_39, &PB_49, 15, 15, 0, 5, 1, 0, 5, false, 4},
        {391, 491, pm(170), pm(171), 5, 6, 0, 8, 1, 0, 5, true},
        {392, 492, pm(100), pm(101), 5, 6, 0, 1, 1, 0, 5, true},
        {393, 493, &PB_393, &PB_493, 15, 15, 0, 4, 1, 0, 5, false},
        {3931, 4931, pm(172), pm(173), 5, 6, -80, 20, 1, 2, 3, true},
        {3932, 4932, &PM.BASS[0], &PM.BASS[1], 5, 6, -18, 18, 1, 0, 3, true},
        {3933, 4933, &PM.MID[0], &PM.MID[1], 5, 6, -18, 18, 1, 0, 3, true},
        {3934, 4934, &PM.TREBLE[0], &PM.TREBLE[1], 5, 6, -18, 18, 1, 0, 3, true},
        {3935, 4935, &PM.BALANCE[0], &PM.BALANCE[1], 5, 6, -10, 10, 1, 0, 3, true},
        {394, 494, &PM.LIP_SYNC[0], &PM.LIP_SYNC[1], 9, 10, 0, 170, 1, 8, 4, true},
        {395, 495, &PM.PASS_THROUGH[0], &PM.PASS_THROUGH[1], 5, 6, 0, 1, 1, 0, 5, true},
        // The microphones and the line, device-wide.
        {396, 0, &PB_396, nullptr, 15, 0, 0, 2, 1, 0, 5, false},
        {3961, 0, &PB_3961, nullptr, 15, 0, 0, 6, 1, 0, 5, false},
        {39611, 0, pm(246), nullptr, 5, 0, 0, 1, 1, 0, 5, true},
        {39612, 0, &PB_39612, nullptr, 15, 0, 0, 4, 1, 0, 5, false},
        {396121, 0, pm(244), nullptr, 5, 0, 30, 100, 10, 0, 3, true},
        {396122, 0, pm(245), nullptr, 5, 0, -90, -33, 3, 0, 3, true},
        {396123, 0, pm(238), nullptr, 9, 0, 1, 12, 1, 5, 3, true},
        {396124, 0, pm(240), nullptr, 9, 0, 0, 2000, 50, 100, 3, true},
        {396125, 0, pm(242), nullptr, 5, 0, 0, 100, 1, 5, 3, true},
        {39613, 0, pm(247), nullptr, 5, 0, -30, 6, 1, 3, 3, true},
        {39614, 0, pm(248), nullptr, 5, 0, -16, 16, 1, 4, 3, true},
        {39615, 0, pm(250), nullptr, 5, 0, 1, 40, 1, 8, 3, true},
        {39616, 0, pm(252), nullptr, 5, 0, 0, 1, 1, 0, 5, true},
        {39617, 0, pm(269), nullptr, 5, 0, -30, 6, 1, 3, 3, true},
        {3962, 0, &PB_3962, nullptr, 15, 0, 0, 6, 1, 0, 5, false},
        {39621, 0, pm(262), nullptr, 5, 0, 0, 1, 1, 0, 5, true},
        {39622, 0, &PB_39622, nullptr, 15, 0, 0, 4, 1, 0, 5, false},
        {396221, 0, pm(260), nullptr, 5, 0, 30, 100, 10, 0, 3, true},
        {396222, 0, pm(261), nullptr, 5, 0, -90, -33, 3, 0, 3, true},
        {396223, 0, pm(254), nullptr, 9, 0, 1, 12, 1, 5, 3, true},
        {396224, 0, pm(256), nullptr, 9, 0, 0, 2000, 50, 100, 3, true},
        {396225, 0, pm(258), nullptr, 5, 0, 0, 100, 1, 5, 3, true},
        {39623, 0, pm(263), nullptr, 5, 0, -30, 6, 1, 3, 3, true},
        {39624, 0, pm(264), nullptr, 5, 0, -16, 16, 1, 4, 3, true},
        {39625, 0, pm(266), nullptr, 5, 0, 1, 40, 1, 8, 3, true},
        {39626, 0, pm(268), nullptr, 5, 0, 0, 1, 1, 0, 5, true},
        {39627, 0, pm(269), nullptr, 5, 0, -30, 6, 1, 3, 3, true},
        {3963, 0, pm(270), nullptr, 5, 0, 0, 1, 1, 0, 5, true},
    };
    expectChannelRows(digest);
    for (int node : {496, 4961, 4962, 4963, 49611, 496121, 49627})
        EXPECT_EQ(funcNum2TblInx(node), 0) << node << ": the microphones live on page 39 only";
    // The scan flags have no screen; every item of the pages has one.
    EXPECT_EQ(funcDataTbl[funcNum2TblInx(3873)].screen, nullptr);
    EXPECT_NE(funcDataTbl[funcNum2TblInx(3963)].screen, nullptr);
}

}  // namespace
}  // namespace hx40test
