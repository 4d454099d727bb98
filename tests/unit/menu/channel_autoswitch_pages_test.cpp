// The automatic switching items of both channel pages: the mode, the eight
// priority places kept a permutation (also from damaged bytes), the apply
// on ENTER or on leaving with MENU, the reset and the screens.
#include "unit/menu/control_fixture.h"

#include "core/paramcmd.h"
#include "menu/channel_autoswitch_pages.h"

#include <array>

namespace hx40test {
namespace {

using Places = std::array<int, 8>;

class ChannelAutoSwitch : public ControlPageTest {
protected:
    void reset() override {
        ControlPageTest::reset();
        for (int ch = 0; ch < 2; ++ch)
            for (int x = 0; x < 8; ++x) {
                PM.AUTO_SWITCH_PRIORITY[x][ch] = static_cast<uint8_t>(x);
                PM.AUTO_SWITCH_PARTICIPATION[x][ch] = 1;
            }
    }
    static void setPlaces(int ch, const Places& p) {
        for (int x = 0; x < 8; ++x) PM.AUTO_SWITCH_PRIORITY[x][ch] = static_cast<uint8_t>(p[static_cast<size_t>(x)]);
    }
    static Places places(int ch) {
        Places p{};
        for (int x = 0; x < 8; ++x) p[static_cast<size_t>(x)] = PM.AUTO_SWITCH_PRIORITY[x][ch];
        return p;
    }
    // The scan order the switching service took from the bytes.
    static std::vector<int> scanOrder(int ch) {
        std::vector<int> out;
        int n = 0;
        autoSwitchPriority(ch, 0, &n);
        for (int i = 0; i < n; ++i) out.push_back(autoSwitchPriority(ch, i));
        return out;
    }
};

TEST_F(ChannelAutoSwitch, AChosenInputSwapsWithThePlaceThatHeldIt) {
    struct Case {
        const char* name;
        int node;  // the input item of the place
        Places before, after;
        bool dirty;
    } cases[] = {
        {"place 3 takes place 6's input", 387231, {0, 1, 5, 3, 4, 5, 6, 7}, {0, 1, 5, 3, 4, 2, 6, 7}, true},
        {"CH2's place 1", 487211, {7, 1, 2, 3, 4, 5, 6, 7}, {7, 1, 2, 3, 4, 5, 6, 0}, true},
        {"a permutation stays as it is", 387281, {7, 6, 5, 4, 3, 2, 1, 0}, {7, 6, 5, 4, 3, 2, 1, 0}, false},
        {"a blank EEPROM becomes a permutation", 387211, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         {0, 1, 2, 3, 4, 5, 6, 7}, true},
        {"the chosen input stays, repeats take the missing ones", 387241, {3, 3, 9, 3, 1, 1, 0, 0},
         {2, 4, 5, 3, 1, 6, 0, 7}, true},
    };
    for (const Case& c : cases) {
        reset();
        const int ch = c.node / 100000 == 4 ? 1 : 0;
        setPlaces(ch, c.before);
        PM.AUTO_SWITCH_PARTICIPATION[2][ch] = 0;
        mark();
        act(c.node);
        EXPECT_EQ(places(ch), c.after) << c.name;
        EXPECT_EQ(places(1 - ch), (Places{0, 1, 2, 3, 4, 5, 6, 7})) << c.name << ": the other channel";
        EXPECT_EQ((vp.chData[ch].cFlags.load() & VP_CFLAG_DIRTY) != 0, c.dirty) << c.name;
        // The service scans the places that take part (not place 3), in place order.
        std::vector<int> order;
        for (int x = 0; x < 8; ++x)
            if (x != 2) order.push_back(c.after[static_cast<size_t>(x)]);
        EXPECT_EQ(scanOrder(ch), order) << c.name;
        const Lines announced = calls({"p7kEvAnnounceInt"});
        ASSERT_EQ(announced.size(), 8u) << c.name;
        const int base = ch == 0 ? 387211 : 487211;
        EXPECT_EQ(announced[7], "p7kEvAnnounceInt function=" + std::to_string(base + 70) + " value=" +
                                    std::to_string(c.after[7]) + " channel=" + std::to_string(Channel))
            << c.name;
    }
}

TEST_F(ChannelAutoSwitch, BrowsingOnlyShowsTheChoiceEnterOrMenuApplies) {
    // Place 2 of CH1: its input item, two steps down (input 1 -> 3).
    st_num = 38722;
    PB_38722 = 0;
    key(KEY_ENTER);
    ASSERT_EQ(st_num, 387221);
    key(KEY_DOWN);
    EXPECT_EQ(st_num, 387221) << "back from the browsing state";
    key(KEY_DOWN);
    EXPECT_EQ(places(0), (Places{0, 3, 2, 3, 4, 5, 6, 7})) << "not applied yet";
    key(KEY_MENU);
    EXPECT_EQ(st_num, 38722);
    EXPECT_EQ(places(0), (Places{0, 3, 2, 1, 4, 5, 6, 7})) << "leaving with MENU swaps places 2 and 4";
    // ENTER applies at once.
    key(KEY_ENTER);
    key(KEY_UP);
    EXPECT_EQ(places(0), (Places{0, 2, 2, 1, 4, 5, 6, 7}));
    key(KEY_ENTER);
    EXPECT_EQ(st_num, 387221);
    EXPECT_EQ(places(0), (Places{0, 2, 3, 1, 4, 5, 6, 7}));

    // A control system's set while the menu is open is applied as ENTER's.
    reset();
    vp.gFlags = VP_GFLAG_MENU_OPEN;
    float f;
    int32_t i;
    const char* t;
    ASSERT_EQ(parseVidCmd("0,387231,5", &f, &i, &t), YST_SET);
    drain(E_EXMSG_TYPE_STLOOP);
    key(KEY_RUN_PROTOCOL_NODE);
    EXPECT_EQ(st_num, 387231);
    EXPECT_EQ(places(0), (Places{0, 1, 5, 3, 4, 2, 6, 7})) << "place 6 takes place 3's input";
    EXPECT_EQ(scanOrder(0), (std::vector<int>{0, 1, 5, 3, 4, 2, 6, 7}));
}

TEST_F(ChannelAutoSwitch, ModeResetAndParticipation) {
    PM.AUTO_SWITCH_MODE[1] = 2;
    PI_SCAN_MODE_IN_PROGRESS[1] = 1;
    vp.chData[1].cFlags = VP_CFLAG_SCAN_IN_PROGRESS;
    act(4871);
    EXPECT_EQ(PI_SCAN_MODE_IN_PROGRESS[1], 0);
    EXPECT_EQ(vp.chData[1].cFlags.load(), 0);
    EXPECT_EQ(calls({"p7kEvForceAnnounceInt"}), Lines{"p7kEvForceAnnounceInt function=4873 value=0 channel=1"});

    PM.AUTO_SWITCH_PARTICIPATION[1][0] = 0;
    act(387222);
    EXPECT_EQ(scanOrder(0), (std::vector<int>{0, 2, 3, 4, 5, 6, 7})) << "place 2 left the scan";

    // The list's cursor reaches every line: UP from the first wraps to
    // "Reset Priorities", marked on its own line, and ENTER resets.
    setPlaces(0, {7, 6, 5, 4, 3, 2, 1, 0});
    PM.AUTO_SWITCH_PARTICIPATION[4][0] = 0;
    st_num = 3872;
    PB_3872 = 0;
    struct Move {
        int key, cursor;
        const char* mark;  // the 16 x 16 mark, as the chip fills it
    } moves[] = {{KEY_DOWN, 1, "x=315 y=172 "}, {KEY_DOWN, 2, "x=315 y=204 "}, {KEY_UP, 1, "x=315 y=172 "},
                 {KEY_UP, 0, "x=315 y=140 "}, {KEY_UP, 8, "x=315 y=396 "}};
    for (const Move& m : moves) {
        chip().clearOperations();
        key(m.key);
        EXPECT_EQ(PB_3872, m.cursor) << m.mark;
        const auto drawn = chip().operations();
        EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(),
                                [&](const std::string& op) {
                                    return op.starts_with("osd.fill ") && op.find(m.mark) != std::string::npos &&
                                           op.find(" w=8 h=8 ") != std::string::npos;
                                }),
                  1)
            << m.mark;
    }
    mark();
    chip().clearOperations();
    key(KEY_ENTER);
    EXPECT_EQ(st_num, 3872) << "the menu stays on the list";
    EXPECT_EQ(places(0), (Places{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(scanOrder(0), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(calls({"p7kEvAnnounceInt"}).size(), 16u);
    EXPECT_NE(vp.chData[0].cFlags.load() & VP_CFLAG_DIRTY, 0) << "saved by the main task";
    const auto ops = chip().operations();
    EXPECT_TRUE(std::any_of(ops.begin(), ops.end(), [](const std::string& op) {
        return op.find(" x=340 y=426 ") != std::string::npos && op.ends_with("text=\"Reset To Defaults Settings\"");
    }));
}

TEST_F(ChannelAutoSwitch, Screens) {
    expectScreens({
        {3872,
         [] {
             PM.AUTO_SWITCH_PRIORITY[0][0] = 4;
             PM.AUTO_SWITCH_PRIORITY[4][0] = 0;
             PM.AUTO_SWITCH_PRIORITY[7][0] = 12;
         },
         {"337,98 Effective In Scan Mode Only", " - (DVI-U 1)", " - (HDMI 1)", " - (HDBT 1)", " - (NONE)"}, {}},
        {4872, [] { PM.AUTO_SWITCH_MODE[1] = 1; }, {" - (HDBT 2)"}, {"337,98 Effective In Scan Mode Only"}},
        {38725, [] { PM.AUTO_SWITCH_PARTICIPATION[4][0] = 0; }, {"400,138 Inactive Priority"}, {}},
        {48725, [] { PM.DISPLAY_MODE = 1; }, {"344,106 Ineffective In Single Window"},
         {"337,98 Effective In Scan Mode Only", "400,138 Inactive Priority"}},
    });
    // A place that does not take part is red on the list.
    reset();
    PM.AUTO_SWITCH_PARTICIPATION[1][0] = 0;
    const Lines coloured3872 = screen(3872);
    EXPECT_TRUE(std::any_of(coloured3872.begin(), coloured3872.end(),
                            [](const std::string& s) { return s.find(" 199/") != std::string::npos && s.ends_with(" 2"); }))
        << ::testing::PrintToString(coloured3872);
}

}  // namespace
}  // namespace hx40test
