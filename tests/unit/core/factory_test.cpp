#include "core/factory.h"
#include "core/pm_fields.h"

#include <gtest/gtest.h>
#include <string>

namespace {

int64_t value(const FactoryImage& img, const char* name, int element = 0) {
    const ImageField* f = findImageField(name);
    if (f == nullptr) throw std::runtime_error(std::string("no field ") + name);
    const uint8_t* base = f->image == Image::PM ? img.pm : f->image == Image::PMI ? img.pmi : img.vp;
    return readField(base, *f, element);
}

}  // namespace

TEST(Factory, TheDataFileParses) {
    FactoryImage img;
    std::string error;
    ASSERT_TRUE(parseFactoryText(factoryText(), img, &error)) << error;
}

TEST(Factory, ImageBytesAtTheirAddresses) {
    const FactoryImage& img = factoryImage();
    struct Byte {
        int offset;
        uint8_t value;
    } pm[] = {
        {130, 1}, {131, 2},                 // SEL_INPUT: input 1 and 2
        {114, 0}, {115, 0},                 // OUTPUT_RES_SEL native
        {113, 0},                           // transition mode
        {182, 1},                           // OSDTM 30 s
        {136, 0x80}, {137, 0x07},           // OWIN_HW[CH1] 1920
        {144, 0x38}, {145, 0x04},           // OWIN_VW[CH1] 1080
        {230, 0xF0}, {231, 0x00},           // CHROMA_KEYING_G 240
        {245, 0xC4},                        // MIC1_TA_TRIGGER -60
        {240, 0xF4}, {241, 0x01},           // MIC1_TA_HOLD_TIME 500
        {288, 0x89}, {289, 0x13}, {290, 0}, {291, 0},  // tunnelling port 5001
        {194, 0}, {195, 0}, {196, 1}, {197, 1}, {208, 7}, {209, 7},  // priority places
        {210, 1}, {225, 1},                 // every place takes part
        {271, 6}, {286, 6},                 // no serial connections
        {300, 7}, {305, 7},                 // user ports send nowhere
        {326, 0}, {327, 0},
    };
    for (const Byte& b : pm) EXPECT_EQ(img.pm[b.offset], b.value) << "PM byte " << b.offset;
    for (int input = 0; input < 8; ++input) {
        EXPECT_EQ(img.pmi[12 * input + 0], 0) << input;  // HDMI
        EXPECT_EQ(img.pmi[12 * input + 2], 1) << input;  // HDCP on
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(img.modelName), 7), "HX40-SC");
    EXPECT_EQ(img.modelName[7], 0);
    EXPECT_EQ(img.serialNumber[0], 1);
    EXPECT_EQ(img.custWin[2], 0x80);  // CH1 width 1920
    EXPECT_EQ(img.custWin[3], 0x07);
    EXPECT_EQ(img.custWin[10], 0x80);  // CH2 width
}

// The factory values lie within the bounds the menu rows give them.
TEST(Factory, ValuesLieWithinTheirRowBounds) {
    const FactoryImage& img = factoryImage();
    struct Bound {
        const char* name;
        int64_t min, max;
    } bounds[] = {
        {"PM.RATIO", 8, 4000},          {"PM.IACTHST", 20, 729},          {"PM.IACTVST", 4, 239},
        {"PM.BRIGHT", -512, 512},       {"PM.CONTRAST", 10, 160},         {"PM.CHROMA", 0, 400},
        {"PM.HUE", -180, 180},          {"PM.SCAN", 0, 3},                {"PM.PD", 0, 2},
        {"PM.PD_DELAY", 0, 15},         {"PM.GAMMA", 0, 7},               {"PM.DWINDOW", 0, 5},
        {"PM.DISPLAY_MODE", 0, 1},      {"PM.OUTPUT_RES_SEL", 0, 42},     {"PM.OUTPUT_CH", 0, 2},
        {"PM.TRANS_SPEED", 1, 15},      {"PM.TRANS_EFFECT", 0, 5},        {"PM.TRANS_DIR", 0, 3},
        {"PM.SEL_INPUT", 1, 8},         {"PM.OWIN_HST", 0, 2046},         {"PM.OWIN_HW", 16, 3840},
        {"PM.OWIN_VST", 0, 2046},       {"PM.OWIN_VW", 9, 2160},          {"PM.LIP_SYNC", 0, 170},
        {"PM.SYNC_OFF_IDLE", 0, 5},     {"PM.AUDIO_SOURCE", 0, 8},        {"PM.VOLUME", -80, 20},
        {"PM.BASS", -18, 18},           {"PM.BALANCE", -10, 10},          {"PM.OSDPOSH", 0, 2047},
        {"PM.OSDGAIN", 1, 4},           {"PM.OSDBIAS", -128, 127},        {"PM.OSDTM", 0, 2},
        {"PM.AUTO_SWITCH_MODE", 0, 2},  {"PM.AUTO_SWITCH_PRIORITY", 0, 7}, {"PM.AUTO_SWITCH_PARTICIPATION", 0, 1},
        {"PM.CHROMA_KEYING_G", 0, 240}, {"PM.POWER_AMPLIFIER", 0, 4},     {"PM.MIC1_TA_DEPTH", 30, 100},
        {"PM.MIC1_TA_TRIGGER", -90, -33}, {"PM.MIC1_TA_ATTACK_TIME", 1, 12}, {"PM.MIC1_TA_HOLD_TIME", 0, 2000},
        {"PM.MIC1_TA_RELEASE_TIME", 0, 100}, {"PM.MIC1_DELAY", 1, 40},    {"PM.MIC2_TA_TRIGGER", -90, -33},
        {"PM.CONNECTION_SOURCE", 0, 6}, {"PM.CONNECTION_DESTINATION", 0, 6}, {"PM.PORT_TUNNELING_PORT_NUMBER", 0, 64000},
        {"PM.PORT_TUNNELING_BAUD", 0, 7}, {"PM.USER1_DESTINATION", 0, 7}, {"PM.NODE7550", 0, 3},
        {"PM_I.INP_VOLUME", -80, 20},   {"PM_I.COLOR_SPACE", 0, 2},       {"PM_I.RESOLUTION", 0, 207},
        {"PM_I.SEL_INPUT_TYPE", 0, 3},
    };
    for (const Bound& b : bounds) {
        const ImageField* f = findImageField(b.name);
        ASSERT_NE(f, nullptr) << b.name;
        for (int e = 0; e < f->count; ++e) {
            int64_t v = value(img, b.name, e);
            EXPECT_GE(v, b.min) << b.name << "[" << e << "]";
            EXPECT_LE(v, b.max) << b.name << "[" << e << "]";
        }
    }
}

TEST(Factory, FaultyTextIsRefusedWithItsLine) {
    std::string good(factoryText());
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {good + "PM.NO_SUCH 1\n", "unknown field 'PM.NO_SUCH'"},
        {good + "PM.DWINDOW 1\n", "field 'PM.DWINDOW' named twice"},
        {"PM.VOLUME 200 0\n", "line 1: '200' does not fit PM.VOLUME"},
        {"\n# c\nPM.SEL_INPUT 1 2 3\n", "line 3: PM.SEL_INPUT takes 1 or 2 values"},
        {"PM.OSDPOSH 1x\n", "'1x' is not a number"},
        {"PM.OSDPOSH 70000\n", "does not fit PM.OSDPOSH"},
        {"MODEL_NAME ABCDEFGHIJ\n", "the model name takes 1 to 9 characters"},
        {"PM.DWINDOW 0\n", "is missing"},
    };
    for (const Case& c : cases) {
        FactoryImage img;
        std::string error;
        EXPECT_FALSE(parseFactoryText(c.text, img, &error)) << c.error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}
