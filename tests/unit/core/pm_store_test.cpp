#include "commands/web_param.h"
#include "core/eeprom_map.h"
#include "core/factory.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/i2c_sim.h"
#include "support/temp_board.h"
#include "sys/eeprom.h"
#include "sys/locks.h"
#include "sys/timeutil.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

// The simulated EEPROM, as its file holds it.
class PmStore : public ::testing::Test {
public:
    // A factory reset restarts the web daemon on a thread of its own: it
    // must be done before the board and the process go.
    void TearDown() override {
        for (int i = 0; i < 500 && CMyDoSystem::Live() != 0; ++i) Sleep(10);
    }
    void SetUp() override {
        PM = PMRec{};
        std::memset(PM_I, 0, sizeof PM_I);
        for (auto& ch : vp.chData) ch.cFlags = 0;
        vp.gFlags = 0;
    }

    std::string eeprom() const { return board.read("sim/eeprom.bin"); }
    uint8_t at(const std::string& image, size_t addr) const { return static_cast<uint8_t>(image.at(addr)); }
    std::string bytes(size_t addr, size_t n) const { return eeprom().substr(addr, n); }
    void put(uint16_t addr, const std::string& data) {
        ASSERT_EQ(eepromWrite(addr, static_cast<uint16_t>(data.size()), reinterpret_cast<const uint8_t*>(data.data())), 0);
    }
    static std::string pmBytes() { return std::string(reinterpret_cast<const char*>(&PM), 328); }

    static bool pmMutexFree() {
        if (pthread_mutex_trylock(&PM_mutex) != 0) return false;
        pthread_mutex_unlock(&PM_mutex);
        return true;
    }

    hx40test::TempBoard board;
};

}  // namespace

TEST_F(PmStore, EveryZoneRoundTripsAtItsAddress) {
    for (int channel = 0; channel < 2; ++channel)
        for (int input = 0; input < 8; ++input) {
            int zone = input + 8 * channel;
            PM = PMRec{};
            PM.BRIGHT[channel] = static_cast<int16_t>(-100 - zone);
            PM.SEL_INPUT[0] = static_cast<uint8_t>(input + 1);
            PM.SEL_INPUT[1] = 3;
            PM.DWINDOW = static_cast<uint8_t>(zone);
            PM.PORT_TUNNELING_PORT_NUMBER = 60000u + static_cast<unsigned>(zone);
            PM.NODE7550[0] = 2;
            PM_I[input].INP_VOLUME = static_cast<int8_t>(-zone);
            vp.chData[channel].vidInput = static_cast<uint8_t>(input);
            vp.chData[channel].cFlags = VP_CFLAG_DIRTY | VP_CFLAG_HDCP;
            ASSERT_EQ(eepromSaveFullPMData(input, channel), 0);
            EXPECT_EQ(vp.chData[channel].cFlags.load(), VP_CFLAG_HDCP) << zone;

            std::string e = eeprom();
            size_t base = static_cast<size_t>(zone) * 384;
            EXPECT_EQ(e.substr(base, 328), pmBytes()) << "zone " << zone;
            EXPECT_EQ(at(e, base + 112), zone);
            EXPECT_EQ(at(e, base + 288), (60000 + zone) & 0xFF);
            EXPECT_EQ(at(e, base + 289), (60000 + zone) >> 8);
            EXPECT_EQ(at(e, base + 326), 2);
            EXPECT_EQ(e.substr(base + 328, 56), std::string(56, '\xff')) << "zone " << zone;
            EXPECT_EQ(at(e, 0x1800 + 12 * input + 5), static_cast<uint8_t>(-zone));
            EXPECT_EQ(at(e, 0x1880 + 3 * channel), input);  // the channel's input in the stored vp

            // Read back byte by byte through the zone access.
            uint8_t two[2] = {};
            ASSERT_EQ(eepromLoadSingleParam(input, channel, two, 28 + 2 * channel, 2), 0);
            int16_t bright;
            std::memcpy(&bright, two, 2);
            EXPECT_EQ(bright, -100 - zone);
        }
    EXPECT_TRUE(pmMutexFree());
}

TEST_F(PmStore, SingleParametersAndTheirLimits) {
    uint8_t one = 1;
    ASSERT_EQ(eepromSaveSingleParam(3, 1, &one, 100, 1), 0);  // ANALOG_TAKEOVER of input 4 on CH1's zone of CH2
    EXPECT_EQ(at(eeprom(), 11 * 384 + 100), 1);
    uint8_t back = 0;
    ASSERT_EQ(eepromLoadSingleParam(3, 1, &back, 100, 1), 0);
    EXPECT_EQ(back, 1);
    struct Case {
        int input, channel, offset, length;
    } bad[] = {{8, 0, 0, 1}, {-1, 0, 0, 1}, {0, 2, 0, 1}, {0, 0, 327, 2}, {0, 0, -1, 1}, {0, 0, 0, 0}, {0, 0, 328, 1}};
    for (const Case& c : bad) {
        EXPECT_EQ(eepromLoadSingleParam(c.input, c.channel, &back, c.offset, c.length), 2);
        EXPECT_EQ(eepromSaveSingleParam(c.input, c.channel, &back, c.offset, c.length), 2);
    }
    EXPECT_EQ(eepromSaveFullPMData(8, 0), 2);
    EXPECT_EQ(eepromSaveFullPMData(0, -1), 2);
    EXPECT_TRUE(pmMutexFree());
}

TEST_F(PmStore, FactoryResetWritesTheWholeImage) {
    put(0x7ED0, std::string(40, '\x5a'));  // the network record stays as it is
    factoryResetInitEeprom(0);
    std::string e = eeprom();
    const FactoryImage& img = factoryImage();
    for (int zone = 0; zone < 16; ++zone) {
        EXPECT_EQ(e.substr(static_cast<size_t>(zone) * 384, 328), std::string(reinterpret_cast<const char*>(img.pm), 328));
        EXPECT_EQ(at(e, zone * 384 + 130), 1) << zone;
        EXPECT_EQ(at(e, zone * 384 + 131), 2) << zone;
    }
    EXPECT_EQ(e.substr(0x7E00, 5), std::string("HX40\x01", 5));
    EXPECT_EQ(e.substr(0x7E81, 9), std::string("HX40-SC\0\0", 9));
    EXPECT_EQ(e.substr(0x7E9A, 8), std::string("\x01\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(e.substr(0x7E8A, 16), std::string("HX40-SC-0001\0\0\0\0", 16));
    EXPECT_EQ(e.substr(0x7EB3, 2), std::string("\0\0", 2));
    EXPECT_EQ(e.substr(0x7ED0, 40), std::string(40, '\x5a'));
    EXPECT_EQ(e.substr(0x1880, 12), std::string("\x00\xff\x00\x01\xff\x01\x02\x00\x00\x00\x00\x00", 12));
    EXPECT_EQ(e.substr(0x18A0, 8), std::string("\x00\x00\x80\x07\x00\x00\x38\x04", 8));
    for (int input = 0; input < 8; ++input) EXPECT_EQ(at(e, 0x1800 + 12 * input + 2), 1);
    // The records in RAM hold the factory values too.
    EXPECT_EQ(pmBytes(), std::string(reinterpret_cast<const char*>(img.pm), 328));
    EXPECT_EQ(vp.chData[1].vidInput, 1);
    EXPECT_EQ(vp.numInputs, 2);
    EXPECT_EQ(custWin[1].HW, 1920);
    EXPECT_TRUE(pmSanityOk());
    EXPECT_TRUE(pmMutexFree());
}

TEST_F(PmStore, FactoryResetKeepsAStoredSerialNumber) {
    uint64_t serial = 12345678905678ull;
    put(0x7E9A, std::string(reinterpret_cast<const char*>(&serial), 8));
    factoryResetInitEeprom(1);
    EXPECT_EQ(bytes(0x7E9A, 8), std::string(reinterpret_cast<const char*>(&serial), 8));
    EXPECT_EQ(bytes(0x7E8A, 16), std::string("HX40-SC-5678\0\0\0\0", 16));
}

TEST_F(PmStore, DefaultDeviceName) {
    struct Case {
        std::string model;
        uint64_t serial;
        std::string name;
    } cases[] = {
        {std::string("ABC\0\0\0\0\0\0", 9), 98765, std::string("ABC-8765\0\0\0\0\0\0\0\0", 16)},
        {std::string("ABC\0\0\0\0\0\0", 9), 5, std::string("ABC-0005\0\0\0\0\0\0\0\0", 16)},
        {"Q-1234567", 10000, std::string("Q-1234567-0000\0\0", 16)},
    };
    for (const Case& c : cases) {
        put(0x7E81, c.model);
        put(0x7E9A, std::string(reinterpret_cast<const char*>(&c.serial), 8));
        set_default_dev_name();
        EXPECT_EQ(bytes(0x7E8A, 16), c.name);
    }
}

TEST_F(PmStore, SanityCheck) {
    EXPECT_FALSE(pmSanityOk());  // a blank EEPROM
    factoryResetInitEeprom(0);
    ASSERT_TRUE(pmSanityOk());
    struct Case {
        const char* name;
        void (*spoil)(PmStore&);
    } cases[] = {
        {"version byte", [](PmStore& t) { t.put(0x7E04, "\x02"); }},
        {"seal", [](PmStore& t) { t.put(0x7E00, "HX41"); }},
        {"CH1 input", [](PmStore&) { PM.SEL_INPUT[0] = 0; }},
        {"CH2 input", [](PmStore&) { PM.SEL_INPUT[1] = 9; }},
        {"CH1 output format", [](PmStore&) { PM.OUTPUT_RES_SEL[0] = 43; }},
        {"CH2 video input", [](PmStore&) { vp.chData[1].vidInput = 24; }},
        {"CH2 fixed format", [](PmStore&) { vp.fixedOutFrmt[1] = 245; }},
    };
    const PMRec goodPm = PM;
    const uint8_t goodInput = vp.chData[1].vidInput;
    for (const Case& c : cases) {
        c.spoil(*this);
        EXPECT_FALSE(pmSanityOk()) << c.name;
        put(0x7E00, std::string("HX40\x01", 5));
        PM = goodPm;
        vp.chData[1].vidInput = goodInput;
        vp.fixedOutFrmt[1] = 0;
        ASSERT_TRUE(pmSanityOk()) << c.name;
    }
    // The start-up check restores the factory values.
    PM.SEL_INPUT[1] = 9;
    parameterSanityCheck();
    EXPECT_TRUE(pmSanityOk());
    EXPECT_EQ(PM.SEL_INPUT[1], 2);
    EXPECT_TRUE(pmMutexFree());
}

TEST_F(PmStore, StartUpOnABlankEepromGivesTheFactoryValues) {
    PM.VOLUME[0] = 9;
    loadParameterMemory();
    EXPECT_EQ(pmBytes(), std::string(reinterpret_cast<const char*>(factoryImage().pm), 328));
    EXPECT_EQ(bytes(0x7E00, 5), std::string("HX40\x01", 5));
}

// Each channel takes its element of the per-input pairs from its own zone;
// the device-wide part comes from CH1's zone.
TEST_F(PmStore, StartUpLoadTakesEachChannelFromItsZone) {
    factoryResetInitEeprom(0);
    PMRec ch1Zone = PM, ch2Zone = PM;
    ch1Zone.BRIGHT[0] = 11;
    ch1Zone.BRIGHT[1] = 12;
    ch1Zone.DWINDOW = 2;
    ch1Zone.SEL_INPUT[0] = 6;
    ch2Zone.BRIGHT[0] = 76;
    ch2Zone.BRIGHT[1] = 77;
    ch2Zone.DWINDOW = 3;
    put(static_cast<uint16_t>(5 * 384), std::string(reinterpret_cast<const char*>(&ch1Zone), 328));  // input 6, CH1
    put(static_cast<uint16_t>(10 * 384), std::string(reinterpret_cast<const char*>(&ch2Zone), 328));  // input 3, CH2
    put(0x1880, std::string("\x1d\x05\x00\x12\x05\x00", 6));  // CH1: VGA input 6 (29), CH2: component input 3 (18)
    PM = PMRec{};
    loadParameterMemory();
    EXPECT_EQ(PM.BRIGHT[0], 11);
    EXPECT_EQ(PM.BRIGHT[1], 77);
    EXPECT_EQ(PM.DWINDOW, 2);
    EXPECT_EQ(PM.SEL_INPUT[0], 6);
    EXPECT_EQ(vp.chData[0].vidInput, 29);
    EXPECT_EQ(vp.chData[1].vidInput, 18);
    EXPECT_EQ(vp.chData[1].vidFormat, 5);
}

TEST_F(PmStore, DirtyZonesAndCustomWindowsAreSaved) {
    factoryResetInitEeprom(0);
    std::string before = eeprom();
    saveDirtyParameterZones();
    EXPECT_EQ(eeprom(), before);  // nothing dirty, nothing written

    PM.VOLUME[1] = -5;
    vp.chData[1].cFlags |= VP_CFLAG_DIRTY;
    saveDirtyParameterZones();
    std::string e = eeprom();
    EXPECT_EQ(at(e, 0 * 384 + 173), 0xFB);  // CH1's zone (input 1) keeps the device-wide part equal
    EXPECT_EQ(at(e, 9 * 384 + 173), 0xFB);  // CH2's zone (input 2)
    EXPECT_EQ(vp.chData[1].cFlags & VP_CFLAG_DIRTY, 0);

    PM.OWIN_HST[1] = 100;
    PM.OWIN_VW[1] = 720;
    vp.gFlags |= VP_GFLAG_CUSTWIN_SAVE;
    saveDirtyParameterZones();
    EXPECT_EQ(vp.gFlags & VP_GFLAG_CUSTWIN_SAVE, 0u);
    EXPECT_EQ(bytes(0x18A8, 8), std::string("\x64\x00\x80\x07\x00\x00\xd0\x02", 8));
    EXPECT_EQ(custWin[1].HST, 100);

    PM.OWIN_HST[1] = 5;
    ASSERT_EQ(eepromLoadCustWinData(0), 0);
    EXPECT_EQ(PM.OWIN_HST[1], 5);
    ASSERT_EQ(eepromLoadCustWinData(1), 0);
    EXPECT_EQ(PM.OWIN_HST[1], 100);
    EXPECT_EQ(PM.OWIN_VW[1], 720);
}

TEST_F(PmStore, PerInputDefaults) {
    PM_I[6].RESOLUTION = -126;  // 130 read as a signed byte
    PM_I[7].AUDIO_CHANNELS = 1;
    ASSERT_EQ(eepromSavePMIData(), 0);
    EXPECT_EQ(at(eeprom(), 0x1800 + 12 * 6 + 8), 130);
    uint8_t buf[96] = {};
    ASSERT_EQ(eepromLoadPMIData(buf), 0);
    EXPECT_EQ(buf[12 * 7 + 9], 1);
    EXPECT_EQ(eepromLoadPMIData(nullptr), 2);
}

TEST_F(PmStore, ConnectorOfAVideoInput) {
    struct Case {
        int vid, connector;
    } cases[] = {{0, 0}, {7, 7}, {8, 0}, {15, 7}, {16, 0}, {23, 7}, {28, 4}, {29, 5}, {24, -1}, {30, -1}, {255, -1}, {-1, -1}};
    for (const Case& c : cases) EXPECT_EQ(vidInputToConnector(c.vid), c.connector) << c.vid;
}

TEST_F(PmStore, AnAbsentEepromIsReportedAndReleasesTheLock) {
    board::sim::i2c::detach(0, 0x56);
    vp.chData[0].cFlags = VP_CFLAG_DIRTY;
    EXPECT_EQ(eepromSaveFullPMData(0, 0), 1);
    uint8_t b = 0;
    EXPECT_EQ(eepromLoadSingleParam(0, 0, &b, 0, 1), 1);
    EXPECT_EQ(eepromSaveSingleParam(0, 0, &b, 0, 1), 1);
    EXPECT_FALSE(pmSanityOk());
    EXPECT_TRUE(pmMutexFree());
}

TEST_F(PmStore, AChangeTheEepromDidNotTakeIsSavedOnALaterPass) {
    factoryResetInitEeprom(0);
    PM.VOLUME[1] = -5;
    vp.chData[1].cFlags |= VP_CFLAG_DIRTY;
    board::sim::i2c::failNext(0, 100000);
    saveDirtyParameterZones();
    EXPECT_NE(vp.chData[1].cFlags & VP_CFLAG_DIRTY, 0) << "the change is still due";
    board::sim::i2c::failNext(0, 0);
    saveDirtyParameterZones();  // too soon after the failure: nothing is tried
    EXPECT_NE(at(eeprom(), 9 * 384 + 173), 0xFB);
    Sleep(kSaveRetryMs + 50);
    saveDirtyParameterZones();
    EXPECT_EQ(at(eeprom(), 9 * 384 + 173), 0xFB);
    EXPECT_EQ(vp.chData[1].cFlags & VP_CFLAG_DIRTY, 0);
}

// A control system setting a value twenty times a second made the main task
// rewrite both whole zones (nine pages, each a write cycle) per set, and the
// menu waited behind it. A save writes only the pages that differ.
TEST_F(PmStore, ASaveWritesOnlyThePagesThatChanged) {
    // A slow chip: a page written right after another waits for its cycle.
    board::sim::mutableConf().set("eeprom_write_cycle_ms", "50");
    board::sim::i2c::reset();
    vp.chData[1].vidInput = 2;
    ASSERT_EQ(eepromSaveFullPMData(2, 1), 0);
    PM.VOLUME[1] = -5;
    Sleep(60);  // the chip finished its last cycle
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(eepromSaveFullPMData(2, 1), 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    EXPECT_EQ(at(eeprom(), 10 * 384 + 173), 0xFB);
    EXPECT_EQ(bytes(10 * 384, 328), pmBytes());
    EXPECT_LT(ms.count(), 450) << "one page written, not the nine of the zone, PM_I and vp";
}
