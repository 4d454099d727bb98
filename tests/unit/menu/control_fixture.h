// The channel pages' output control, automatic switching and audio items
// on the simulated chip: the program's function table, outputs of known
// sizes, and the queues the actions post on drained for the test.
#pragma once

#include "unit/menu/channel_fixture.h"

#include "core/autoswitch.h"
#include "menu/channel_pages.h"
#include "menu/menu_engine.h"
#include "scaler/output_formats.h"
#include "sys/frontpanel.h"
#include "sys/timeutil.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace hx40test {

using Lines = std::vector<std::string>;

class ControlPageTest : public ChannelPageTest {
protected:
    void reset() override {
        ChannelPageTest::reset();
        PS_PANELACTHW[0] = 1920, PS_PANELACTVW[0] = 1080;
        PS_PANELACTHW[1] = 1280, PS_PANELACTVW[1] = 720;
        vp.chData[0].cFlags = 0;
        vp.chData[1].cFlags = 0;
        vp.fixedOutFrmt[0] = vp.fixedOutFrmt[1] = 0;
        for (int ch = 0; ch < 2; ++ch) {
            gAudioPowerUpInitFlag[ch] = 0;
            gInInitialize[ch] = 0;
            gIsSyncOff[ch] = 0;
            PI_SYNC_OFF[ch] = 0;
            PI_SCAN_MODE_IN_PROGRESS[ch] = 0;
        }
        gOsdTimeOut = 30000;
        prv_st_num = kNodeClosed;
        drain(E_EXMSG_TYPE_LED);
        drain(E_EXMSG_TYPE_KEYPAD);
        mark();
    }
    // Runs a node's action as the protocol does: the thread on the node's channel.
    static void act(int node) {
        Channel = channelOfNode(node);
        runFuncInd(row(node));
    }
    static void key(int k) { stLoop_proc(_stloop_proc_param{k, 0, 0}); }
    // The keys (or LED words) waiting on a queue, taken.
    static std::vector<int> drain(int queue) {
        std::vector<int> out;
        _EXMSG m;
        while (get_message_q(queue, &m) >= 0) out.push_back(m.key);
        return out;
    }
    Lines calls(const std::vector<std::string>& prefixes) const { return withoutLines(journal(prefixes)); }

    // A screen drawn after setup: the texts it must and must not show, each
    // "x,y text", or only the text (anywhere) when it has no position.
    struct ScreenCase {
        int node;
        void (*setup)();
        Lines texts, absent;
    };
    void expectScreens(std::initializer_list<ScreenCase> cases) {
        for (const ScreenCase& c : cases) {
            reset();
            c.setup();
            const Lines shown = placedOnly(screen(c.node));
            auto shows = [&](const std::string& t) {
                if (!t.empty() && std::isdigit(static_cast<unsigned char>(t[0]))) return has(shown, t);
                return std::any_of(shown.begin(), shown.end(), [&](const std::string& s) { return s.ends_with(t); });
            };
            for (const std::string& t : c.texts)
                EXPECT_TRUE(shows(t)) << c.node << ": " << t << "\n" << ::testing::PrintToString(shown);
            for (const std::string& t : c.absent) EXPECT_FALSE(shows(t)) << c.node << ": " << t;
        }
    }
};

}  // namespace hx40test
