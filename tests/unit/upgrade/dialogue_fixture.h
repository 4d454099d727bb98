// The upgrade and rollback dialogues as a person goes through them: a
// helper thread waits until a screen shows a text, keeps what the screen
// shows, and then presses a key (or plugs a key in) while the dialogue runs
// in the test's thread. Packages are made by hx40-package.
#pragma once

#include "unit/osd/osd_fixture.h"
#include "unit/upgrade/upgrade_fixture.h"

#include "core/pm.h"
#include "platform/sim/usb_key.h"
#include "sys/msgq.h"
#include "sys/timeutil.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace hx40test {

// Once a screen shows `when` (its last line, drawn just before the
// dialogue waits), do `act`.
struct Cue {
    std::string when;
    std::function<void()> act;
};

inline void pressKey(int key) {
    _EXMSG m;
    m.key = static_cast<uint16_t>(key);
    m.source = KEY_SOURCE_PANEL;
    send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
}
inline std::function<void()> key(int k) {
    return [k] { pressKey(k); };
}
constexpr int kMenu = 0, kEnter = 1, kDown = 2, kUp = 3;

// Installed files the dialogues write, in the board root.
constexpr const char* kParts = "root/app/memfiles/parts.csv";
constexpr const char* kIndex = "root/app/memfiles/web/index.html";
constexpr const char* kList = "root/app/version.md5sum";
constexpr const char* kBackupList = "root/app/version.md5sum.bk";

// Runs dialogue() while the steps are played against screen(). screens[i]
// is what showed when step i acted. A text that does not show within 10 s
// fails the run; MENU is then pressed until the dialogue ends.
struct Script {
    std::vector<std::vector<std::string>> screens;
    bool ok = true;

    void play(const std::function<std::vector<std::string>()>& screen, const std::vector<Cue>& steps,
              const std::function<void()>& dialogue) {
        std::atomic<bool> done{false};
        std::thread helper([&] {
            for (const Cue& s : steps) {
                const uint32_t t0 = getCurrMsCount();
                std::vector<std::string> shown;
                auto showing = [&] {
                    shown = screen();
                    return std::any_of(shown.begin(), shown.end(),
                                       [&](const std::string& l) { return l.find(s.when) != std::string::npos; });
                };
                while (!showing() && getElapsedMs(t0) < 10000 && !done) Sleep(5);
                if (!showing()) {
                    ADD_FAILURE() << "never showed: " << s.when;
                    ok = false;
                    break;
                }
                screens.push_back(shown);
                s.act();
            }
            while (!ok && !done) {
                pressKey(kMenu);
                Sleep(100);
            }
        });
        dialogue();
        done = true;
        helper.join();
    }
};

class DialogueTest : public OsdTest {
protected:
    void SetUp() override {
        OsdTest::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
        vp.gFlags = VP_GFLAG_MENU_OPEN;
    }
    void TearDown() override {
        remove_message_queues();
        OsdTest::TearDown();
    }

    // The drawing plane's texts top to bottom: "x,y fg/bg text".
    static std::vector<std::string> screen() {
        auto texts = chip().scene(ST_OSDAD == PS_OSDSAD1 ? 1 : 0);
        std::sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) {
            return a.y != b.y ? a.y < b.y : a.x < b.x;
        });
        return coloured(texts);
    }
    std::string read(const std::string& rel) const { return board_->read(rel); }
    bool exists(const std::string& rel) const { return board_->exists(rel); }
    void write(const std::string& rel, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(board_->file(rel)).parent_path());
        board_->write(rel, text);
    }
    std::string file(const std::string& rel) const { return board_->file(rel); }
    // hx40-package make <root>/sim/pkg <args>: the folder holding Selka.
    std::string package(const std::string& args) const {
        const std::string cmd = std::string(HX40_BIN_DIR) + "/hx40-package make " + file("sim/pkg") + " " + args;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return file("sim/pkg");
    }
    void plug(const std::string& folder) const {
        EXPECT_EQ(board::sim::insertKey(board_->root(), "sdb", folder), "");
    }
};

}  // namespace hx40test
