// Page 55: the DHCP item and the network record, the tunnelling and user
// port items and the services they call, the serial matrix on the simulated
// crosspoint, and the user messages.
#include "unit/menu/misc_fixture.h"

#include "commands/network_param.h"
#include "core/paramcmd.h"
#include "core/usrmsg.h"
#include "menu/pages_misc.h"
#include "menu/pages_network.h"
#include "platform/video.h"
#include "sys/frontpanel.h"
#include "unit/commands/board_logs.h"
#include "unit/video/closed_switches.h"
#include "video/crosspoint.h"

#include <fstream>
#include <set>
#include <utility>

namespace hx40test {
namespace {


constexpr size_t kRecord = 0x7ED0;

class NetworkPages : public MiscPages {
protected:
    uint8_t eeprom(size_t addr) const { return static_cast<uint8_t>(board_->read("sim/eeprom.bin").at(addr)); }
    // The stored connections and user ports, then the crosspoint as start-up sets it.
    static void stored(std::initializer_list<std::pair<int, int>> connections, uint8_t usr1, uint8_t usr2) {
        int j = 0;
        for (auto [s, d] : connections) PM.CONNECTION[j++] = {static_cast<uint8_t>(s), static_cast<uint8_t>(d)};
        PM.USER1_DESTINATION = usr1;
        PM.USER2_DESTINATION = usr2;
        ADG2188_init();
    }
    static int set(const char* params) {
        float f;
        int32_t i;
        const char* t;
        return parseVidCmd(params, &f, &i, &t);
    }
    static int32_t get(const char* params) {
        float f;
        int32_t i = -99;
        const char* t;
        EXPECT_EQ(parseVidCmd(params, &f, &i, &t), YST_INT) << params;
        return i;
    }
};

}  // namespace

TEST_F(NetworkPages, DhcpItemShowsTheStoredModeAndStoresTheUsersChoice) {
    DefaultEepromEthParam rec;  // factory values, DHCP off, the script runs on a save
    ASSERT_EQ(rec.eepromWrite(), 0);
    networkDHCPMode = 1;  // whatever the item last held
    at(551);
    key(1);  // ENTER: the item
    EXPECT_EQ(st_num, 5511);
    EXPECT_EQ(networkDHCPMode, 0) << "the item starts from the stored mode";
    EXPECT_TRUE(shows("330,234 255/252 Off"));
    EXPECT_EQ(hx40test::toolsLog(*board_), "") << "entering the item applies nothing";

    key(2);  // DOWN: on. The first change after start writes the user's choice.
    EXPECT_EQ(eeprom(kRecord + 18), 1);
    EXPECT_EQ(eeprom(kRecord + 0), 192) << "the rest of the record stays";
    EXPECT_EQ(eeprom(kRecord + 3), 39);
    EXPECT_TRUE(shows("330,266 255/252 On"));
    std::string tools = hx40test::toolsLog(*board_);
    EXPECT_NE(tools.find("date\nifconfig eth0 down\n"), std::string::npos) << "the script ran\n" << tools;
    EXPECT_NE(tools.find("udhcpc -n -q -t 1 -S\nifconfig eth0 192.168.1.39 netmask 255.255.0.0\n"), std::string::npos)
        << "no lease: the stored address\n" << tools;
    EXPECT_EQ(board_->read("root/persist/network_stat").substr(0, 11), "dhcp: FAIL\n");

    key(3);  // UP: off again
    EXPECT_EQ(eeprom(kRecord + 18), 0);
    EXPECT_EQ(board_->read("root/persist/network_stat").substr(0, 10), "dhcp: OFF\n");
}

TEST_F(NetworkPages, ItemsCallTheirServices) {
    struct Case {
        int node;
        const char* journalLine;
    } cases[] = {
        {55211, "ptnl.reconfigure socket"},
        {55212, "ptnl.reconfigure socket"},
        {55221, "ptnl.reconfigure serial"},
        {55224, "ptnl.reconfigure serial"},
        {55511, "usr1_tty_reconfiguration -"},
        {55514, "usr1_tty_reconfiguration -"},
        {55522, "usr2_tty_reconfiguration -"},
        {55524, "usr2_tty_reconfiguration -"},
        {55517, "usr1_key_pressing -"},
        {55527, "usr2_key_pressing -"},
    };
    for (const Case& c : cases) {
        board_->write("sim/journal.log", "");
        runFuncInd(row(c.node));
        EXPECT_TRUE(journalHas(c.journalLine)) << c.node << "\n" << journal();
    }
}

TEST_F(NetworkPages, SendingFromThePortsPageShowsThePageAgainAndQueuesTheMessage) {
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_USR2, &m) >= 0) {
    }
    at(5552);
    PB_5552 = 6;  // Send Message
    key(1);
    EXPECT_EQ(st_num, 5552);
    EXPECT_TRUE(shows("344,42 255/252 USR2"));
    EXPECT_TRUE(shows("330,362 255/252 Send Message"));
    EXPECT_TRUE(drew("Launching", 403, 426));
    ASSERT_GE(get_message_q(E_EXMSG_TYPE_USR2, &m), 0);
    EXPECT_EQ(m.key, 2) << "a send request";
}

TEST_F(NetworkPages, ShowMessageListsTheStoredBytesAsHex) {
    ASSERT_EQ(set_user_message(USR1, "Hello, projector!\r\n", 19), 0);
    draw(55516);
    EXPECT_TRUE(shows("320,12 0/255 USR1"));
    EXPECT_TRUE(shows("344,42 255/252 Show Message"));
    EXPECT_TRUE(shows("320,96 0/255 48 65 6C 6C 6F 2C 20 70 72 6F "));
    EXPECT_TRUE(shows("320,114 0/255 6A 65 63 74 6F 72 21 0D 0A "));
    osd_swap();
    ASSERT_EQ(set_user_message(USR2, "", 0), 0);
    draw(55526);
    EXPECT_TRUE(shows("320,96 0/255 N.A")) << ::testing::PrintToString(shown());
}

TEST(UserMessageLines, TenBytesALineTwentyLinesAtMost) {
    EXPECT_EQ(userMessageLines("\x01\xFF", 2), (std::vector<std::string>{"01 FF "}));
    const std::string full(200, 'B'), more(201, 'C');
    auto lines = userMessageLines(full.c_str(), 200);
    EXPECT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines.back(), "42 42 42 42 42 42 42 42 42 42 ");
    lines = userMessageLines(more.c_str(), 201);
    EXPECT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[20], "...");
}

TEST_F(NetworkPages, ConnectionsMoveTheirSwitchFromThePairTheyHad) {
    // Connection 8 is stored from DATA to IN2: its switch is closed at start.
    stored({{6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {1, 3}}, 7, 7);
    ASSERT_EQ(closedSwitches(), (Closed{{1, 3}}));
    // Its first change opens that switch, not one from "none".
    PM.CONNECTION[7].SOURCE = 0;
    runFuncInd(row(55381));
    EXPECT_EQ(closedSwitches(), (Closed{{0, 3}}));

    // Connection 1 from IN1 to OUT1: the crosspoint numbers OUT1 5.
    PM.CONNECTION[0] = {2, 4};
    runFuncInd(row(55312));
    EXPECT_EQ(closedSwitches(), (Closed{{0, 3}, {2, 5}}));
    PM.CONNECTION[0].DESTINATION = 5;  // OUT2 is the crosspoint's 4
    runFuncInd(row(55312));
    EXPECT_EQ(closedSwitches(), (Closed{{0, 3}, {2, 4}}));

    // USR2 to DATA: the user-message output (source 6) drives port 1.
    PM.USER2_DESTINATION = 1;
    runFuncInd(row(55525));
    EXPECT_EQ(closedSwitches(), (Closed{{0, 3}, {2, 4}, {6, 1}}));

    // Reset clears the connections and routes the user ports again.
    runFuncInd(row(5539));
    EXPECT_EQ(closedSwitches(), (Closed{{6, 1}}));
    for (int j = 0; j < 8; ++j) EXPECT_EQ(PM.CONNECTION[j].SOURCE, 6) << j;
    EXPECT_EQ(PM.CONNECTION[7].DESTINATION, 6);
    // After the reset connection 8 has no switch of its own to open: moving
    // it leaves the switch connection 3 closed since.
    PM.CONNECTION[2] = {0, 3};
    runFuncInd(row(55331));
    EXPECT_EQ(closedSwitches(), (Closed{{6, 1}, {0, 3}}));
    PM.CONNECTION[7] = {1, 2};
    runFuncInd(row(55381));
    EXPECT_EQ(closedSwitches(), (Closed{{6, 1}, {0, 3}, {1, 2}}));
}

TEST_F(NetworkPages, ADestinationAUserPortHoldsIsRefused) {
    stored({{6, 6}, {6, 6}, {6, 6}, {6, 6}, {2, 3}, {6, 6}, {6, 6}, {6, 6}}, 7, 1);
    vp.gFlags = 0;  // the menu is closed: a set runs the action at once
    ASSERT_EQ(closedSwitches(), (Closed{{2, 3}, {6, 1}}));
    EXPECT_EQ(set("0,55352,1"), YST_SET);
    EXPECT_EQ(closedSwitches(), (Closed{{2, 3}, {6, 1}})) << "the crosspoint keeps USR2's port";
    EXPECT_EQ(get("1,55352"), 3) << "and PM says what the crosspoint does";
    EXPECT_EQ(set("0,55352,0"), YST_SET);
    EXPECT_EQ(closedSwitches(), (Closed{{2, 0}, {6, 1}}));
    // With the menu open the menu runs the set: refused the same, not moved
    // on to the next free line.
    vp.gFlags = VP_GFLAG_MENU_OPEN;
    EXPECT_EQ(set("0,55352,1"), YST_SET);
    empty_queue(E_EXMSG_TYPE_STLOOP);
    key(KEY_RUN_PROTOCOL_NODE);
    EXPECT_EQ(st_num, 55352);
    EXPECT_EQ(closedSwitches(), (Closed{{2, 0}, {6, 1}}));
    EXPECT_EQ(get("1,55352"), 0);
    vp.gFlags = 0;
    // With USR1 on every destination nothing but none is taken.
    PM.USER1_DESTINATION = 6;
    runFuncInd(row(55515));
    EXPECT_EQ(set("0,55352,2"), YST_SET);
    EXPECT_EQ(get("1,55352"), 6);
}

TEST_F(NetworkPages, DestinationItemsPassOverTheUserPortsLines) {
    PM.USER1_DESTINATION = 2;
    PM.USER2_DESTINATION = 3;
    struct Case {
        int from, keyPress, to;
        const char* note;
    } cases[] = {
        {1, 2, 4, "down onto IN1 (USR1's) and IN2 (USR2's) goes on to OUT1"},
        {4, 3, 1, "up over both to DATA"},
        {6, 2, 0, "down from none wraps to PT"},
        {0, 3, 6, "up from PT wraps to none"},
    };
    for (const Case& c : cases) {
        PM.CONNECTION[3].DESTINATION = static_cast<uint8_t>(c.from);
        at(55342);
        key(c.keyPress);
        EXPECT_EQ(PM.CONNECTION[3].DESTINATION, c.to) << c.note;
        osd_swap();
    }
    // A used line entered with another key moves forward.
    PM.CONNECTION[3].DESTINATION = 3;
    button_num = KEY_ENTER;
    draw(55342);
    EXPECT_EQ(PM.CONNECTION[3].DESTINATION, 4);
    const auto s = shown();
    EXPECT_TRUE(shows("330,298 255/252 OUT1")) << ::testing::PrintToString(s);
    // The used lines carry their user port behind them, in red.
    bool usr1 = false, usr2 = false;
    for (const std::string& line : s) {
        usr1 = usr1 || (line.find(",234 199/255  (Used By USR1)") != std::string::npos);
        usr2 = usr2 || (line.find(",266 199/255  (Used By USR2)") != std::string::npos);
    }
    EXPECT_TRUE(usr1 && usr2) << ::testing::PrintToString(s);
}

TEST_F(NetworkPages, AUserPortOnEveryDestinationHoldsEveryConnection) {
    PM.USER1_DESTINATION = 6;
    PM.CONNECTION[1].DESTINATION = 2;
    draw(55322);
    EXPECT_TRUE(shows("330,120 249/255 All Destination Used by USR1")) << ::testing::PrintToString(shown());
    EXPECT_EQ(PM.CONNECTION[1].DESTINATION, 6);
    EXPECT_TRUE(shows("330,170 199/255 PT"));
    EXPECT_TRUE(shows("330,330 199/255 OUT2"));
    EXPECT_TRUE(shows("330,362 255/252 NONE")) << "none keeps its colours, with the cursor";
    osd_swap();
    PM.USER1_DESTINATION = 7;
    PM.USER2_DESTINATION = 6;
    draw(55382);
    EXPECT_TRUE(shows("330,120 249/255 All Destination Used by USR2"));
}

}  // namespace hx40test
