// The channel pages' structure: page-4 twins of page-3 rows, the guards of
// page 4's actions, the channel a screen chooses, the screen template, the
// lines the pages grey out and the warnings they share.
#include "unit/menu/channel_fixture.h"
#include "unit/menu/row_expect.h"

#include "core/core_rows.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_pages.h"
#include "menu/menu_engine.h"
#include "menu/menu_state.h"
#include "menu/root_page.h"
#include "osd/menu_kit.h"
#include "sys/frontpanel.h"

#include <algorithm>
#include <array>

namespace hx40test {
namespace {

// What a test action saw: its row's node and the thread's channel.
std::vector<std::string> gCalls;
void record(int row) {
    gCalls.push_back(std::to_string(funcDataTbl[row].node) + "@" + std::to_string(static_cast<int>(Channel)));
}

int32_t tPB38, tPB48, tPB382, tPB482, tPB39, tPB49, tPB396;

// A few items of the later pages, enough to see twins, guards and greying.
constexpr ChannelItem kTestItems[] = {
    {38, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(tPB38, tPB48), 0, 6},
    {381, acts<record>(), 5, channelListScreen, FT_CH_S8, both(PM.UPSIDEDOWN), 0, 3},
    {382, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(tPB382, tPB482), 0, 2},
    {3823, acts<record, TwinGuard::Overlay>(), 5, channelListScreen, FT_CH_S8, both(PM.MUTE), 0, 1},
    {38311, acts<record, TwinGuard::SingleWindow>(), 5, channelListScreen, FT_CH_S8, both(PM.AUTO_SYNC_OFF), 0, 1},
    {39, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(tPB39, tPB49), 0, 5, 1, 0, true, 4},
    {394, acts<record, TwinGuard::Overlay>(), 4, channelBarScreen, FT_CH_S16, both(PM.LIP_SYNC), 0, 170, 1, 8},
    {396, kNoAction, 5, channelPageScreen, FT_PAGE, {&tPB396, nullptr}, 0, 2, 1, 0, kPage3Only},
};
constexpr auto kTestRows = channelRows<kTestItems>();

class ChannelPages : public ChannelPageTest {
protected:
    void install() override {
        static const std::array<FuncRowGroup, 4> groups = {{
            {"root", rootPageRows()}, {"core", coreFuncRows()}, {"channel", channelPageRows()}, {"test", kTestRows}}};
        funcTableInstall(groups);
        gCalls.clear();
    }
};

TEST_F(ChannelPages, PageFourRowsMirrorPageThree) {
    struct Expect {
        uint32_t node;
        RowFields fields;
    } rows[] = {
        {481, {6, &PM.UPSIDEDOWN[1], 0, 3, 1, 0, 5}},
        {494, {10, &PM.LIP_SYNC[1], 0, 170, 1, 8, 4}},
        {48311, {6, &PM.AUTO_SYNC_OFF[1], 0, 1, 1, 0, 5}},
        {49, {15, &tPB49, 0, 4, 1, 0, 5}},
        {396, {15, &tPB396, 0, 2, 1, 0, 5}},
    };
    for (const Expect& e : rows) expectRow(e.node, e.fields);
    EXPECT_EQ(row(4396), 0) << "the microphone page has no twin";
    EXPECT_EQ(funcDataTbl[row(481)].screen, funcDataTbl[row(381)].screen);
}

TEST_F(ChannelPages, PageFourActionsForwardUnderTheirGuards) {
    struct Case {
        int node, displayMode, dwindow;
        const char* calls;
        const char* note;
    } cases[] = {
        {481, 1, 0, "481@1", "no guard"},
        {4823, 0, 0, "4823@1", "transition mode"},
        {4823, 1, 5, "", "overlay mode"},
        {3823, 1, 5, "3823@0", "page 3 is never guarded"},
        {494, 1, 1, "", "overlay mode"},
        {48311, 1, 0, "", "single window"},
        {48311, 1, 4, "", "single customised window"},
        {48311, 1, 1, "48311@1", "two windows"},
        {48311, 0, 0, "48311@1", "transition mode"},
    };
    for (const Case& c : cases) {
        gCalls.clear();
        PM.DISPLAY_MODE = static_cast<uint8_t>(c.displayMode);
        PM.DWINDOW = static_cast<uint8_t>(c.dwindow);
        Channel = c.node / 1000 == 4 || c.node / 100 == 4 || c.node / 10000 == 4 ? 1 : 0;
        runFuncInd(row(c.node));
        std::string calls;
        for (const auto& s : gCalls) calls += s;
        EXPECT_EQ(calls, c.calls) << c.node << " " << c.note;
    }
}

TEST_F(ChannelPages, OpeningATwinItemSetsChannelTwoBeforeItsAction) {
    st_num = 48;
    tPB48 = 0;
    Channel = 0;
    PM.UPSIDEDOWN[0] = 0;
    PM.UPSIDEDOWN[1] = 0;
    stLoop_proc({KEY_ENTER, 0, 0});
    ASSERT_EQ(st_num, 481);
    EXPECT_EQ(Channel, 1);
    stLoop_proc({KEY_DOWN, 0, 0});
    EXPECT_EQ(PM.UPSIDEDOWN[1], 1);
    EXPECT_EQ(PM.UPSIDEDOWN[0], 0);
    ASSERT_EQ(gCalls, std::vector<std::string>{"481@1"});
    stLoop_proc({KEY_MENU_HELD, 0, 0});
    EXPECT_EQ(st_num, 381) << "MENU held: the same place on channel 1's page";
    EXPECT_EQ(Channel, 0);
}

TEST_F(ChannelPages, ScreensDrawTheTabAndTitleOfTheirChannel) {
    struct Case {
        int node;
        int channel;
        std::vector<const char*> texts;  // "x,y text"
    } cases[] = {
        {3, 0, {"140,208 Channel 1", "320,12 Channel 1", "330,138 Source", "330,394 Audio"}},
        {4, 1, {"140,266 Channel 2", "320,12 Channel 2", "330,202 Output Window"}},
        {38, 0, {"140,208 Channel 1", "320,12 Channel 1", "330,170 Projection"}},
        {482, 1, {"140,266 Channel 2", "320,12 Control", "330,234 Freeze", "330,298 Mute"}},
        {481, 1, {"140,266 Channel 2", "320,12 Control", "330,202 Front"}},
    };
    for (const Case& c : cases) {
        Channel = 1 - c.channel;
        const auto shown = screen(c.node);
        EXPECT_EQ(Channel, c.channel) << c.node;
        for (const char* t : c.texts) EXPECT_TRUE(has(placedOnly(shown), t)) << c.node << ": " << t;
        const std::string tab = c.channel == 0 ? "140,208 255/252 Channel 1" : "140,266 255/252 Channel 2";
        EXPECT_TRUE(has(shown, tab)) << c.node << ": the channel's tab is highlighted";
    }
    const auto item = placedOnly(screen(481));
    EXPECT_TRUE(std::any_of(item.begin(), item.end(), [](const std::string& t) {
        return t.starts_with("3") && t.find(",42 Projection") != std::string::npos;
    })) << "the item's page under the title";
}

TEST_F(ChannelPages, PagesGreyLinesAndMoveACursorOffThem) {
    struct Case {
        int node;
        int32_t* cursor;
        void (*setup)();
        int32_t cursorBefore, cursorAfter;
        const char* greyed;  // the line drawn in 199
    } cases[] = {
        {3, &PB_3, [] { PM.OUTPUT_RES_SEL[0] = 42; }, 2, 3, "330,202 199/255 Output Window"},
        {4, &PB_4, [] { PM.OUTPUT_RES_SEL[1] = 42; }, 0, 0, "330,202 199/255 Output Window"},
        {382, &tPB382, [] { PM.TEST_PATTERN[0] = 1; }, 0, 2, "330,266 199/255 Blank"},
        {482, &tPB482, [] { PM.TEST_PATTERN[1] = 2; }, 1, 2, "330,234 199/255 Freeze"},
        {39, &tPB39, [] { PM.SEL_INPUT_TYPE[0] = 2; }, 1, 2, "330,202 199/255 Analog Takeover"},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        *c.cursor = c.cursorBefore;
        const auto shown = screen(c.node);
        EXPECT_TRUE(has(shown, c.greyed)) << c.node;
        EXPECT_EQ(*c.cursor, c.cursorAfter) << c.node;
    }
    reset();
    PM.SEL_INPUT_TYPE[1] = 2;  // channel 1's own type counts only
    EXPECT_FALSE(hasText(screen(39), "199/255 Analog Takeover"));
    EXPECT_TRUE(has(screen(39), "330,202 0/255 Analog Takeover"));
}

TEST_F(ChannelPages, OnlyChannelTwoItemsSay4k) {
    struct Case {
        int node;
        bool line;
    } cases[] = {{48, true}, {481, true}, {4, false}, {4823, false}, {49, false}, {494, false}, {38, false}, {381, false}};
    PM.OUTPUT_RES_SEL[0] = 42;
    PM.OUTPUT_RES_SEL[1] = 42;
    for (const Case& c : cases)
        EXPECT_EQ(has(screen(c.node), "342,106 199/255 Ineffective in 4k2k30 output"), c.line) << c.node;
}

TEST_F(ChannelPages, SharedWarnings) {
    struct Case {
        void (*setup)();
        int (*warn)();
        std::vector<const char*> texts;
    } cases[] = {
        {[] { PM.FREEZE[1] = 1; }, print_freez_warning_if_needed, {"342,106 199/255 Ineffective in Freeze Mode"}},
        {[] { PM.FREEZE[0] = 1; }, print_freez_warning_if_needed, {}},
        {[] { PM.PASS_THROUGH[1] = 1; }, print_Pass_Through_Warning_If_Nedded, {"315,106 199/255 Unavailable: Audio Pass-Trough"}},
        {[] { PM.PASS_THROUGH[1] = 2; }, print_Pass_Through_Warning_If_Nedded, {}},
        {[] { PM.MIC1_MODE = 0; }, [] { return print_mic_mode_warning_If_Nedded(1, 1); },
         {"344,106 199/255 Ineffective On Talkover Mode"}},
        {[] { PM.MIC2_MODE = 1; }, [] { return print_mic_mode_warning_If_Nedded(0, 2); }, {"350,106 199/255 Ineffective On Mix Mode"}},
        {[] { PM.MIC2_MODE = 1; }, [] { return print_mic_mode_warning_If_Nedded(1, 2); }, {}},
        {[] {
             PM.MIC1_MODE = 0;
             st_num = 39617;
         },
         [] { return print_mic_mode_warning_If_Nedded(1, 1); },
         {"344,106 199/255 Ineffective On Talkover Mode", "344,136 199/255 NOTE: May Effect Other Mic"}},
    };
    for (const Case& c : cases) {
        reset();
        st_num = 3961;
        Channel = 1;
        c.setup();
        osd_swap();
        EXPECT_EQ(c.warn(), c.texts.empty() ? 0 : 1);
        const auto drawn = coloured(chip().scene(drawingPlane()));
        EXPECT_EQ(drawn, std::vector<std::string>(c.texts.begin(), c.texts.end()));
    }
}

}  // namespace
}  // namespace hx40test
