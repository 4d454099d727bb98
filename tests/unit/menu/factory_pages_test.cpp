// Page 56: the five-second countdown of the factory resets, what aborts it,
// and the resets and the restart themselves (which end the process).
#include "unit/menu/misc_fixture.h"

#include "commands/network_param.h"
#include "core/pm_store.h"
#include "menu/pages_factory.h"
#include "menu/pages_misc.h"
#include "sys/frontpanel.h"
#include "sys/timeutil.h"
#include "unit/commands/board_logs.h"

#include <atomic>
#include <thread>

namespace hx40test {
namespace {

constexpr const char* kOwnLabels = "Camera,Laptop,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\n";

class FactoryPages : public MiscPages {
protected:
    void SetUp() override {
        MiscPages::SetUp();
        board_->write("root/app/conf/input_labels", kOwnLabels);
        empty_queue(E_EXMSG_TYPE_KEYPAD);
    }
    // Posts keys on the KEYPAD queue at the given times (ms from now), as
    // the front panel does while the countdown reads the queue.
    struct Keys {
        std::thread thread;
        std::atomic<bool> sawModal{false};
        ~Keys() {
            if (thread.joinable()) thread.join();
        }
    };
    static void post(Keys& k, std::vector<std::pair<uint32_t, int>> keys) {
        k.thread = std::thread([&k, keys] {
            const uint32_t t0 = getCurrMsCount();
            for (auto [at, code] : keys) {
                while (getElapsedMs(t0) < at) Sleep(5);
                if (vp.gFlags & VP_GFLAG_MODAL_KEYS) k.sawModal = true;
                _EXMSG m;
                m.key = static_cast<uint16_t>(code);
                m.source = KEY_SOURCE_PANEL;
                send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
            }
        });
    }
    bool drewCount(int n) const { return drew("   Reset In " + std::to_string(n) + " Sec", 360, 138); }
};

}  // namespace

TEST_F(FactoryPages, MenuOrLeftAbortsTheCountdownOtherKeysDoNot) {
    struct Case {
        std::vector<std::pair<uint32_t, int>> keys;
        uint32_t minMs, maxMs;
        int lastCount;  // the last count drawn
        const char* note;
    } cases[] = {
        {{{100, KEY_UP}, {200, KEY_DOWN}, {300, KEY_RIGHT}, {400, KEY_ENTER}, {1400, KEY_MENU}}, 1350, 1900, 3,
         "UP, DOWN, RIGHT and ENTER are dropped; MENU aborts during the count of 4"},
        {{{100, KEY_LEFT}}, 80, 600, 5, "LEFT aborts during the first count"},
    };
    for (const Case& c : cases) {
        at(56);
        PB_56 = 0;
        chip().clearOperations();
        Keys keys;
        post(keys, c.keys);
        const uint32_t t0 = getCurrMsCount();
        key(KEY_ENTER);  // Reset All
        const uint32_t took = getElapsedMs(t0);
        keys.thread.join();
        EXPECT_TRUE(keys.sawModal) << c.note << ": the countdown reads the keys itself";
        EXPECT_GE(took, c.minMs) << c.note;
        EXPECT_LT(took, c.maxMs) << c.note;
        EXPECT_EQ(st_num, 56) << c.note;
        EXPECT_EQ(vp.gFlags & VP_GFLAG_MODAL_KEYS, 0u) << c.note;
        EXPECT_TRUE(drewCount(c.lastCount)) << c.note;
        EXPECT_FALSE(drewCount(c.lastCount - 1)) << c.note;
        EXPECT_TRUE(shows("330,234 255/252 Reset All")) << c.note << ": back on page 56\n"
                                                        << ::testing::PrintToString(shown());
        EXPECT_EQ(board_->read("root/app/conf/input_labels"), kOwnLabels) << c.note << ": an abort keeps the labels";
        EXPECT_FALSE(journalHas("factory_reset")) << c.note;
    }
}

TEST_F(FactoryPages, ClosingTheMenuAbandonsTheReset) {
    std::thread closer([] {
        Sleep(700);
        vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_MENU_OPEN});  // the time-out
    });
    at(56);
    PB_56 = 1;  // Reset Except Network
    key(KEY_ENTER);
    closer.join();
    EXPECT_EQ(st_num, 56);
    EXPECT_EQ(vp.gFlags & VP_GFLAG_MODAL_KEYS, 0u);
    EXPECT_EQ(board_->read("root/app/conf/input_labels"), kOwnLabels);
    EXPECT_FALSE(journalHas("factory_reset"));
}

TEST_F(FactoryPages, ARedrawShowsTheWholeCountdownAndResetsNothing) {
    at(562);
    const uint32_t t0 = getCurrMsCount();
    key(KEY_MENU_REFRESH);
    const uint32_t took = getElapsedMs(t0);
    EXPECT_GE(took, 5200u) << "a quarter second for 5, a second each for 4 to 0";
    EXPECT_LT(took, 6500u);
    for (int n = 5; n >= 0; --n) EXPECT_TRUE(drewCount(n)) << n;
    EXPECT_TRUE(drew("Press MENU to abort", 360, 170));
    EXPECT_TRUE(drew("Please wait while reseting to", 340, 202));
    EXPECT_TRUE(drew("factory defaults, system will", 340, 234));
    EXPECT_TRUE(drew("reboot to complete procedure", 340, 266));
    EXPECT_TRUE(drew("Factory Reset", 320, 12)) << "the title under the Misc page's list";
    EXPECT_EQ(st_num, 562) << "the state is left as it was";
    EXPECT_EQ(vp.gFlags & VP_GFLAG_MODAL_KEYS, 0u);
    EXPECT_EQ(board_->read("root/app/conf/input_labels"), kOwnLabels);
    EXPECT_FALSE(journalHas("factory_reset"));
}

namespace {

// The resets end the process: each runs in a child (fork) on a board
// without services, whose files the test then reads.
class FactoryRestart : public OsdTest {
protected:
    FactoryRestart() : OsdTest(true, false) {}
    void SetUp() override {
        OsdTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "fast");
        funcTableInstallProgram();
        vp.gFlags = 0;  // the menu is closed, as for the protocol's FACTORY and RESET
        st_num = kNodeClosed;
    }
    // A network record, labels and a parameter zone of the user's own.
    void own() {
        DefaultEepromEthParam rec;
        ASSERT_EQ(rec.setIp("192.168.5.5"), 1);
        ASSERT_EQ(rec.eepromWrite(), 0);
        board_->write("root/app/conf/input_labels", kOwnLabels);
        PM.OSDGAIN = 3;
        ASSERT_EQ(eepromSaveFullPMData(0, 0), 0);
        board_->write("sim/tools.log", "");
    }
    uint8_t eeprom(size_t addr) const { return static_cast<uint8_t>(board_->read("sim/eeprom.bin").at(addr)); }
};

}  // namespace

TEST_F(FactoryRestart, ResetsAndTheRestartEndTheProcessWithStatusOne) {
    struct Case {
        const char* note;
        void (*run)();
        int ipLastByte;   // of the stored network record
        bool factoryLabels;
        int gain;         // PM.OSDGAIN in the zone of input 1, CH1
    } cases[] = {
        {"561 by the delayed action (FACTORY): everything",
         [] { stLoop_proc(_stloop_proc_param{KEY_DELAYED_ACTION, 0, static_cast<uint32_t>(funcNum2TblInx(561))}); },
         39, true, 1},
        {"562 run straight (a protocol set): all but the network", [] { runFuncInd(funcNum2TblInx(562)); }, 5, true, 1},
        {"5621 (RESET): only the restart",
         [] { stLoop_proc(_stloop_proc_param{KEY_DELAYED_ACTION, 0, static_cast<uint32_t>(funcNum2TblInx(5621))}); },
         5, false, 3},
    };
    for (const Case& c : cases) {
        own();
        EXPECT_EXIT(c.run(), ::testing::ExitedWithCode(1), "") << c.note;
        EXPECT_EQ(eeprom(0x7ED0 + 3), c.ipLastByte) << c.note;
        EXPECT_EQ(eeprom(0x7ED0 + 0), 192) << c.note;
        EXPECT_EQ(board_->read("root/app/conf/input_labels"),
                  c.factoryLabels ? std::string("HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\n")
                                  : std::string(kOwnLabels))
            << c.note;
        EXPECT_EQ(eeprom(179), c.gain) << c.note;
        EXPECT_NE(toolsLog(*board_).find("reboot >/dev/null 2>&1\n"), std::string::npos)
            << c.note << "\n" << toolsLog(*board_);
    }
}

}  // namespace hx40test
