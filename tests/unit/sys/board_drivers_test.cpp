#include "platform/hw.h"
#include "platform/sim/board_conf.h"
#include "support/temp_board.h"
#include "sys/background.h"
#include "sys/gpio.h"
#include "sys/rtc.h"

#include <gtest/gtest.h>
#include <string>

using hx40test::TempBoard;

TEST(BoardDrivers, PassThroughBitsOfTheGpioRegister) {
    TempBoard board;
    gio56_pin_set(gio_gioo_5A, GIO_PASS_THROUGH_CH1, 1);
    gio56_pin_set(gio_gioo_5A, GIO_PASS_THROUGH_CH2, 1);
    EXPECT_EQ(board::gpio::read(0x5A), 0x60u);
    gio56_pin_set(gio_gioo_5A, GIO_PASS_THROUGH_CH1, 0);
    EXPECT_EQ(board::gpio::read(0x5A), 0x20u);
}

TEST(BoardDrivers, TheClockChipTakesTheBrokenDownTime) {
    TempBoard board;
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(SetRTC(&t), 0);
    EXPECT_EQ(board.read("sim/rtc"), "2026-01-31 23:05:09\n");
    EXPECT_NE(SetRTC(nullptr), 0);
    board::sim::mutableConf().set("rtc_fail", "1");
    EXPECT_NE(SetRTC(&t), 0);
}

TEST(BoardDrivers, TheBackgroundPassRestartsAFailedDspOnlyWithTheDspOption) {
    TempBoard board(true, true);
    board::sim::mutableConf().set("dsp_fail", "1");
    ASSERT_FALSE(board::dsp::alive());
    backgnd_pass();
    EXPECT_FALSE(board::dsp::alive());
    g_dsp_restart_option = true;
    backgnd_pass();
    EXPECT_TRUE(board::dsp::alive());
    EXPECT_NE(board.read("sim/journal.log").find("dsp.restart"), std::string::npos);
}

TEST(BoardDrivers, ThePhyIsResetAtMostEveryTenSecondsWhileTheLinkIsDown) {
    TempBoard board(true, true);
    g_phy_reset_option = true;
    const std::string eth0 = board.read("sim/net/eth0");
    ASSERT_NE(eth0.find("link = 1\n"), std::string::npos) << eth0;
    for (int i = 0; i < 5; ++i) backgnd_pass();
    EXPECT_EQ(board.read("sim/journal.log").find("phy.reset"), std::string::npos) << "the cable is in";
    // The cable pulled, as a person writes it in the board's file.
    std::string pulled = eth0;
    board.write("sim/net/eth0", pulled.replace(pulled.find("link = 1\n"), 9, "link = 0\n"));
    for (int i = 0; i < 5; ++i) backgnd_pass();
    std::string j = board.read("sim/journal.log");
    size_t first = j.find("phy.reset");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(j.find("phy.reset", first + 1), std::string::npos);
}
