// The older command engine as the default command and the name words use
// it: framing, lookup, chains, its "ERR 00n" replies, the upgrade block, and
// the "Y" bridge with the named video words on rows installed here.
#include "commands/p7k_engine.h"
#include "commands/p7k_words.h"
#include "core/core_rows.h"
#include "core/functable.h"
#include "core/pm.h"
#include "protocol/parser.h"
#include "protocol/ws_server.h"
#include "support/temp_board.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/watchdog.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

char gInfo[16] = "{\"a\":1}";
float gLevel = 2.5f;
bool gWatchdogOnInAction = true;

void noteWatchdog(int) { gWatchdogOnInAction = WDT_isEnabled(); }

FuncRow row(uint32_t node, uint32_t type, void* value, int32_t min, int32_t max, void (*action)(int) = nullptr) {
    return FuncRow{node, action, 5, nullptr, type, value, fnI(max), fnI(min), fnI(1), fnI(0), 1};
}

class OlderEngine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        PM = PMRec{};
        std::memset(PM_I, 0, sizeof PM_I);
        PM.SEL_INPUT[0] = 3;
        PM.SEL_INPUT[1] = 2;
        PM.VOLUME[0] = -10;
        PM_I[2].INP_VOLUME = 5;
        for (auto& ch : vp.chData) ch.cFlags = 0;
        vp.gFlags = 0;
        vp.chData[1].vidFormat = 15;
        gBlock_p7k = 0;
        mode_stat = 2;
        static std::array<FuncRow, 19> rows = {
            row(31, FT_S8, &PM.SEL_INPUT[0], 1, 8, noteWatchdog),
            row(41, FT_S8, &PM.SEL_INPUT[1], 1, 8),
            row(391, FT_S8, &PM.AUDIO_SOURCE[0], 0, 8),
            row(491, FT_S8, &PM.AUDIO_SOURCE[1], 0, 8),
            row(3822, 5, &PM.BLANK[0], 0, 1),
            row(4822, 6, &PM.BLANK[1], 0, 1),
            row(3931, 5, &PM.VOLUME[0], -80, 20),
            row(4931, 6, &PM.VOLUME[1], -80, 20),
            row(115, FT_S8, &PM_I[0].INP_VOLUME, -80, 20),
            row(135, FT_S8, &PM_I[2].INP_VOLUME, -80, 20),
            row(245, FT_S8, &PM.HDCP_MODE_OUT, 0, 1),
            row(2412, FT_S8, &PM.OUTPUT_RES_SEL[1], 0, 42),
            row(39614, FT_S8, &PM.MIC1_MODE, 0, 1),
            row(39616, FT_S8, &PM.MIC1_MUTE, 0, 1),
            row(39626, FT_S8, &PM.MIC2_MUTE, 0, 1),
            row(511, FT_TEXT, gInfo, 0, 0),
            row(100, FT_FLOAT, &gLevel, 0, 0),
            row(7, FT_S8, &PM.ALERT_SYSTEM, 0, 1),
            row(8, FT_S8, &PM.POWER_AMPLIFIER, 0, 1),
        };
        rows[16].max = fnF(10.0f);
        rows[16].step = fnF(0.5f);
        const FuncRowGroup groups[] = {{"test", rows}, {"core", coreFuncRows()}};
        funcTableInstall(groups);
    }
    void TearDown() override {
        wsi_cnt = 0;
        gBlock_p7k = 0;
    }

    static std::string run(const std::string& line) {
        std::string reply = "stale";
        EXPECT_EQ(dop7kcommand(line, reply), 0);
        return reply;
    }

    // The copies for web clients waiting on queue 11.
    static std::vector<std::string> webCopies() {
        std::vector<std::string> out;
        _WSMSG m;
        while (get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &m) >= 0) out.emplace_back(m.text, m.length);
        return out;
    }

    static std::vector<int> keys(int queue) {
        std::vector<int> out;
        _EXMSG m;
        while (get_message_q(queue, &m) >= 0) out.push_back(m.key);
        return out;
    }

    hx40test::TempBoard board_;
};

}  // namespace

TEST_F(OlderEngine, LinesAreFramedLookedUpAndAnswered) {
    const std::string longLine = "#NAME " + std::string(249, 'a');
    struct {
        std::string line;
        std::string reply;
    } cases[] = {
        {"#", "~01@ OK\r\n"},
        {"#y 1,41", "~01@Y 1,41,2\r\n"},           // any case
        {"~Y 1,41", "~01@Y 1,41,2\r\n"},
        {"#1@Y 1,41", "~01@Y 1,41,2\r\n"},
        {"#2@Y 1,41", ""},                          // another device's line
        {"#NAM ", "~01@NAM ERR 002\r\n"},
        {"#NAMES x", "~01@NAMES ERR 002\r\n"},
        {"#XYZ|Y 1,41", "~01@XYZ|Y ERR 002\r\n"},   // the chain stops
        {"#NTIP? ", "~01@  ERR 002\r\n"},           // a word without a case
        {"#VFRZ 1", "~01@ 1 ERR 002\r\n"},
        {"#ZZZ", "~01@ ERR 002\r\n"},
        {"#IMAGE-PROP? 1", ""},
        {"#TIME-SRV?", ""},
        {"#Y 1,41|", "~01@ OK\r\n"},                 // the last reply of the chain: the empty word's
        {"#Y 0,31,5|Y 1,41", "~01@Y 1,41,2\r\n"},
        {"#Y 9#Y 1,41", "~01@Y 1,41,2\r\n"},         // a start character restarts the command
        {"#Y [#] 1,41", "~01@Y [#] 1,41 ERR 001\r\n"},  // not inside brackets
        {"#Y [1\r2]", "~01@Y [1\r2] ERR 001\r\n"},      // nor a CR
        {longLine, "~01@NAME " + std::string(249, 'a') + " ERR 001\r\n"},  // 255 characters: a name too long
        {longLine + "a", "~01@ ERR 001\r\n"},     // over 255 characters: refused whole
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.line), c.reply) << c.line;
    EXPECT_EQ(PM.SEL_INPUT[0], 5);
}

TEST_F(OlderEngine, TheUpgradeBlocksEveryWordWithErrorFourAndTheWatchdogComesBack) {
    WDT_Disable();
    EXPECT_EQ(run("#Y 0,31,4"), "~01@Y 0,31,4 OK\r\n");
    EXPECT_FALSE(gWatchdogOnInAction);  // off while the command ran
    EXPECT_TRUE(WDT_isEnabled());
    gBlock_p7k = 1;
    WDT_Disable();
    struct {
        const char* line;
        const char* reply;
    } cases[] = {
        {"#Y 0,31,6", "~01@Y ERR 004\r\n"},
        {"#NAME abc", "~01@NAME ERR 004\r\n"},
        {"#NAME?", "~01@NAME? ERR 004\r\n"},
        {"#", "~01@ ERR 004\r\n"},
        {"#ZZZ", "~01@ZZZ ERR 004\r\n"},
        {"#XYZ", "~01@XYZ ERR 002\r\n"},  // not an engine word
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.line), c.reply) << c.line;
    EXPECT_EQ(PM.SEL_INPUT[0], 4);
    EXPECT_TRUE(WDT_isEnabled());
}

TEST_F(OlderEngine, YReadsAndSetsEveryKindOfRow) {
    struct {
        const char* line;
        const char* reply;
        bool everyone;
    } cases[] = {
        {"#Y 1,31", "~01@Y 1,31,3\r\n", false},
        {"#Y 0,31,7", "~01@Y 0,31,7 OK\r\n", true},
        {"#Y 0,41,99", "~01@Y 0,41,99 OK\r\n", true},  // stored at the bound
        {"#Y 1,41", "~01@Y 1,41,8\r\n", false},
        {"#Y 0,41,-", "~01@Y 0,41,- OK\r\n", true},
        {"#Y 1,100", "~01@Y 1,100,2.500000\r\n", false},
        {"#Y 1,511", "~01@Y 1,511,{\"a\":1}\r\n", false},
        {"#Y 1,930", "~01@Y 1,930,2\r\n", false},
        {"#Y 0,937,1", "~01@Y 0,937,1 OK\r\n", true},
        {"#Y 1,920", "~01@Y 1,920 ERR 012\r\n", false},
        {"#Y 1,12345", "~01@Y 1,12345 ERR 002\r\n", false},
        {"#Y 1,31,1", "~01@Y 1,31,1 ERR 001\r\n", false},
    };
    for (const auto& c : cases) {
        workaround_namespace::is_command_set = !c.everyone;
        EXPECT_EQ(run(c.line), c.reply) << c.line;
        EXPECT_EQ(workaround_namespace::is_command_set, c.everyone) << c.line;
    }
    EXPECT_EQ(PM.SEL_INPUT[1], 7);
    EXPECT_EQ(keys(E_EXMSG_TYPE_FPANEL), (std::vector<int>{17}));  // 937 - 920: input 3 of channel 1
    EXPECT_EQ(vp.chData[0].cFlags & VP_CFLAG_DIRTY, VP_CFLAG_DIRTY);
    EXPECT_EQ(vp.chData[1].cFlags & VP_CFLAG_DIRTY, VP_CFLAG_DIRTY);
}

TEST_F(OlderEngine, NamedWordsReachTheirChannelAndInputFunctions) {
    struct {
        const char* line;
        const char* reply;  // through dop7kcommand: the last text
    } cases[] = {
        {"#VMUTE 1,1", "~01@VMUTE 1,1 OK\r\n"},
        {"#VMUTE? 1", "~01@VMUTE? 1,1\r\n"},
        {"#VMUTE 2,1", "~01@VMUTE 2,1 ERR 003\r\n"},
        {"#VMUTE 0,01", "~01@VMUTE 0,01 ERR 001\r\n"},
        {"#VMUTE 0", "~01@VMUTE 0 ERR 001\r\n"},
        {"#VMUTE 0,++", "~01@VMUTE 0,++ ERR 001\r\n"},
        {"#VFRZ? 0", "~01@VFRZ? 0 ERR 001\r\n"},  // no such row here
        {"#VOLUME 0,++", "~01@VOLUME 0,++ OK\r\n"},
        {"#VOLUME 1,-5", "~01@VOLUME 1,-5 OK\r\n"},
        {"#AUD-LVL? 1,1", "~01@AUD-LVL? 1,1,-5\r\n"},
        {"#AUD-LVL 0,2,--", "~01@AUD-LVL 0,2,-- OK\r\n"},
        {"#AUD-LVL? 0,2", "~01@AUD-LVL? 0,2,4\r\n"},
        {"#AUD-LVL 0,8,1", "~01@AUD-LVL 0,8,1 ERR 001\r\n"},
        {"#AUD-LVL 3,1,1", "~01@AUD-LVL 3,1,1 ERR 001\r\n"},
        {"#ROUTE? 1,0", "~01@ROUTE? 1,0,2\r\n"},
        {"#ROUTE? 2,1", "~01@ROUTE? 2,1,1\r\n"},  // audio follows video: input 2
        {"#ROUTE? 3,1", "~01@ROUTE? 3,1 ERR 001\r\n"},
        {"#HDCP-MOD 1,2", "~01@HDCP-MOD 1,2 OK\r\n"},
        {"#HDCP-MOD? 1", "~01@HDCP-MOD? 1,2\r\n"},
        {"#VID-RES? 0,1", "~01@VID-RES? 0,1,15\r\n"},
        {"#VID-RES? 0,2", "~01@VID-RES? 0,2 ERR 001\r\n"},
        {"#VID-RES 0", "~01@VID-RES 0 ERR 003\r\n"},
        {"#VID-RES 1", "~01@VID-RES 1 OK\r\n"},
        {"#MIC-GAIN? 0", "~01@MIC-GAIN? 0,0\r\n"},
        {"#MIX 0,2", "~01@MIX 0,2 OK\r\n"},
        {"#MIX 0,4", "~01@MIX 0,4 ERR 001\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.line), c.reply) << c.line;
    EXPECT_EQ(PM.BLANK[1], 1);
    EXPECT_EQ(PM.BLANK[0], 0);
    // A named word's set is saved like a "Y" set.
    for (auto& ch : vp.chData) ch.cFlags.fetch_and(static_cast<uint16_t>(~VP_CFLAG_DIRTY));
    EXPECT_EQ(run("#VMUTE 0,1"), "~01@VMUTE 0,1 OK\r\n");
    EXPECT_EQ(vp.chData[0].cFlags & VP_CFLAG_DIRTY, VP_CFLAG_DIRTY);
    EXPECT_EQ(vp.chData[1].cFlags & VP_CFLAG_DIRTY, VP_CFLAG_DIRTY);
    EXPECT_EQ(PM.VOLUME[0], -9);
    EXPECT_EQ(PM.VOLUME[1], -5);
    EXPECT_EQ(PM_I[2].INP_VOLUME, 4);
    EXPECT_EQ(PM.HDCP_MODE_OUT, 1);
    EXPECT_EQ(PM.OUTPUT_RES_SEL[1], 1);  // 2411 + channel 1
    EXPECT_EQ(PM.MIC1_MUTE, 1);
    EXPECT_EQ(PM.MIC2_MUTE, 0);
}

// Web clients get a copy of every text: each command of a chain is
// answered, a route's get twice. A set is not copied: the parser sends its
// reply to every client, web pages included.
TEST_F(OlderEngine, WebClientsGetEveryTextOfALine) {
    wsi_cnt = 1;
    EXPECT_EQ(run("#Y 1,41|Y 1,31|"), "~01@ OK\r\n");
    run("#ROUTE? 1,1");
    EXPECT_EQ(run("#MIX 0,1"), "~01@MIX 0,1 OK\r\n");
    EXPECT_EQ(webCopies(), (std::vector<std::string>{"~01@Y 1,41,2\r\n", "~01@Y 1,31,3\r\n", "~01@ OK\r\n",
                                                   "~01@ROUTE? 1,1,2\r\n", "~01@ROUTE? 1,1,1\r\n"}));
}

// The words whose handlers are still to be built answer "not built" and
// never their parameters. Building one removes it here: none is left.
TEST_F(OlderEngine, HandlersThatRemainToBeBuilt) {
    const std::vector<std::string> remaining = {};
    std::vector<std::string> found;
    for (const P7kWord& w : p7kWords()) {
        const std::string reply = run(std::string("#") + w.word + " secret");
        if (reply == std::string("~01@") + w.word + " not built\r\n") found.emplace_back(w.word);
    }
    EXPECT_EQ(found, remaining);
}
