// Register access, the output format table and the OSD bring-up.
#include "unit/osd/osd_fixture.h"

#include "core/pm.h"
#include "sys/print.h"
#include "sys/watchdog.h"
#include "scaler/output_formats.h"
#include "sys/locks.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

namespace hx40test {
namespace {

class ScalerAccess : public OsdTest {
protected:
    ScalerAccess() : OsdTest(false) {}
};

TEST_F(ScalerAccess, BytesGoLeastSignificantFirstIntoTheChannelsBank) {
    struct Case {
        uint32_t code;
        uint64_t value;
        int ch;
        std::vector<Access> bytes;
    } cases[] = {
        {0x21704, 0x01020304, 0, {{true, 0x02, 0x17, 4}, {true, 0x02, 0x18, 3}, {true, 0x02, 0x19, 2}, {true, 0x02, 0x1A, 1}}},
        {0x21704, 0x01020304, 1, {{true, 0x0D, 0x17, 4}, {true, 0x0D, 0x18, 3}, {true, 0x0D, 0x19, 2}, {true, 0x0D, 0x1A, 1}}},
        {0x20901, 0x1234, 1, {{true, 0x0D, 0x09, 0x34}}},
        {0x1F01, 7, 0, {{true, 0x00, 0x1F, 7}}},
    };
    for (const Case& c : cases) {
        record();
        write_C812(c.code, c.value, c.ch, 1);
        EXPECT_EQ(recorded(), c.bytes);
    }
}

TEST_F(ScalerAccess, ReadsAssembleWhatWasWritten) {
    write_C812(0x123408, 0x1122334455667788ULL, 0, 0);
    EXPECT_EQ(read_C812(0x123408, 0), 0x1122334455667788ULL);
    write_C812(0x21102, 640, 1, 0);
    EXPECT_EQ(read_C812(0x21102, 1), 640u);
    EXPECT_EQ(read_C812(0x21102, 0), 0u);
    record();
    EXPECT_EQ(read_C812(0x21100, 1), 0u) << "a byte count of 0";
    EXPECT_TRUE(recorded().empty());
}

TEST_F(ScalerAccess, CodesReachingTheBankSelectByteAreRefused) {
    write_C812(0x20901, 1, 0, 0);  // selects bank 2
    record();
    write_C812(0x50001, 9, 0, 0);   // offset 0 is the bank select
    write_C812(0x5FE04, 9, 0, 0);   // would run past offset 255
    EXPECT_TRUE(recorded().empty());
    EXPECT_EQ(chip().selectedBank(), 2);
    write_C812(0x20A01, 5, 0, 0);
    EXPECT_EQ(chip().reg(2, 0x0A), 5) << "the bank cache still matches the chip";
}

TEST_F(ScalerAccess, TheWholeAccessHoldsCS3) {
    pthread_mutex_lock(&CS3_mutex);
    std::atomic<bool> done{false};
    std::thread t([&] {
        write_C812(0x21704, 0xAABBCCDD, 0, 0);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    EXPECT_EQ(chip().reg(2, 0x17), 0);
    pthread_mutex_unlock(&CS3_mutex);
    t.join();
    EXPECT_EQ(read_C812(0x21704, 0), 0xAABBCCDDu);
}

TEST_F(ScalerAccess, VerticalSyncWaitReturnsAfterTheNextFrame) {
    chip().setFrameRate(50);
    const uint64_t before = read_C812(scaler_reg::OUT_FRAME_COUNT, 1);
    const auto start = std::chrono::steady_clock::now();
    wait1_povs(1);
    EXPECT_NE(read_C812(scaler_reg::OUT_FRAME_COUNT, 1), before);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST(OutputFormatTable, TableNamesAndTimings) {
    EXPECT_STREQ(getOutputFormat(0), "Native");
    EXPECT_STREQ(getOutputFormat(1), "640x480@60");
    EXPECT_STREQ(getOutputFormat(42), "4k2k30");
    EXPECT_STREQ(getOutputFormat(43), "Unsupported");
    EXPECT_STREQ(getOutputFormat(-1), "Unsupported");
    std::set<std::string> names;
    for (const OutputFormat& f : sysParamTbl) {
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        EXPECT_LT(std::strlen(f.name), 30u) << "fits the 30-byte text fields";
        // Line rate from 15 to 140 kHz: the numbers belong together.
        const double lineKHz = f.pixelClockKHz / static_cast<double>(f.hActive + f.hFront + f.hSync + f.hBack);
        EXPECT_GT(lineKHz, 15.0) << f.name;
        EXPECT_LT(lineKHz, 140.0) << f.name;
    }
}

class OutputTiming : public OsdTest {
protected:
    OutputTiming() : OsdTest(false) {}
};

TEST_F(OutputTiming, AppliedFormatSetsTheActivePicture) {
    struct Case {
        int ch, format;
        uint16_t hst, vst, hw, vw;
    } cases[] = {{0, 38, 192, 41, 1920, 1080}, {1, 42, 384, 82, 3840, 2160}, {1, 1, 144, 35, 640, 480}};
    for (const Case& c : cases) {
        record();
        set_output_timing(c.ch, c.format);
        EXPECT_EQ(PS_PANELACTHST[c.ch], c.hst);
        EXPECT_EQ(PS_PANELACTVST[c.ch], c.vst);
        EXPECT_EQ(PS_PANELACTHW[c.ch], c.hw);
        EXPECT_EQ(PS_PANELACTVW[c.ch], c.vw);
        EXPECT_EQ(recorded(), expand({{'w', 0x310302, c.hst, c.ch},
                                      {'w', 0x310502, c.vst, c.ch},
                                      {'w', 0x310702, c.hw, c.ch},
                                      {'w', 0x310902, c.vw, c.ch}}));
    }
    set_output_timing(0, 43);
    EXPECT_EQ(PS_PANELACTHW[0], 1920) << "an unknown format changes nothing";
}

class OsdBringUp : public OsdTest {};

TEST_F(OsdBringUp, MemoryMapPartsFontAndPalettes) {
    EXPECT_EQ(PS_OSDSAD0, 0x01000000u);
    EXPECT_EQ(PS_OSDSAD1, 0x01400000u);
    EXPECT_EQ(ST_OSDAD, PS_OSDSAD0);
    EXPECT_EQ(PARAM_OSDMWI, 16u);
    EXPECT_EQ(PS_OSDRMWI, 8u);
    EXPECT_EQ(chip().regCode(scaler_reg::OSD_PLANE_STRIDE), 16u);
    EXPECT_EQ(chip().regCode(scaler_reg::OSD_PARTS_STRIDE), 8u);

    std::ifstream csv(board_->file("root/app/memfiles/parts.csv"));
    int lines = 0;
    for (std::string l; std::getline(csv, l); ++lines) EXPECT_STREQ(OSDPARTS_TBL[lines], l.c_str());
    EXPECT_EQ(OSDPARTS_COUNT, lines);

    for (auto [file, base] : {std::pair{"font_all_bin.dat", PS_OSDFSAD}, std::pair{"parts_bmp.dat", PS_OSDPSAD}}) {
        std::ifstream in(board_->file(std::string("root/app/memfiles/") + file), std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_FALSE(bytes.empty());
        size_t differ = 0;
        for (size_t i = 0; i < bytes.size(); i += 97)
            differ += chip().memory(base + static_cast<uint32_t>(i)) != static_cast<uint8_t>(bytes[i]);
        EXPECT_EQ(differ, 0u) << file;
    }
    // Both palettes: loaded and in use.
    EXPECT_EQ(chip().reg(0x02, 0x0A) & 0x40, 0x40);
    EXPECT_EQ(chip().reg(0x0D, 0x0A) & 0x40, 0x40);
}

TEST_F(OsdBringUp, LongPartsLinesAreCutNotSplit) {
    board_->write("root/app/memfiles/parts.csv", "0,1,2,3,4\n" + std::string(500, '7') + "\n2,5,6,7,8\n");
    load_parts();
    EXPECT_EQ(OSDPARTS_COUNT, 3);
    EXPECT_EQ(std::strlen(OSDPARTS_TBL[1]), 399u);
    EXPECT_STREQ(OSDPARTS_TBL[2], "2,5,6,7,8");
}

}  // namespace
}  // namespace hx40test
