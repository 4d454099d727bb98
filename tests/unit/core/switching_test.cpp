#include "core/core_state.h"
#include "core/pm.h"
#include "core/switching.h"
#include "platform/sim/ctl.h"
#include "platform/sim/video_sim.h"
#include "scaler/output_formats.h"
#include "scaler/scaler.h"
#include "support/temp_board.h"
#include "sys/msgq.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

class Switching : public ::testing::Test {
protected:
    void SetUp() override {
        PM = PMRec{};
        std::memset(PM_I, 0, sizeof PM_I);
        vp.gFlags = 0;
        for (auto& ch : vp.chData) ch.cFlags = 0;
        Channel = 0;
        OSD_CHANNEL = 0;
        for (int ch = 0; ch < 2; ++ch) {
            PS_PANELACTHW[ch] = 1920;
            PS_PANELACTVW[ch] = 1080;
        }
    }
    hx40test::TempBoard board;
};

}  // namespace

TEST_F(Switching, VideoInputNumbersFollowTheStoredTypes) {
    EXPECT_EQ(prepVidInput(0, 3), 3);
    EXPECT_EQ(prepVidInput(1, 3), 19);
    EXPECT_EQ(prepVidInput(2, 4), 28);
    EXPECT_EQ(prepVidInput(3, 5), 13);
    for (int inp = 0; inp < 8; ++inp) PM_I[inp].SEL_INPUT_TYPE = 2;
    const int expected[8] = {0, 1, 2, 3, 28, 29, 6, 7};  // only inputs 5 and 6 take VGA
    for (int inp = 0; inp < 8; ++inp) EXPECT_EQ(getNewVidInput(0, inp), expected[inp]) << inp;
    PM.SEL_INPUT_TYPE[1] = 0;
    EXPECT_EQ(getNewVidInputPM(1, 5), 29);
    EXPECT_EQ(PM.SEL_INPUT_TYPE[1], 2);
    EXPECT_EQ(getNewVidInputPM(1, 2), 2);
    EXPECT_EQ(PM.SEL_INPUT_TYPE[1], 0);
}

TEST_F(Switching, InputNamesComeFromTheLabelFile) {
    EXPECT_STREQ(getInputName(0), "HDMI 1");  // the skeleton's default labels
    EXPECT_STREQ(getInputName(29), "DVI-U2");
    board.write("root/app/conf/input_labels", "Camera,Laptop,,Player,a very long label text,x,y,z\n");
    EXPECT_STREQ(getInputName(0), "Camera");
    EXPECT_STREQ(getInputName(17), "Laptop");   // component input 2
    EXPECT_STREQ(getInputName(2), "HDMI 3");    // empty label: the default name
    EXPECT_STREQ(getInputName(28), "a very long labe");  // 16 characters at most
    EXPECT_STREQ(getInputName(40), "NONE");
    board.write("root/app/conf/input_labels", "");
    EXPECT_STREQ(getInputName(7), "HDBT 2");
    EXPECT_STREQ(getForamtName(67), "NONE");
    EXPECT_STREQ(getForamtName(255), "NONE");
}

TEST_F(Switching, OutputWindowLimits) {
    struct Case {
        const char* name;
        int isStart, isHorizontal, isTest, size, start;
        int result;
        uint16_t hst, hw, vst, vw;  // the window afterwards
    } cases[] = {
        {"fits", 0, 1, 0, 1000, 920, 0, 100, 200, 100, 200},
        {"size cut to the output", 0, 1, 0, 2000, 100, 255, 100, 1820, 100, 200},
        {"start moved in", 1, 1, 0, 1000, 1500, 255, 920, 1000, 100, 200},
        {"a size larger than the output", 1, 1, 0, 2500, 100, 255, 0, 1920, 100, 200},
        {"vertical", 0, 0, 0, 1000, 500, 255, 100, 200, 500, 580},
        {"a start beyond the output keeps the smallest window", 0, 0, 0, 500, 2000, 255, 100, 200, 1071, 9},
        {"test only", 0, 1, 1, 2000, 100, 255, 100, 200, 100, 200},
    };
    for (const Case& c : cases) {
        PM.OWIN_HST[0] = 100, PM.OWIN_HW[0] = 200, PM.OWIN_VST[0] = 100, PM.OWIN_VW[0] = 200;
        EXPECT_EQ(delimitOwin(c.isStart, c.isHorizontal, c.isTest, c.size, c.start), c.result) << c.name;
        EXPECT_EQ(PM.OWIN_HST[0], c.hst) << c.name;
        EXPECT_EQ(PM.OWIN_HW[0], c.hw) << c.name;
        EXPECT_EQ(PM.OWIN_VST[0], c.vst) << c.name;
        EXPECT_EQ(PM.OWIN_VW[0], c.vw) << c.name;
    }
    // The current channel's window; nothing in 4K.
    Channel = 1;
    PS_PANELACTHW[1] = 1280;
    EXPECT_EQ(delimitOwin(0, 1, 0, 1300, 0), 255);
    EXPECT_EQ(PM.OWIN_HW[1], 1280);
    PM.OUTPUT_RES_SEL[1] = 42;
    EXPECT_EQ(delimitOwin(0, 1, 0, 5000, 0), 0);
    EXPECT_EQ(PM.OWIN_HW[1], 1280);
}

TEST_F(Switching, TheMenuStaysInsideTheOutput) {
    EXPECT_EQ(delimitOsdPos(1, 0, 1280), 0);
    EXPECT_EQ(delimitOsdPos(1, 1, 1300), 255);
    EXPECT_EQ(PM.OSDPOSH, 0);
    EXPECT_EQ(delimitOsdPos(1, 0, 1300), 255);
    EXPECT_EQ(PM.OSDPOSH, 1280);
    EXPECT_EQ(delimitOsdPos(0, 0, 700), 255);
    EXPECT_EQ(PM.OSDPOSV, 600);
    OSD_CHANNEL = 1;
    PS_PANELACTVW[1] = 720;
    EXPECT_EQ(delimitOsdPos(0, 0, 600), 255);
    EXPECT_EQ(PM.OSDPOSV, 240);
}

TEST_F(Switching, LedWordsDimOrBlink) {
    EXPECT_EQ(build_led_state_(3, 255, 7, 0, 0, 0), (3 << 11) | 7);
    EXPECT_EQ(build_led_state_(3, 0, 7, 7, 7, 0), (3 << 11) | 2 | 2 << 3 | 2 << 6);  // 7 x 0.29
    EXPECT_EQ(build_led_state_(9, 0, 3, 4, 1, 1), (9 << 11) | 0 | 1 << 3 | 0x200);
    vp.gFlags = VP_GFLAG_TRANSITION;
    EXPECT_EQ(build_led_state_(20, 255, 0, 7, 0, 0), (20 << 11) | 7 << 3 | 0x200);
    EXPECT_EQ(build_led_state_(20, 0, 0, 7, 0, 0), (20 << 11) | 2 << 3);
}

TEST_F(Switching, LedsShowTheInputsAudioAndMode) {
    ASSERT_EQ(create_message_queues(), 0);
    PM.SEL_INPUT[1] = 3;
    PM.AUDIO_SOURCE[1] = 5;
    ledsOnManager(1);
    uint16_t words[32] = {};
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_LED, &m) >= 0) words[m.key >> 11] = m.key;
    EXPECT_EQ(words[8 + 2], (10 << 11) | 7 << 3);  // CH2 input 3: video, green
    EXPECT_EQ(words[8 + 4], (12 << 11) | 7);       // input 5: audio, red
    EXPECT_EQ(words[8 + 0], 8 << 11);
    EXPECT_EQ(words[16], (16 << 11) | 7 | 7 << 3 | 7 << 6);  // follow mode
    EXPECT_EQ(words[17], 17 << 11);
    // CH2 dimmed while CH1 alone is shown.
    PM.DISPLAY_MODE = 1;
    PM.AUDIO_SOURCE[1] = 0;
    ledsOnManager(1);
    while (get_message_q(E_EXMSG_TYPE_LED, &m) >= 0) words[m.key >> 11] = m.key;
    EXPECT_EQ(words[8 + 2], (10 << 11) | 2 | 2 << 3);
}

TEST_F(Switching, BlackoutRespectsFreezeAndBlankUnlessForced) {
    struct Case {
        const char* name;
        uint8_t freeze, blank;
        int force, act;
        ChannelPicture before, after;
    } cases[] = {
        {"black", 0, 0, 0, BLACKOUT_ON, ChannelPicture::NORMAL, ChannelPicture::BLACK},
        {"a frozen picture stays", 1, 0, 0, BLACKOUT_ON, ChannelPicture::NORMAL, ChannelPicture::NORMAL},
        {"forced over a freeze", 1, 0, 1, BLACKOUT_ON, ChannelPicture::NORMAL, ChannelPicture::BLACK},
        {"restore", 0, 0, 0, BLACKOUT_OFF, ChannelPicture::BLACK, ChannelPicture::NORMAL},
        {"a blank stays black", 0, 1, 0, BLACKOUT_OFF, ChannelPicture::BLACK, ChannelPicture::BLACK},
        {"forced restore of a blank", 0, 1, 1, BLACKOUT_OFF, ChannelPicture::BLACK, ChannelPicture::NORMAL},
        {"no signal", 0, 0, 0, BLACKOUT_NO_SIGNAL, ChannelPicture::BLACK, ChannelPicture::NO_SIGNAL},
        {"no signal under a blank", 0, 1, 0, BLACKOUT_NO_SIGNAL, ChannelPicture::BLACK, ChannelPicture::BLACK},
    };
    for (const Case& c : cases) {
        vp.chData[1].cFlags = 0;
        PM.FREEZE[1] = PM.BLANK[1] = 0;
        blackout(1, 1, c.before == ChannelPicture::BLACK ? BLACKOUT_ON : BLACKOUT_OFF, "test", 1);
        PM.FREEZE[1] = c.freeze;
        PM.BLANK[1] = c.blank;
        blackout(c.force, 1, c.act, "test", 2);
        EXPECT_EQ(channelPicture(1), c.after) << c.name;
        EXPECT_EQ((vp.chData[1].cFlags.load() & VP_CFLAG_NO_SIGNAL) != 0, c.act == BLACKOUT_NO_SIGNAL) << c.name;
    }
    // Restoring a channel without signal shows its no-signal fill again.
    PM.BLANK[1] = 0;
    blackout(0, 1, BLACKOUT_OFF, "test", 3);
    EXPECT_EQ(channelPicture(1), ChannelPicture::NO_SIGNAL);
    // Channel 2 is both.
    blackout(1, 2, BLACKOUT_ON, "test", 4);
    EXPECT_EQ(channelPicture(0), ChannelPicture::BLACK);
    EXPECT_EQ(channelPicture(1), ChannelPicture::BLACK);
}

TEST_F(Switching, NoSignalColours) {
    const int expected[][3] = {{0, 0, 255}, {0, 0, 0}, {128, 128, 128}, {0, 0, 255}};
    for (int v = 0; v < 4; ++v) {
        PM.NOSIG_COLOR[1] = static_cast<uint8_t>(v);
        int r = -1, g = -1, b = -1;
        setNoSignalColorParams(r, g, b, 1);
        EXPECT_EQ(r, expected[v][0]) << v;
        EXPECT_EQ(g, expected[v][1]) << v;
        EXPECT_EQ(b, expected[v][2]) << v;
    }
}

TEST_F(Switching, SyncOffSleepsTheOutputsUntilTheTunedKey) {
    ASSERT_EQ(create_message_queues(), 0);
    board::sim::video::registerControl();
    auto output = [](int n) {
        std::string s = board::sim::ctl::dispatch("state");
        size_t at = s.find("output " + std::to_string(n) + " ");
        return s.substr(at, s.find('\n', at) - at);
    };
    PI_SYNC_OFF[1] = 1;
    syncOffService();
    EXPECT_EQ(gIsSyncOff[1], 1);
    EXPECT_EQ(gIsSyncOff[0], 0);
    EXPECT_NE(output(3).find("tmds off 5v off"), std::string::npos) << output(3);
    EXPECT_NE(output(4).find("tmds off 5v off"), std::string::npos);
    EXPECT_NE(output(1).find("tmds on 5v on"), std::string::npos);
    sendCancelSyncSignal(1);
    _EXMSG m;
    ASSERT_GE(get_message_q(E_EXMSG_TYPE_KEYPAD, &m), 0);
    EXPECT_EQ(m.key, 44);
    EXPECT_EQ(m.source, 1);
    syncOffWake(1);  // what the main task does with key 44
    EXPECT_EQ(gIsSyncOff[1], 0);
    EXPECT_EQ(PI_SYNC_OFF[1], 0);
    EXPECT_NE(output(3).find("tmds on 5v on"), std::string::npos);
    // A wake key leaves a request the service has not served yet.
    PI_SYNC_OFF[1] = 1;
    syncOffWake(1);
    EXPECT_EQ(PI_SYNC_OFF[1], 1);
    syncOffService();
    EXPECT_EQ(gIsSyncOff[1], 1);
    syncOffWake(1);
    EXPECT_EQ(gIsSyncOff[1], 0);
    EXPECT_EQ(PI_SYNC_OFF[1], 0);
    // In two-window overlay mode both channels sleep together; the stored
    // automatic setting survives a deactivation.
    PM.DISPLAY_MODE = 1;
    PM.DWINDOW = 2;
    PM.AUTO_SYNC_OFF[0] = 1;
    exeSyncOff(0, 0, 0);
    EXPECT_EQ(gIsSyncOff[0], 1);
    EXPECT_EQ(gIsSyncOff[1], 1);
    sync_off_deactivate(2, 0);
    EXPECT_EQ(gIsSyncOff[0], 0);
    EXPECT_EQ(gIsSyncOff[1], 0);
    EXPECT_EQ(PM.AUTO_SYNC_OFF[0], 1);
}
