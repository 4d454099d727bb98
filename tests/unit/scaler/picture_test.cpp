// Picture building and the picture states: the registers each operation
// writes, and what the outputs' pictures then show.
#include "unit/osd/osd_fixture.h"
#include "support/png_read.h"

#include "core/pm.h"
#include "platform/sim/ctl.h"
#include "platform/sim/osd_render.h"
#include "scaler/input_formats.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "sys/print.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <thread>

namespace hx40test {
namespace {

using Rgb = std::vector<int>;
const Rgb kBlack{0, 0, 0};
const Rgb kGrey{0x30, 0x30, 0x30};
const Rgb kWhite{255, 255, 255};

TEST(InputFormatTable, NamesAndWordsPerInputType) {
    struct Name {
        int index;
        const char* name;
    } names[] = {{0, "480i60"}, {15, "1080p60"}, {35, "1024x768@60"}, {66, "2048x1152@60RB"},
                 {67, "NONE"},  {255, "NONE"},   {-1, "NONE"}};
    for (const Name& n : names) EXPECT_STREQ(inputFormatName(n.index), n.name) << n.index;

    struct Words {
        int format, type;
        std::vector<uint32_t> words;
    } words[] = {
        {15, 0, {2200, 192, 1920, 41, 1080}},  // 1080p60 over HDMI
        {15, 2, {2200, 196, 1920, 41, 1080}},  // the same on VGA, sampled later
        {0, 3, {858, 131, 720, 18, 240}},      // 480i60 on composite: one field's lines
        {35, 2, {1344, 300, 1024, 35, 768}},   // 1024x768@60 on VGA
        {7, 1, {1980, 268, 1280, 25, 720}},    // 720p50 on component
    };
    for (const Words& w : words) {
        const uint32_t* got = buildPictureParam[w.format][w.type];
        EXPECT_EQ(std::vector<uint32_t>(got, got + 5), w.words) << w.format << "/" << w.type;
    }
}

TEST(InputFormatTable, EveryTimingIsAPlausibleSignal) {
    std::set<std::string> seen;
    for (const InputFormat& f : inputFormatTbl) {
        EXPECT_TRUE(seen.insert(f.name).second) << f.name;
        const double lineHz = f.pixelClockKHz * 1000.0 / (f.hActive + f.hFront + f.hSync + f.hBack);
        const double fieldHz = lineHz / (f.vActive + f.vFront + f.vSync + f.vBack + (f.interlaced ? 0.5 : 0));
        EXPECT_GT(lineHz, 15000) << f.name;
        EXPECT_LT(lineHz, 140000) << f.name;
        EXPECT_GT(fieldHz, 23.9) << f.name;
        EXPECT_LT(fieldHz, 86) << f.name;
    }
}

// A board whose pictures are written (services running), the OSD brought
// up, both outputs 1080p60.
class Picture : public OsdTest {
protected:
    Picture() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        PM = PMRec{};
        vp.gFlags = 0;
        for (int ch = 0; ch < 2; ++ch) {
            vp.chData[ch].vidFormat = 255;
            vp.outFrmt[ch] = 0;
        }
        set_output_timing(0, 38);
        set_output_timing(1, 38);
        journalMark_ = board_->read("sim/journal.log").size();
    }
    // Journal lines written since the mark, without the OSD engine's own.
    std::vector<std::string> journal() {
        std::istringstream in(board_->read("sim/journal.log").substr(journalMark_));
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string ms, thread, call, rest;
            words >> ms >> thread >> call;
            std::getline(words, rest);
            if (call.rfind("osd.", 0) == 0) continue;
            out.push_back(call + rest);
        }
        journalMark_ = board_->read("sim/journal.log").size();
        return out;
    }
    RgbPicture snapshot(int ch) {
        EXPECT_EQ(board::sim::ctl::dispatch("snapshot").rfind("OK", 0), 0u);
        return readRgbPng(board_->file("sim/osd/out" + std::to_string(ch) + ".png"));
    }
    static std::vector<uint8_t> composed(int ch) { return board::sim::composeChannel(chip().captureChannel(ch)).rgb; }
    static void showInput(int ch, int input, int format) {
        PM.SEL_INPUT[ch] = static_cast<uint8_t>(input);
        vp.chData[ch].vidFormat = static_cast<uint8_t>(format);
    }
    static uint32_t reg(uint32_t code, int ch) { return chip().regCode(code, ch); }

    size_t journalMark_ = 0;
};

TEST_F(Picture, GetInputMeasuresLineAndFieldCounters) {
    struct Case {
        int format, type;
        uint32_t rgfh, rgfv;
        const char* fh;
        const char* fv;
    } cases[] = {
        {15, 0, 1999, 1125, "67.5 kHz", "60.0 Hz"},  // 1080p60
        {9, 0, 4799, 562, "28.1 kHz", "50.0 Hz"},    // 1080i50
        {35, 2, 2790, 806, "48.3 kHz", "60.0 Hz"},   // 1024x768@60 on VGA
        {0, 3, 8579, 262, "15.7 kHz", "60.0 Hz"},    // 480i60 on composite
        {16, 0, 2499, 2250, "54.0 kHz", "24.0 Hz"},  // 2160p24
    };
    EXPECT_EQ(PS_MCLKO, 270000000u);
    for (const Case& c : cases) {
        showInput(1, 1, c.format);
        PM.SEL_INPUT_TYPE[1] = static_cast<uint8_t>(c.type);
        get_input(1);
        EXPECT_EQ(PI_RGFH[1], c.rgfh) << c.format;
        EXPECT_EQ(PI_RGFV[1], c.rgfv) << c.format;
        // As the channel information document shows them.
        const double fhKHz = PS_MCLKO / (2000.0 * (PI_RGFH[1] + 1));
        const double fvHz = PS_MCLKO / (PI_RGFH[1] + 1.0) * 0.5 / PI_RGFV[1];
        char fh[32], fv[32];
        std::snprintf(fh, sizeof fh, "%02d.%d kHz", static_cast<int>(fhKHz), static_cast<int>(fhKHz * 10) % 10);
        std::snprintf(fv, sizeof fv, "%02d.%d Hz", static_cast<int>(fvHz), static_cast<int>(fvHz * 10) % 10);
        EXPECT_STREQ(fh, c.fh);
        EXPECT_STREQ(fv, c.fv);
        EXPECT_EQ(reg(scaler_reg::PIC_FORMAT, 1), static_cast<uint32_t>(c.format));
        EXPECT_EQ(PM_IFORMAT[1], c.format);
    }
    sigchg = 0;
    showInput(1, 1, 255);
    get_input(1);
    EXPECT_EQ(PI_RGFH[1], 0u);
    EXPECT_EQ(PI_RGFV[1], 0u);
    EXPECT_EQ(sigchg, 1) << "the signal went away";
    EXPECT_EQ(journal().back(), "scaler.get_input ch=1 format=none");
}

TEST_F(Picture, BuildWritesThePictureFromTheParameterMemory) {
    showInput(1, 3, 15);
    PM.IACTHST[1] = 192;
    PM.IACTVST[1] = 41;
    PM.IWIN_HST[1] = 8;
    PM.IWIN_HW[1] = 1904;
    PM.IWIN_VST[1] = 4;
    PM.IWIN_VW[1] = 1072;
    PM.OWIN_HST[1] = 100;
    PM.OWIN_HW[1] = 1280;
    PM.OWIN_VST[1] = 50;
    PM.OWIN_VW[1] = 720;
    PM.BRIGHT[1] = -64;
    PM.CONTRAST[1] = 110;
    PM.HSHARP[1] = -3;
    PM.VSHARP[1] = 4;
    PM.TNR[1] = 2;
    PM.UPSIDEDOWN[1] = 3;
    build_picture(1, "func341", 77);
    namespace R = scaler_reg;
    struct Reg {
        uint32_t code, value;
    } regs[] = {{R::IN_HST, 200},   {R::IN_HW, 1904},    {R::IN_VST, 45},       {R::IN_VW, 1072},  {R::DISP_HST, 100},
                {R::DISP_HW, 1280}, {R::DISP_VST, 50},   {R::DISP_VW, 720},     {R::BRIGHT, 0xFFC0}, {R::CONTRAST, 110},
                {R::HSHARP, 0xFD},  {R::VSHARP, 4},      {R::NR[2], 2},         {R::PIC_INPUT, 3}, {R::PIC_FORMAT, 15},
                {R::PIC_BUILT, 1}};
    for (const Reg& r : regs) EXPECT_EQ(reg(r.code, 1), r.value) << std::hex << r.code;
    EXPECT_EQ(reg(R::IN_HST, 0), 0u) << "channel 1's registers only";
    EXPECT_EQ(PM_NR_CHG[1], 1);
    EXPECT_EQ(PM_FLIP[1], 3);
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "scaler.build_picture ch=1 caller=func341 line=77 input=3",
                             "scaler.get_input ch=1 format=15 name=1080p60 rgfh=1999 rgfv=1125",
                             "scaler.set_sharpness ch=1 h=-3 v=4 channels=1",
                         }));
    PM_NR_CHG[1] = 0;
    build_picture(1, "func341", 77);
    EXPECT_EQ(PM_NR_CHG[1], 0) << "the same filters again";
}

TEST_F(Picture, WindowsFollowTheInputFormatAndTheScanMode) {
    showInput(0, 1, 8);  // 720p60
    PM.RATIO_SHIFT_MODE[0] = 0;
    calc_input_window_init(0);
    EXPECT_EQ((std::vector<int>{PM.IACTHST[0], PM.IACTVST[0], PM.IWIN_HW[0], PM.IWIN_VW[0]}),
              (std::vector<int>{260, 25, 1280, 720}));
    PM.RATIO_SHIFT_MODE[0] = 1;
    PM.IACTHST[0] = 300;
    showInput(0, 1, 15);
    calc_input_window_init(0);
    EXPECT_EQ(PM.IACTHST[0], 300) << "a manual aspect keeps its start";
    EXPECT_EQ(PM.IWIN_HW[0], 1920);

    struct Case {
        int scan;
        uint16_t inW, inH;
        std::vector<int> window;
    } cases[] = {
        {0, 1280, 720, {320, 180, 1280, 720}},  // follows the input, centred
        {0, 3840, 2160, {0, 0, 1920, 1080}},    // too big to follow
        {1, 1280, 720, {0, 0, 1920, 1080}},     // follows the output
    };
    for (const Case& c : cases) {
        PM.SCAN[0] = static_cast<uint8_t>(c.scan);
        PM.IWIN_HW[0] = c.inW;
        PM.IWIN_VW[0] = c.inH;
        calc_display_window_init(0);
        EXPECT_EQ((std::vector<int>{PM.OWIN_HST[0], PM.OWIN_VST[0], PM.OWIN_HW[0], PM.OWIN_VW[0]}), c.window);
    }
    vp.gFlags |= VP_GFLAG_CUSTOMIZED_WIN;
    PM.OWIN_HW[0] = 500;
    calc_display_window_init(0);
    EXPECT_EQ(PM.OWIN_HW[0], 500) << "customised windows stay";
    vp.gFlags &= ~VP_GFLAG_CUSTOMIZED_WIN;
}

TEST_F(Picture, SharpnessIn4KIsLedByChannelOne) {
    PM.HSHARP[0] = 5;
    PM.VSHARP[0] = -2;
    PM.HSHARP[1] = 1;
    PM.VSHARP[1] = 1;
    struct Case {
        int ch, format;
        std::vector<Access> writes;
    } cases[] = {
        {0, 38, expand({{'w', 0x323001, 5, 0}, {'w', 0x323101, 0xFE, 0}})},
        {0, 42, expand({{'w', 0x323001, 5, 0}, {'w', 0x323101, 0xFE, 0}, {'w', 0x323001, 5, 1}, {'w', 0x323101, 0xFE, 1}})},
        {1, 42, {}},
        {1, 38, expand({{'w', 0x323001, 1, 1}, {'w', 0x323101, 1, 1}})},
    };
    for (const Case& c : cases) {
        PM.OUTPUT_RES_SEL[0] = PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(c.format);
        record();
        set_sharpness(c.ch);
        EXPECT_EQ(recorded(), c.writes) << c.ch << " " << c.format;
    }
}

TEST_F(Picture, ColourManagementWritesAllLevelsAndTheChangedOne) {
    record();
    set_clrm(0, 1, 4, 2, 2);
    EXPECT_EQ(recorded(), expand({{'w', 0x322201, 1}, {'w', 0x322301, 4}, {'w', 0x322401, 2}, {'w', 0x322501, 4}}));
    EXPECT_EQ(journal(), std::vector<std::string>{"scaler.set_clrm ch=0 levels=1,4,2 changed=2"});
}

TEST_F(Picture, EachStateOperationWritesOneJournalLine) {
    struct Case {
        std::function<void()> op;
        const char* line;
    } cases[] = {
        {[] { set_ofill(1, 2, 1, 2, 3); }, "scaler.set_ofill ch=1 mode=2 rgb=1,2,3"},
        {[] { set_ofill_ch1(0, 4, 5, 6); }, "scaler.set_ofill_ch1 mode=0 rgb=4,5,6"},
        {[] { set_ofill_ch2(2, 7, 8, 9); }, "scaler.set_ofill_ch2 mode=2 rgb=7,8,9"},
        {[] { blankBetweenStates(0, 1, "func31", 12, 1); }, "scaler.blankBetweenStates ch=0 on=1 caller=func31 line=12 blackout=1"},
        {[] { set_image_frozen(1, 1); }, "scaler.set_image_frozen ch=1 on=1 channels=one"},
        {[] { set_clock_p2(); }, "scaler.set_clock_p2 mclk=270000000 pclk=148500,148500"},
        {[] { set_4k_color_bar(); }, "scaler.set_4k_color_bar addr=0x02000000 width=3840 bars=8"},
    };
    for (const Case& c : cases) {
        c.op();
        EXPECT_EQ(journal(), std::vector<std::string>{c.line});
    }
}

TEST_F(Picture, OutputFillShowsItsColourUnderTheOsd) {
    set_ofill_ch2(2, 10, 200, 30);
    EXPECT_EQ(reg(scaler_reg::OFILL_MODE, 1), 2u);
    EXPECT_EQ(reg(scaler_reg::OFILL_RGB, 1), 0x1EC80Au);
    osd_paint(0, 40, 0, 40, 248);
    osd_on(1, 100, 640, 100, 480, 0, 255, 255, 255, 239);
    RgbPicture out1 = snapshot(1);
    ASSERT_EQ(out1.w, 1920);
    EXPECT_EQ(out1.at(1000, 900), (Rgb{10, 200, 30}));
    EXPECT_NE(out1.at(110, 110), (Rgb{10, 200, 30})) << "the OSD stays on top";
    EXPECT_EQ(snapshot(0).at(1000, 900), kGrey) << "channel 1 untouched";
    set_ofill(1, 0, 10, 200, 30);
    EXPECT_EQ(snapshot(1).at(1000, 900), kGrey);
}

TEST_F(Picture, BlankedOutputIsBlackOsdIncluded) {
    osd_paint(0, 640, 0, 480, 255);
    osd_on(0, 100, 640, 100, 480, 0, 255, 255, 255, 239);
    ASSERT_EQ(snapshot(0).at(200, 200), kWhite);
    struct Case {
        int withBlackout;
        uint32_t state;
    } cases[] = {{1, 1}, {0, 2}};
    for (const Case& c : cases) {
        blankBetweenStates(0, 1, "test", 1, c.withBlackout);
        EXPECT_EQ(reg(scaler_reg::OUT_BLANK, 0), c.state);
        RgbPicture out = snapshot(0);
        EXPECT_EQ(out.at(200, 200), kBlack);
        EXPECT_EQ(out.at(1500, 900), kBlack);
    }
    blankBetweenStates(0, 0, "test", 2, 1);
    EXPECT_EQ(snapshot(0).at(200, 200), kWhite);
}

TEST_F(Picture, TestPatternsShowColourBars) {
    // Pattern 1 as the channel page writes it.
    write_C812(0x13501, 0, 0, 0);
    write_C812(0x13101, 255, 0, 0);
    write_C812(0x13201, 4, 0, 0);
    write_C812(0x13302, 1920 + 256, 0, 0);
    RgbPicture out = snapshot(0);
    EXPECT_EQ(out.at(10, 500), kWhite);
    EXPECT_EQ(out.at(250, 500), (Rgb{255, 255, 0}));
    EXPECT_EQ(out.at(5 * 240 + 10, 500), (Rgb{255, 0, 0}));
    EXPECT_EQ(out.at(1919, 1079), kBlack);
    // Pattern 2: 75 % bars of a programmed width.
    write_C812(0x13501, 1, 0, 0);
    write_C812(0x13101, 0, 0, 0);
    write_C812(0x13B01, 239, 0, 0);
    out = snapshot(0);
    EXPECT_EQ(out.at(10, 10), (Rgb{191, 191, 191}));
    EXPECT_EQ(out.at(2 * 240 + 5, 10), (Rgb{0, 191, 191}));
    EXPECT_EQ(out.at(6 * 240 + 5, 10), (Rgb{0, 0, 191}));
    write_C812(0x13501, 0, 0, 0);
    EXPECT_EQ(snapshot(0).at(10, 10), kGrey) << "pattern off";
}

TEST_F(Picture, FourKColourBarsComeFromFrameMemoryOnBothChannels) {
    set_output_timing(0, 42);
    set_output_timing(1, 42);
    set_4k_color_bar();
    for (int k = 0; k < 3; ++k) EXPECT_EQ(chip().memory(0x02000000 + 2 * 480 * 3 + k), (Rgb{0, 191, 191})[k]);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(reg(0x54301, ch), 1u);
        EXPECT_EQ(reg(scaler_reg::FRAME_SRC_ADDR, ch), 0x02000000u);
        RgbPicture out = snapshot(ch);
        ASSERT_EQ(out.w, 3840);
        EXPECT_EQ(out.at(100, 100), (Rgb{191, 191, 191}));
        EXPECT_EQ(out.at(480 + 100, 2000), (Rgb{191, 191, 0}));
        EXPECT_EQ(out.at(6 * 480 + 1, 1500), (Rgb{0, 0, 191}));
        EXPECT_EQ(out.at(3839, 2159), kBlack);
    }
    write_C812(0x54301, 0x80, 0, 0);  // the live input again
    EXPECT_EQ(snapshot(0).at(100, 100), kGrey);
}

TEST_F(Picture, LivePictureIsARampInItsWindowWithAMovingBar) {
    showInput(0, 2, 8);
    PM.SCAN[0] = 0;
    calc_input_window_init(0);
    calc_display_window_init(0);  // 1280 x 720 centred: (320, 180)
    build_picture(0, "test", 1);
    const std::vector<uint8_t> a = composed(0);
    auto grey = [&](int x, int y) { return a[(static_cast<size_t>(y) * 1920 + x) * 3]; };
    EXPECT_EQ(grey(100, 100), 0) << "outside the display window";
    int bar = 0, ramp = 0;
    const int row = 180 + 700;  // below the text
    for (int x = 0; x < 1280; ++x) {
        const int v = grey(320 + x, row);
        if (v == 255) ++bar;
        else if (v == 16 + 219 * x / 1279) ++ramp;
    }
    EXPECT_EQ(bar + ramp, 1280);
    EXPECT_GE(bar, 1);
    EXPECT_LE(bar, 8);
    int text = 0;
    for (int x = 320; x < 1600; ++x) text += grey(x, 180 + 720 / 8) == 255;
    EXPECT_GT(text, 8) << "the input's name across the picture";
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_NE(composed(0), a) << "a live picture moves";
}

TEST_F(Picture, FrozenPictureHoldsItsFrameAndShowsTheMark) {
    showInput(0, 1, 15);
    PM.OWIN_HW[0] = 1280;  // the picture's moving bar stays clear of the mark
    PM.OWIN_VW[0] = 720;
    build_picture(0, "test", 1);
    set_image_frozen(0, 1);
    EXPECT_EQ(reg(scaler_reg::PIC_FREEZE, 0), 1u);
    EXPECT_EQ(reg(scaler_reg::PIC_FREEZE, 1), 0u);
    const std::vector<uint8_t> a = composed(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(composed(0), a) << "a frozen picture does not change";
    RgbPicture out = snapshot(0);
    EXPECT_EQ(out.at(1920 - 88 + 8, 24 + 24), kWhite);
    EXPECT_EQ(out.at(1920 - 56 + 8, 24 + 24), kWhite);
    EXPECT_NE(out.at(1920 - 72 + 8, 24 + 24), kWhite) << "between the two bars";
    EXPECT_NE(board::sim::ctl::dispatch("state").find("[picture]\nchannel 0 live \"INPUT 1  1080p60\" frozen\n"
                                                      "channel 1 idle\n"),
              std::string::npos);
    set_image_frozen(0, 0);
    EXPECT_NE(snapshot(0).at(1920 - 88 + 8, 24 + 24), kWhite);

    PM.OUTPUT_RES_SEL[1] = 42;
    set_image_frozen(1, 1);
    EXPECT_EQ(reg(scaler_reg::PIC_FREEZE, 0), 1u) << "4K freezes both channels";
    EXPECT_EQ(reg(scaler_reg::PIC_FREEZE, 1), 1u);
    EXPECT_EQ(snapshot(1).at(1920 - 88 + 8, 24 + 24), kWhite) << "also before any picture is built";
}

TEST_F(Picture, NoSignalShowsBlackWithItsText) {
    showInput(1, 4, 255);
    build_picture(1, "test", 1);
    const std::vector<uint8_t> a = composed(1);
    int text = 0, other = 0;
    for (size_t i = 0; i < a.size(); i += 3) {
        if (a[i] == 0x80) ++text;
        else if (a[i] != 0) ++other;
    }
    EXPECT_GT(text, 100);
    EXPECT_EQ(other, 0);
}

}  // namespace
}  // namespace hx40test
