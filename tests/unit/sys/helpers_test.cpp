#include "support/temp_board.h"
#include "sys/cthread.h"
#include "sys/fileutil.h"
#include "sys/fpga.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/valutil.h"
#include "sys/version.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <thread>

TEST(Values, ReadsSignExtendAddsWrapStoresTruncate) {
    uint8_t b[4] = {0xFE, 0xFF, 0xFF, 0x7F};
    EXPECT_EQ(getVal8(b), -2);
    EXPECT_EQ(getVal16(b), -2);
    EXPECT_EQ(getVal32(b), 0x7FFFFFFE);
    EXPECT_EQ(getVal8(b + 3), 127);
    uint8_t c[5] = {0, 0x7F, 0, 0, 0};
    addVal8(c + 1, 1);
    EXPECT_EQ(c[1], 0x80);
    EXPECT_EQ(c[2], 0);  // the neighbour is untouched
    setVal16(c + 1, 0x12345);  // an odd address
    EXPECT_EQ(getVal16(c + 1), 0x2345);
    addVal16(c + 1, -0x2346);
    EXPECT_EQ(getVal16(c + 1), -1);
    setVal32(c + 1, -1);
    addVal32(c + 1, 2);
    EXPECT_EQ(getVal32(c + 1), 1);
    setVal8(c, 0x1FF);
    EXPECT_EQ(c[0], 0xFF);
}

TEST(Values, DecimalDigits) {
    const std::pair<int32_t, int> cases[] = {{0, 0},          {5, 1},         {-5, 1},        {10, 2},
                                             {-999, 3},       {1000, 4},      {2147483647, 10},
                                             {INT32_MIN, 10}};
    for (auto [v, n] : cases) EXPECT_EQ(int2bcdlen(v), n) << v;
}

TEST(Version, TextAndBuildDateHaveTheirFormats) {
    EXPECT_TRUE(std::regex_match(getVersionStr(), std::regex(R"(\d\d\.\d\d\.\d\d\.\d{4}\.[DR]\d+)"))) << getVersionStr();
    EXPECT_EQ(std::string(getVersionStr()).substr(0, 6), "01.00.");
    EXPECT_EQ(std::strlen(getBuildDate()), 19u);
    EXPECT_TRUE(std::regex_match(getBuildDate(), std::regex(R"(20\d\d/[01]\d/[0-3]\d [0-2]\d:[0-5]\d:[0-5]\d)")))
        << getBuildDate();
}

TEST(Files, SaveOpenReadLinesAndDevicePathsStayInTheRoot) {
    hx40test::TempBoard board;
    ASSERT_EQ(fl_save("/root/app/conf/input_labels", "HDMI 1,HDMI 2\nsecond\n", 21), 0);
    EXPECT_EQ(board.read("root/app/conf/input_labels"), "HDMI 1,HDMI 2\nsecond\n");
    FILE* f = fl_open("../conf/input_labels", "r");
    ASSERT_NE(f, nullptr);
    char line[8];
    ASSERT_NE(fl_gets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "HDMI 1,");
    EXPECT_EQ(fl_close(f), 0);
    EXPECT_EQ(fl_save("/root/nofolder/x", "a", 1), -1);
    EXPECT_EQ(setInputsLabels("HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2"), 0);
    EXPECT_EQ(board.read("root/app/conf/input_labels"), "HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\n");
    EXPECT_EQ(fl_open(nullptr, "r"), nullptr);
}

TEST(Diagnostics, MaskFromTheEnvironmentAndGatedLines) {
    setenv("PRINT_VERBOSE", "204", 1);
    initPrintVerbose();
    EXPECT_EQ(g_print_verbose_lvl, 0x204);
    setenv("PRINT_VERBOSE", "zz", 1);
    initPrintVerbose();
    EXPECT_EQ(g_print_verbose_lvl, 0x204);
    testing::internal::CaptureStdout();
    PRINT(0x200, "shown %d\n", 1);
    PRINT(0x2, "hidden\n");
    set_debug_level(0x2, 0);
    PRINT(0x2, "now shown\n");
    dumpbuff("abc", 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown 1\nnow shown\n");
}

TEST(Diagnostics, RegisterDumpsKeepTheTenNewest) {
    hx40test::TempBoard board;
    for (int i = 0; i < 12; ++i) EXPECT_EQ(dumpRegisters(), i);
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(board.file("root/app/logs")))
        n += e.path().filename().string().rfind("regs_dump", 0) == 0;
    EXPECT_EQ(n, 10);
    EXPECT_FALSE(board.exists("root/app/logs/regs_dump001.log"));
    EXPECT_TRUE(board.exists("root/app/logs/regs_dump002.log"));
    std::string dump = board.read("root/app/logs/regs_dump011.log");
    EXPECT_EQ(dump.substr(0, 9), "bank 00\n0");
}

TEST(Diagnostics, IntervalGate) {
    PrintInterval gate;
    gate.intervalMs = 50;
    gate.last = getCurrMsCount();
    EXPECT_FALSE(print_with_intervals(gate));
    Sleep(60);
    EXPECT_TRUE(print_with_intervals(gate));
    EXPECT_TRUE(gate.elapsed);
    EXPECT_FALSE(print_with_intervals(gate));
    gate.enabled = false;
    Sleep(60);
    EXPECT_FALSE(print_with_intervals(gate));
}

TEST(Time, SleepsTheFullTimeAndElapsedSurvivesTheWrap) {
    uint32_t t0 = getCurrMsCount();
    Sleep(30);
    EXPECT_GE(getElapsedMs(t0), 30u);
    EXPECT_EQ(static_cast<uint32_t>(5u - 0xFFFFFFFBu), 10u);  // what getElapsedMs relies on
}

namespace {
struct Counter : CThread {
    std::atomic<int> runs{0};
    void Run() override { ++runs; }
};
}  // namespace

TEST(Threads, CThreadRunsOnceAndJoins) {
    Counter c;
    c.Start();
    c.Join();
    EXPECT_EQ(c.runs, 1);
    c.Join();  // a second join does nothing
}

TEST(Threads, ASignalSentBeforeTheWaitIsNotLost) {
    pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t c = PTHREAD_COND_INITIALIZER;
    pthr_cond_send_signal(&m, &c);
    pthr_cond_wait_signal(&m, &c);  // returns at once
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        pthr_cond_wait_signal(&m, &c);
        woke = true;
    });
    Sleep(50);
    EXPECT_FALSE(woke);
    pthr_cond_send_signal(&m, &c);
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST(Fpga, VersionTextAndImageRenames) {
    hx40test::TempBoard board;
    char text[16];
    EXPECT_EQ(FPGA_get_string_version(text), 0);
    EXPECT_STREQ(text, "1.0.0");
    EXPECT_EQ(rename_rbf_file(1), 1);  // no image
    board.write("root/app/memfiles/selka_2_3_4.rbf", "image");
    EXPECT_EQ(rename_rbf_file(1), 0);
    EXPECT_TRUE(board.exists("root/app/memfiles/selka.rbf"));
    EXPECT_EQ(rename_rbf_file(0), 0);
    EXPECT_TRUE(board.exists("root/app/memfiles/selka_1_0_0.rbf"));
    EXPECT_FALSE(board.exists("root/app/memfiles/selka.rbf"));
    EXPECT_EQ(compare_FPGA_versions("1.2.3", "1.2.3"), 0);
    EXPECT_NE(compare_FPGA_versions("1.2.3", "1.2.4"), 0);
    EXPECT_NE(compare_FPGA_versions("1.2", "1.2"), 0);
}

TEST(Fpga, StartUpCheckProgramsADifferentImage) {
    hx40test::TempBoard board;
    board.write("root/app/memfiles/selka_1_0_0.rbf", "same");
    EXPECT_EQ(FPGA_init(false), 0);
    EXPECT_TRUE(board.exists("sim/fpga-config.bin"));  // blank flash: written
    std::filesystem::remove(board.file("root/app/memfiles/selka_1_0_0.rbf"));
    board.write("root/app/memfiles/selka_3_1_4.rbf", "newer");
    EXPECT_EQ(FPGA_init(false), 0);
    char text[16];
    FPGA_get_string_version(text);
    EXPECT_STREQ(text, "3.1.4");
    EXPECT_EQ(board.read("sim/fpga-config.bin"), "newer");
}
