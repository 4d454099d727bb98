// The drawing primitives: the register sequences they hand the chip, and what
// the chip then shows (pixels, text scene).
#include "unit/osd/osd_fixture.h"

#include "core/pm.h"
#include "sys/print.h"
#include "sys/watchdog.h"
#include "scaler/output_formats.h"

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

namespace hx40test {
namespace {

// Accesses other than the output frame counters that the vertical-sync waits poll.
std::vector<Access> withoutVsync(std::vector<Access> v) {
    std::erase_if(v, [](const Access& a) { return a.bank == 0x31 || a.bank == 0x3C; });
    return v;
}

std::string partLine(int n) {
    std::ifstream in(std::string(HX40_SHARE_DIR) + "/memfiles/parts.csv");
    std::string line;
    for (int i = 0; i <= n && std::getline(in, line); ++i) {
    }
    return line;
}

class OsdPrimitives : public OsdTest {};

TEST_F(OsdPrimitives, PaintWritesTheFillSequenceAndFillsThePlane) {
    record();
    osd_paint(10, 200, 20, 30, 248);
    EXPECT_EQ(recorded(), expand({{'w', 0x2002, 248},
                                  {'w', 0x3302, 199},
                                  {'w', 0x3502, 29},
                                  {'w', 0xA6E02, 1},
                                  {'w', 0x2604, 0x0100A00A},
                                  {'w', 0x1E01, 0x01},
                                  {'r', 0x2C01, 0}}));
    EXPECT_EQ(pixel(10, 20), 248);
    EXPECT_EQ(pixel(209, 49), 248);
    EXPECT_EQ(pixel(210, 20), 0);
    EXPECT_EQ(pixel(10, 50), 0);
}

TEST_F(OsdPrimitives, ListMarkSizesBecomeEightPixelBlocks) {
    struct Case {
        int x, w, y, h, colour;
        int markY, markColour;
    } cases[] = {{326, 16, 170, 16, 248, 172, 247}, {326, 15, 202, 15, 95, 204, 95}};
    for (const Case& c : cases) {
        chip().clearOperations();
        osd_paint(c.x, c.w, c.y, c.h, c.colour);
        EXPECT_EQ(chip().operations(), std::vector<std::string>{"osd.fill plane=0 x=315 y=" + std::to_string(c.markY) +
                                                                " w=8 h=8 colour=" + std::to_string(c.markColour)});
    }
}

TEST_F(OsdPrimitives, PartIsCopiedFromThePartsPlane) {
    // parts.csv line 27: "27,x,y,236,52".
    std::istringstream line(partLine(27));
    int n, px, py, w, h;
    char comma;
    line >> n >> comma >> px >> comma >> py >> comma >> w >> comma >> h;
    ASSERT_EQ(n, 27);
    record();
    osd_put_part(27, 60, 190);
    EXPECT_EQ(recorded(), expand({{'w', 0x3302, 235},
                                  {'w', 0x3502, 51},
                                  {'w', 0x2204, 0x01900000u + px + py * 1024u},
                                  {'w', 0x2604, 0x01000000u + 60 + 190 * 2048u},
                                  {'w', 0x1E01, 0x02},
                                  {'r', 0x2C01, 0}}));
    EXPECT_EQ(pixel(60, 190), 248);       // the tab's frame
    EXPECT_EQ(pixel(60 + 20, 190 + 20), 252);  // its blue inside
    EXPECT_EQ(pixel(60 + 236, 190), 0);   // nothing past the part
}

// A part entry larger than the plane is cut at the plane's edge and at the
// parts plane's edge: the other plane and the font stay as they were.
TEST_F(OsdPrimitives, APartLargerThanThePlaneIsCutAtItsEdge) {
    auto font = [] {
        std::vector<uint8_t> bytes;
        for (uint32_t a = 0; a < 127 * 32; ++a) bytes.push_back(chip().memory(0x01800000u + a));
        return bytes;
    };
    const std::vector<uint8_t> before = font();
    std::snprintf(OSDPARTS_TBL[28], kOsdPartsLine, "28,0,0,99999,99999");
    osd_put_part(28, 100, 50);
    osd_put_part(28, 2048, 0);  // wholly outside: nothing
    EXPECT_EQ(chip().operations(), std::vector<std::string>{"osd.copy plane=0 x=100 y=50 w=1024 h=1150 from=0x01900000"});
    EXPECT_EQ(chip().planePixel(1, 0, 0), 0);
    EXPECT_EQ(chip().planePixel(1, 2047, 1199), 0);
    EXPECT_EQ(font(), before);
    EXPECT_EQ(chip().memoryErrors(), 0u);
}

TEST_F(OsdPrimitives, PartOrSentenceThatDoesNotExistDrawsNothing) {
    osd_put_part(OSDPARTS_COUNT, 0, 0);
    osd_put_part(-1, 0, 0);
    EXPECT_EQ(osd_put_sentence(0, 0, 0, 0, 0, 16, kOsdOwnColour, kOsdOwnColour), 0);
    EXPECT_EQ(osd_put_sentence(373, 0, 0, 0, 0, 16, kOsdOwnColour, kOsdOwnColour), 0);
    EXPECT_TRUE(chip().operations().empty());
}

TEST_F(OsdPrimitives, SentenceIsOneGlyphList) {
    record();
    EXPECT_EQ(osd_put_sentence(59, 320, 12, 0, 0, 16, kOsdOwnColour, kOsdOwnColour), 88);
    // "Channel 1": glyph codes 35 72 65 78 78 69 76 0 17, widths of C h a n n e l space 1.
    const int codes[9] = {35, 72, 65, 78, 78, 69, 76, 0, 17}, widths[9] = {13, 9, 9, 9, 9, 9, 3, 7, 6};
    std::vector<Access> want = expand({{'w', 0x3B02, 0x0A00}, {'w', 0x3D01, 16}, {'w', 0x3B02, 0}});
    for (int i = 0; i < 9; ++i) {
        auto entry = expand({{'w', 0x3D01, static_cast<uint64_t>(codes[i])},
                             {'w', 0x3D01, 0},
                             {'w', 0x3D01, 0},
                             {'w', 0x3D01, 255},
                             {'w', 0x3D01, static_cast<uint64_t>(widths[i])}});
        want.insert(want.end(), entry.begin(), entry.end());
    }
    auto tail = expand({{'w', 0x3701, 0},
                        {'w', 0x3801, 8},
                        {'w', 0x3901, 0},
                        {'w', 0x3A01, 0},
                        {'w', 0x2204, 0x01800000},
                        {'w', 0x2604, 0x01000000 + 320 + 12 * 2048},
                        {'w', 0x1E01, 0x03},
                        {'r', 0x2C01, 0}});
    want.insert(want.end(), tail.begin(), tail.end());
    EXPECT_EQ(recorded(), want);
    EXPECT_EQ(placed(chip().scene(0)), std::vector<std::string>{"320,12 Channel 1"});
    EXPECT_EQ(chip().operations(),
              std::vector<std::string>{"osd.text plane=0 x=320 y=12 w=83 h=16 fg=0 bg=255 text=\"Channel 1\""});
}

TEST_F(OsdPrimitives, SentenceColourModes) {
    struct Case {
        int mode, fg, bg;
        int wantFg, wantBg;
    } cases[] = {
        {0, 0xFFFF, 0xFFFF, 0, 255},  {1, 0xFFFF, 0xFFFF, 255, 252}, {2, 0xFFFF, 0xFFFF, 248, 255},
        {0, 199, 0xFFFF, 199, 255},   {1, 0xFFFF, 1, 255, 1},
    };
    for (const Case& c : cases) {
        osd_put_sentence(2, 100, 100, c.mode, 0, 16, c.fg, c.bg);
        auto scene = chip().scene(0);
        ASSERT_EQ(scene.size(), 1u);
        EXPECT_EQ(scene[0].text, "Layout");
        EXPECT_EQ(scene[0].fg, c.wantFg) << "mode " << c.mode;
        EXPECT_EQ(scene[0].bg, c.wantBg) << "mode " << c.mode;
    }
}

TEST_F(OsdPrimitives, AsciiStringGlyphsAndTheirWidths) {
    struct Case {
        const char* text;
        int style;
        std::vector<int> codeAndWidth;  // pairs
    } cases[] = {
        {"A i", 0, {33, 13, 0, 7, 73, 2}},
        {"A i", 79, {33, 0x4D, 0, 0x47, 73, 0x42}},
        // Bytes the font has no glyph for (a UTF-8 label, a tab) are drawn as '?'.
        {"\xC3\t\x7F", 0, {31, 11, 31, 11, 31, 11}},
    };
    for (const Case& c : cases) {
        record();
        osd_put_ascii_string(c.text, 0, 0, 1, 2, c.style, 16);
        std::vector<int> got;
        auto acc = recorded();
        // Entries follow the three size writes: code low, code high, fg, bg, width.
        for (size_t i = 5; i + 4 < acc.size() && acc[i].offset == 0x3D; i += 5)
            got.insert(got.end(), {acc[i].value | acc[i + 1].value << 8, acc[i + 4].value});
        EXPECT_EQ(got, c.codeAndWidth) << c.text;
    }
}

TEST_F(OsdPrimitives, NumbersInEachSignMode) {
    struct Case {
        int sign, digits, value;
        const char* shown;
    } cases[] = {
        {0, 3, -5, "995"}, {2, 3, 7, "+007"}, {1, 2, -3, "-03"}, {1, 2, 3, " 03"}, {0, 2, 123, "23"}, {2, 2, -45, "-45"},
    };
    for (const Case& c : cases) {
        record();
        osd_put_num(c.sign, c.digits, c.value, 40, 60, 248, 1, 5, 16);
        auto scene = chip().scene(0);
        ASSERT_EQ(scene.size(), 1u);
        EXPECT_EQ(scene[0].text, c.shown);
        auto acc = recorded();
        auto data = std::count_if(acc.begin(), acc.end(), [](const Access& a) { return a.write && a.offset == 0x3D; });
        EXPECT_EQ(data, 1 + 9 * 5) << "nine entries always";
        // The last entry is past the number: code -32, the spare width.
        auto last = std::find_if(acc.rbegin(), acc.rend(), [](const Access& a) { return a.offset == 0x3D; });
        EXPECT_EQ(last->value, 5);
        EXPECT_EQ((last + 3)->value, 0xFF);
        EXPECT_EQ((last + 4)->value, 0xE0);
    }
}

TEST_F(OsdPrimitives, LongTextGoesInListsOfAtMost256Glyphs) {
    std::string text(300, 'i');  // 2 pixels and the blank column each
    osd_put_ascii_string(text.c_str(), 10, 300, 0, 255, 0, 16);
    auto scene = chip().scene(0);
    ASSERT_EQ(scene.size(), 2u);
    EXPECT_EQ(scene[0].x, 10);
    EXPECT_EQ(scene[0].text.size(), 256u);
    EXPECT_EQ(scene[1].x, 10 + 256 * 3);
    EXPECT_EQ(scene[1].text.size(), 44u);
}

TEST_F(OsdPrimitives, WriteInhibitKeepsTheOtherBits) {
    OSDCT = 0xDB;
    record();
    osd_write_inh_ct(1, 1);
    EXPECT_EQ(OSDCT, 0xF8);
    osd_write_inh_ct(0, 1);
    EXPECT_EQ(OSDCT, 0xD8);
    EXPECT_EQ(recorded(), expand({{'w', 0x1E01, 0xF8}, {'w', 0x1F01, 1}, {'w', 0x1E01, 0xD8}, {'w', 0x1F01, 1}}));
    EXPECT_TRUE(chip().operations().empty()) << "no operation starts";
}

TEST_F(OsdPrimitives, OsdOnShowsTheDrawingPlane) {
    struct Case {
        int ch, blend;
        uint8_t modeBefore;
        uint64_t apply, blends, modeAfter;
    } cases[] = {{0, 0, 0x00, 1, 238, 0x13}, {1, 1, 0xE4, 16, 255, 0xF7}};
    for (const Case& c : cases) {
        chip().setReg(2 + 11 * c.ch, 0x09, c.modeBefore);
        osd_put_ascii_string("Channel 1", 320, 12, 0, 255, 0, 16);
        record();
        osd_on(c.ch, 640, 640, 300, 480, c.blend, 255, 255, 255, 239);
        auto want = expand({{'r', 0x402, 0},
                            {'r', 0x20901, c.modeBefore, c.ch},
                            {'w', 0x402, 27},
                            {'w', 0x21704, 0x01000000, c.ch},
                            {'w', 0x20F02, 640 - 6 + 192, c.ch},
                            {'w', 0x21102, 640, c.ch},
                            {'w', 0x21302, 41 + 1 + 300, c.ch},
                            {'w', 0x21502, 480, c.ch},
                            {'w', 0x20901, c.modeAfter, c.ch},
                            {'w', 0x20B01, c.blends, c.ch},
                            {'w', 0x20C01, c.blends, c.ch},
                            {'w', 0x20D01, c.blends, c.ch},
                            {'w', 0x20E01, 239, c.ch},
                            {'w', 0x402, c.apply},
                            {'w', 0x402, 0}});
        EXPECT_EQ(withoutVsync(recorded()), want) << "channel " << c.ch;
        EXPECT_EQ(placed(chip().visibleTexts(c.ch)), std::vector<std::string>{"320,12 Channel 1"});
    }
}

TEST_F(OsdPrimitives, OsdOffHidesTheWindow) {
    osd_on(1, 640, 640, 300, 480, 0, 255, 255, 255, 239);
    record();
    osd_off(1);
    EXPECT_EQ(withoutVsync(recorded()), expand({{'r', 0x20901, 0x13, 1},
                                                {'w', 0x402, 27},
                                                {'w', 0x20901, 0x11, 1},
                                                {'w', 0x402, 8},
                                                {'w', 0x402, 0}}));
    EXPECT_TRUE(chip().visibleTexts(1).empty());
}

TEST_F(OsdPrimitives, TwoPlaneSwapsReturnToTheFirstPlane) {
    EXPECT_EQ(ST_OSDAD, 0x01000000u);
    osd_swap_memplane();
    EXPECT_EQ(ST_OSDAD, 0x01400000u);
    osd_swap_memplane();
    EXPECT_EQ(ST_OSDAD, 0x01000000u);
}

TEST_F(OsdPrimitives, SwapClearsTheNewPlaneOverTheThreadChannelsPicture) {
    struct Case {
        int format0, format1, channel;
        int clearedW, clearedH;
    } cases[] = {
        {0, 0, 0, 1920, 1080},    // native: 1080p60
        {42, 0, 0, 1920, 1080},   // 4K: only the top-left quarter of 3840 x 2160
        {0, 31, 1, 1280, 720},    // the thread's channel, not channel 1
    };
    for (const Case& c : cases) {
        PM.OUTPUT_RES_SEL[0] = static_cast<uint8_t>(c.format0);
        PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(c.format1);
        set_output_timing(0, c.format0);
        set_output_timing(1, c.format1);
        ST_OSDAD = PS_OSDSAD1;
        osd_paint(0, 2048, 0, 1200, 5);
        ST_OSDAD = PS_OSDSAD0;
        Channel = c.channel;
        osd_swap();
        Channel = 0;
        EXPECT_EQ(ST_OSDAD, PS_OSDSAD1);
        EXPECT_EQ(pixel(0, 0), 239);
        EXPECT_EQ(pixel(c.clearedW - 1, c.clearedH - 1), 239);
        EXPECT_EQ(pixel(c.clearedW, 0), 5) << "format " << c.format0;
        EXPECT_EQ(pixel(0, c.clearedH), 5) << "format " << c.format0;
    }
}

TEST_F(OsdPrimitives, PaletteIsLoadedThroughThePalettePort) {
    set_debug_level(0x200, 0);
    record();
    testing::internal::CaptureStdout();
    osd_write_plt(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Load pallet_data(../memfiles/osd_pallet.csv).\n");
    auto acc = recorded();
    ASSERT_EQ(acc.size(), 1u + 816u + 2u);
    EXPECT_EQ(acc.front(), (Access{true, 0x0D, 0x1C, 0}));
    EXPECT_TRUE(std::all_of(acc.begin() + 1, acc.begin() + 817,
                            [](const Access& a) { return a.write && a.bank == 0x0D && a.offset == 0x1D; }));
    EXPECT_EQ(acc.back(), (Access{true, 0x0D, 0x0A, 0x40}));
    const auto capture = chip().captureChannel(1);
    const uint8_t* pal = capture.palette;
    EXPECT_EQ(std::vector<int>(pal + 3 * 252, pal + 3 * 252 + 3), (std::vector<int>{0x1E, 0x50, 0xA0}));
    EXPECT_EQ(std::vector<int>(pal + 3 * 255, pal + 3 * 255 + 3), (std::vector<int>{0xFF, 0xFF, 0xFF}));
}

TEST_F(OsdPrimitives, ShortOrMalformedPaletteLeavesBlackEntries) {
    board_->write("root/app/memfiles/osd_pallet.csv", "0x10,0x20,0x30\nzz,1\n0x40,0x50,0x60\n");
    osd_write_plt(0);
    const auto capture = chip().captureChannel(0);
    const uint8_t* pal = capture.palette;
    EXPECT_EQ(std::vector<int>(pal, pal + 9), (std::vector<int>{0x10, 0x20, 0x30, 0, 0, 0, 0x40, 0x50, 0x60}));
    EXPECT_EQ(pal[3 * 200], 0);
}

TEST_F(OsdPrimitives, MissingPaletteEndsTheProgram) {
    std::remove((board_->root() + "/root/app/memfiles/osd_pallet.csv").c_str());
    EXPECT_EXIT(osd_write_plt(0), testing::ExitedWithCode(1), "");
}

TEST_F(OsdPrimitives, GainScalesAndSwitchesTheGainStage) {
    struct Case {
        int enable, gain;
        uint64_t written, modeBefore, modeAfter;
    } cases[] = {{1, 1, 64, 0x02, 0x12}, {1, 3, 192, 0x02, 0x12}, {1, 4, 255, 0x02, 0x12}, {0, 2, 128, 0x12, 0x02}};
    for (const Case& c : cases) {
        chip().setReg(0x0D, 0x09, static_cast<uint8_t>(c.modeBefore));
        record();
        osd_gain(1, c.enable, c.gain, c.gain, c.gain);
        auto want = expand({{'w', 0x22001, c.written, 1}, {'w', 0x22101, c.written, 1}, {'w', 0x22201, c.written, 1},
                            {'w', 0x22601, c.written, 1}, {'w', 0x22701, c.written, 1}, {'w', 0x22801, c.written, 1},
                            {'w', 0x22C01, c.written, 1}, {'w', 0x22D01, c.written, 1}, {'w', 0x22E01, c.written, 1},
                            {'w', 0x23201, 64, 1},        {'w', 0x23301, 64, 1},        {'w', 0x23401, 64, 1},
                            {'r', 0x20901, c.modeBefore, 1}, {'w', 0x20901, c.modeAfter, 1}});
        EXPECT_EQ(recorded(), want) << "gain " << c.gain;
    }
}

TEST_F(OsdPrimitives, BiasWritesLowBytesThenZeros) {
    record();
    osd_bias(0, -128, 5, 127);
    EXPECT_EQ(recorded(), expand({{'w', 0x22301, 0x80}, {'w', 0x22401, 5},  {'w', 0x22501, 127},
                                  {'w', 0x22901, 0x80}, {'w', 0x22A01, 5},  {'w', 0x22B01, 127},
                                  {'w', 0x22F01, 0x80}, {'w', 0x23001, 5},  {'w', 0x23101, 127},
                                  {'w', 0x23501, 0},    {'w', 0x23601, 0},  {'w', 0x23701, 0}}));
}

TEST_F(OsdPrimitives, BusyBitIsPolledUntilClear) {
    chip().setBusyReads(2);
    record();
    osd_paint(0, 8, 0, 8, 1);
    auto acc = recorded();
    EXPECT_EQ(std::count(acc.begin(), acc.end(), Access{false, 0, 0x2C, 1}), 2);
    EXPECT_EQ(acc.back(), (Access{false, 0, 0x2C, 0}));
}

TEST_F(OsdPrimitives, StuckEngineGivesUpAfter3000Reads) {
    chip().setBusyReads(-1);
    set_debug_level(0x200, 0);
    record();
    testing::internal::CaptureStdout();
    osd_paint(0, 8, 0, 8, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "{'(busy&0x01)!=0':OVERFLOW!!! delimitLoop=3000}\r\n");
    auto acc = recorded();
    EXPECT_EQ(std::count(acc.begin(), acc.end(), Access{false, 0, 0x2C, 1}), 3000);
    // The next operation is not retried and the program goes on.
    chip().setBusyReads(0);
    osd_paint(0, 8, 0, 8, 2);
    EXPECT_EQ(pixel(0, 0), 2);
}

TEST_F(OsdPrimitives, ThreadsNeverMixTheirOperations) {
    std::atomic<bool> go{false};
    auto draw = [&](const char* text, int y, int fg) {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < 150; ++i) {
            osd_put_ascii_string(text, 10, y, fg, 255, 0, 16);
            osd_paint(600, 20, y, 10, fg);
        }
    };
    std::thread a(draw, "AAAA", 0, 1), b(draw, "BBBB", 100, 2);
    go = true;
    a.join();
    b.join();
    for (const std::string& op : chip().operations()) {
        const bool isA = op.find("y=0 ") != std::string::npos;
        if (op.rfind("osd.text", 0) == 0)
            EXPECT_EQ(op, isA ? "osd.text plane=0 x=10 y=0 w=56 h=16 fg=1 bg=255 text=\"AAAA\""
                              : "osd.text plane=0 x=10 y=100 w=48 h=16 fg=2 bg=255 text=\"BBBB\"");
        else
            EXPECT_EQ(op, isA ? "osd.fill plane=0 x=600 y=0 w=20 h=10 colour=1"
                              : "osd.fill plane=0 x=600 y=100 w=20 h=10 colour=2");
    }
}

TEST_F(OsdPrimitives, LogoIsUploadedBottomRowFirst) {
    std::string bmp(1078, '\0');
    for (int r = 0; r < 480; ++r) bmp += std::string(640, static_cast<char>(r == 0 ? 7 : (r == 479 ? 9 : 3)));
    board_->write("root/app/memfiles/logo.bmp", bmp);
    osd_put_bmp(100, 50);
    EXPECT_EQ(pixel(100, 50), 9);
    EXPECT_EQ(pixel(739, 529), 7);
    EXPECT_EQ(pixel(300, 300), 3);
}

TEST_F(OsdPrimitives, MissingLogoDrawsNothing) {
    set_debug_level(0x200, 0);
    testing::internal::CaptureStdout();
    osd_put_bmp(0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "logo.bmp File open error\n");
    EXPECT_TRUE(chip().operations().empty());
}

TEST_F(OsdPrimitives, TextWidths) {
    EXPECT_EQ(getStrTotalCharaHw("Channel 1", 0).width, 83);
    EXPECT_EQ(getStrTotalCharaHw("Channel 1", 0).length, 9);
    EXPECT_EQ(getStrTotalCharaHw("Channel 1", 1).width, 166);
    EXPECT_EQ(getStrTotalCharaHw("", 0).width, 0);
    EXPECT_EQ(getStrTotalCharaHw("\xC3\xA9", 0).width, 24);
    EXPECT_EQ(getSentenceTotalCharaHw(59, 0).width, 83);
    EXPECT_EQ(getSentenceTotalCharaHw(59, 0).length, 9);
    EXPECT_EQ(getSentenceTotalCharaHw(0, 0).width, 0);
}

}  // namespace
}  // namespace hx40test
