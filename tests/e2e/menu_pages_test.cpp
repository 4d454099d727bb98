// The Inputs and Layout pages on the running program, driven from the front
// panel: an input's volume changed and stored, an output format chosen in
// the browser and handed to the main task, and the saved menu values file.
#include "e2e/settled_device.h"
#include "support/menu_keys.h"
#include "support/sim_device.h"

#include <gtest/gtest.h>
#include <string>

using hx40test::SimDevice;

namespace {

// The lines of the OSD window that is on, from the board's [osd] state.
std::string shownOsd(SimDevice& dev) {
    const std::string state = dev.ctl("state");
    const size_t on = state.find(" window on ");
    if (on == std::string::npos) return "";
    const size_t end = state.find("\nplane ", on);
    return state.substr(on, end == std::string::npos ? std::string::npos : end - on);
}

bool shows(SimDevice& dev, const std::string& text) { return shownOsd(dev).find(text) != std::string::npos; }

void tap(SimDevice& dev, const char* key) { ASSERT_EQ(dev.ctl(std::string("key tap ") + key).substr(0, 2), "OK"); }

// Keys are dropped while a channel still measures its first input.
// Taps a key and waits until the OSD shows text.
void tapUntil(SimDevice& dev, const char* key, const std::string& text) {
    tap(dev, key);
    EXPECT_TRUE(dev.waitFor([&] { return shows(dev, text); }, 5000)) << key << " should show " << text << "\n"
                                                                      << shownOsd(dev);
}

// MENU, Layout, Outputs, Resolution: page 241 on its first output.
void openResolutionPage(SimDevice& dev) {
    tapUntil(dev, "MENU", "\"Main Menu\"");
    tapUntil(dev, "DOWN", "fg 255 bg 252 \"Layout\"");
    tapUntil(dev, "ENTER", "fg 255 bg 252 \"Display Mode\"");
    tapUntil(dev, "UP", "fg 255 bg 252 \"Outputs\"");
    tapUntil(dev, "ENTER", "fg 255 bg 252 \"Resolution\"");
    tapUntil(dev, "ENTER", "fg 255 bg 252 \"Output 1\"");
}

uint8_t eepromByte(SimDevice& dev, size_t addr) { return static_cast<uint8_t>(dev.read("sim/eeprom.bin").at(addr)); }

}  // namespace

TEST(MenuPages, AnInputVolumeChangedInTheMenuIsShownAndStored) {
    SimDevice dev;
    hx40test::startAndSettle(dev, 20000);
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(dev.ctl("pm get PM_I.INP_VOLUME"), "OK 0 0 0 0 0 0 0 0\n");

    tapUntil(dev, "MENU", "\"Main Menu\"");
    tapUntil(dev, "ENTER", "fg 255 bg 252 \"HDMI 1\"");
    // Input 1 is HDMI only: its signal type is greyed and the cursor starts on EDID.
    tapUntil(dev, "ENTER", "fg 199 bg 255 \"Signal Type\"");
    EXPECT_TRUE(shows(dev, "fg 255 bg 252 \"EDID\""));
    tapUntil(dev, "DOWN", "fg 255 bg 252 \"HDCP\"");
    tapUntil(dev, "DOWN", "fg 255 bg 252 \"Color Space\"");
    tapUntil(dev, "DOWN", "fg 255 bg 252 \"Volume\"");
    tapUntil(dev, "ENTER", "fg 248 bg 1 \"+00\"");
    EXPECT_TRUE(shows(dev, "fg 0 bg 255 \"HDMI 1\"")) << "the title names the input";
    tapUntil(dev, "UP", "fg 248 bg 1 \"+01\"");
    tapUntil(dev, "UP", "fg 248 bg 1 \"+02\"");
    EXPECT_TRUE(dev.waitJournal("audioSetInputVolume source=8 volume=2 channel=0", 3000)) << "CH1 hears input 1";

    tap(dev, "ENTER");
    EXPECT_TRUE(dev.waitJournal("eepromSaveFullPMData input=0 channel=0", 3000));
    EXPECT_TRUE(dev.waitFor([&] { return eepromByte(dev, 0x1800 + 5) == 2; }, 3000)) << "PM_I of input 1";
    EXPECT_EQ(dev.ctl("pm get PM_I.INP_VOLUME"), "OK 2 0 0 0 0 0 0 0\n");
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MenuPages, AnOutputFormatChosenInTheBrowserGoesToTheMainTask) {
    SimDevice dev;
    hx40test::startAndSettle(dev, 20000);
    if (::testing::Test::HasFatalFailure()) return;

    openResolutionPage(dev);
    // The browser: the native output first, in black.
    tapUntil(dev, "ENTER", "fg 0 bg 255 \"              Native\"");
    EXPECT_TRUE(dev.ctl("state").find("gflags 0x0201") != std::string::npos) << "the browser holds the keys";
    tapUntil(dev, "UP", "fg 199 bg 255 \"            640x480@60\"");
    tapUntil(dev, "UP", "fg 199 bg 255 \"            800x600@60\"");
    tap(dev, "ENTER");

    EXPECT_TRUE(dev.waitJournal("cnv code=1 channel=0", 3000)) << dev.journal();
    EXPECT_TRUE(dev.waitJournal("confOutputResolution delay=0 channel=0 both=0", 3000));
    EXPECT_EQ(dev.ctl("pm get PM.OUTPUT_RES_SEL"), "OK 2 0\n");
    EXPECT_EQ(eepromByte(dev, 0x7EB3), 0) << "the previous format of output 1";
    EXPECT_TRUE(dev.waitFor([&] { return shownOsd(dev).empty(); }, 3000)) << "the menu closed";
    EXPECT_TRUE(dev.waitFor([&] { return dev.ctl("state").find("gflags 0x0000") != std::string::npos; }, 3000));
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MenuPages, AControlSystemsSetsWhileTheMenuIsOpenApplyAndLeaveThePage) {
    SimDevice dev;
    hx40test::startAndSettle(dev, 20000);
    if (::testing::Test::HasFatalFailure()) return;
    hx40test::LoopbackTcp tcp(dev.tcpPort);

    openResolutionPage(dev);

    // Rows that no page shows: the value applies, the user's page stays.
    for (const char* set : {"7550,1", "7510,3"}) {
        const size_t from = dev.journal().size();
        EXPECT_EQ(hx40test::ask(tcp, std::string("#Y 0,") + set + "\r"), std::string("~01@Y 0,") + set + " OK\r\n");
        EXPECT_TRUE(dev.waitFor([&] { return dev.journal().find("menu.step ", from) != std::string::npos; }, 5000));
        EXPECT_TRUE(shows(dev, "fg 255 bg 252 \"Output 1\"")) << set << "\n" << shownOsd(dev);
        EXPECT_TRUE(shows(dev, "\"Output 2\"")) << set;
    }
    EXPECT_EQ(hx40test::ask(tcp, "#Y 1,7550\r"), "~01@Y 1,7550,1\r\n");
    EXPECT_TRUE(dev.waitJournal("exeSyncOff channel=0 tmds=1 5v=1", 3000)) << dev.journal();
    tapUntil(dev, "MENU", "fg 255 bg 252 \"Resolution\"");
    tapUntil(dev, "ENTER", "fg 255 bg 252 \"Output 1\"");

    // An output format: applied as the browser's ENTER would, no browser waits.
    EXPECT_EQ(hx40test::ask(tcp, "#Y 0,2411,16\r"), "~01@Y 0,2411,16 OK\r\n");
    EXPECT_TRUE(dev.waitJournal("confOutputResolution delay=0 channel=0 both=0", 3000)) << dev.journal();
    EXPECT_EQ(hx40test::ask(tcp, "#Y 1,2411\r"), "~01@Y 1,2411,16\r\n");
    EXPECT_EQ(eepromByte(dev, 0x7EB3), 0) << "the previous format of output 1";
    EXPECT_TRUE(dev.waitFor([&] { return shownOsd(dev).empty(); }, 3000)) << "the menu closed";
    EXPECT_TRUE(dev.waitFor([&] { return dev.ctl("state").find("gflags 0x0000") != std::string::npos; }, 3000));
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MenuPages, SavedMenuValuesRoundTrip) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    ASSERT_EQ(dev.ctl("pm set PM.BRIGHT -512 32"), "OK\n");
    ASSERT_EQ(dev.ctl("pm set PM.OSDPOSH 1280"), "OK\n");
    ASSERT_EQ(dev.ctl("menu-values save"), "OK saved\n");
    const std::string saved = dev.read("root/app/conf/default_saved.txt");
    ASSERT_EQ(saved.size(), 400u);
    EXPECT_EQ(saved.substr(17 * 5, 10), "fe00\n0020\n");
    EXPECT_EQ(saved.substr(78 * 5, 5), "0500\n");

    EXPECT_EQ(dev.ctl("menu-values restore 1"), "OK\n");
    EXPECT_TRUE(dev.waitJournal("restore_menu_param ../conf/default_initial.txt cannot be opened", 2000));
    EXPECT_EQ(dev.ctl("menu-values restore 0"), "OK\n");
    EXPECT_TRUE(dev.waitJournal("restore_menu_param ../conf/default_saved.txt", 2000));
    EXPECT_EQ(dev.read("root/app/conf/default_saved.txt"), saved) << "restoring writes nothing";
    EXPECT_EQ(dev.ctl("pm get PM.BRIGHT"), "OK -512 32\n");

    ASSERT_EQ(dev.ctl("pm set PM.BRIGHT 7 7"), "OK\n");
    ASSERT_EQ(dev.ctl("menu-values save"), "OK saved\n");
    EXPECT_EQ(dev.read("root/app/conf/default_saved.txt").substr(17 * 5, 10), "0007\n0007\n");
    EXPECT_EQ(dev.stop(), 0);
}
