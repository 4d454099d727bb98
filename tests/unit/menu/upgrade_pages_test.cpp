// Page 54: its screen and the entries' screens, and the frame around the
// upgrade and rollback dialogues as the menu engine runs them.
#include "unit/menu/misc_fixture.h"
#include "unit/upgrade/dialogue_fixture.h"

#include "commands/p7k_engine.h"
#include "menu/pages_misc.h"
#include "menu/pages_upgrade.h"
#include "sys/watchdog.h"

namespace hx40test {
namespace {

class UpgradePages : public MiscPages {};

TEST_F(UpgradePages, ThePageAndTheEntriesScreens) {
    struct Case {
        int node;
        int cursor;
        std::vector<std::string> lines;  // among what the window shows
        int markY;
    } cases[] = {
        {54, 0, {"340,170 0/255 Upgrade", "340,202 248/255 Rollback"}, 170},
        {54, 1, {"340,170 248/255 Upgrade", "340,202 0/255 Rollback"}, 202},
        {541, 0, {"340,170 248/255 Firmware upgrade", "340,202 248/255 Rollback to previous version"}, 170},
        {542, 0, {"340,170 248/255 Firmware upgrade", "340,202 248/255 Rollback to previous version"}, 202},
    };
    for (const Case& c : cases) {
        PB_54 = c.cursor;
        chip().clearOperations();
        draw(c.node);
        for (const std::string& l : c.lines) EXPECT_TRUE(shows(l)) << c.node << " " << l;
        EXPECT_TRUE(shows("140,324 255/252 Misc")) << c.node;
        // The cursor bar, as the primitives draw a 16 x 16 mark.
        int marks = 0;
        for (const std::string& op : chip().operations())
            if (op.find(" w=8 h=8 colour=247") != std::string::npos) {
                ++marks;
                EXPECT_NE(op.find(" x=315 y=" + std::to_string(c.markY + 2) + " "), std::string::npos) << op;
            }
        EXPECT_EQ(marks, 1) << c.node;
    }
}

TEST_F(UpgradePages, ARedrawOfAnEntryDoesNotStartItsDialogue) {
    // A dialogue started by mistake is ended with MENU and noted.
    std::atomic<bool> started{false}, done{false};
    std::thread guard([&] {
        while (!done) {
            if (gBlock_p7k == 1) started = true, pressKey(kMenu);
            Sleep(10);
        }
    });
    at(541);
    key(37);
    done = true;
    guard.join();
    EXPECT_FALSE(started);
    EXPECT_TRUE(shows("340,170 248/255 Firmware upgrade"));
    EXPECT_EQ(st_num, 541);
}

TEST_F(UpgradePages, ADialogueBlocksTheEngineTakesTheKeysAndReturnsToPageFive) {
    struct Case {
        int cursor;
        const char* subtitle;
        const char* first;  // the last line of the dialogue's first screen
    } cases[] = {{0, "344,42 248/255 Upgrade", "MENU or LEFT to return"},
                 {1, "344,42 248/255 Rollback", "MENU or LEFT to return"}};
    for (const Case& c : cases) {
        at(54);
        PB_54 = c.cursor;
        PB_5 = 3;
        WDT_Enable();
        bool blocked = false, modal = false, watchdog = true, subtitled = false;
        Script script;
        script.play([] { return shown(); },
                    {{c.first,
                      [&] {
                          blocked = gBlock_p7k == 1;
                          modal = (vp.gFlags & VP_GFLAG_MODAL_KEYS) != 0;
                          watchdog = WDT_isEnabled();
                          subtitled = shows(c.subtitle);
                          pressKey(kMenu);
                      }}},
                    [] { key(kEnter); });
        EXPECT_TRUE(script.ok) << c.first;
        EXPECT_TRUE(blocked && modal && subtitled) << c.first;
        EXPECT_FALSE(watchdog) << c.first;
        EXPECT_EQ(st_num, 5) << c.first;
        EXPECT_TRUE(shows("330,266 255/252 Upgrade")) << "page 5 with its cursor";
        EXPECT_EQ(gBlock_p7k, 0);
        EXPECT_EQ(vp.gFlags & VP_GFLAG_MODAL_KEYS, 0u);
        EXPECT_TRUE(WDT_isEnabled());
    }
    WDT_Disable();
}

}  // namespace
}  // namespace hx40test
