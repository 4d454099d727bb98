// The saved menu values: the 400-byte file of 80 four-digit lines, and the
// restore that only opens a file.
#include "core/pm.h"
#include "menu/saved_values.h"
#include "scaler/picture.h"
#include "support/temp_board.h"
#include "sys/print.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class SavedValues : public ::testing::Test {
protected:
    void SetUp() override {
        PM = PMRec{};
        PS_OP_MODE = 0;
    }
    static size_t openDescriptors() {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                 std::filesystem::directory_iterator{}));
    }
    hx40test::TempBoard board;
};

TEST_F(SavedValues, EightyLinesOfFourHexDigits) {
    PM.DISPLAY_MODE = 1;
    PM.IACTHST[0] = 0x123;
    PM.IACTHST[1] = 20;
    PM_IFORMAT[0] = 66;
    PM_IFORMAT[1] = 255;
    PM.BRIGHT[0] = -512;
    PM.BRIGHT[1] = 32;
    PM.HUE[0] = -1;
    PM.HUE[1] = 180;
    PM.GAMMA[0] = 200;  // a byte read signed
    PM.HSHARP[0] = -10;
    PM.HSHARP[1] = 10;
    PM.SCAN[0] = 3;
    PM.SCAN[1] = 2;  // one slot only: CH1's
    PM.OWIN_HST[0] = 2046;
    PM.OWIN_VW[1] = 40000;  // the output window is unsigned
    PM.UPSIDEDOWN[1] = 3;
    PM.OSDPOSH = 1280;
    PM.OSDPOSV = 600;
    save_menu_param();

    std::vector<std::string> lines(80, "0000");
    lines[0] = "0001";   // display mode
    lines[2] = "0001";   // the constant 1
    lines[3] = "0123";   // IACTHST CH1
    lines[4] = "0014";
    lines[7] = "0042";   // input format CH1
    lines[8] = "00ff";
    lines[17] = "fe00";  // BRIGHT CH1
    lines[18] = "0020";
    lines[21] = "ffff";  // HUE CH1
    lines[22] = "00b4";
    lines[25] = "ffc8";  // GAMMA CH1
    lines[33] = "fff6";  // HSHARP CH1
    lines[34] = "000a";
    lines[51] = "0003";  // SCAN
    lines[52] = "07fe";  // OWIN_HST CH1
    lines[59] = "9c40";  // OWIN_VW CH2
    lines[72] = "0003";  // UPSIDEDOWN CH2
    lines[78] = "0500";  // OSDPOSH
    lines[79] = "0258";  // OSDPOSV
    std::string want;
    for (const std::string& l : lines) want += l + "\n";
    const std::string got = board.read("root/app/conf/default_saved.txt");
    EXPECT_EQ(got.size(), 400u);
    EXPECT_EQ(got, want);
}

TEST_F(SavedValues, NothingIsWrittenInTheScalersOtherMode) {
    PS_OP_MODE = 1;
    save_menu_param();
    EXPECT_FALSE(board.exists("root/app/conf/default_saved.txt"));
}

TEST_F(SavedValues, RestoreOpensTheChosenFileAndReadsNothing) {
    g_print_verbose_lvl = PRINT_GENERAL;
    save_menu_param();
    PM.BRIGHT[0] = 99;
    Channel = 1;
    const size_t before = openDescriptors();
    testing::internal::CaptureStdout();
    restore_menu_param(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(static_cast<int>(Channel), 0);
    EXPECT_EQ(PM.BRIGHT[0], 99) << "no value is read back";
    EXPECT_EQ(openDescriptors(), before) << "the file is not left open";

    struct Case {
        int which;
        const char* said;
    } cases[] = {{1, "restore_menu_param:file open error"}, {2, "restore_menu_param:Undefine Param"},
                 {-1, "restore_menu_param:Undefine Param"}};
    for (const Case& c : cases) {
        Channel = 1;
        testing::internal::CaptureStdout();
        restore_menu_param(c.which);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.said) << c.which;
        EXPECT_EQ(static_cast<int>(Channel), 1) << c.which;
    }
}

}  // namespace
