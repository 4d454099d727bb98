#include "menu/menu_state.h"
#include "platform/sim/panel_sim.h"
#include "support/temp_board.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/timeutil.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Posted {
    uint16_t key;
    uint16_t mode;
    uint8_t source;
    bool operator==(const Posted&) const = default;
};

class Panel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        keypad_reset();
        mode_stat = 0;
        fpanel_lockstat = 0;
    }
    void TearDown() override { remove_message_queues(); }

    std::vector<Posted> posted() {
        std::vector<Posted> out;
        _EXMSG m;
        while (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) > 0) out.push_back({m.key, m.mode, m.source});
        return out;
    }
    // Holds key from t0 for ms, scanning every 5 ms.
    void hold(uint32_t t0, int key, uint32_t ms) {
        for (uint32_t t = t0; t < t0 + ms; t += 5) keypad_step(t, uint64_t{1} << key);
        keypad_step(t0 + ms, 0);
    }
    hx40test::TempBoard board_;
};

}  // namespace

TEST_F(Panel, AKeyIsPostedOnReleaseAfter20MsTo3s) {
    struct Case {
        int key;
        uint32_t ms;
        std::vector<Posted> want;
    } cases[] = {
        {15, 100, {{15, 0, 2}}},    // input 1 of CH1
        {30, 20, {{30, 0, 2}}},
        {13, 10, {}},               // too short
        {14, 3005, {}},             // too long
        {1, 2995, {{1, 0, 2}}},
    };
    uint32_t t = 1000;
    for (const auto& c : cases) {
        hold(t, c.key, c.ms);
        EXPECT_EQ(posted(), c.want) << "key " << c.key << " held " << c.ms;
        t += c.ms + 100;
    }
}

TEST_F(Panel, MenuHeldThreeSecondsGivesKey40Once) {
    hold(0xFFFFF000u, 0, 3500);  // across the 32-bit wrap of the clock
    EXPECT_EQ(posted(), (std::vector<Posted>{{40, 0, 2}}));
}

TEST_F(Panel, ArrowsRepeatWhileHeld) {
    hold(5000, 3, 1100);  // repeats at 500, 750, 1000 ms; no key on release
    EXPECT_EQ(posted(), (std::vector<Posted>{{3, 0, 2}, {3, 0, 2}, {3, 0, 2}}));
    hold(8000, 5, 300);
    EXPECT_EQ(posted(), (std::vector<Posted>{{5, 0, 2}}));
}

TEST_F(Panel, ANewPressEndsTheMenusWaitAndWhileItWaitsNoRepeatOrLongKeys) {
    acceleratePlusMinus = 9;
    wait_till_release_key = 1;
    const uint64_t downAndMenu = (uint64_t{1} << 2) | 1;
    keypad_step(100, downAndMenu);  // new presses clear both
    EXPECT_EQ(wait_till_release_key, 0u);
    EXPECT_EQ(acceleratePlusMinus, 0u);
    wait_till_release_key = 1;  // set again by the menu while held
    for (uint32_t t = 105; t < 4000; t += 5) keypad_step(t, downAndMenu);
    keypad_step(4000, 0);
    EXPECT_EQ(posted(), std::vector<Posted>{});
}

TEST_F(Panel, ModeCyclesAndTravelsWithEveryKey) {
    hold(100, KEY_MODE, 50);
    hold(300, 16, 50);
    hold(500, KEY_MODE, 50);
    hold(700, KEY_MODE, 50);
    hold(900, 24, 50);
    EXPECT_EQ(posted(), (std::vector<Posted>{{10, 1, 2}, {16, 1, 2}, {10, 2, 2}, {10, 0, 2}, {24, 0, 2}}));
    EXPECT_EQ(mode_stat, 0);
}

TEST_F(Panel, LockHeldTogglesTheLockAndItsLedAndALockedPanelSendsNothing) {
    hold(100, KEY_LOCK, 3100);
    EXPECT_EQ(keypad_get_locked_status_fp(), 1);
    EXPECT_NE(board::sim::panel::ledText().find("27 7 0 0 0\n"), std::string::npos);
    hold(4000, 15, 100);
    hold(5000, 0, 3500);
    EXPECT_EQ(posted(), std::vector<Posted>{});
    hold(9000, KEY_LOCK, 200);  // a short press does nothing
    EXPECT_EQ(keypad_get_locked_status_fp(), 1);
    hold(10000, KEY_LOCK, 3100);
    EXPECT_EQ(keypad_get_locked_status_fp(), 0);
    EXPECT_NE(board::sim::panel::ledText().find("27 0 0 0 0\n"), std::string::npos);
    keypad_lock_fp();
    EXPECT_EQ(fpanel_lockstat, 1);
}

TEST_F(Panel, LedCommandsReachTheLedsAndProtocolKeysAreForwardedAsTheProgramsOwn) {
    mode_stat = 2;
    _EXMSG led;
    led.key = build_led_state(23, 0, 7, 0, 1);
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_LED, &led), 0);
    _EXMSG key;
    key.key = 14;  // 934 - 920: freeze CH1 from the protocol
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_FPANEL, &key), 0);
    wait_till_release_key = 1;
    acceleratePlusMinus = 1;
    keypad_service_queues();
    EXPECT_EQ(wait_till_release_key, 0u) << "an injected key ends the menu's wait for a release";
    EXPECT_EQ(acceleratePlusMinus, 0u);
    EXPECT_NE(board_.read("sim/leds.txt").find("\n23 0 7 0 1\n"), std::string::npos);
    EXPECT_EQ(posted(), (std::vector<Posted>{{14, 2, 1}}));
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_FPANEL), 0);
}

TEST_F(Panel, ABlinkingLedGoesDarkAndLightsAgainUntilItStopsBlinking) {
    const std::string lit = "\n24 7 0 0 1\n", dark = "\n24 0 0 0 1\n";
    ASSERT_EQ(post_led(build_led_state(24, 7, 0, 0, 1)), 0);
    // The keypad thread's scans: every 5 ms, for at most a few seconds each.
    auto scanUntil = [&](const std::string& want) {
        for (int i = 0; i < 1000; ++i) {
            keypad_service_queues();
            if (board_.read("sim/leds.txt").find(want) != std::string::npos) return true;
            Sleep(5);
        }
        return false;
    };
    EXPECT_TRUE(scanUntil(lit));
    EXPECT_TRUE(scanUntil(dark)) << "timer 1 darkens it";
    EXPECT_TRUE(scanUntil(lit)) << "timer 0 lights it again";
    EXPECT_TRUE(scanUntil(dark)) << "and the cycle goes on";
    ASSERT_EQ(post_led(build_led_state(24, 0, 7, 0, 0)), 0);
    EXPECT_TRUE(scanUntil("\n24 0 7 0 0\n"));
    for (int i = 0; i < 200; ++i) {
        keypad_service_queues();
        Sleep(5);
    }
    EXPECT_NE(board_.read("sim/leds.txt").find("\n24 0 7 0 0\n"), std::string::npos) << "a steady LED stays lit";
}

TEST_F(Panel, LedWords) {
    EXPECT_EQ(build_led_state(27, 7, 0, 0, 0), 0xD807);
    EXPECT_EQ(build_led_state(1, 1, 2, 3, 1), 0x0800 | 1 | (2 << 3) | (3 << 6) | 0x200);
    EXPECT_EQ(build_led_state(0, 9, 9, 9, 0), 0x0049);  // colours keep three bits
    uint32_t t0 = getCurrMsCount();
    test_leds();
    uint32_t ms = getElapsedMs(t0);
    EXPECT_GE(ms, 600u);
    EXPECT_LT(ms, 10000u);  // a loaded machine stretches the 25 ms steps
    EXPECT_EQ(board_.read("sim/leds.txt").substr(0, 20), "0 0 0 0 0\n1 0 0 0 0\n");
}
