// The root page and the closed menu as the menu shows them, and the picture
// a monitor on the output shows of the root page.
#include "unit/osd/osd_fixture.h"

#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_lists.h"
#include "menu/root_page.h"
#include "osd/menu_kit.h"
#include "platform/sim/ctl.h"

#include <png.h>

namespace hx40test {
namespace {

class RootPage : public OsdTest {
protected:
    RootPage() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        funcTableInstallProgram();
        root_ = funcNum2TblInx(0);
        OSD_CHANNEL = 0;
        PM.OSDPOSH = 640;
        PM.OSDPOSV = 300;
        PM.OSDTRAN = 0;
    }
    // What the engine does for the root: the base screen, then the screen.
    void open(int cursor) {
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        PB_0 = cursor;
        reprepareOsd();
        osd_func0(root_);
    }
    std::vector<std::string> shown() const { return coloured(chip().visibleTexts(0)); }
    int root_ = 0;
};

TEST_F(RootPage, RowsOfTheRootAndTheClosedMenu) {
    ASSERT_NE(root_, 0);
    const FuncRow& r = funcDataTbl[root_];
    EXPECT_EQ(r.type, 15u);
    EXPECT_EQ(r.value, &PB_0);
    EXPECT_EQ(r.min.i, 0);
    EXPECT_EQ(r.max.i, 4);
    EXPECT_EQ(r.screen, &osd_func0);
    EXPECT_EQ(r.enable, 1);
    EXPECT_EQ(funcDataTbl[funcNum2TblInx(999)].screen, &osd_func999);
}

TEST_F(RootPage, HighlightsTheTabAndPreviewsItsPage) {
    open(2);
    EXPECT_EQ(shown(), (std::vector<std::string>{
                           "140,92 0/255 Inputs", "140,150 0/255 Layout", "140,266 0/255 Channel 2", "140,324 0/255 Misc",
                           "140,208 255/252 Channel 1", "320,12 0/255 Main Menu", "330,138 0/255 Source",
                           "330,170 0/255 Scan / Aspect", "330,202 0/255 Output Window", "330,234 0/255 Picture",
                           "330,266 0/255 Color", "330,298 0/255 Deinterlace", "330,330 0/255 Noise Reduction",
                           "330,362 0/255 Control", "330,394 0/255 Audio"}));
    auto ops = chip().operations();
    EXPECT_EQ(std::count_if(ops.begin(), ops.end(),
                            [](const std::string& o) { return o.starts_with("osd.copy plane=0 x=60 y=190 w=236 h=52 "); }),
              1)
        << "part 27 behind the tab";
    EXPECT_EQ(std::count_if(ops.begin(), ops.end(), [](const std::string& o) { return o.find("x=315") != std::string::npos; }), 0)
        << "the preview has no cursor";
    EXPECT_EQ(OSDCT & 0x20, 0) << "inhibit released";
}

TEST_F(RootPage, ACursorPastTheTabsStartsAtTheFirst) {
    open(7);
    EXPECT_EQ(PB_0, 0);
    auto texts = shown();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "140,92 255/252 Inputs"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "330,138 0/255 HDMI 1"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "330,362 0/255 HDBT 2"), texts.end());
}

TEST_F(RootPage, ClosedMenuDrawsNothingAndSwitchesOff) {
    vp.gFlags = 0;
    chip().clearOperations();
    osd_func0(root_);
    EXPECT_TRUE(chip().operations().empty());
    EXPECT_EQ(OSDCT & 0x20, 0x20) << "the inhibit stays until the next screen";
    open(1);
    ASSERT_FALSE(shown().empty());
    osd_func999(funcNum2TblInx(999));
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(OSDCT & 0x20, 0);
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

TEST_F(RootPage, PictureOfTheOpenMenu) {
    open(3);
    std::string reply;
    ASSERT_TRUE(board::sim::ctl::request(board_->root(), "snapshot", reply));
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&img, board_->file("sim/osd/out0.png").c_str()));
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
    ASSERT_TRUE(png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr));
    auto at = [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * img.width + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };
    // The menu stands at (640, 300) over the video: white, framed dark, the
    // channel 2 tab blue; the video shows around it.
    EXPECT_EQ(at(100, 100), (Rgb{0x30, 0x30, 0x30}));
    EXPECT_EQ(at(640 + 600, 300 + 440), (Rgb{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(at(640 + 1, 300 + 1), (Rgb{0x1C, 0x24, 0x30}));
    EXPECT_EQ(at(640 + 70, 300 + 74 + 58 * 3 + 20), (Rgb{0x1E, 0x50, 0xA0}));
    EXPECT_EQ(at(640 + 70, 300 + 74 + 20), (Rgb{0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace hx40test
