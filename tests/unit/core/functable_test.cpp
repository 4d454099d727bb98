#include "core/functable.h"
#include "core/pm.h"
#include "support/temp_board.h"

#include <array>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

int8_t gByte[2];
int16_t gWord[2];
int32_t gLong[2];
float gFloat[2];
int32_t gCursor;
char gText[16] = "info";
int gLastRow = -1;

void remember(int row) { gLastRow = row; }

FuncRow row(uint32_t node, uint32_t type, void* value, uint8_t enable = 1, void (*action)(int) = nullptr) {
    return FuncRow{node, action, 5, nullptr, type, value, fnI(100), fnI(-100), fnI(1), fnI(0), enable};
}

void installSmallTable() {
    static std::array<FuncRow, 11> rows = {
        row(10, FT_S8, &gByte[0]),
        row(11, FT_S8_CH, &gByte[0], 1, remember),
        row(12, FT_S16, &gWord[0]),
        row(13, FT_S16_CH, &gWord[0]),
        row(14, FT_S32_CH, &gLong[0]),
        row(15, FT_FLOAT_CH, &gFloat[0]),
        row(16, FT_TEXT, gText),
        row(17, FT_PAGE, &gCursor),
        row(920, FT_KEY, nullptr, 0),
        row(18, FT_S8, &gByte[1], 0),
        row(10, FT_S8, &gByte[1]),  // a second row of node 10 is never found
    };
    const FuncRowGroup groups[] = {{"test", rows}};
    funcTableInstall(groups);
}

}  // namespace

TEST(FuncTable, RowZeroIsTheSentinel) {
    installSmallTable();
    const FuncRow& s = funcDataTbl[0];
    EXPECT_EQ(s.node, 57005u);
    EXPECT_EQ(s.callMode, 5u);
    EXPECT_EQ(s.type, 15u);
    EXPECT_EQ(s.value, nullptr);
    EXPECT_EQ(s.action, nullptr);
    EXPECT_EQ(s.screen, nullptr);
    EXPECT_EQ(s.enable, 1);
    EXPECT_EQ(funcTableSize(), 12);
}

TEST(FuncTable, LookUpAndEnabling) {
    installSmallTable();
    EXPECT_EQ(funcNum2TblInx(10), 1);  // the first of two rows
    EXPECT_EQ(funcNum2TblInx(17), 8);
    EXPECT_EQ(funcNum2TblInx(57005), 0);
    EXPECT_EQ(funcNum2TblInx(99), 0);
    EXPECT_EQ(isFuncEnable(99), 0);
    EXPECT_EQ(isFuncEnable(18), 0);
    EXPECT_EQ(isFuncEnable(920), 1);  // key functions are always enabled
    EXPECT_EQ(isFuncEnable(10), 1);
    runFuncInd(2);
    EXPECT_EQ(gLastRow, 2);
    runFuncInd(1);  // no action
    runFuncInd(500);
    EXPECT_EQ(gLastRow, 2);
}

TEST(FuncTable, GetIntParamReadsSignedValuesForAChannel) {
    installSmallTable();
    gByte[0] = -1;
    gByte[1] = 7;
    gWord[0] = -2;
    gWord[1] = 300;
    gLong[0] = 70000;
    gLong[1] = -70000;
    int32_t v = 0;
    EXPECT_EQ(getIntParam(1, &v, 1), 6);  // type 3 ignores the channel
    EXPECT_EQ(v, -1);
    EXPECT_EQ(getIntParam(2, &v, 1), 6);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(getIntParam(4, &v, 0), 6);
    EXPECT_EQ(v, -2);
    EXPECT_EQ(getIntParam(4, &v, 1), 6);
    EXPECT_EQ(v, 300);
    EXPECT_EQ(getIntParam(5, &v, 1), 6);
    EXPECT_EQ(v, -70000);
    // 255: the calling thread's channel.
    Channel = 1;
    EXPECT_EQ(getIntParam(2, &v, 255), 6);
    EXPECT_EQ(v, 7);
    std::thread([&] {
        int32_t w = 0;
        EXPECT_EQ(getIntParam(2, &w, 255), 6);
        EXPECT_EQ(w, -1);  // a new thread works on CH1
    }).join();
    Channel = 0;
    for (int r : {6, 7, 8, 9, 0, 40}) {
        v = 1234;
        EXPECT_EQ(getIntParam(r, &v, 0), 128) << r;
        EXPECT_EQ(v, 1234) << r;
    }
}

TEST(FuncTable, GetFloatParam) {
    installSmallTable();
    gFloat[0] = 1.5f;
    gFloat[1] = -2.25f;
    float f = 0;
    EXPECT_EQ(getFloatParam(6, &f, 1), 7);
    EXPECT_EQ(f, -2.25f);
    EXPECT_EQ(getFloatParam(6, &f, 0), 7);
    EXPECT_EQ(f, 1.5f);
    f = 9;
    EXPECT_EQ(getFloatParam(1, &f, 0), 128);
    EXPECT_EQ(f, 9);
}

TEST(FuncTable, GetValAndSetValUseTheRowWidthWithoutTheChannelStep) {
    installSmallTable();
    gByte[0] = 0;
    gByte[1] = 5;
    setVal(2, 300);  // truncated to a byte: 44, at element 0 whatever the channel
    EXPECT_EQ(gByte[0], 44);
    EXPECT_EQ(gByte[1], 5);
    EXPECT_EQ(getVal(2), 44);
    setVal(3, -32768);
    EXPECT_EQ(gWord[0], -32768);
    EXPECT_EQ(getVal(3), -32768);
    setVal(5, -5);
    EXPECT_EQ(getVal(5), -5);
    EXPECT_EQ(getVal(8), -1);  // a page
    EXPECT_EQ(getVal(9), -1);  // a key function
    gCursor = 3;
    setVal(8, 9);
    EXPECT_EQ(gCursor, 3);
}

TEST(FuncTable, EnableListFromTheConfFolder) {
    hx40test::TempBoard board;
    installSmallTable();
    board.write("root/app/conf/OSD.conf",
                "# node enable\n"
                "18 1\n"
                "  10\t0   # trailing comment\n"
                "11 2\n"        // not 0 or 1
                "12\n"          // no flag
                "555 1\n"       // no row
                "13 0 extra\n"  // surplus word
                "\n");
    EXPECT_EQ(funcTableLoadEnables(), 2);
    EXPECT_EQ(isFuncEnable(18), 1);
    EXPECT_EQ(isFuncEnable(10), 0);
    EXPECT_EQ(isFuncEnable(11), 1);
    EXPECT_EQ(isFuncEnable(13), 1);
    EXPECT_EQ(funcTableLoadEnables("../conf/none.conf"), 0);
}

TEST(FuncTable, TheProgramTableHoldsTheCoreRows) {
    funcTableInstallProgram();
    std::set<uint32_t> nodes;
    for (int r = 1; r < funcTableSize(); ++r) EXPECT_TRUE(nodes.insert(funcDataTbl[r].node).second) << funcDataTbl[r].node;
    for (int node = 920; node <= 953; ++node) {
        int r = funcNum2TblInx(node);
        ASSERT_NE(r, 0) << node;
        EXPECT_EQ(funcDataTbl[r].type, 20u);
        EXPECT_EQ(funcDataTbl[r].callMode, 8u);
        EXPECT_EQ(funcDataTbl[r].value, nullptr);
    }
    int closed = funcNum2TblInx(999);
    ASSERT_NE(closed, 0);
    EXPECT_EQ(funcDataTbl[closed].type, 15u);
    EXPECT_EQ(funcDataTbl[closed].action, nullptr);
    EXPECT_EQ(funcTableSize(), 1 + 1 + 34 + 1  // the sentinel, the root page, the core rows
                                   + 81 + 20  // the input pages, the layout pages
                                   + 2 + 26 + 50  // the channel pages: structure, input and window, picture
                                   + 28 + 58 + 50  // output control, automatic switching, audio
                                   + 24 + 21 + 2 + 55 + 4);  // page 5: Misc, information, upgrade entries,
                                                             // network and serial, factory resets
}
