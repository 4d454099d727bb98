// The framed two-line message of the main task and the upgrade: what the
// menu window shows, and how it goes away.
#include "unit/osd/osd_fixture.h"

#include "core/pm.h"
#include "osd/osd_message.h"

#include <chrono>
#include <thread>

namespace hx40test {
namespace {

class OsdMessage : public OsdTest {
protected:
    OsdMessage() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        OSD_CHANNEL = 1;
        PM.OSDPOSH = 640;
        PM.OSDPOSV = 300;
        vp.gFlags = 0;
    }
    std::vector<std::string> shown() const { return coloured(chip().visibleTexts(1)); }
    bool windowOn() const { return chip().regCode(0x20901, 1) & 0x02; }
    // Waits up to 3 s for the window to go off.
    bool waitOff() const {
        for (int i = 0; i < 300 && windowOn(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !windowOn();
    }
};

TEST_F(OsdMessage, TwoCentredLinesInAFrame) {
    struct Case {
        int frame;
        std::vector<std::string> texts;
        std::string border;
    } cases[] = {
        {3,
         {"190,210 199/255 Memfile Upgrade In Progress...", "193,250 0/255 Do Not Turn Off The Device"},
         "osd.fill plane=0 x=80 y=180 w=480 h=120 colour=199"},
        {0,
         {"190,210 0/255 Memfile Upgrade In Progress...", "193,250 0/255 Do Not Turn Off The Device"},
         "osd.fill plane=0 x=80 y=180 w=480 h=120 colour=248"},
    };
    for (const Case& c : cases) {
        chip().clearOperations();
        putFrameOsd("Memfile Upgrade In Progress...", "Do Not Turn Off The Device", -1, c.frame);
        EXPECT_EQ(shown(), c.texts) << c.frame;
        auto ops = chip().operations();
        EXPECT_NE(std::find(ops.begin(), ops.end(), c.border), ops.end()) << c.frame;
        EXPECT_NE(chip().sceneText().find("channel 1 window on plane 0 at 640,300 size 640x480 key 239"),
                  std::string::npos);
    }
    putFrameOsd("Configuring Upgrades...", "", -1, 3);
    EXPECT_EQ(shown(), std::vector<std::string>{"222,210 199/255 Configuring Upgrades..."});
}

TEST_F(OsdMessage, RemovingItWithTheMenuClosedSwitchesTheOsdOff) {
    putFrameOsd("Line one", "Line two", -1, 3);
    ASSERT_TRUE(windowOn());
    removeOsdString();
    EXPECT_FALSE(windowOn());
    // The base screen is back in the plane for the menu.
    auto plane = placed(chip().scene(0));
    EXPECT_EQ(plane, (std::vector<std::string>{"140,92 Inputs", "140,150 Layout", "140,208 Channel 1",
                                               "140,266 Channel 2", "140,324 Misc"}));
    EXPECT_EQ(board_->read("sim/journal.log").find("stLoop key=37"), std::string::npos);
}

TEST_F(OsdMessage, RemovingItWithTheMenuOpenRedrawsTheMenu) {
    vp.gFlags = VP_GFLAG_MENU_OPEN;
    putFrameOsd("Line one", "Line two", -1, 3);
    removeOsdString();
    EXPECT_TRUE(windowOn());
    EXPECT_NE(board_->read("sim/journal.log").find("stLoop key=37"), std::string::npos);
}

TEST_F(OsdMessage, ATimedMessageGoesByItself) {
    putFrameOsd("Line one", "Line two", 100, 3);
    EXPECT_TRUE(windowOn());
    EXPECT_TRUE(waitOff());

    // A message without a time replaces a timed one and stays.
    putFrameOsd("Line one", "Line two", 50, 3);
    putFrameOsd("Line three", "", -1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(windowOn());
    EXPECT_EQ(shown().size(), 1u);
}

}  // namespace
}  // namespace hx40test
