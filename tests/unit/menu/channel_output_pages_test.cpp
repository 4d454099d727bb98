// The output control items of both channel pages: the mirror register,
// freeze, blank and mute with their key LEDs, the test patterns' registers,
// the no-signal colour, the immediate sync-off countdown and the screens.
#include "unit/menu/control_fixture.h"

#include "menu/channel_output_pages.h"

namespace hx40test {
namespace {

class ChannelOutput : public ControlPageTest {};

TEST_F(ChannelOutput, ProjectionMirrorsRearAndCeilingFront) {
    struct Case {
        int node, value;
        bool fourK;
        uint32_t ch1, ch2;  // the mirror register 0x12301 of each channel
    } cases[] = {
        {381, 0, false, 0, 0}, {381, 1, false, 1, 0}, {381, 2, false, 1, 0}, {381, 3, false, 0, 0},
        {481, 2, false, 0, 1}, {381, 1, true, 1, 1},  {481, 1, true, 1, 1},
    };
    for (const Case& c : cases) {
        reset();
        chip().reset();
        const int ch = c.node / 100 == 4 ? 1 : 0;
        PM.UPSIDEDOWN[ch] = static_cast<uint8_t>(c.value);
        PM.OUTPUT_RES_SEL[ch] = c.fourK ? 42 : 16;
        act(c.node);
        EXPECT_EQ(chip().regCode(0x12301, 0), c.ch1) << c.node << " value " << c.value;
        EXPECT_EQ(chip().regCode(0x12301, 1), c.ch2) << c.node << " value " << c.value;
        EXPECT_EQ(calls({"scaler.build_picture"}).size(), 1u) << c.node;
    }
}

TEST_F(ChannelOutput, FreezeBlankAndMuteReachTheOutputsAndTheKeyLeds) {
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        Lines calls;
        std::vector<int> leds, keys;
    } cases[] = {
        {"freeze", 3821, [] { PM.FREEZE[0] = 1; },
         {"scaler.set_image_frozen ch=0 on=1 channels=one", "backEnd_MuteCtl ch=0 ctl=0 caller=func3821"}, {0xB879}, {}},
        {"unfreeze rebuilds and wakes a sleeping output", 3821, [] { gIsSyncOff[0] = 1; },
         {"scaler.set_image_frozen ch=0 on=0 channels=one", "backEnd_MuteCtl ch=0 ctl=1 caller=func3821",
          "scaler.build_picture ch=0 caller=func3821 input=0"},
         {0xB800}, {KEY_CH1_TUNED}},
        {"CH2 alone hidden: no picture change, a dimmed LED", 4821,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.FREEZE[1] = 1;
         },
         {"backEnd_MuteCtl ch=1 ctl=0 caller=func3821"}, {0xC810}, {}},
        {"frozen test pattern: no freeze", 4821,
         [] {
             PM.TEST_PATTERN[1] = 2;
             PM.FREEZE[1] = 1;
         },
         {"backEnd_MuteCtl ch=1 ctl=0 caller=func3821"}, {0xC879}, {}},
        {"blank", 4822, [] { PM.BLANK[1] = 1; }, {"blackout force=1 channel=1 act=1 caller=func3822"}, {0xD079}, {}},
        {"a blanked test pattern is muted instead", 3822,
         [] {
             PM.BLANK[0] = 1;
             PM.TEST_PATTERN[0] = 1;
         },
         {"backEnd_MuteCtl ch=0 ctl=0 caller=func3822"}, {0xC079}, {}},
        {"unblank", 3822, [] {}, {"blackout force=1 channel=0 act=2 caller=func3822"}, {0xC000}, {}},
        {"mute in overlay mode: both outputs", 3823,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.MUTE[0] = 1;
         },
         {"backEnd_MuteCtl ch=0 ctl=0 caller=func3823", "backEnd_MuteCtl ch=1 ctl=0 caller=func3823"}, {}, {}},
        {"CH2 mute does nothing in overlay mode", 4823,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.MUTE[1] = 1;
         },
         {}, {}, {}},
        {"CH2 unmute", 4823, [] {}, {"backEnd_MuteCtl ch=1 ctl=1 caller=func3823"}, {}, {}},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        mark();
        act(c.node);
        EXPECT_EQ(calls({"scaler.set_image_frozen", "backEnd_MuteCtl", "scaler.build_picture", "blackout"}), c.calls)
            << c.name;
        EXPECT_EQ(drain(E_EXMSG_TYPE_LED), c.leds) << c.name;
        EXPECT_EQ(drain(E_EXMSG_TYPE_KEYPAD), c.keys) << c.name;
    }
}

TEST_F(ChannelOutput, TestPatternsWriteTheirRegisters) {
    struct Reg {
        uint32_t code;
        int ch;
        uint32_t value;
    };
    struct Case {
        const char* name;
        int node;
        void (*setup)();
        std::vector<Reg> regs;
        Lines calls;
    } cases[] = {
        {"pattern 1 over the no-signal fill", 384,
         [] {
             PM.TEST_PATTERN[0] = 1;
             vp.chData[0].cFlags = VP_CFLAG_NO_SIGNAL;
         },
         {{0x13501, 0, 0}, {0x13101, 0, 255}, {0x13201, 0, 4}, {0x13302, 0, 2176}, {0x54003, 0, 0xFF00}, {0x13101, 1, 0}},
         {"audioSwitchExe input=10 channel=0 caller=func384", "scaler.set_ofill ch=0 mode=0 rgb=0,0,0",
          "p7kEvForceAnnounceInt function=384 value=1 channel=0", "p7kEvForceAnnounceInt function=484 value=0 channel=1"}},
        {"pattern 2 on CH2", 484, [] { PM.TEST_PATTERN[1] = 2; }, {{0x13501, 1, 1}, {0x13101, 1, 0}, {0x13B01, 1, 159}},
         {"audioSwitchExe input=10 channel=1 caller=func384", "p7kEvForceAnnounceInt function=384 value=0 channel=0",
          "p7kEvForceAnnounceInt function=484 value=2 channel=1"}},
        {"pattern 1 in 4K on both channels", 384,
         [] {
             PM.TEST_PATTERN[0] = 1;
             PM.OUTPUT_RES_SEL[0] = 42;
         },
         {{0x13101, 0, 255}, {0x13101, 1, 255}, {0x13302, 1, 2176}, {0x54301, 0, 0}, {0x54301, 1, 0}},
         {"audioSwitchExe input=10 channel=0 caller=func384", "p7kEvForceAnnounceInt function=384 value=1 channel=0",
          "p7kEvForceAnnounceInt function=484 value=0 channel=1"}},
        {"pattern 2 in 4K: the 4K colour bars", 384,
         [] {
             PM.TEST_PATTERN[0] = 2;
             PM.OUTPUT_RES_SEL[0] = 42;
         },
         {{0x54301, 0, 1}, {0x54301, 1, 1}},
         {"audioSwitchExe input=10 channel=0 caller=func384", "scaler.set_4k_color_bar addr=0x02000000 width=3840 bars=8",
          "p7kEvForceAnnounceInt function=384 value=2 channel=0", "p7kEvForceAnnounceInt function=484 value=0 channel=1"}},
        {"off after 4K: the fixed registers back, channel 1 rebuilt", 384,
         [] {
             vp.fixedOutFrmt[0] = 42;
             PM.BLANK[0] = 1;
         },
         {{0x13501, 1, 0}, {0x54301, 0, 0x80}, {0x54301, 1, 0x80}, {0x55701, 0, 1}, {0x55701, 1, 1}, {0xB2801, 1, 0x10}},
         {"blackout force=1 channel=0 act=1 caller=func384", "scaler.set_ofill ch=0 mode=2 rgb=0,0,0",
          "scaler.build_picture ch=0 caller=func384 input=0", "audioSwitch channel=0 force=0 fade=0 reapply=1",
          "audioSwitchExe input=8 channel=0 caller=audioSwitch", "p7kEvForceAnnounceInt function=384 value=0 channel=0",
          "p7kEvForceAnnounceInt function=484 value=0 channel=1"}},
        {"off in overlay mode while CH1 starts its audio", 484, [] { PM.DISPLAY_MODE = 1, PM.DWINDOW = 1, gAudioPowerUpInitFlag[0] = 1; },
         {{0x13101, 1, 0}},
         {"p7kEvForceAnnounceInt function=384 value=0 channel=0", "p7kEvForceAnnounceInt function=484 value=0 channel=1"}},
        {"CH2 hidden in one window: nothing", 484,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.TEST_PATTERN[1] = 1;
         },
         {{0x13101, 1, 0}}, {}},
    };
    for (const Case& c : cases) {
        reset();
        chip().reset();
        c.setup();
        mark();
        act(c.node);
        for (const Reg& r : c.regs)
            EXPECT_EQ(chip().regCode(r.code, r.ch), r.value) << c.name << std::hex << " 0x" << r.code << " ch " << r.ch;
        EXPECT_EQ(calls({"audioSwitch", "scaler.set_ofill", "scaler.set_4k", "scaler.build_picture", "blackout",
                         "p7kEvForceAnnounceInt"}),
                  c.calls)
            << c.name;
    }
}

TEST_F(ChannelOutput, NoSignalColourOnlyWhileTheFillShows) {
    PM.NOSIG_COLOR[0] = 0;
    act(385);
    EXPECT_TRUE(calls({"scaler.set_ofill"}).empty());
    vp.chData[0].cFlags = VP_CFLAG_NO_SIGNAL;
    PM.OUTPUT_RES_SEL[0] = 42;
    act(385);
    EXPECT_EQ(calls({"scaler.set_ofill"}), (Lines{"scaler.set_ofill_ch1 mode=2 rgb=0,0,255", "scaler.set_ofill_ch2 mode=2 rgb=0,0,255"}))
        << "a 4K CH1 fills both channels";
}

TEST_F(ChannelOutput, ImmediateSyncOffCountsDownOrAborts) {
    struct Case {
        const char* name;
        int page;     // the sync-off page the menu stands on
        int pressed;  // a key waiting on KEYPAD (-1 none)
        bool menuOpen;
        int nodeAfter, flag;
        Lines calls;
        const char* lastCount;  // the last count drawn
    } cases[] = {
        {"MENU aborts", 383, KEY_MENU, true, 383, 0,
         {"p7kEvForceAnnounceInt function=3832 value=0 channel=0", "p7kEvForceAnnounceInt function=4832 value=0 channel=1",
          "sync_off_deactivate channel=0 flag=0"},
         "text=\" Triggers In 5 Sec\""},
        {"LEFT aborts", 483, KEY_LEFT, true, 483, 0,
         {"p7kEvForceAnnounceInt function=3832 value=0 channel=0", "p7kEvForceAnnounceInt function=4832 value=0 channel=1",
          "sync_off_deactivate channel=1 flag=0"},
         "text=\" Triggers In 5 Sec\""},
        {"five seconds switch the sync off", 483, KEY_UP, true, 483, 1,
         {"p7kEvForceAnnounceInt function=3832 value=0 channel=0", "p7kEvForceAnnounceInt function=4832 value=1 channel=1"},
         "text=\" Triggers In 1 Sec\""},
    };
    for (const Case& c : cases) {
        reset();
        st_num = c.page;
        PB_383 = PB_483 = 1;  // the cursor on the immediate sync-off
        if (c.pressed >= 0) {
            _EXMSG m;
            m.key = static_cast<uint16_t>(c.pressed);
            send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
        }
        mark();
        chip().clearOperations();
        const uint32_t start = getCurrMsCount();
        key(KEY_ENTER);
        const uint32_t took = getElapsedMs(start);
        EXPECT_EQ(st_num, c.nodeAfter) << c.name;
        EXPECT_EQ(PI_SYNC_OFF[c.page / 100 - 3], c.flag) << c.name;
        EXPECT_EQ(vp.gFlags.load() & VP_GFLAG_MODAL_KEYS, 0u) << c.name;
        EXPECT_EQ(calls({"p7kEvForceAnnounceInt", "sync_off_deactivate"}), c.calls) << c.name;
        if (c.flag) EXPECT_GE(took, 4900u) << c.name;
        else EXPECT_LT(took, 1500u) << c.name;
        std::string last;
        for (const std::string& op : chip().operations())
            if (op.find("Triggers In") != std::string::npos) last = op.substr(op.find("text="));
        EXPECT_EQ(last, c.lastCount) << c.name;
    }
    EXPECT_TRUE(has(drawn(4832), "360,170 Sync is off already"));
}

TEST_F(ChannelOutput, Screens) {
    expectScreens({
        {38311, [] { PM.AUTO_SYNC_OFF[0] = 1; }, {"332,106 Triggers After 20 Idle Seconds"}, {}},
        {38311, [] { PM.AUTO_SYNC_OFF[0] = 1, PM.SYNC_OFF_IDLE[0] = 1; }, {"340,106 Triggers After 1 Idle Minute"}, {}},
        {48311, [] { PM.AUTO_SYNC_OFF[1] = 1, PM.SYNC_OFF_IDLE[1] = 4; }, {"340,106 Triggers After 4 Idle Minutes"}, {}},
        {48311, [] { PM.AUTO_SYNC_OFF[1] = 1, PM.DISPLAY_MODE = 1; }, {"344,106 Ineffective In Overlay Mode"},
         {"332,106 Triggers After 20 Idle Seconds"}},
        {384, [] { PM.TEST_PATTERN[0] = 1; }, {"340,138        Clear Content"}, {}},
        {484, [] { PM.TEST_PATTERN[1] = 2; }, {"340,138         HDCP Content"}, {}},
        {484, [] { PM.TEST_PATTERN[1] = 2, PM.DISPLAY_MODE = 1; }, {"344,106 Ineffective In Single Window"},
         {"340,138         HDCP Content"}},
        {386, [] { PM.INPUT_CHANGE_EFFECT[0] = 1, PM.OUTPUT_RES_SEL[0] = 42; },
         {"326,106 Fade-Thru-Black Only in 4k2k30", "330,234 Black"}, {}},
        {381, [] { PM.DISPLAY_MODE = 1; }, {"330,202 Front"}, {"344,106 Ineffective In Single Window"}},
        {4831, [] { PM.DISPLAY_MODE = 1; }, {"344,106 Ineffective In Single Window"}, {}},
    });
    EXPECT_EQ(PM.INPUT_CHANGE_EFFECT[0], 0) << "4K cannot hold the last picture";
}

TEST_F(ChannelOutput, TheMuteShortcutShowsOnlyTheIcon) {
    gOsdTimeOut = kOsdTimeOutMute;
    PM.MUTE[1] = 1;
    chip().clearOperations();
    screen(4823);
    bool window = false;
    for (const std::string& op : chip().operations())
        if (op.starts_with("osd.window ch=0 on=1") && op.find(" w=78 h=78 key=255 blend=238,238,238") != std::string::npos)
            window = true;
    EXPECT_TRUE(window) << ::testing::PrintToString(chip().operations());
    EXPECT_TRUE(chip().visibleTexts(0).empty()) << "no list, no title";
}

}  // namespace
}  // namespace hx40test
