#include "core/eeprom_map.h"
#include "core/pm.h"
#include "core/pm_fields.h"

#include <gtest/gtest.h>
#include <set>

namespace {

const ImageField& field(const char* name) {
    const ImageField* f = findImageField(name);
    if (f == nullptr) throw std::runtime_error(std::string("no field ") + name);
    return *f;
}

}  // namespace

TEST(PmLayout, FieldsSitAtTheirGivenOffsets) {
    struct Case {
        const char* name;
        int offset, size, count;
    } cases[] = {
        {"PM.ANALOG_TAKEOVER", 100, 1, 2},     {"PM.DWINDOW", 112, 1, 1},
        {"PM.DISPLAY_MODE", 113, 1, 1},        {"PM.OUTPUT_RES_SEL", 114, 1, 2},
        {"PM.OUTPUT_CH", 117, 1, 2},           {"PM.DEEP_COLOR", 119, 1, 1},
        {"PM.SAMPLING_RATE", 120, 1, 1},       {"PM.HDCP_MODE_OUT", 121, 1, 1},
        {"PM.TRANS_SPEED", 122, 1, 1},         {"PM.TRANS_MODE", 123, 1, 1},
        {"PM.TRANS_EFFECT", 124, 1, 1},        {"PM.TRANS_DIR", 125, 1, 1},
        {"PM.T_BAR", 126, 1, 1},               {"PM.T_BAR_SMOOTHNESS", 127, 1, 1},
        {"PM.TIME_ZONE", 128, 1, 1},           {"PM.DAYLIGHT_SAVING", 129, 1, 1},
        {"PM.SEL_INPUT", 130, 1, 2},           {"PM.FREEZE", 156, 1, 2},
        {"PM.BLANK", 158, 1, 2},               {"PM.SYNC_OFF_IDLE", 164, 1, 2},
        {"PM.AUDIO_SOURCE", 170, 1, 2},        {"PM.VOLUME", 172, 1, 2},
        {"PM.OSDPOSH", 174, 2, 1},             {"PM.OSDPOSV", 176, 2, 1},
        {"PM.OSDTRAN", 178, 1, 1},             {"PM.OSDGAIN", 179, 1, 1},
        {"PM.OSDBIAS", 180, 2, 1},             {"PM.OSDTM", 182, 1, 1},
        {"PM.INPUT_CHANGE_EFFECT", 190, 1, 2}, {"PM.AUTO_SWITCH_MODE", 192, 1, 2},
        {"PM.AUTO_SWITCH_PRIORITY", 194, 1, 16}, {"PM.AUTO_SWITCH_PARTICIPATION", 210, 1, 16},
        {"PM.CHROMA_KEYING", 226, 1, 1},       {"PM.CHROMA_KEYING_R", 228, 2, 1},
        {"PM.CHROMA_KEYING_G", 230, 2, 1},     {"PM.CHROMA_KEYING_B", 232, 2, 1},
        {"PM.LUMA_KEYING", 234, 1, 1},         {"PM.ALERT_SYSTEM", 236, 1, 1},
        {"PM.POWER_AMPLIFIER", 237, 1, 1},     {"PM.MIC1_TA_ATTACK_TIME", 238, 2, 1},
        {"PM.MIC1_MUTE", 252, 1, 1},           {"PM.MIC2_TA_ATTACK_TIME", 254, 2, 1},
        {"PM.MIC2_MUTE", 268, 1, 1},           {"PM.LINE_MIX", 269, 1, 1},
        {"PM.LINE_MUTE", 270, 1, 1},           {"PM.CONNECTION_SOURCE", 271, 1, 8},
        {"PM.CONNECTION_DESTINATION", 272, 1, 8}, {"PM.PORT_TUNNELING_MODE", 287, 1, 1},
        {"PM.PORT_TUNNELING_PORT_NUMBER", 288, 4, 1}, {"PM.PORT_TUNNELING_BAUD", 292, 1, 1},
        {"PM.PORT_TUNNELING_STOP_BITS", 295, 1, 1}, {"PM.USER1_BAUD", 296, 1, 1},
        {"PM.USER1_DESTINATION", 300, 1, 1},   {"PM.USER2_BAUD", 301, 1, 1},
        {"PM.USER2_DESTINATION", 305, 1, 1},   {"PM.SEL_INPUT_TYPE", 306, 1, 2},
        {"PM.NODE7550", 326, 4, 1},
        {"PM_I.SEL_INPUT_TYPE", 0, 1, 8},      {"PM_I.HDCP_MODE", 2, 1, 8},
        {"PM_I.AUTOPOS", 3, 1, 8},             {"PM_I.COLOR_SPACE", 4, 1, 8},
        {"PM_I.INP_VOLUME", 5, 1, 8},          {"PM_I.COLOR_DEPTH", 6, 1, 8},
        {"PM_I.MODELINE", 7, 1, 8},            {"PM_I.RESOLUTION", 8, 1, 8},
        {"PM_I.AUDIO_CHANNELS", 9, 1, 8},
    };
    for (const Case& c : cases) {
        const ImageField& f = field(c.name);
        EXPECT_EQ(f.offset, c.offset) << c.name;
        EXPECT_EQ(f.size, c.size) << c.name;
        EXPECT_EQ(f.count, c.count) << c.name;
    }
    EXPECT_EQ(field("PM_I.HDCP_MODE").stride, 12);
    EXPECT_TRUE(field("PM.OSDBIAS").isSigned);
    EXPECT_TRUE(field("PM.VOLUME").isSigned);
}

TEST(PmLayout, PlacesAndConnectionsFollowTheirFormulas) {
    auto off = [](const void* p) { return static_cast<const uint8_t*>(p) - reinterpret_cast<const uint8_t*>(&PM); };
    for (int place = 1; place <= 8; ++place)
        for (int ch = 0; ch < 2; ++ch) {
            EXPECT_EQ(off(&PM.AUTO_SWITCH_PRIORITY[place - 1][ch]), 194 + 2 * (place - 1) + ch);
            EXPECT_EQ(off(&PM.AUTO_SWITCH_PARTICIPATION[place - 1][ch]), 210 + 2 * (place - 1) + ch);
        }
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(off(&PM.CONNECTION[n - 1].SOURCE), 269 + 2 * n);
        EXPECT_EQ(off(&PM.CONNECTION[n - 1].DESTINATION), 270 + 2 * n);
    }
    EXPECT_EQ(off(&PM.SYNC_OFF_IDLE[1]), 165);
    EXPECT_EQ(off(&PM.INPUT_CHANGE_EFFECT[1]), 191);
}

// Every stored byte belongs to exactly one field, except the reserved ones;
// node 7550's value runs two bytes past the stored image but stays inside
// the record.
TEST(PmLayout, FieldsCoverTheStoredImageWithoutOverlap) {
    std::set<int> reserved;
    for (auto [from, to] : {std::pair{92, 99}, {102, 111}, {116, 116}, {227, 227}, {235, 235}, {253, 253}, {310, 325}})
        for (int b = from; b <= to; ++b) reserved.insert(b);
    int owner[332];
    std::fill(std::begin(owner), std::end(owner), -1);
    int i = 0;
    for (const ImageField& f : imageFields()) {
        ++i;
        if (f.image != Image::PM) continue;
        for (int e = 0; e < f.count; ++e)
            for (int b = 0; b < f.size; ++b) {
                int at = f.offset + e * f.stride + b;
                ASSERT_LT(at, 332) << f.name;
                EXPECT_EQ(owner[at], -1) << f.name << " overlaps at " << at;
                owner[at] = i;
            }
    }
    for (int b = 0; b < 328; ++b)
        EXPECT_EQ(owner[b] == -1, reserved.count(b) == 1) << "byte " << b;
    EXPECT_NE(owner[329], -1);
    EXPECT_EQ(sizeof(PMRec), 332u);
    EXPECT_EQ(kPmStoredSize, 328u);
}

TEST(PmLayout, EepromMapAddresses) {
    EXPECT_EQ(eemap::zoneAddr(0, 0), 0);
    EXPECT_EQ(eemap::zoneAddr(7, 0), 7 * 384);
    EXPECT_EQ(eemap::zoneAddr(0, 1), 8 * 384);
    EXPECT_EQ(eemap::zoneAddr(3, 1), 11 * 384);
    EXPECT_EQ(eemap::kModelName, 0x7E81);
    EXPECT_EQ(eemap::kDeviceName, 0x7E8A);
    EXPECT_EQ(eemap::kSerialNumber, 0x7E9A);
    EXPECT_EQ(eemap::kPrevOutFormat, 32435);
    EXPECT_EQ(eemap::kPrevOutFormat + 1, 32436);
    EXPECT_EQ(eemap::kNetwork, 0x7ED0);
}
