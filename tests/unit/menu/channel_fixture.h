// A board with the program's function table (or a test's own rows), the
// menu open on channel 0's OSD, the queues the actions post on, and helpers
// to draw a screen as the engine does and to read what the operations
// wrote to the journal.
#pragma once

#include "unit/osd/osd_fixture.h"

#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_state.h"
#include "osd/menu_kit.h"
#include "sys/msgq.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace hx40test {

class ChannelPageTest : public OsdTest {
protected:
    ChannelPageTest() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
        install();
        reset();
    }
    // A fresh parameter memory and menu state; the journal from here on.
    virtual void reset() {
        PM = PMRec{};
        PM.OSDPOSH = 640;
        PM.OSDPOSV = 300;
        OSD_CHANNEL = 0;
        vp.gFlags = VP_GFLAG_MENU_OPEN;
        st_num = kNodeClosed;
        button_num = -1;
        Channel = 0;
        y_cmd_start = 0;
        mark();
    }
    void TearDown() override {
        Channel = 0;  // the pages set it for the thread that runs them
        remove_message_queues();
        OsdTest::TearDown();
    }
    virtual void install() { funcTableInstallProgram(); }

    static int row(int node) { return funcNum2TblInx(node); }
    // The screen of a node as the engine draws it; what the window shows, as
    // "x,y fg/bg text".
    static std::vector<std::string> screen(int node) {
        reprepareOsd();
        const int r = row(node);
        funcDataTbl[r].screen(r);
        osd_swap();
        return coloured(chip().visibleTexts(0));
    }
    // Every text the screen of a node drew, in order, "x,y text" (later
    // texts may cover earlier ones on the screen).
    static std::vector<std::string> drawn(int node) {
        chip().clearOperations();
        screen(node);
        std::vector<std::string> out;
        for (const std::string& op : chip().operations()) {
            if (!op.starts_with("osd.text ")) continue;
            auto field = [&](const char* key) {
                const size_t at = op.find(key) + std::char_traits<char>::length(key);
                return op.substr(at, op.find(' ', at) - at);
            };
            const size_t text = op.find("text=\"") + 6;
            out.push_back(field(" x=") + "," + field(" y=") + " " + op.substr(text, op.size() - text - 1));
        }
        return out;
    }
    // The same without the colours: "x,y text".
    static std::vector<std::string> placedOnly(const std::vector<std::string>& texts) {
        std::vector<std::string> out;
        for (const std::string& t : texts) {
            const size_t a = t.find(' '), b = t.find(' ', a + 1);
            out.push_back(t.substr(0, a) + t.substr(b));
        }
        return out;
    }
    static bool has(const std::vector<std::string>& texts, const std::string& t) {
        return std::find(texts.begin(), texts.end(), t) != texts.end();
    }
    static bool hasText(const std::vector<std::string>& texts, const std::string& text) {
        return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.ends_with(" " + text); });
    }

    // The journal from here on.
    void mark() { journalMark_ = board_->read("sim/journal.log").size(); }
    // "call args" of each journal line since the mark whose call starts
    // with one of the prefixes (every line without prefixes).
    std::vector<std::string> journal(const std::vector<std::string>& prefixes = {}) const {
        std::istringstream in(board_->read("sim/journal.log").substr(journalMark_));
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) {
            const size_t a = line.find(' '), b = line.find(' ', a + 1);
            const std::string rest = line.substr(b + 1);
            if (prefixes.empty() || std::any_of(prefixes.begin(), prefixes.end(),
                                                [&](const std::string& p) { return rest.starts_with(p); }))
                out.push_back(rest);
        }
        return out;
    }
    // The lines cut before "caller=" and " line=", which hold source lines.
    static std::vector<std::string> withoutLines(std::vector<std::string> lines) {
        for (std::string& l : lines) {
            const size_t at = l.find(":", l.find("caller="));
            if (l.find("caller=") != std::string::npos && at != std::string::npos) l.resize(at);
            if (const size_t ln = l.find(" line="); ln != std::string::npos)
                l.erase(ln, l.find(' ', ln + 1) == std::string::npos ? std::string::npos : l.find(' ', ln + 1) - ln);
        }
        return lines;
    }

private:
    size_t journalMark_ = 0;
};

}  // namespace hx40test
