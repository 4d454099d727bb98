// The audio items of both channel pages and the device-wide microphone and
// line items: what reaches the DSP, the lip-sync chips and the
// pass-through GPIO, the overlay guards, and what the screens say.
#include "unit/menu/control_fixture.h"

#include "menu/channel_audio_pages.h"
#include "platform/hw.h"
#include "sys/gpio.h"
#include "platform/sim/i2c_sim.h"
#include "sys/i2c.h"

namespace hx40test {
namespace {

class ChannelAudio : public ControlPageTest {
protected:
    void reset() override {
        ControlPageTest::reset();
        board::gpio::write(gio_gioo_5A, 0);
    }
    static const inline std::vector<std::string> kAudio = {"audio", "backEnd_MuteCtl", "p7kEvForceAnnounceInt"};
};

TEST_F(ChannelAudio, ActionsReachTheDspUnderTheOverlayGuards) {
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        Lines calls;
    } cases[] = {
        {"a volume change unmutes and announces the mute item", 3931,
         [] {
             PM.MUTE[0] = 1;
             PM.VOLUME[0] = -20;
         },
         {"audio.dsp OutputVolume channel=0 value=-20", "backEnd_MuteCtl ch=0 ctl=1 caller=func3823",
          "p7kEvForceAnnounceInt function=3823 value=0 channel=0"}},
        {"in overlay mode CH1's volume drives both outputs", 3931,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.VOLUME[0] = 5;
         },
         {"audio.dsp OutputVolume channel=0 value=5", "backEnd_MuteCtl ch=0 ctl=1 caller=func3823",
          "backEnd_MuteCtl ch=1 ctl=1 caller=func3823", "p7kEvForceAnnounceInt function=3823 value=0 channel=0",
          "audio.dsp OutputVolume channel=1 value=5"}},
        {"no announcement while both channels start up", 4931, [] { gInInitialize[0] = gInInitialize[1] = 1; },
         {"audio.dsp OutputVolume channel=1 value=0", "backEnd_MuteCtl ch=1 ctl=1 caller=func3823"}},
        {"one channel starting up holds nothing back", 4931, [] { gInInitialize[0] = 1; },
         {"audio.dsp OutputVolume channel=1 value=0", "backEnd_MuteCtl ch=1 ctl=1 caller=func3823",
          "p7kEvForceAnnounceInt function=4823 value=0 channel=1"}},
        {"CH2's volume does nothing in overlay mode", 4931, [] { PM.DISPLAY_MODE = 1; }, {}},
        {"bass of CH2", 4932, [] { PM.BASS[1] = -7; }, {"audio.dsp Bass channel=1 value=-7"}},
        {"balance in overlay mode", 3935,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.BALANCE[0] = 4;
         },
         {"audio.dsp Balance channel=0 value=4", "audio.dsp Balance channel=1 value=4"}},
        {"source differs from what is routed", 391, [] { PM.AUDIO_SOURCE[0] = 3; },
         {"audioSwitch channel=0 force=1 fade=0 reapply=0", "audioSwitchExe input=2 channel=0 caller=audioSwitch"}},
        {"source already routed", 391,
         [] {
             PM.AUDIO_SOURCE[0] = 3;
             vp.chData[0].audioInput = 2;
         },
         {}},
        {"source while the audio starts up", 491,
         [] {
             PM.AUDIO_SOURCE[1] = 2;
             gAudioPowerUpInitFlag[1] = 1;
         },
         {}},
        {"CH2's takeover does nothing in overlay mode", 492, [] { PM.DISPLAY_MODE = 1; }, {}},
        {"talk-over mode: the DSP's enable is the inverse", 39611, [] { PM.MIC1_MODE = 1; },
         {"audio.dsp TalkoverEnableMicrophone_1 channel=0 value=0"}},
        {"mix: left, then right", 39623, [] { PM.MIC2_MIX = -12; },
         {"audio.dsp MixerMic2MixLeft channel=0 value=-12", "audio.dsp MixerMic2MixRight channel=0 value=-12"}},
        {"the line mix from the second microphone's page", 39627, [] { PM.LINE_MIX = 6; },
         {"audio.dsp MixerLineMixLeft channel=0 value=6", "audio.dsp MixerLineMixRight channel=0 value=6"}},
        {"release time: the 16-bit field whole", 396225, [] { PM.MIC2_TA_RELEASE_TIME = 0x0150; },
         {"audio.dsp ReleaseTimeMicrophone_2 channel=0 value=336"}},
        {"gain: its low byte, signed", 39614, [] { PM.MIC1_VOLUME = 0x00F4; },
         {"audio.dsp MicrophoneGain_1 channel=0 value=-12"}},
        {"line mute", 3963, [] { PM.LINE_MUTE = 1; }, {"audio.dsp LineMute channel=0 value=1"}},
    };
    for (const Case& c : cases) {
        reset();
        vp.chData[0].audioInput = vp.chData[1].audioInput = 8;
        c.setup();
        mark();
        act(c.node);
        EXPECT_EQ(calls(kAudio), c.calls) << c.name;
    }
}

TEST_F(ChannelAudio, LipSyncReachesTheDelayChips) {
    struct Case {
        const char* name;
        int node, value;
        bool overlay;
        std::vector<int> chipD0, chipDA;  // registers 2, 3, 4, 5, 8
    } cases[] = {
        {"the maximum, 170, is 8160 samples", 394, 170, false, {0x1F, 0xE0, 0x1F, 0xE0, 1}, {0, 0, 0, 0, 0}},
        {"CH2", 494, 1, false, {0, 0, 0, 0, 0}, {0x00, 0x30, 0x00, 0x30, 1}},
        {"overlay mode: both outputs", 394, 100, true, {0x12, 0xC0, 0x12, 0xC0, 1}, {0x12, 0xC0, 0x12, 0xC0, 1}},
        {"CH2 in overlay mode: nothing", 494, 100, true, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
    };
    auto regs = [](uint8_t chip) {
        std::vector<int> out;
        for (uint8_t r : {2, 3, 4, 5, 8}) out.push_back(I2C_Read_Register(2, chip, r));
        return out;
    };
    for (const Case& c : cases) {
        reset();
        board::sim::i2c::reset();
        PM.DISPLAY_MODE = c.overlay ? 1 : 0;
        PM.LIP_SYNC[c.node / 100 - 3] = static_cast<uint16_t>(c.value);
        act(c.node);
        EXPECT_EQ(regs(0xD0), c.chipD0) << c.name;
        EXPECT_EQ(regs(0xDA), c.chipDA) << c.name;
    }
    board::sim::i2c::reset();
    EXPECT_EQ(setLipSyncDelay(0, 171), 255);
    EXPECT_EQ(regs(0xD0), (std::vector<int>{0, 0, 0, 0, 0})) << "above 8160 samples nothing is written";
}

TEST_F(ChannelAudio, PassThroughSwitchesTheGpioAndTheDspAudio) {
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        uint32_t gpioBefore, gpioAfter;
        Lines calls;
    } cases[] = {
        {"CH1 on mutes the DSP audio", 395, [] { PM.PASS_THROUGH[0] = 1; }, 0, 0x40,
         {"changeAudioSettings channel=0", "audioMute channel=0 on=1"}},
        {"CH2 off unmutes", 495, [] {}, 0x60, 0x40, {"changeAudioSettings channel=1", "audioMute channel=1 on=0"}},
        {"off keeps a blanked channel muted", 395, [] { PM.BLANK[0] = 1; }, 0x40, 0, {"changeAudioSettings channel=0"}},
        {"overlay mode: CH2 only clears its bit", 495,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.PASS_THROUGH[1] = 1;
         },
         0x60, 0x40, {}},
        {"overlay mode: CH1 feeds output 2 from its fixed source", 395,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.PASS_THROUGH[0] = 1;
             PM.AUDIO_SOURCE[0] = 4;
         },
         0, 0x40, {"audioSwitchExe input=3 channel=1 caller=func395", "changeAudioSettings channel=0"}},
        {"overlay mode: CH1 following video without takeover", 395, [] { PM.DISPLAY_MODE = 1; }, 0x40, 0,
         {"audioSwitchExe input=8 channel=1 caller=func395", "changeAudioSettings channel=0", "audioMute channel=0 on=0"}},
    };
    for (const Case& c : cases) {
        reset();
        board::gpio::write(gio_gioo_5A, c.gpioBefore);
        c.setup();
        mark();
        act(c.node);
        EXPECT_EQ(board::gpio::read(gio_gioo_5A), c.gpioAfter) << c.name;
        EXPECT_EQ(calls({"changeAudioSettings", "audioMute", "audioSwitchExe"}), c.calls) << c.name;
    }
}

TEST_F(ChannelAudio, Screens) {
    expectScreens({
        {392, [] { PM.AUDIO_SOURCE[0] = 2, PM.SEL_INPUT_TYPE[0] = 2; },
         {"315,106 Ineffective When Not in AFV Mode"}, {}},
        {492, [] { PM.AUDIO_SOURCE[1] = 2, PM.PASS_THROUGH[1] = 1; }, {"315,106 Unavailable: Audio Pass-Trough"},
         {"315,106 Ineffective When Not in AFV Mode"}},
        {4931, [] { PM.DISPLAY_MODE = 1, PM.PASS_THROUGH[1] = 1; }, {"344,106 Ineffective In Overlay Mode"},
         {"315,106 Unavailable: Audio Pass-Trough"}},
        {4931, [] { PM.OUTPUT_RES_SEL[1] = 42; }, {"140,266 Channel 2"}, {"342,106 Ineffective in 4k2k30 output"}},
        {3934, [] { PM.PASS_THROUGH[0] = 1; }, {"315,106 Unavailable: Audio Pass-Trough"}, {}},
        {39613, [] {}, {"344,106 Ineffective On Talkover Mode"}, {}},
        {396121, [] { PM.MIC1_MODE = 1; }, {"350,106 Ineffective On Mix Mode"}, {}},
        {39622, [] { PM.MIC2_MODE = 1, PM.PASS_THROUGH[0] = 1; }, {"315,106 Unavailable: Audio Pass-Trough"},
         {"350,106 Ineffective On Mix Mode"}},
        {39627, [] { st_num = 39627; }, {"344,106 Ineffective On Talkover Mode", "344,136 NOTE: May Effect Other Mic"}, {}},
        {39615, [] { PM.MIC1_MODE = 1; }, {}, {"350,106 Ineffective On Mix Mode"}},
    });
    // An analog input's audio is always taken over.
    reset();
    PM.SEL_INPUT_TYPE[1] = 1;
    screen(492);
    EXPECT_EQ(PM.ANALOG_TAKEOVER[1], 1);
    EXPECT_EQ(PM.ANALOG_TAKEOVER[0], 0);
}

TEST_F(ChannelAudio, TheVolumeShortcutSitsInTheMiddleOfTheOutput) {
    gOsdTimeOut = kOsdTimeOutVolume;
    PM.VOLUME[0] = -30;
    chip().clearOperations();
    const Lines shown = placedOnly(screen(3931));
    EXPECT_TRUE(has(shown, "320,202          Ch1 Volume")) << ::testing::PrintToString(shown);
    EXPECT_FALSE(has(shown, "320,12 Volume & Tone")) << "no title";
    std::string window;
    for (const std::string& op : chip().operations())
        if (op.starts_with("osd.window ch=0 on=1")) window = op;
    EXPECT_NE(window.find(" w=620 h=260 key=247 blend=239,239,239"), std::string::npos) << window;
}

}  // namespace
}  // namespace hx40test
