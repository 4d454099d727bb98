// The program's function table on a board with the OSD brought up and the
// system queues: pages are reached through the menu engine (stLoop_proc) or
// by running a screen the way a step does, and looked at through the OSD's
// text scene, the journal, the EEPROM image and the queues.
#pragma once

#include "unit/osd/osd_fixture.h"

#include "core/core_state.h"
#include "core/functable.h"
#include "core/paramcmd.h"
#include "core/pm.h"
#include "menu/complex_osd.h"
#include "menu/menu_engine.h"
#include "menu/menu_state.h"
#include "osd/menu_kit.h"
#include "platform/sim/ctl.h"
#include "platform/sim/video_sim.h"
#include "sys/msgq.h"
#include "sys/timers.h"
#include "sys/timeutil.h"

#include <gmock/gmock.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace hx40test {

class Pages : public OsdTest {
protected:
    Pages() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
        board::sim::video::registerControl();
        funcTableInstallProgram();
        PM = PMRec{};
        for (auto& r : PM_I) r = PMIRec{};
        PM.OSDPOSH = 640;
        PM.OSDPOSV = 300;
        PM.OSDTM = 1;
        PM.SEL_INPUT[0] = 1;  // CH1 shows input 1, CH2 input 2
        PM.SEL_INPUT[1] = 2;
        vp.chData[0].vidInput = 0;
        vp.chData[1].vidInput = 1;
        vp.numInputs = 2;
        for (int ch = 0; ch < 2; ++ch) {
            vp.outFrmt[ch] = vp.fixedOutFrmt[ch] = 0;
            vp.chData[ch].cFlags = 0;
        }
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        OSD_CHANNEL = 0;
        gOsdTimeOut = 60000;
        st_num = kNodeClosed;
        prv_st_num = kNodeClosed;
        gBreakOutComplexOsd = BREAKOUT_NONE;
        in_tbar_process_flag = 0;
    }
    void TearDown() override {
        osdTimerKill();
        start_timer(TIMER_OSD_DELAY, 0);
        start_timer(TIMER_TBAR_DELAY, 0);
        start_timer(TIMER_TBAR_ENABLE, 0);
        remove_message_queues();
        OsdTest::TearDown();
    }

    static int row(int node) { return funcNum2TblInx(node); }
    // A "Y" set or get as the protocol sends it: the status.
    static int setByProtocol(const char* text) {
        float f;
        int32_t i;
        const char* t = nullptr;
        return parseVidCmd(text, &f, &i, &t);
    }
    static void key(int k, uint32_t param = 0) { stLoop_proc(_stloop_proc_param{k, 0, param}); }
    // What a step does around a screen: the base screen, then the screen.
    static void screen(int node) {
        st_num = node;
        reprepareOsd();
        funcDataTbl[row(node)].screen(row(node));
    }
    // Keys for a browser, as the panel posts them (source 2, or 1 for keys
    // the program made).
    static void queueKeys(std::initializer_list<int> keys, uint8_t source = 2) {
        for (int k : keys) {
            _EXMSG m;
            m.key = static_cast<uint16_t>(k);
            m.source = source;
            ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &m), 0);
        }
    }
    // The records waiting on a queue, taken.
    static std::vector<_EXMSG> drain(int queue) {
        std::vector<_EXMSG> out;
        _EXMSG m;
        while (get_message_q(queue, &m) >= 0) out.push_back(m);
        return out;
    }
    // Runs the steps of the keys waiting on STLOOP (what IOSD does).
    static void pumpSteps() {
        _EXMSG m;
        while (get_message_q(E_EXMSG_TYPE_STLOOP, &m) >= 0) stLoop_proc(_stloop_proc_param{m.key, 0, m.param});
    }

    // The OSD of channel 0 as "x,y fg/bg text".
    static std::vector<std::string> shown() { return coloured(chip().visibleTexts(0)); }
    static bool windowOn() { return chip().regCode(0x20901, 0) & 0x02; }
    // A text drawn at (x, y) since the operations were cleared, in fg when given.
    static bool drew(const std::string& text, int x, int y, int fg = -1) {
        return chipDrewText(text, x, y, fg);
    }
    std::string journal() const { return board_->read("sim/journal.log"); }
    bool journalHas(const std::string& needle) const { return journal().find(needle) != std::string::npos; }
    size_t journalCount(const std::string& needle) const {
        const std::string j = journal();
        size_t n = 0;
        for (size_t at = j.find(needle); at != std::string::npos; at = j.find(needle, at + 1)) ++n;
        return n;
    }
    uint8_t eepromAt(size_t addr) const { return static_cast<uint8_t>(board_->read("sim/eeprom.bin").at(addr)); }
};

}  // namespace hx40test
