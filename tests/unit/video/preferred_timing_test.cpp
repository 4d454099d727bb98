// The native resolutions offered in the inputs' EDIDs: names in the menu's
// order and detailed timing descriptors decoded field by field.
#include "video/preferred_timing.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Decoded {
    unsigned clock10kHz, hActive, hBlank, vActive, vBlank, hFront, hSync, vFront, vSync, flags;
    bool operator==(const Decoded&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Decoded& d) {
    return os << d.clock10kHz << " " << d.hActive << "+" << d.hBlank << " " << d.vActive << "+" << d.vBlank << " h "
              << d.hFront << "/" << d.hSync << " v " << d.vFront << "/" << d.vSync << " flags " << d.flags;
}

Decoded decode(const uint8_t* d) {
    return {static_cast<unsigned>(d[0] | d[1] << 8),
            static_cast<unsigned>(d[2] | (d[4] >> 4) << 8),
            static_cast<unsigned>(d[3] | (d[4] & 0xF) << 8),
            static_cast<unsigned>(d[5] | (d[7] >> 4) << 8),
            static_cast<unsigned>(d[6] | (d[7] & 0xF) << 8),
            static_cast<unsigned>(d[8] | ((d[11] >> 6) & 3) << 8),
            static_cast<unsigned>(d[9] | ((d[11] >> 4) & 3) << 8),
            static_cast<unsigned>((d[10] >> 4) | ((d[11] >> 2) & 3) << 4),
            static_cast<unsigned>((d[10] & 0xF) | (d[11] & 3) << 4),
            d[17]};
}

TEST(PreferredTiming, NamesAndDescriptors) {
    struct Entry {
        const char* name;
        Decoded timing;
    } want[] = {
        {"1024x768@60", {6500, 1024, 320, 768, 38, 24, 136, 3, 6, 0x18}},
        {"1280x800@60", {8350, 1280, 400, 800, 31, 72, 128, 3, 6, 0x1C}},
        {"1280x1024@60", {10800, 1280, 408, 1024, 42, 48, 112, 1, 3, 0x1E}},
        {"1366x768@60", {8550, 1366, 426, 768, 30, 70, 143, 3, 3, 0x1E}},
        {"1440x900@60", {10650, 1440, 464, 900, 34, 80, 152, 3, 6, 0x1C}},
        {"1400x1050@60", {12175, 1400, 464, 1050, 39, 88, 144, 3, 4, 0x1C}},
        {"1600x900@60", {10800, 1600, 200, 900, 100, 24, 80, 1, 3, 0x1E}},
        {"1600x1200@60", {16200, 1600, 560, 1200, 50, 64, 192, 1, 3, 0x1E}},
        {"1680x1050@60", {14625, 1680, 560, 1050, 39, 104, 176, 3, 6, 0x1C}},
        {"1920x1200@60RB", {15400, 1920, 160, 1200, 35, 48, 32, 3, 6, 0x1A}},
        {"720p50", {7425, 1280, 700, 720, 30, 440, 40, 5, 5, 0x1E}},
        {"720p60", {7425, 1280, 370, 720, 30, 110, 40, 5, 5, 0x1E}},
        {"1080p50", {14850, 1920, 720, 1080, 45, 528, 44, 4, 5, 0x1E}},
        {"1080p60", {14850, 1920, 280, 1080, 45, 88, 44, 4, 5, 0x1E}},
        {"2k50", {12200, 2048, 160, 1080, 26, 48, 32, 3, 10, 0x1A}},  // 2048 x 1080, CVT reduced blanking
        {"2k60", {14700, 2048, 160, 1080, 31, 48, 32, 3, 10, 0x1A}},
    };
    static_assert(std::size(want) == kPreferredTimings);
    EXPECT_EQ(getLastNativeInd(), 15);
    for (int i = 0; i < kPreferredTimings; ++i) {
        const PreferredTiming& p = preferredTiming[i];
        EXPECT_STREQ(p.name, want[i].name) << i;
        EXPECT_LT(strnlen(p.name, sizeof p.name), sizeof p.name) << "terminated within its 20 characters";
        EXPECT_EQ(decode(p.descriptor), want[i].timing) << p.name;
        EXPECT_NE(p.descriptor[12] | p.descriptor[14] << 8, 0) << "an image size";
    }
}

TEST(PreferredTiming, DescriptorBytesOfTheFirstEntry) {
    const std::vector<uint8_t> want = {0x64, 0x19, 0x00, 0x40, 0x41, 0x00, 0x26, 0x30, 0x18,
                                       0x88, 0x36, 0x00, 0x33, 0xE6, 0x10, 0x00, 0x00, 0x18};
    EXPECT_EQ(std::vector<uint8_t>(preferredTiming[0].descriptor, preferredTiming[0].descriptor + 18), want);
}

}  // namespace
