// The OSD text console as the OSD shows it: texts, colours and places in
// the text scene, rules and clears among the engine's operations, the key
// waits and the busy animation.
#include "unit/osd/osd_fixture.h"

#include "core/pm.h"
#include "sys/msgq.h"
#include "sys/watchdog.h"
#include "upgrade/osd_console.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

namespace hx40test {
namespace {

using namespace console;

class Console : public OsdTest {
protected:
    std::vector<std::string> shown() const { return coloured(chip().scene(drawingPlane())); }
    std::vector<std::string> ops() const { return chip().operations(); }
    bool hasOp(const std::string& op) const {
        auto o = ops();
        return std::find(o.begin(), o.end(), op) != o.end();
    }
    std::string fill(int x, int y, int w, int h, int colour) const {
        return "osd.fill plane=" + std::to_string(drawingPlane()) + " x=" + std::to_string(x) + " y=" +
               std::to_string(y) + " w=" + std::to_string(w) + " h=" + std::to_string(h) +
               " colour=" + std::to_string(colour);
    }
    // Waits up to 3 s for an operation.
    bool waitOp(const std::string& op) const {
        for (int i = 0; i < 300; ++i) {
            if (hasOp(op)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

TEST_F(Console, ALineIsRedrawnWholeInTheColourOfItsLastAppend) {
    Osd o;
    o.Refresh();
    o << "Found: ";
    EXPECT_EQ(shown(), std::vector<std::string>{"320,60 0/255 Found: "});
    o << red << "x";
    EXPECT_EQ(shown(), std::vector<std::string>{"320,60 199/255 Found: x"});
    EXPECT_EQ(o.CursorLine(), 18);
}

TEST_F(Console, ALineOfThreeHundredPixelsFitsAndOneMoreIsCut) {
    Osd o;
    o.Refresh();
    o << std::string(30, 'a');  // 30 x (9 + 1) = 300
    EXPECT_EQ(o.CursorLine(), 18);
    EXPECT_EQ(o.LineBuffer(), std::string(30, 'a'));
    o << ".";  // 303: the head goes on this line, the rest waits
    EXPECT_EQ(o.CursorLine(), 36);
    EXPECT_EQ(o.LineBuffer(), ".");
    EXPECT_EQ(shown(), std::vector<std::string>{"320,60 0/255 " + std::string(30, 'a')});
    o << endl;
    EXPECT_EQ(o.CursorLine(), 54);
    EXPECT_EQ(shown(), (std::vector<std::string>{"320,60 0/255 " + std::string(30, 'a'), "320,78 0/255 ."}));
}

TEST_F(Console, CentredLinesAndTheLineEnd) {
    Osd o;
    o.Refresh();
    o << center << "aaaaaaaaaaa!." << endl;  // 117 pixels wide
    EXPECT_EQ(shown(), std::vector<std::string>{"406,60 0/255 aaaaaaaaaaa!."});
    EXPECT_FALSE(o.Centred());
    // An empty line only moves down and keeps the centring for the next text.
    o << center << endl;
    EXPECT_EQ(o.CursorLine(), 54);
    EXPECT_TRUE(o.Centred());
    o << "MENU or LEFT to return" << endl;  // 214 pixels wide
    EXPECT_EQ(shown().back(), "357,96 0/255 MENU or LEFT to return");
}

TEST_F(Console, ClippedNamesKeepTheirExtensionAndLeaveRoomForTheVersion) {
    struct Case {
        const char* name;
        const char* shown;
    } cases[] = {
        {"[M] parts.csv", " [M] parts.csv - 1.0.0"},
        {"[M] palette_second.csv", " [M] palette_se....csv - 1.0.0"},
        {"[A] applicationprogram", " [A] applicationprogr... - 1.0.0"},
        // Nothing before the last ".": characters go from the end.
        {"[F] .rbf_with_leading_dot_long", "....rbf_with_leading_d - 1.0.0"},
    };
    for (const Case& c : cases) {
        Osd o;
        o.Refresh();
        o << " " << clip << c.name << endclip << " - " << "1.0.0";
        EXPECT_EQ(o.LineBuffer(), c.shown) << c.name;
        o << endl;
    }
    // Without clip the text stays as it is.
    Osd o;
    o << " [M] palette_second.csv" << endclip;
    EXPECT_EQ(o.LineBuffer(), " [M] palette_second.csv");
}

TEST_F(Console, AJsonDocumentAsIndentedKeysAndValues) {
    Osd o;
    o.Refresh();
    o.printJson("{\"a\":{\"b\":\"c\"},\"d\":\"say \\\"hi\\\"\"}");
    EXPECT_EQ(shown(), (std::vector<std::string>{"320,60 247/255 a:", "320,78 247/255    b:", "320,96 0/255       c",
                                                  "320,114 247/255 d:", "320,132 0/255    say \\\"hi\\\""}))
        << "the scene shows a quote as \\\"";
    // A document cut short stops cleanly after its last whole key.
    o.printJson("{\"firmware\":{\"ver");
    const auto all = shown();
    EXPECT_NE(std::find(all.begin(), all.end(), "320,150 247/255 firmware:"), all.end());
}

TEST_F(Console, RulesClearsAndTheSubtitle) {
    Osd o;
    o.Refresh();
    o << separator;
    EXPECT_TRUE(hasOp(fill(320, 60, 280, 1, 248)));
    EXPECT_EQ(o.CursorLine(), 36);
    o.clrscr();
    EXPECT_TRUE(hasOp(fill(306, 86, 317, 368, 255)));
    EXPECT_TRUE(OSDCT & 0x20) << "writes inhibited";
    o.PutSubTitle("Upgrade");
    EXPECT_EQ(shown(), (std::vector<std::string>{"320,42 248/255    ", "344,42 248/255 Upgrade"}));
    o.SetTitle("Firmware Upgrade");
    EXPECT_EQ(o.GetTitle(), "Firmware Upgrade");
    EXPECT_EQ(shown().size(), 2u);
}

TEST_F(Console, AListScreenOfTheUpgradeLineByLine) {
    Osd o;
    o.clrscr();
    o.Refresh();
    o << endl << separator << endl << "Found: " << endl;
    for (const char* name : {"[K] zImage", "[M] palette_second.csv"})
        o << " " << clip << name << endclip << " - " << (name[1] == 'K' ? "1.2.3" : "2.0.0") << endl;
    o << endl << separator << endl;
    o << center << "ENTER or RIGHT to upgrade" << endl << center << "MENU or LEFT to cancel" << endl;
    EXPECT_EQ(shown(), (std::vector<std::string>{"320,114 0/255 Found: ", "320,132 0/255  [K] zImage - 1.2.3",
                                                  "320,150 0/255  [M] palette_se....csv - 2.0.0",
                                                  "337,222 0/255 ENTER or RIGHT to upgrade",
                                                  "355,240 0/255 MENU or LEFT to cancel"}));
    EXPECT_TRUE(hasOp(fill(320, 78, 280, 1, 248)));
    EXPECT_TRUE(hasOp(fill(320, 186, 280, 1, 248)));
}

class ConsoleKeys : public Console {
protected:
    void SetUp() override {
        Console::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
    }
    void TearDown() override {
        remove_message_queues();
        Console::TearDown();
    }
    static void post(uint16_t key) {
        _EXMSG m;
        m.key = key;
        m.source = KEY_SOURCE_PANEL;
        ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &m), 0);
    }
};

TEST_F(ConsoleKeys, EachKeyMeansBackConfirmOrNothing) {
    struct Case {
        uint16_t key;
        int result;
    } cases[] = {{0, 1}, {4, 1}, {1, 2}, {5, 2}, {2, 4}, {3, 3}, {7, 0}, {40, 0}, {15, 0}};
    Osd o;
    EXPECT_EQ(o.OsdWaitEvent(), 0);
    for (const Case& c : cases) {
        post(c.key);
        EXPECT_EQ(o.OsdWaitEvent(), c.result) << c.key;
        EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 0) << c.key;
    }
}

TEST_F(ConsoleKeys, AWaitTakesTheKeysItselfAndKeepsItsThreadAlive) {
    vp.gFlags = 0;
    Osd o;
    std::atomic<uint32_t> lastCall{0};
    auto waited = std::async(std::launch::async, [&] {
        thread_cb[THREAD_IOSD].handle = pthread_self();
        thread_cb[THREAD_IOSD].lastCall = 1;
        int r = o.OsdWait();
        lastCall = thread_cb[THREAD_IOSD].lastCall.load();
        thread_cb[THREAD_IOSD].handle = 0;
        return r;
    });
    for (int i = 0; i < 300 && !(vp.gFlags & VP_GFLAG_MODAL_KEYS); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(vp.gFlags & VP_GFLAG_MODAL_KEYS) << "the main task leaves the keys to the dialogue";
    post(7);
    post(40);
    post(3);
    ASSERT_EQ(waited.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(waited.get(), 3);
    EXPECT_FALSE(vp.gFlags & VP_GFLAG_MODAL_KEYS);
    EXPECT_GT(lastCall.load(), 1u);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 0);
}

TEST_F(ConsoleKeys, AWaitInsideADialogueLeavesTheDialoguesHoldOnTheKeys) {
    vp.gFlags = VP_GFLAG_MODAL_KEYS;  // raised by the dialogue for its whole run
    Osd o;
    post(1);
    EXPECT_EQ(o.OsdWait(), 2);
    EXPECT_TRUE(vp.gFlags & VP_GFLAG_MODAL_KEYS);
}

TEST_F(Console, TheBusyAnimationStepsAndErasesItself) {
    Osd o;
    o.clrscr();
    o.Refresh();
    o << endl << separator << endl << "Upgrading: " << endl;
    chip().clearOperations();
    o.StartHourGlass();
    EXPECT_TRUE(o.HourGlassRunning());
    EXPECT_TRUE(waitOp(fill(389, 92, 12, 12, 248)));
    EXPECT_TRUE(waitOp(fill(405, 92, 12, 12, 249)));
    const auto begun = std::chrono::steady_clock::now();
    o.StopHourGlass();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(200));
    EXPECT_FALSE(o.HourGlassRunning());
    auto all = ops();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), fill(380, 83, 200, 32, 255));
    EXPECT_EQ(all.front().rfind("osd.copy plane=" + std::to_string(drawingPlane()) + " x=380 y=83 ", 0), 0u)
        << all.front();
    // Each square is painted over before the next one.
    EXPECT_TRUE(hasOp(fill(389, 92, 12, 12, 255)));
    // The erased area reaches the blank top row of the line below, which stays.
    EXPECT_EQ(shown(), std::vector<std::string>{"320,114 0/255 Upgrading: "});
}

TEST_F(Console, AStopRightAfterTheStartEndsTheAnimation) {
    for (int i = 0; i < 20; ++i) {
        Osd o;
        o.StartHourGlass();
        o.StopHourGlass();
    }
    // A console that goes while its animation runs stops it first.
    {
        Osd o;
        o.StartHourGlass();
    }
    EXPECT_EQ(ops().back(), fill(380, 83, 200, 32, 255));
}

}  // namespace
}  // namespace hx40test
