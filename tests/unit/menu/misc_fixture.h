// The program's function table on a board with the OSD up, for the pages
// under Misc: screens are drawn as the menu engine draws them, keys go
// through the engine's step, and what the screen shows is read from the
// OSD's text scene.
#pragma once

#include "unit/osd/osd_fixture.h"

#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_engine.h"
#include "menu/menu_state.h"
#include "osd/menu_kit.h"
#include "sys/msgq.h"
#include "sys/timers.h"

#include <algorithm>
#include <string>
#include <vector>

namespace hx40test {

class MiscPages : public OsdTest {
protected:
    MiscPages() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
        funcTableInstallProgram();
        PM = PMRec{};
        PM.OSDGAIN = 1;
        PM.OSDTM = 1;
        for (auto& c : PM.CONNECTION) c.SOURCE = c.DESTINATION = 6;
        PM.USER1_DESTINATION = PM.USER2_DESTINATION = 7;
        OSD_CHANNEL = 0;
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        vp.chData[0].vidInput = 0;
        vp.chData[1].vidInput = 1;
        gOsdTimeOut = 60000;
        st_num = kNodeClosed;
        button_num = -1;
    }
    void TearDown() override {
        start_timer(TIMER_OSD_DELAY, 0);
        osdTimerKill();
        remove_message_queues();
        OsdTest::TearDown();
    }

    static int row(int node) { return funcNum2TblInx(node); }
    // One engine step at a node.
    static void key(int k, uint32_t param = 0) { stLoop_proc(_stloop_proc_param{k, 0, param}); }
    static void at(int32_t node) { st_num = node; }
    // A screen as the engine draws it: the base screen first.
    static void draw(int node) {
        reprepareOsd();
        funcDataTbl[row(node)].screen(row(node));
    }
    // What the menu window on channel 0 shows, "x,y fg/bg text".
    static std::vector<std::string> shown() { return coloured(chip().visibleTexts(0)); }
    static bool shows(const std::string& line) {
        const auto s = shown();
        return std::find(s.begin(), s.end(), line) != s.end();
    }
    // Whether an operation drew text at (x, y).
    static bool drew(const std::string& text, int x, int y) { return chipDrewText(text, x, y); }
    std::string journal() const { return board_->read("sim/journal.log"); }
    bool journalHas(const std::string& line) const { return journal().find(line) != std::string::npos; }
};

}  // namespace hx40test
