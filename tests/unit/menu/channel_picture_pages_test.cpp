// The picture adjustment items of both channel pages: what each action
// asks of the scaler, what reaches the chip, how the values step with the
// keys, and what the screens show.
#include "unit/menu/channel_fixture.h"

#include "core/paramcmd.h"
#include "menu/channel_pages.h"
#include "menu/menu_engine.h"
#include "sys/frontpanel.h"

namespace hx40test {
namespace {

using Lines = std::vector<std::string>;

class ChannelPicture : public ChannelPageTest {
protected:
    static void act(int node) {
        Channel = channelOfNode(node);
        runFuncInd(row(node));
    }
    Lines calls() const {
        return withoutLines(journal({"scaler.build_picture", "scaler.set_sharpness", "scaler.set_clrm"}));
    }
    static void key(int k) { stLoop_proc(_stloop_proc_param{k, 0, 0}); }
};

TEST_F(ChannelPicture, EveryItemRebuildsItsChannelsPicture) {
    const int rebuilt[] = {341, 342, 351, 352, 353, 354, 361, 362, 363, 364, 371, 372, 373, 374, 375, 376};
    for (int node3 : rebuilt)
        for (int node : {node3, node3 + 100}) {
            reset();
            PM.SEL_INPUT[0] = 1;
            PM.SEL_INPUT[1] = 2;
            act(node);
            const int ch = node / 100 == 4 ? 1 : 0;
            EXPECT_EQ(withoutLines(journal({"scaler.build_picture", "scaler.set_clrm"})), Lines{"scaler.build_picture ch=" + std::to_string(ch) + " caller=func" + std::to_string(node) +
                                     " input=" + std::to_string(ch + 1)})
                << node;
        }
}

TEST_F(ChannelPicture, SharpnessAndColourManagementReachTheirOperationFirst) {
    struct Case {
        int node;
        void (*setup)();
        Lines calls;
    } cases[] = {
        {343, [] { PM.HSHARP[0] = -3; },
         {"scaler.set_sharpness ch=0 h=-3 v=0 channels=1", "scaler.build_picture ch=0 caller=func343 input=0",
          "scaler.set_sharpness ch=0 h=-3 v=0 channels=1"}},
        {456,
         [] {
             PM.CLRM1[1] = 3;
             PM.CLRM3[1] = 4;
         },
         {"scaler.set_clrm ch=1 levels=3,0,4 changed=1", "scaler.build_picture ch=1 caller=func456 input=0",
          "scaler.set_sharpness ch=1 h=0 v=0 channels=1"}},
        {357, [] { PM.CLRM3[0] = 1; },
         {"scaler.set_clrm ch=0 levels=0,0,1 changed=2", "scaler.build_picture ch=0 caller=func357 input=0",
          "scaler.set_sharpness ch=0 h=0 v=0 channels=1"}},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        act(c.node);
        EXPECT_EQ(calls(), c.calls) << c.node;
    }
}

TEST_F(ChannelPicture, ChannelTwoValuesReachChannelTwosRegisters) {
    PM.BRIGHT[0] = 96;
    PM.BRIGHT[1] = -64;
    PM.CONTRAST[1] = 150;
    act(441);
    EXPECT_EQ(chip().regCode(0x321802, 1), 0xFFC0u);
    EXPECT_EQ(chip().regCode(0x321A02, 1), 150u);
    EXPECT_EQ(chip().regCode(0x321802, 0), 0u) << "channel 1 is not rebuilt";
    act(342);
    EXPECT_EQ(chip().regCode(0x321802, 0), 96u);
}

TEST_F(ChannelPicture, AProtocolSetOfATwinActsOnChannelTwo) {
    float f = 0;
    int32_t i = 0;
    const char* t = nullptr;
    vp.gFlags = 0;  // the menu closed: the action runs in the calling thread
    Channel = 0;
    EXPECT_EQ(parseVidCmd(" 0,441,-64", &f, &i, &t), 5);
    EXPECT_EQ(PM.BRIGHT[1], -64);
    EXPECT_EQ(PM.BRIGHT[0], 0);
    EXPECT_EQ(Channel, 0) << "the thread's channel comes back";
    const Lines expected = {"scaler.build_picture ch=1 caller=func441 input=0", "scaler.set_sharpness ch=1 h=0 v=0 channels=1"};
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(chip().regCode(0x321802, 1), 0xFFC0u);
    PM.OUTPUT_RES_SEL[1] = 42;
    EXPECT_EQ(parseVidCmd(" 0,441,32", &f, &i, &t), 3) << "channel 2 in 4K refuses its values";
    EXPECT_EQ(PM.BRIGHT[1], -64);
}

TEST_F(ChannelPicture, ValuesStepWithTheKeysWithinTheirBounds) {
    struct Case {
        int node;
        int16_t* value;
        int16_t from;
        int key, presses;
        int16_t to;
        const char* note;
    } cases[] = {
        {341, &PM.BRIGHT[0], 0, KEY_UP, 1, 32, "brightness moves by 32"},
        {441, &PM.BRIGHT[1], 480, KEY_UP, 2, 512, "and stops at 512"},
        {342, &PM.CONTRAST[0], 150, KEY_UP, 1, 160, "contrast moves by 10 up to 160"},
        {351, &PM.CHROMA[0], 0, KEY_UP, 10, 17, "saturation: nine steps of 1, then 8 from the tenth"},
    };
    for (const Case& c : cases) {
        reset();
        *c.value = c.from;
        st_num = c.node;
        acceleratePlusMinus = 0;
        for (int i = 0; i < c.presses; ++i) key(c.key);
        EXPECT_EQ(*c.value, c.to) << c.node << ": " << c.note;
        EXPECT_EQ(Channel, c.node / 100 == 4 ? 1 : 0) << c.node;
    }
}

TEST_F(ChannelPicture, ChannelTwoIn4kKeepsItsValuesAndSaysSo) {
    PM.OUTPUT_RES_SEL[1] = 42;
    PM.BRIGHT[1] = 64;
    st_num = 441;
    Channel = 1;  // as page 44's screen left it
    key(KEY_UP);
    EXPECT_EQ(PM.BRIGHT[1], 64);
    const auto shown = placedOnly(coloured(chip().visibleTexts(0)));
    EXPECT_TRUE(has(shown, "342,106 Ineffective in 4k2k30 output"));
    EXPECT_TRUE(has(shown, "530,228 +064"));
}

TEST_F(ChannelPicture, Screens) {
    struct Case {
        int node;
        void (*setup)();
        Lines texts;  // "x,y text"
    } cases[] = {
        {341, [] { PM.BRIGHT[0] = -96; }, {"320,12 Picture", "344,42 Brightness", "530,228 -096"}},
        {442, [] { PM.CONTRAST[1] = 10; }, {"140,266 Channel 2", "320,12 Picture", "344,42 Contrast", "530,228  010"}},
        {443,
         [] {
             PM.DISPLAY_MODE = 1;
             PM.HSHARP[1] = 7;
         },
         {"320,12 Picture", "344,42 H Sharpness", "530,228 +07", "344,106 Ineffective In Single Window"}},
        {354, [] { PM.GAMMA[0] = 2; }, {"320,12 Color", "344,42 Gamma", "330,202 Curve 3"}},
        {46, [] {}, {"140,266 Channel 2", "320,12 Channel 2", "330,202 Film Mode", "330,234 Film Mode Delay"}},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        const auto shown = placedOnly(screen(c.node));
        for (const std::string& t : c.texts) EXPECT_TRUE(has(shown, t)) << c.node << ": " << t << "\n"
                                                                         << ::testing::PrintToString(shown);
        EXPECT_EQ(Channel, c.node / 10 == 4 || c.node / 100 == 4 ? 1 : 0) << c.node;
    }
}

}  // namespace
}  // namespace hx40test
