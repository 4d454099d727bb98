// The on-screen menu as a person at the front panel sees it: MENU opens the
// root page, the arrows move its tab, and the menu goes by itself after its
// time-out.
#include "support/png_read.h"
#include "support/menu_keys.h"
#include "support/sim_device.h"
#include "sys/timeutil.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>

using hx40test::SimDevice;

namespace {

struct Window {
    int channel = -1, x = 0, y = 0;
};

// The first channel whose OSD window is on, from the board's [osd] state.
Window shownWindow(const std::string& state) {
    std::smatch m;
    static const std::regex on("channel ([01]) window on plane [01] at ([0-9]+),([0-9]+) size 640x480");
    if (!std::regex_search(state, m, on)) return {};
    return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])};
}

// The state's lines between "channel N window on" and the next section.
std::string visible(const std::string& state, int channel) {
    const size_t from = state.find("channel " + std::to_string(channel) + " window on");
    if (from == std::string::npos) return "";
    const size_t to = state.find("\nchannel ", from + 1);
    const size_t plane = state.find("\nplane ", from + 1);
    return state.substr(from, std::min(to, plane) - from);
}

bool highlighted(const std::string& shown, const std::string& tab) {
    return shown.find("fg 255 bg 252 \"" + tab + "\"") != std::string::npos;
}

}  // namespace

TEST(Menu, MenuKeyOpensTheRootArrowsMoveTheTabAndItClosesAfterItsTimeOut) {
    SimDevice dev;
    hx40test::startAndSettle(dev, 20000);  // keys before that are dropped
    if (HasFatalFailure()) return;
    ASSERT_EQ(dev.ctl("pm get PM.OSDTM"), "OK 1\n");  // 30 s

    ASSERT_EQ(dev.ctl("key tap MENU").substr(0, 2), "OK");
    Window w;
    ASSERT_TRUE(dev.waitFor([&] { return (w = shownWindow(dev.ctl("state"))).channel >= 0; }, 5000)) << dev.ctl("state");
    std::string shown = visible(dev.ctl("state"), w.channel);
    EXPECT_NE(shown.find("\"Main Menu\""), std::string::npos) << shown;
    EXPECT_TRUE(highlighted(shown, "Inputs")) << shown;

    struct Move {
        const char* key;
        const char* tab;
    } moves[] = {{"DOWN", "Layout"}, {"DOWN", "Channel 1"}, {"UP", "Layout"}, {"UP", "Inputs"}, {"UP", "Misc"}};
    for (const Move& m : moves) {
        ASSERT_EQ(dev.ctl(std::string("key tap ") + m.key).substr(0, 2), "OK");
        EXPECT_TRUE(dev.waitFor([&] { return highlighted(visible(dev.ctl("state"), w.channel), m.tab); }, 3000))
            << m.key << " should highlight " << m.tab << "\n" << dev.ctl("state");
    }
    const uint32_t lastKey = getCurrMsCount();

    // The picture on the output: the Misc tab blue, the Inputs tab white again.
    ASSERT_EQ(dev.ctl("snapshot").substr(0, 2), "OK");
    auto pic = hx40test::readRgbPng(dev.file("sim/osd/out" + std::to_string(w.channel) + ".png"));
    ASSERT_GT(pic.w, 0);
    EXPECT_EQ(pic.at(w.x + 70, w.y + 74 + 58 * 4 + 20), (std::vector<int>{0x1E, 0x50, 0xA0}));
    EXPECT_EQ(pic.at(w.x + 70, w.y + 74 + 20), (std::vector<int>{0xFF, 0xFF, 0xFF}));

    // 30 s after the last key the menu closes.
    ASSERT_TRUE(dev.waitFor([&] { return shownWindow(dev.ctl("state")).channel < 0; }, 45000));
    EXPECT_GE(getElapsedMs(lastKey), 28000u);
    EXPECT_TRUE(dev.waitJournal("exitOsdMenu menu closed", 2000));
    EXPECT_TRUE(dev.waitJournal("menu.step key=38 node=999", 2000)) << dev.journal();
    EXPECT_EQ(dev.stop(), 0);
}
