// The simulated chip as a person and a black-box test see it: the pictures
// under sim/osd/, the journal, the control commands, the chip's own checks.
#include "unit/osd/osd_fixture.h"

#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/sim/osd_render.h"
#include "platform/sim/sim_board.h"
#include "support/png_read.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace hx40test {
namespace {

std::vector<int> rgbAt(const RgbPicture& p, int x, int y) { return p.at(x, y); }

class SimOsdPictures : public OsdTest {
protected:
    SimOsdPictures() : OsdTest(true, true) {}
};

TEST_F(SimOsdPictures, TestScreenIsWrittenAsTheOutputsPicture) {
    ::setenv("HX40_OSD_TEST_SCREEN", "1", 1);
    osd_debug_test_screen();
    ::unsetenv("HX40_OSD_TEST_SCREEN");
    std::string reply;
    ASSERT_TRUE(board::sim::ctl::request(board_->root(), "snapshot", reply));
    EXPECT_EQ(reply.rfind("OK frame ", 0), 0u) << reply;

    RgbPicture out = readRgbPng(board_->file("sim/osd/out0.png"));
    ASSERT_EQ(out.w, 1920);
    ASSERT_EQ(out.h, 1080);
    EXPECT_EQ(rgbAt(out, 10, 10), (std::vector<int>{0x30, 0x30, 0x30})) << "the video around the menu";
    // The 640 x 480 menu is centred: (640, 300). Its base screen is white
    // inside a dark frame, the highlighted tab blue.
    EXPECT_EQ(rgbAt(out, 640 + 600, 300 + 440), (std::vector<int>{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rgbAt(out, 640 + 1, 300 + 1), (std::vector<int>{0x1C, 0x24, 0x30}));
    EXPECT_EQ(rgbAt(out, 640 + 70, 300 + 200), (std::vector<int>{0x1E, 0x50, 0xA0}));
    EXPECT_EQ(readRgbPng(board_->file("sim/osd/plane1.png")).w, 2048);
    EXPECT_EQ(readRgbPng(board_->file("sim/osd/out1.png")).w, 1920);

    std::string scene = board_->read("sim/osd/scene.txt");
    EXPECT_NE(scene.find("channel 0 window on plane 1 at 640,300 size 640x480 key 239\n"), std::string::npos) << scene;
    EXPECT_NE(scene.find("  320,12 148x16 fg 0 bg 255 \"OSD test screen\"\n"), std::string::npos) << scene;
    EXPECT_NE(scene.find("\"Channel 1\""), std::string::npos) << scene;
    EXPECT_NE(board_->read("sim/journal.log").find("osd.text plane=1 x=320 y=12 w=148 h=16 fg=0 bg=255 "
                                                   "text=\"OSD test screen\""),
              std::string::npos);
    // No temporary file is left behind (one being written right now by the
    // periodic writer goes within its write).
    auto leftover = [&] {
        for (const auto& e : std::filesystem::directory_iterator(board_->file("sim/osd")))
            if (e.path().extension() == ".tmp") return e.path().string();
        return std::string();
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!leftover().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(leftover(), "");
}

TEST_F(SimOsdPictures, ChangesReachThePicturesWithoutASnapshot) {
    auto sceneWith = [&](const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string scene;
        while (std::chrono::steady_clock::now() < deadline) {
            scene = board_->read("sim/osd/scene.txt");
            if (scene.find(text) != std::string::npos && scene.find("channel 1 window on") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return scene;
    };
    // The picture as written equals the output the chip composes now.
    auto shownAsComposed = [&] {
        const RgbPicture written = readRgbPng(board_->file("sim/osd/out1.png"));
        return written.rgb == board::sim::composeChannel(chip().captureChannel(1)).rgb;
    };
    osd_put_ascii_string("Hello", 20, 20, 0, 255, 0, 16);
    osd_on(1, 100, 640, 100, 480, 0, 255, 255, 255, 239);
    std::string scene = sceneWith("\"Hello\"");
    EXPECT_NE(scene.find("channel 1 window on plane 0 at 100,100"), std::string::npos) << scene;
    EXPECT_NE(board::sim::ctl::dispatch("state").find("[osd]\nchannel 0 window off\nchannel 1 window on"),
              std::string::npos);
    EXPECT_TRUE(shownAsComposed());

    // A change on one channel rewrites its picture alone.
    struct stat before {};
    ::stat(board_->file("sim/osd/out0.png").c_str(), &before);
    osd_put_ascii_string("World", 20, 300, 0, 255, 0, 16);
    scene = sceneWith("\"World\"");
    EXPECT_NE(scene.find("\"World\""), std::string::npos) << scene;
    EXPECT_TRUE(shownAsComposed());
    struct stat after {};
    ::stat(board_->file("sim/osd/out0.png").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << "channel 0's picture was written again";
}

TEST_F(SimOsdPictures, BusyFaultIsSetFromTheControlSocket) {
    EXPECT_EQ(board::sim::ctl::dispatch("osd-busy never"), "OK osd-busy never");
    EXPECT_EQ(chip().busyReads(), -1);
    EXPECT_EQ(board::sim::ctl::dispatch("osd-busy 5"), "OK osd-busy 5");
    EXPECT_EQ(chip().busyReads(), 5);
    EXPECT_EQ(board::sim::ctl::dispatch("osd-busy lots").rfind("ERR", 0), 0u);
}

TEST(ScalerChipConf, BoardConfSetsTheBusyBit) {
    chip().reset();
    TempBoard board(true, false);
    board.write("sim/board.conf", "scaler.osd_busy_reads = never\n");
    std::string error;
    ASSERT_TRUE(board::sim::start(&error)) << error;
    EXPECT_EQ(chip().busyReads(), -1);
    board::shutdown();
}

class ScalerChipOsd : public OsdTest {};

TEST_F(ScalerChipOsd, OperationsPastTheMemoryAreRefusedAndReported) {
    ST_OSDAD = 0x0FFFFF00;
    osd_paint(0, 64, 0, 4, 9);  // rows 1 to 3 lie past the last byte
    EXPECT_EQ(chip().memoryErrors(), 1u);
    EXPECT_EQ(chip().memory(0x0FFFFF00), 9);
    auto ops = chip().operations();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.front(), "osd.memory-error op=draw dest=0x0fffff00 w=64 h=4");
}

TEST_F(ScalerChipOsd, DataPortWritesSuccessiveBytes) {
    const uint8_t bytes[] = {1, 2, 3};
    osd_upload(0x00200000, bytes, sizeof bytes);
    EXPECT_EQ(chip().memory(0x00200000), 1);
    EXPECT_EQ(chip().memory(0x00200002), 3);
    EXPECT_EQ(chip().memory(0x00200003), 0);
}

TEST_F(ScalerChipOsd, BoldGlyphsInkOneMoreColumn) {
    osd_put_ascii_string("l", 0, 0, 1, 2, 0, 16);
    osd_put_ascii_string("l", 0, 20, 1, 2, kOsdStyleBold, 16);
    int plain = 0, bold = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 4; ++x) {
            plain += pixel(x, y) == 1;
            bold += pixel(x, 20 + y) == 1;
        }
    EXPECT_GT(plain, 0);
    EXPECT_GT(bold, plain);
    EXPECT_EQ(pixel(3, 5), 2) << "the blank column after the glyph";
}

TEST(OsdCompose, KeyBlendGainAndBias) {
    board::sim::ScalerChip::ChannelCapture c;
    c.outW = 3;
    c.outH = 1;
    c.windowOn = true;
    c.w = 2;
    c.h = 1;
    c.x = 1;
    c.key = 239;
    c.pixels = {239, 10};
    c.paletteInUse = true;
    c.palette[30] = c.palette[31] = c.palette[32] = 100;
    c.gain[0] = c.gain[1] = c.gain[2] = 64;
    struct Case {
        uint8_t blend;
        bool gainOn;
        uint8_t gain;
        int8_t bias;
        int shown;
    } cases[] = {
        {238, false, 64, 0, 100},
        {238, true, 128, 0, 200},
        {238, true, 64, -50, 50},
        {255, false, 64, 0, (100 * 70 + 0x30 * 30) / 100},
    };
    for (const Case& k : cases) {
        c.blend[0] = c.blend[1] = c.blend[2] = k.blend;
        c.gainOn = k.gainOn;
        c.gain[0] = k.gain;
        c.bias[0] = k.bias;
        board::sim::RgbImage img = board::sim::composeChannel(c);
        EXPECT_EQ(img.rgb[0], 0x30) << "outside the window";
        EXPECT_EQ(img.rgb[3], 0x30) << "key colour shows the video";
        EXPECT_EQ(img.rgb[6], k.shown);
    }
}

}  // namespace
}  // namespace hx40test
