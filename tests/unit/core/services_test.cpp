#include "core/audio.h"
#include "core/autoswitch.h"
#include "core/core_state.h"
#include "core/pm.h"
#include "core/tbar.h"
#include "core/weblock.h"
#include "support/temp_board.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class Services : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        PM = PMRec{};
        for (auto& ch : vp.chData) ch.cFlags = 0;
        vp.gFlags = 0;
        PI_SCAN_MODE_IN_PROGRESS[0] = PI_SCAN_MODE_IN_PROGRESS[1] = 0;
        Channel = 0;
    }
    hx40test::TempBoard board;
};

std::vector<int> keys() {
    std::vector<int> out;
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) >= 0) out.push_back(m.key);
    return out;
}

}  // namespace

TEST_F(Services, DspSettersConvertTheirValues) {
    struct Case {
        void (*set)(int, int);
        const char* name;
        int value, dsp;
    } cases[] = {
        {audioSetTalkoverEnableMicrophone_1, "TalkoverEnableMicrophone_1", 1, 0},
        {audioSetTalkoverEnableMicrophone_2, "TalkoverEnableMicrophone_2", 0, 1},
        {audioSetMicrophoneGain_1, "MicrophoneGain_1", 0xFFF0, -16},
        {audioSetMicrophoneDelay_2, "MicrophoneDelay_2", 0x0128, 40},
        {audioSetHoldTimeMicrophone_1, "HoldTimeMicrophone_1", 0x12000, 0x2000},
        {audioSetOutputVolume, "OutputVolume", -80, -80},
        {audioSetBalance, "Balance", 10, 10},
    };
    for (const Case& c : cases) {
        c.set(1, c.value);
        EXPECT_EQ(audioDspValue(c.name, 1), c.dsp) << c.name;
    }
}

TEST_F(Services, NoUnmuteWhileAScanRuns) {
    EXPECT_EQ(audioMute(0, 1), 0);
    vp.chData[0].cFlags = VP_CFLAG_SCAN_IN_PROGRESS;
    EXPECT_EQ(audioMute(0, 0), -1);
    EXPECT_TRUE(audioMuted(0));
    EXPECT_EQ(audioMute(0, 1), 0);  // muting is always allowed
    vp.chData[0].cFlags = 0;
    PI_SCAN_MODE_IN_PROGRESS[0] = 1;
    EXPECT_EQ(audioMute(0, 0), -1);
    PI_SCAN_MODE_IN_PROGRESS[0] = 0;
    EXPECT_EQ(audioMute(0, 0), 0);
    EXPECT_FALSE(audioMuted(0));
}

TEST_F(Services, TheAudioSourceFollowsTheVideoOrTheFixedInput) {
    struct Case {
        const char* name;
        uint8_t source, takeover, testPattern, displayMode;
        int ch1, ch2;
    } cases[] = {
        {"fixed input 4", 4, 0, 0, 0, 3, 9},
        {"analog takeover: the input itself", 0, 1, 0, 0, 2, 6},
        {"the channel's analog input", 0, 0, 0, 0, 8, 9},
        {"silence with a test pattern", 4, 0, 1, 0, 10, 9},
        {"overlay: CH1's source on both", 4, 0, 0, 1, 3, 3},
    };
    for (const Case& c : cases) {
        PM.SEL_INPUT[0] = 3;
        PM.SEL_INPUT[1] = 7;
        PM.AUDIO_SOURCE[0] = c.source;
        PM.ANALOG_TAKEOVER[0] = PM.ANALOG_TAKEOVER[1] = c.takeover;
        PM.TEST_PATTERN[0] = c.testPattern;
        PM.DISPLAY_MODE = c.displayMode;
        audioSwitch(0, 1, 0, 0);
        if (c.displayMode == 0) audioSwitch(1, 1, 0, 0);
        EXPECT_EQ(audioRoutedInput(0), c.ch1) << c.name;
        EXPECT_EQ(audioRoutedInput(1), c.ch2) << c.name;
        EXPECT_EQ(vp.chData[0].audioInput, c.ch1) << c.name;
    }
}

TEST_F(Services, ThePriorityArrayHoldsTheTakingPartInputsInPlaceOrder) {
    const uint8_t prio[8] = {3, 1, 7, 0, 2, 4, 5, 6};
    const uint8_t part[8] = {1, 0, 1, 1, 0, 1, 1, 1};
    for (int x = 0; x < 8; ++x) {
        PM.AUTO_SWITCH_PRIORITY[x][1] = prio[x];
        PM.AUTO_SWITCH_PARTICIPATION[x][1] = part[x];
    }
    scanModeParticipantNumberToArray(1);
    scanModePriorityNumberToArray(1);
    int length = 0;
    const int expected[] = {3, 7, 0, 4, 5, 6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(autoSwitchPriority(1, i, &length), expected[i]) << i;
    EXPECT_EQ(length, 6);
    EXPECT_EQ(newPriorityIndexArrayLength, 6);
    EXPECT_EQ(autoSwitchParticipation(1, 2), 0);
    EXPECT_EQ(autoSwitchParticipation(1, 3), 1);
    // Bytes that are no permutation never reach the scan.
    PM.AUTO_SWITCH_PRIORITY[1][1] = 3;    // a repeat of place 1
    PM.AUTO_SWITCH_PARTICIPATION[1][1] = 1;
    PM.AUTO_SWITCH_PRIORITY[4][1] = 0xFF;  // a blank byte
    PM.AUTO_SWITCH_PARTICIPATION[4][1] = 1;
    scanModePriorityNumberToArray(1);
    EXPECT_EQ(autoSwitchPriority(1, 0, &length), 3);
    EXPECT_EQ(length, 6);
}

TEST_F(Services, ChoosingThePriorityScanStartsAtTheEndOfTheArray) {
    for (int x = 0; x < 8; ++x) {
        PM.AUTO_SWITCH_PRIORITY[x][0] = static_cast<uint8_t>(x);
        PM.AUTO_SWITCH_PARTICIPATION[x][0] = x < 5;
    }
    PM.AUTO_SWITCH_MODE[0] = 1;
    activate_autoswitching_config();
    EXPECT_EQ(ind[0], 4);
    // Leaving the scan clears its flags.
    PI_SCAN_MODE_IN_PROGRESS[0] = 1;
    vp.chData[0].cFlags = VP_CFLAG_SCAN_IN_PROGRESS;
    PM.AUTO_SWITCH_MODE[0] = 2;
    activate_autoswitching_config();
    EXPECT_EQ(PI_SCAN_MODE_IN_PROGRESS[0], 0);
    EXPECT_EQ(vp.chData[0].cFlags.load(), 0);
    // Mode 1 again from 2 restarts the position.
    ind[0] = 1;
    PM.AUTO_SWITCH_MODE[0] = 1;
    activate_autoswitching_config();
    EXPECT_EQ(ind[0], 4);
}

TEST_F(Services, TheTbarTakesOnceAtTheEndOfItsTravel) {
    for (uint32_t v : {0u, 20u, 60u, 100u, 100u}) tbarTravel(v, 0);
    EXPECT_EQ(keys(), std::vector<int>{KEY_TBAR_TAKE});
    EXPECT_EQ(in_tbar_process_flag, 0);
    tbarTravel(40, 0);
    EXPECT_EQ(in_tbar_process_flag, 1);
    tbarTravel(250, 0);  // beyond the end counts as the end
    EXPECT_EQ(keys(), std::vector<int>{KEY_TBAR_TAKE});
}

TEST_F(Services, TheTbarThreadTakesTheQueue) {
    tbarTravel(0, 0);  // a travel of an earlier test may have ended at the end
    ASSERT_EQ(create_t_bar_thread(), 0);
    _EXMSG m;
    m.param = 100;
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_T_BAR, &m), 0);
    std::vector<int> got;
    for (int i = 0; i < 100 && got.empty(); ++i) {
        got = keys();
        if (got.empty()) usleep(20 * 1000);
    }
    EXPECT_EQ(got, std::vector<int>{KEY_TBAR_TAKE});
    close_t_bar_thread();
}

TEST_F(Services, WebLockLines) {
    EXPECT_STREQ(webLockText(4), "~01@WEB-LOCK-TBAR-CONTROL 1\r\n");
    is_hwtbar_connected = 0;
    EXPECT_STREQ(webLockText(5), "~01@WEB-LOCK-TBAR-CONTROL 0\r\n");
    is_hwtbar_connected = 1;
    EXPECT_STREQ(webLockText(5), "~01@WEB-LOCK-TBAR-CONTROL 1\r\n");
    EXPECT_EQ(webLockText(2), nullptr);
    // setWebTbarEnable acts only while the web T-bar is locked.
    disable_web_tbar_flg = 0;
    setWebTbarEnable(1);
    EXPECT_EQ(disable_web_tbar_flg, 0);
    disable_web_tbar_flg = 1;
    setWebTbarEnable(0);
    EXPECT_EQ(disable_web_tbar_flg, 0);
    is_hwtbar_connected = 0;
}
