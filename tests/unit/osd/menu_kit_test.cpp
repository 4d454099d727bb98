// The menu screen kit on the simulated chip: what a screen's helpers leave
// on the drawing plane (text scene and engine operations).
#include "unit/osd/osd_fixture.h"

#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>

namespace hx40test {
namespace {

int32_t gCursor[4];
uint8_t gByte[4];
int16_t gWord;

// Rows by index: 1 page 3 (its items 31..39 follow, 33 disabled), 11 a list
// value, 12..17 title nodes, 18..21 value bars.
std::vector<FuncRow> testRows() {
    std::vector<FuncRow> rows = {{3, nullptr, 5, nullptr, FT_PAGE, &gCursor[0], fnI(8), fnI(0), fnI(1), fnI(0), 1}};
    for (uint32_t node = 31; node <= 39; ++node)
        rows.push_back({node, nullptr, 5, nullptr, FT_S8, &gByte[0], fnI(1), fnI(0), fnI(1), fnI(0),
                        static_cast<uint8_t>(node == 33 ? 0 : 1)});
    rows.push_back({3821, nullptr, 5, nullptr, FT_S8, &gByte[1], fnI(1), fnI(0), fnI(1), fnI(0), 1});  // 11
    for (uint32_t node : {0u, 5u, 22u, 321u, 38721u, 7510u})  // 12..17
        rows.push_back({node, nullptr, 5, nullptr, FT_PAGE, &gCursor[1], fnI(1), fnI(0), fnI(1), fnI(0), 1});
    rows.push_back({3931, nullptr, 3, nullptr, FT_S8, &gByte[2], fnI(20), fnI(-80), fnI(1), fnI(2), 1});  // 18
    rows.push_back({341, nullptr, 3, nullptr, 9, &gWord, fnI(100), fnI(0), fnI(1), fnI(0), 1});           // 19
    rows.push_back({221, nullptr, 3, nullptr, FT_S8, &gByte[3], fnI(15), fnI(1), fnI(1), fnI(0), 1});     // 20
    rows.push_back({342, nullptr, 3, nullptr, 9, &gWord, fnI(100), fnI(0), fnI(1), fnI(0), 0});           // 21
    return rows;
}

class MenuKit : public OsdTest {
protected:
    void SetUp() override {
        OsdTest::SetUp();
        static std::vector<FuncRow> rows;
        rows = testRows();
        static std::array<FuncRowGroup, 1> groups;
        groups = {{{"kit", rows}}};
        funcTableInstall(groups);
    }
    std::vector<std::string> texts() const { return coloured(chip().scene(drawingPlane())); }
    // The engine's fills, "x,y wxh colour".
    std::vector<std::string> fills() const {
        std::vector<std::string> out;
        for (const std::string& op : chip().operations()) {
            int plane, x, y, w, h, c;
            if (std::sscanf(op.c_str(), "osd.fill plane=%d x=%d y=%d w=%d h=%d colour=%d", &plane, &x, &y, &w, &h,
                            &c) == 6)
                out.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" +
                              std::to_string(h) + " " + std::to_string(c));
        }
        return out;
    }
};

TEST_F(MenuKit, TitleByDigitCount) {
    struct Case {
        int row;
        const int *top, *item;
        std::vector<std::string> want;
    } cases[] = {
        {12, nullptr, nullptr, {"320,12 0/255 Main Menu"}},
        {1, nullptr, nullptr, {"320,12 0/255 Channel 1"}},
        {13, nullptr, nullptr, {"320,12 0/255 Misc"}},
        {14, menu_list_2, nullptr, {"320,12 0/255 Layout", "320,42 247/1    ", "344,42 255/252 Transition"}},
        {14, nullptr, nullptr, {"320,12 0/255 Layout"}},
        {15, menu_list_3, menu_list_32, {"320,12 0/255 Scan / Aspect", "320,42 247/1    ", "344,42 255/252 Scan"}},
        {15, nullptr, menu_list_32, {"320,42 247/1    ", "344,42 255/252 Scan"}},
        {16, menu_list_3872, menu_list_3872x, {"320,12 0/255 2", "320,42 247/1    ", "344,42 255/252 Input"}},
        {17, menu_list_5, menu_list_52, {"320,12 0/255 Information", "320,42 247/1    "}},
    };
    for (const Case& c : cases) {
        osd_swap();
        osd_put_title(c.row, c.top, c.item, 0);
        EXPECT_EQ(texts(), c.want) << "node " << funcDataTbl[c.row].node;
    }
}

TEST_F(MenuKit, PageScreenRecipe) {
    gCursor[0] = 4;
    OSD_CHANNEL = 1;
    PM.OSDPOSH = 640;
    PM.OSDPOSV = 300;
    osd_page_screen(1, 2, nullptr, nullptr, formated_osd_list(menu_list_3));
    EXPECT_EQ(coloured(chip().visibleTexts(1)),
              (std::vector<std::string>{"140,208 255/252 Channel 1", "320,12 0/255 Channel 1", "330,138 0/255 Source",
                                        "330,170 0/255 Scan / Aspect", "330,202 95/255 Output Window",
                                        "330,234 0/255 Picture", "330,266 255/252 Color", "330,298 0/255 Deinterlace",
                                        "330,330 0/255 Noise Reduction", "330,362 0/255 Control",
                                        "330,394 0/255 Audio"}));
    EXPECT_NE(chip().sceneText().find("channel 1 window on plane 0 at 640,300 size 640x480 key 239"),
              std::string::npos);
    EXPECT_EQ(OSDCT & 0x20, 0) << "inhibit released";
}

TEST_F(MenuKit, ListLinesStandAroundTheMiddle) {
    static const int eleven[12] = {205, 206, 207, 208, 209, 210, 211, 212, 213, 214, 217, 0};
    const int firstY[12] = {0, 266, 234, 234, 202, 202, 170, 170, 138, 138, 106, 106};
    const formated_osd_list list(eleven);
    for (int n = 1; n <= 11; ++n) {
        osd_swap();
        chip().clearOperations();
        funcDataTbl[11].max = fnI(n - 1);
        osd_put_list(11, n - 1, list, 1);
        auto scene = chip().scene(drawingPlane());
        ASSERT_EQ(scene.size(), static_cast<size_t>(n)) << n << " lines";
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(scene[i].x, 330);
            EXPECT_EQ(scene[i].y, firstY[n] + 32 * i) << n << " lines, line " << i;
        }
        EXPECT_EQ(fills(), std::vector<std::string>{"315," + std::to_string(firstY[n] + 32 * (n - 1) + 2) + " 8x8 247"})
            << "the cursor mark of the last line";
    }
    // Too many lines: nothing at all.
    osd_swap();
    funcDataTbl[11].max = fnI(11);
    osd_put_list(11, 0, list, 1);
    static const int twelve[12] = {205, 206, 207, 208, 209, 210, 211, 212, 213, 214, 217, 205};
    osd_put_list(11, 0, formated_osd_list(twelve), 0);
    EXPECT_TRUE(chip().scene(drawingPlane()).empty());
    osd_put_list(11, 0, list, 0);
    EXPECT_EQ(chip().scene(drawingPlane()).size(), 11u) << "without the cursor the list counts its own lines";
}

TEST_F(MenuKit, CursorAndGreyedLinesOfAPage) {
    formated_osd_list list(menu_list_3);
    struct Case {
        int cursor;
        std::vector<std::string> wantTexts, wantFills;
    } cases[] = {
        {1, {"330,138 0/255 Source", "330,170 255/252 Scan / Aspect", "330,202 95/255 Output Window"}, {"315,172 8x8 247"}},
        {2, {"330,138 0/255 Source", "330,170 0/255 Scan / Aspect", "330,202 95/255 Output Window"}, {"315,204 8x8 95"}},
    };
    for (const Case& c : cases) {
        osd_swap();
        chip().clearOperations();
        osd_put_list(1, c.cursor, list, 1);
        auto got = texts();
        ASSERT_EQ(got.size(), 9u);
        got.resize(3);
        EXPECT_EQ(got, c.wantTexts) << "cursor " << c.cursor;
        auto marks = fills();
        std::erase_if(marks, [](const std::string& f) { return f.rfind("0,0 ", 0) == 0; });  // the swap's clear
        EXPECT_EQ(marks, c.wantFills) << "cursor " << c.cursor;
    }
}

TEST_F(MenuKit, DisabledAndDeletedLinesOfAValueList) {
    static const int four[12] = {213, 214, 144, 145, 0};
    funcDataTbl[11].max = fnI(3);
    button_num = 2;
    gByte[1] = 1;
    formated_osd_list list(four);
    list.disable_line(11, 2, " (locked)");
    list.delete_line(11, 3);
    EXPECT_EQ(gByte[1], 3) << "the value left the disabled line and skipped the deleted one";
    osd_put_list(11, gByte[1], list, 1);
    // Three lines stand as a 3-line list would not: room is kept for four.
    EXPECT_EQ(texts(), (std::vector<std::string>{"330,202 0/255 Off", "330,234 199/255 On", "368,234 199/255  (locked)",
                                                 "330,266 255/252 Pattern 2"}));
    EXPECT_EQ(fills(), std::vector<std::string>{"315,268 8x8 247"});
}

TEST_F(MenuKit, ValueOnNoLineGoesBackToTheMinimum) {
    struct Case {
        int max, value;
        const char* mark;
    } cases[] = {{3, 7, "315,204 8x8 247"}, {2, 9, "315,204 8x8 247"}, {0, 1, "315,236 8x8 247"}};
    for (const Case& c : cases) {
        chip().clearOperations();
        funcDataTbl[11].max = fnI(c.max);
        gByte[1] = static_cast<uint8_t>(c.value);
        osd_put_list(11, c.value, formated_osd_list(menu_list_384), 1);
        EXPECT_EQ(fills(), std::vector<std::string>{c.mark}) << c.max;
        EXPECT_EQ(gByte[1], 0);
    }
    // A page cursor as well: nine lines, the mark one pitch above the first.
    chip().clearOperations();
    gCursor[0] = 9;
    osd_put_list(1, 9, formated_osd_list(menu_list_3), 1);
    EXPECT_EQ(fills(), std::vector<std::string>{"315,108 8x8 247"});
    EXPECT_EQ(gCursor[0], 0);
}

TEST_F(MenuKit, ValueBarsAndTheirNumbers) {
    struct Case {
        int row, value;
        std::vector<std::string> wantFills;
        std::string number;
    } cases[] = {
        {18, -5, {"358,229 120x13 248"}, "-05"},      // -80..20
        {18, 20, {"358,229 160x13 248"}, "+20"},      // at the maximum
        {18, -80, {}, "-80"},                         // at the minimum
        {19, 62, {"358,229 99x13 248"}, " 062"},      // 0..100
        {20, 15, {"358,229 160x13 248"}, " 15"},      // 1..15
        {21, 62, {"358,229 160x13 248"}, "n/a"},      // disabled row
    };
    for (const Case& c : cases) {
        osd_swap();
        chip().clearOperations();
        osd_put_pbar(c.row, c.value, 350, 220, 248);
        auto got = fills();
        std::erase_if(got, [](const std::string& f) { return f.rfind("0,0 ", 0) == 0; });
        EXPECT_EQ(got, c.wantFills) << c.number;
        EXPECT_EQ(texts(), std::vector<std::string>{"530,228 248/1 " + c.number});
        EXPECT_NE(chip().operations()[0].find("osd.copy"), std::string::npos) << "part 29 first";
    }
}

TEST_F(MenuKit, WarningLines) {
    struct Case {
        int displayMode, window, channel, res;
        std::vector<std::string> want;  // single (force 0), single (force 1), overlay, transition, 4K
    } cases[] = {
        {0, 0, 1, 0, {"", "", "", "", ""}},
        {1, 0, 1, 0, {"Single", "Single", "Overlay", "Transition", ""}},
        {1, 4, 0, 0, {"", "Single", "", "", ""}},
        {1, 2, 1, 0, {"", "", "Overlay", "", ""}},
        {0, 0, 1, 42, {"", "", "", "", "4K"}},
        {0, 0, 0, 42, {"", "", "", "", ""}},
    };
    const std::map<std::string, std::string> lines = {
        {"Single", "344,106 199/255 Ineffective In Single Window"},
        {"Overlay", "344,106 199/255 Ineffective In Overlay Mode"},
        {"Transition", "344,106 199/255 Ineffective In Transition Window"},
        {"4K", "342,106 199/255 Ineffective in 4k2k30 output"},
    };
    for (const Case& c : cases) {
        PM.DISPLAY_MODE = static_cast<uint8_t>(c.displayMode);
        PM.DWINDOW = static_cast<uint8_t>(c.window);
        PM.OUTPUT_RES_SEL[0] = 0;
        PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(c.res);
        Channel = c.channel;
        std::vector<std::function<int()>> helpers = {
            [] { return print_single_window_warning_if_needed(0); },
            [] { return print_single_window_warning_if_needed(1); },
            [] { return print_overlay_warning_if_needed(); },
            [] { return print_transition_warning_if_needed(); },
            [] {
                osd_put_prev_4k_warning();
                return -1;
            },
        };
        for (size_t h = 0; h < helpers.size(); ++h) {
            osd_swap();
            const int drew = helpers[h]();
            const auto want = c.want[h].empty() ? std::vector<std::string>{}
                                                : std::vector<std::string>{lines.at(c.want[h])};
            EXPECT_EQ(texts(), want) << "case mode " << c.displayMode << " window " << c.window << " ch " << c.channel
                                     << " helper " << h;
            if (drew >= 0) {
                EXPECT_EQ(drew, c.want[h].empty() ? 0 : 1);
            }
        }
    }
}

TEST_F(MenuKit, PaletteViewAndGainScreen) {
    osd_put_palette();
    auto squares = fills();
    ASSERT_EQ(squares.size(), 256u);
    EXPECT_EQ(squares[0], "330,138 12x12 0");
    EXPECT_EQ(squares[17], "342,150 12x12 17");
    EXPECT_EQ(squares[255], "510,318 12x12 255");

    // The gain view: OSDGAIN 1..4.
    funcDataTbl[20] = {524, nullptr, 3, nullptr, FT_S8, &PM.OSDGAIN, fnI(4), fnI(1), fnI(1), fnI(0), 1};
    struct Case {
        int gain;
        std::string bar;
    } cases[] = {{1, "358,229 5x13 255"}, {3, "358,229 106x13 248"}, {4, "358,229 160x13 248"}};
    for (const Case& c : cases) {
        osd_swap();
        chip().clearOperations();
        PM.OSDGAIN = static_cast<uint8_t>(c.gain);
        osd_funcGEN(20);
        const auto got = fills();
        EXPECT_NE(std::find(got.begin(), got.end(), c.bar), got.end()) << c.gain;
        EXPECT_EQ(texts(), (std::vector<std::string>{"140,150 0/255 OSD Gain", "320,42 0/255 Front",
                                                     "530,228 248/1  " + std::to_string(c.gain)}));
    }
}

}  // namespace
}  // namespace hx40test
