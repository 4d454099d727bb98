#include "core/pm.h"
#include "platform/sim/ctl.h"
#include "platform/sim/i2c_sim.h"
#include "platform/sim/video_sim.h"
#include "platform/video.h"
#include "support/temp_board.h"
#include "video/edid.h"
#include "video/frontend.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

// 1024 x 768 at 60 Hz, 65 MHz: the first native resolution of the input page.
const uint8_t kDtd1024[18] = {0x64, 0x19, 0x00, 0x40, 0x41, 0x00, 0x26, 0x30, 0x18,
                              0x88, 0x36, 0x00, 0x20, 0xC2, 0x31, 0x00, 0x00, 0x18};

std::string journalText(const hx40test::TempBoard& b) { return b.read("sim/journal.log"); }

// Polls the HDMI switch until pred holds (5 s at most).
bool pollUntil(const std::function<bool()>& pred) {
    for (int i = 0; i < 1000; ++i) {
        EP9442_pollRX();
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

uint8_t sum(const uint8_t* block) {
    uint8_t s = 0;
    for (int i = 0; i < 128; ++i) s = static_cast<uint8_t>(s + block[i]);
    return s;
}

class Edid : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(PM_I, 0, sizeof PM_I);
        for (auto& ch : vp.chData) ch.vidInput = 0;
        vp.chData[1].vidInput = 1;
        board::sim::video::registerControl();
        ASSERT_EQ(edidLoadTemplates(), 0);
        std::memcpy(hdmi, edidTemplate(EdidTemplate::HDMI), sizeof hdmi);
    }
    hx40test::TempBoard board;
    uint8_t hdmi[kEdidBytes];
};

}  // namespace

TEST_F(Edid, TemplatesCarryTheirHeadersAndValidChecksums) {
    const uint8_t* v = edidTemplate(EdidTemplate::VGA);
    const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(std::memcmp(hdmi, header, 8), 0);
    EXPECT_EQ(std::memcmp(v, header, 8), 0);
    EXPECT_EQ(hdmi[20], 0x80);  // digital
    EXPECT_EQ(v[20], 0x0E);     // analog
    EXPECT_EQ(hdmi[126], 1);
    EXPECT_EQ(v[126], 0);
    EXPECT_EQ(hdmi[127], 0x5C);
    EXPECT_EQ(hdmi[255], 0xA6);
    EXPECT_EQ(v[127], 0x8B);
    EXPECT_EQ(sum(hdmi), 0);
    EXPECT_EQ(sum(hdmi + 128), 0);
    EXPECT_EQ(sum(v), 0);
    // The native timing is 1920 x 1080 at 148.5 MHz.
    EXPECT_EQ(hdmi[54] | hdmi[55] << 8, 14850);
    EXPECT_EQ(hdmi[56] | (hdmi[58] & 0xF0) << 4, 1920);
    EXPECT_TRUE(edidImageValid(hdmi));
    hdmi[200] ^= 1;
    EXPECT_FALSE(edidImageValid(hdmi));
}

TEST_F(Edid, EachPatchChangesItsBytesAndRepairsItsBlock) {
    struct Case {
        const char* name;
        bool (*patch)(uint8_t*, const uint8_t*);
        size_t offset;        // a byte the patch sets
        uint8_t value;
        size_t checksum;      // the checksum byte of the block it touched
        uint8_t checksumValue;
    } cases[] = {
        {"native 1024x768", [](uint8_t* i, const uint8_t*) { return edidSetNativeTiming(i, kDtd1024); }, 54, 0x64,
         127, 0xEB},
        {"deep colour on", [](uint8_t* i, const uint8_t*) { return edidSetDeepColor(i, 1); }, 156, 0x38, 255, 0x6E},
        {"eight audio channels", [](uint8_t* i, const uint8_t*) { return edidSetAudioChannels(i, 1); }, 143, 0x0F,
         255, 0xA0},
        {"exclusive mode lines", [](uint8_t* i, const uint8_t* t) { return edidSetModeLines(i, t, 1); }, 35, 0x00,
         127, 0x03},
    };
    for (const Case& c : cases) {
        uint8_t img[kEdidBytes];
        std::memcpy(img, hdmi, sizeof img);
        EXPECT_TRUE(c.patch(img, hdmi)) << c.name;
        EXPECT_EQ(img[c.offset], c.value) << c.name;
        EXPECT_EQ(img[c.checksum], c.checksumValue) << c.name;
        EXPECT_EQ(sum(img), 0) << c.name;
        EXPECT_EQ(sum(img + 128), 0) << c.name;
        // The same patch again changes nothing.
        uint8_t again[kEdidBytes];
        std::memcpy(again, img, sizeof again);
        EXPECT_FALSE(c.patch(again, hdmi)) << c.name;
        EXPECT_EQ(std::memcmp(again, img, sizeof img), 0) << c.name;
    }
}

TEST_F(Edid, PatchesTakeTheirValuesBack) {
    uint8_t img[kEdidBytes];
    std::memcpy(img, hdmi, sizeof img);
    ASSERT_TRUE(edidSetDeepColor(img, 1));
    ASSERT_TRUE(edidSetAudioChannels(img, 1));
    ASSERT_TRUE(edidSetModeLines(img, hdmi, 1));
    EXPECT_EQ(img[38], 0x01);  // standard timings unused
    EXPECT_EQ(img[53], 0x01);
    EXPECT_TRUE(edidSetDeepColor(img, 0));
    EXPECT_TRUE(edidSetAudioChannels(img, 0));
    EXPECT_TRUE(edidSetModeLines(img, hdmi, 0));
    EXPECT_EQ(std::memcmp(img, hdmi, sizeof img), 0);
}

TEST_F(Edid, AVgaImageHasNoDeepColourOrAudioToPatch) {
    uint8_t img[kEdidBytes];
    std::memcpy(img, edidTemplate(EdidTemplate::VGA), sizeof img);
    EXPECT_FALSE(edidSetDeepColor(img, 1));
    EXPECT_FALSE(edidSetAudioChannels(img, 1));
    EXPECT_EQ(std::memcmp(img, edidTemplate(EdidTemplate::VGA), sizeof img), 0);
    EXPECT_TRUE(edidSetModeLines(img, edidTemplate(EdidTemplate::VGA), 1));
    EXPECT_EQ(img[127], 0x64);
    EXPECT_EQ(std::string(128, '\0'), std::string(reinterpret_cast<const char*>(img) + 128, 128));
}

TEST_F(Edid, InputsFiveAndSixAloneTakeTheVgaTemplate) {
    for (int inp = 0; inp < 8; ++inp) PM_I[inp].SEL_INPUT_TYPE = 2;
    for (int inp = 0; inp < 8; ++inp) {
        initEdid_single(inp);
        bool vga = inp == 4 || inp == 5;
        EXPECT_EQ(TvAppEdid[inp][20], vga ? 0x0E : 0x80) << inp;
    }
}

TEST_F(Edid, APatchAsksForHotPlugOnlyWhenTheImageChangedOnAnInputOnAir) {
    for (int inp = 0; inp < 8; ++inp) initEdid_single(inp);
    // Input 1 is shown by CH1; input 3 by no channel.
    EXPECT_EQ(frontEnd_replaceNativeColorDepth(0, 1), 0) << "no source connected";
    ASSERT_EQ(board::sim::ctl::dispatch("input 1 connect 15"), "OK input 1 format 15");
    ASSERT_EQ(board::sim::ctl::dispatch("input 3 connect 15"), "OK input 3 format 15");
    EXPECT_EQ(frontEnd_replaceNativeColorDepth(0, 1), 0) << "unchanged";
    EXPECT_EQ(frontEnd_replaceNativeColorDepth(0, 0), 1);
    EXPECT_EQ(frontEnd_replaceNativeAudioChannels(0, 1), 1);
    EXPECT_EQ(frontEnd_replaceNativeResolution(0, kDtd1024, "1024x768@60"), 1);
    EXPECT_EQ(frontEnd_replaceNativeResolution(0, kDtd1024, "1024x768@60"), 0);
    EXPECT_EQ(frontEnd_replaceNativeModeLines(2, 1), 0) << "not shown";
    // The switch port holds the patched image, checksums intact.
    uint8_t port[kEdidBytes];
    ASSERT_TRUE(board::video::portEdid(0, port, sizeof port));
    EXPECT_EQ(std::memcmp(port, TvAppEdid[0], sizeof port), 0);
    EXPECT_TRUE(edidImageValid(port));
    EXPECT_EQ(port[54], 0x64);
    EXPECT_EQ(port[143], 0x0F);
    std::string stored = board.read("sim/edid/in1.bin");
    EXPECT_EQ(stored, std::string(reinterpret_cast<const char*>(port), sizeof port));
}

TEST_F(Edid, TheHotPlugPulseHoldsTheLineLowForHalfASecond) {
    frontEnd_Edid_Issu_Hotplug(28);  // input 5 as VGA
    int ms = 0;
    EXPECT_EQ(board::sim::video::hotPlugPulses(4, &ms), 1);
    EXPECT_GE(ms, 500);
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(board::sim::video::hotPlugPulses(0), 0);
}

TEST(HdmiSwitch, AnHdbtInputsHotPlugHoldsItsReceivingTransceiverThenResetsIt) {
    hx40test::TempBoard board(true, true);
    auto line = [](uint8_t bit) { return (board::sim::i2c::expanderRegister(0, 0x24, 2) & bit) != 0; };
    EP9442_pollRX();
    EXPECT_EQ(journalText(board).find("valens."), std::string::npos) << "nothing to follow";
    // HDBT 1 (input 7) comes through the receiver of CH1 (bit 0x01).
    std::thread pulse([] { frontEnd_Edid_Issu_Hotplug(6); });
    EXPECT_TRUE(pollUntil([&] { return !line(0x01); })) << "held while the line is low";
    EXPECT_TRUE(line(0x02)) << "the other receiver runs on";
    pulse.join();
    EP9442_pollRX();
    EXPECT_TRUE(line(0x01)) << "reset after the pulse";
    std::string j = journalText(board);
    EXPECT_LT(j.find("valens.shut RX CH1"), j.find("valens.reset RX CH1"));
    // A pulse that began and ended between two polls still resets it; an
    // HDMI input's pulse concerns no transceiver.
    frontEnd_Edid_Issu_Hotplug(7);
    frontEnd_Edid_Issu_Hotplug(0);
    EP9442_pollRX();
    j = journalText(board);
    EXPECT_NE(j.find("valens.reset RX CH2"), std::string::npos);
    EXPECT_EQ(j.find("valens.shut RX CH2"), std::string::npos);
    EXPECT_EQ(j.rfind("valens."), j.find("valens.reset RX CH2")) << "one reset, nothing else";
}
