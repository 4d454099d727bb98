// The menu's channel, the resolution browsers' text, the forced-factory-reset
// marker and the scaler's reset.
#include "unit/osd/osd_fixture.h"

#include "core/pm.h"
#include "sys/print.h"

namespace hx40test {
namespace {

// "x,y fg/bg text" of each text on the drawing plane.
std::vector<std::string> drawn(int plane) {
    std::vector<std::string> out;
    for (const auto& t : chip().scene(plane))
        out.push_back(std::to_string(t.x) + "," + std::to_string(t.y) + " " + std::to_string(t.fg) + "/" +
                      std::to_string(t.bg) + " " + t.text);
    return out;
}

class OsdChannel : public OsdTest {
protected:
    void SetUp() override {
        OsdTest::SetUp();
        PM.DISPLAY_MODE = 1;
        OSD_CHANNEL = 0;
    }
};

TEST_F(OsdChannel, DisplayModeChoosesTheMenusChannel) {
    struct Case {
        uint8_t mode;
        uint8_t channel;
    } cases[] = {{0, 1}, {1, 0}, {2, 0}, {0, 1}};
    for (const Case& c : cases) {
        PM.DISPLAY_MODE = c.mode;
        switch_osd();
        EXPECT_EQ(OSD_CHANNEL, c.channel) << "mode " << int(c.mode);
    }
}

TEST_F(OsdChannel, MovingTheMenuSwitchesTheOldWindowOff) {
    PM.DISPLAY_MODE = 1;
    switch_osd();
    osd_on(OSD_CHANNEL, 100, 640, 100, 480, 0, 255, 255, 255, 239);
    ASSERT_EQ(chip().reg(0x02, 0x09) & 0x02, 0x02);
    PM.DISPLAY_MODE = 0;
    switch_osd();
    EXPECT_EQ(OSD_CHANNEL, 1);
    EXPECT_EQ(chip().reg(0x02, 0x09) & 0x02, 0) << "channel 0's window is off";
    EXPECT_EQ(chip().reg(0x0D, 0x09) & 0x02, 0) << "the next screen shows it on channel 1";
    record();
    switch_osd();
    EXPECT_TRUE(recorded().empty()) << "no move, no register access";
}

TEST_F(OsdChannel, NativeBrowserDrawsHintsAndTheCentredName) {
    // The name is preceded by half the spare characters of 31 plus 1, or
    // plus 2 from a half of 9 on.
    struct Case {
        int index, colour;
        int spaces;
        const char* name;
    } cases[] = {
        {0, 0, 12, "1024x768@60"},
        {9, 199, 9, "1920x1200@60RB"},
        {10, 199, 14, "720p50"},
        {15, 199, 15, "2k60"},
    };
    set_debug_level(0x200, 0);
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        osdDispNative(c.index, c.colour, 1);
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(drawn(drawingPlane()), (std::vector<std::string>{
                                             "320,170 0/255  Use UP and DOWN to navigate",
                                             "320,202 0/255 Press ENTER or RIGHT to select",
                                             "320,234 " + std::to_string(c.colour) + "/255 " +
                                                 std::string(static_cast<size_t>(c.spaces), ' ') + c.name,
                                         }));
        EXPECT_NE(printed.find("Browsing native resolution '"), std::string::npos);
    }
    testing::internal::CaptureStdout();
    osdDispNative(15, 0, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Browsing native resolution '2k60', deepColor=1\r\n");
}

TEST_F(OsdChannel, NativeBrowserPastTheTableLeavesTheLineBlank) {
    osdDispNative(16, 199, 0);
    std::vector<std::string> texts = drawn(drawingPlane());
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2], "320,234 0/255 " + std::string(32, ' '));
}

TEST_F(OsdChannel, OutputBrowserDrawsTheFormatName) {
    osdDispOutput(42, 199);
    EXPECT_EQ(drawn(drawingPlane()), std::vector<std::string>{"320,234 199/255 " + std::string(14, ' ') + "4k2k30"});
    osdDispOutput(1, 0);
    EXPECT_EQ(drawn(drawingPlane()), std::vector<std::string>{"320,234 0/255 " + std::string(12, ' ') + "640x480@60"});
}

TEST_F(OsdChannel, FactoryMarkerIsSeenOnceThenCleared) {
    EXPECT_FALSE(checkFactoryResetMarker()) << "a new board";
    setFactoryResetMarker();
    EXPECT_EQ(chip().reg(0x30, 0x0D), 0xFA);
    EXPECT_TRUE(checkFactoryResetMarker());
    EXPECT_EQ(chip().reg(0x30, 0x0D), 0);
    EXPECT_FALSE(checkFactoryResetMarker());
    chip().setReg(0x30, 0x0D, 0x5A);
    EXPECT_FALSE(checkFactoryResetMarker()) << "only the marker value forces a reset";
}

TEST_F(OsdChannel, ResetClearsTheRegistersAndTheBankCacheFollows) {
    const uint8_t kept[] = {9};
    osd_upload(0x00300000, kept, 1);
    write_C812(0x20901, 0x13, 1, 0);
    setFactoryResetMarker();
    scalerReset();
    EXPECT_EQ(chip().reg(0x0D, 0x09), 0);
    EXPECT_EQ(chip().reg(0x30, 0x0D), 0);
    EXPECT_EQ(chip().selectedBank(), 0);
    EXPECT_EQ(chip().memory(0x00300000), 9) << "frame memory keeps its contents";
    write_C812(0x300D01, 7, 0, 0);  // the bank the reset was written through
    EXPECT_EQ(chip().reg(0x30, 0x0D), 7);
}

}  // namespace
}  // namespace hx40test
