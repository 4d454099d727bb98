// A person at the front panel sets a channel's brightness: MENU, the
// Channel 1 tab, Picture, Brightness, a step up, ENTER to save; then the
// same on channel 2's twin item reached by holding MENU. The OSD shows the
// value bar, the parameter memory and the EEPROM zone hold the value.
#include "support/png_read.h"
#include "support/sim_device.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>

using hx40test::SimDevice;

namespace {

int count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// Presses a key and waits until the menu has run its step; the node it ended on.
int press(SimDevice& dev, const std::string& key, int holdMs = 100) {
    const int before = count(dev.journal(), " menu.step ");
    if (dev.ctl("key hold " + key + " " + std::to_string(holdMs)).substr(0, 2) != "OK") return -1;
    if (!dev.waitFor([&] { return count(dev.journal(), " menu.step ") > before; }, 8000)) return -1;
    const std::string j = dev.journal();
    const size_t at = j.rfind(" menu.step ");
    const size_t node = j.find("node=", at);
    return std::stoi(j.substr(node + 5));
}

// The visible texts of the channel whose menu window is on.
std::string shownTexts(SimDevice& dev, int* channel = nullptr, int* x = nullptr, int* y = nullptr) {
    const std::string state = dev.ctl("state");
    std::smatch m;
    static const std::regex on("channel ([01]) window on plane [01] at ([0-9]+),([0-9]+) size 640x480");
    if (!std::regex_search(state, m, on)) return "";
    if (channel) *channel = std::stoi(m[1]);
    if (x) *x = std::stoi(m[2]);
    if (y) *y = std::stoi(m[3]);
    const size_t from = static_cast<size_t>(m.position(0));
    const size_t to = std::min(state.find("\nchannel ", from + 1), state.find("\nplane ", from + 1));
    return state.substr(from, to - from);
}

bool shows(const std::string& texts, const std::string& at, const std::string& text) {
    return std::regex_search(texts, std::regex("  " + at + " [0-9]+x16 fg [0-9]+ bg [0-9]+ \"" + text + "\""));
}

// The two bytes at offset of the zone that the last save of the channel wrote.
int savedWord(SimDevice& dev, int channel, int offset) {
    const std::string j = dev.journal();
    const std::string needle = " channel=" + std::to_string(channel) + " zone=0x";
    size_t at = std::string::npos;
    for (size_t p = j.find("eepromSaveFullPMData input="); p != std::string::npos;
         p = j.find("eepromSaveFullPMData input=", p + 1))
        if (j.compare(j.find(" channel=", p), needle.size(), needle) == 0) at = p;
    if (at == std::string::npos) return -1;
    const int zone = std::stoi(j.substr(j.find(needle, at) + needle.size(), 4), nullptr, 16);
    const std::string image = dev.read("sim/eeprom.bin");
    return static_cast<uint8_t>(image.at(zone + offset)) | static_cast<uint8_t>(image.at(zone + offset + 1)) << 8;
}

}  // namespace

TEST(ChannelMenu, BrightnessOfBothChannelsFromTheFrontPanel) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    ASSERT_EQ(dev.ctl("pm get PM.BRIGHT"), "OK 0 0\n");

    ASSERT_EQ(press(dev, "MENU"), 0);
    ASSERT_EQ(press(dev, "DOWN"), 0);
    ASSERT_EQ(press(dev, "DOWN"), 0);
    ASSERT_EQ(press(dev, "ENTER"), 3);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(press(dev, "DOWN"), 3);
    ASSERT_EQ(press(dev, "ENTER"), 34);
    ASSERT_EQ(press(dev, "ENTER"), 341);
    int ch = -1, x = 0, y = 0;
    std::string texts = shownTexts(dev, &ch, &x, &y);
    EXPECT_TRUE(shows(texts, "320,12", "Picture")) << texts;
    EXPECT_TRUE(shows(texts, "[0-9]+,42", "Brightness")) << texts;
    EXPECT_TRUE(shows(texts, "530,228", "\\+000")) << texts;

    ASSERT_EQ(press(dev, "UP"), 341);
    texts = shownTexts(dev);
    EXPECT_TRUE(shows(texts, "530,228", "\\+032")) << texts;
    EXPECT_EQ(dev.ctl("pm get PM.BRIGHT"), "OK 32 0\n");
    EXPECT_TRUE(dev.waitJournal("scaler.build_picture ch=0 caller=func341", 2000));
    // The bar: 544 of 1024 steps fill 85 of its 160 pixels.
    ASSERT_EQ(dev.ctl("snapshot").substr(0, 2), "OK");
    auto pic = hx40test::readRgbPng(dev.file("sim/osd/out" + std::to_string(ch) + ".png"));
    ASSERT_GT(pic.w, 0);
    EXPECT_EQ(pic.at(x + 358 + 80, y + 235), (std::vector<int>{0x1C, 0x24, 0x30})) << "filled";
    EXPECT_EQ(pic.at(x + 358 + 90, y + 235), (std::vector<int>{0xFF, 0xFF, 0xFF})) << "empty";

    ASSERT_EQ(press(dev, "ENTER"), 341) << "ENTER on a value saves";
    EXPECT_NE(dev.journal().find("text=\"Saving Data\""), std::string::npos);
    EXPECT_EQ(savedWord(dev, 0, 28), 32);
    EXPECT_EQ(savedWord(dev, 1, 30), 0);

    // MENU held: the same item of channel 2.
    ASSERT_EQ(press(dev, "MENU", 3300), 441);
    texts = shownTexts(dev);
    EXPECT_TRUE(shows(texts, "140,266", "Channel 2")) << texts;
    EXPECT_TRUE(shows(texts, "530,228", "\\+000")) << texts;
    ASSERT_EQ(press(dev, "UP"), 441);
    ASSERT_EQ(press(dev, "UP"), 441);
    EXPECT_TRUE(shows(shownTexts(dev), "530,228", "\\+064"));
    EXPECT_EQ(dev.ctl("pm get PM.BRIGHT"), "OK 32 64\n");
    EXPECT_TRUE(dev.waitJournal("scaler.build_picture ch=1 caller=func441", 2000));
    ASSERT_EQ(press(dev, "ENTER"), 441);
    EXPECT_EQ(savedWord(dev, 1, 30), 64);
    EXPECT_EQ(savedWord(dev, 0, 28), 32);
    EXPECT_EQ(dev.stop(), 0);
}
