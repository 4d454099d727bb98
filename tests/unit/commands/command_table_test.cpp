#include "command_words.h"

#include "commands/command_table.h"
#include "commands/commands.h"
#include "protocol/parser.h"
#include "support/temp_board.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using hx40test::TempBoard;
using NorvaCommands::CommandRow;
using NorvaCommands::RowKind;

namespace {

// The device's parser on a fresh board (with the journal).
using CommandTableTest = hx40test::CommandWords;

}  // namespace

TEST_F(CommandTableTest, HelpListsTheWordsInRegistrationOrder) {
    const std::string expected =
        "~01@Device available protocol 7700 commands : HELP, NET-IP?, NET-MASK?, NET-MAC?, BUILD-DATE?, PROT-VER?, "
        "VERSION?, WEB-SECUR?, WEB-SECUR, WEB-USER?, WEB-PASSW?, WEB-PASSW, NAME?, ETH-PORT?, NET-GATE?, NET-DHCP?, "
        "LOCK-FP, LOCK-FP?, TIME-SRV?, TBAR, SPEED, MODE-CMD, IDENTIFY-SLV, BIN, DBIN, NAME, ETH-PORT, NET-GATE, "
        "TBAR-INFO?, NET-IP, ECHO, NET-MASK, NET-DHCP, TIME-SRV, P7KB, P7KB?, TIME-LOC, TIME-LOC?, VMUTE, FACTORY, "
        "MODEL?, RESET, NAME-RST, TIME?, TIME, POWER, UART?, UART, PTNL-CFG, PTNL-CFG?, CBIN, VERBOSE, VERBOSE?, "
        "HDCP-MOD?, HDCP-MOD, VID-RES?, VID-RES, SN?, VOLUME?, VOLUME, AUD-LVL?, AUD-LVL, ROUTE?, ROUTE, MUTE?, MUTE, "
        "Y, \r\n";
    EXPECT_EQ(expected.size(), 641u);
    EXPECT_EQ(line("#HELP"), expected);
}

TEST_F(CommandTableTest, HelpDescribesListedWordsOnly) {
    struct {
        const char* ask;
        const char* answer;
    } cases[] = {
        {"#HELP LOCK-FP", "~01@Set front panel lock\r\n"},
        {"#HELP lock-fp?", "~01@Get front panel lock\r\n"},
        {"#HELP BUILD-DATE?", "~01@Get the build date\r\n"},
        {"#HELP DIR", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        {"#HELP LABELS", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        {"#HELP FCT-MAC", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        {"#HELP MODEL?", "~01@Get Model name\r\n"},
        {"#HELP FACTORY", "~01@Is Factory OK\r\n"},
        {"#HELP y", "~01@scaler command\r\n"},
        {"#HELP AUD-LVL", "~01@Set input output volume\r\n"},
        {"#HELP ETH-PORT", "~01@Set protocol Ethernet port\r\n"},
        {"#HELP NET-GATE", "~01@Set Gateway IP\r\n"},
        {"#HELP ROUTE?", "~01@Get input routing\r\n"},
        {"#HELP MUTE", "~01@Set audio mute\r\n"},
        {"#HELP *", "~01@NO HELP FOR THIS COMMAND!\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(line(c.ask), c.answer) << c.ask;
}

TEST_F(CommandTableTest, TheParserChecksEachRowsParametersBeforeAnyBody) {
    struct {
        const char* sent;
        const char* answer;
    } cases[] = {
        {"#NET-IP", "~01@NET-IP  ERR1\r\n"},
        {"#NET-IP? 1", "~01@NET-IP? 1 ERR1\r\n"},
        {"#ECHO 1,2,3,4,5,6,7,8", "~01@ECHO 1,2,3,4,5,6,7,8 ERR1\r\n"},
        {"#ECHO 1,2,3,4,5,6,7", "~01@1,2,3,4,5,6,7\r\n"},
        {"#LABELS a,b,c,d,e,f,g", "~01@LABELS a,b,c,d,e,f,g ERR1\r\n"},
        {"#LABELS a,b,c,d,e,f,g,h", "~01@LABELS a,b,c,d,e,f,g,h OK\r\n"},
        {"#BIN USR1,UART", "~01@BIN USR1,UART ERR1\r\n"},
        {"#BIN USR1,UART,x", "~01@BIN USR1,UART,x ERR1\r\n"},
        {"#DBIN USR9,-1,x", "~01@DBIN USR9,-1,x ERR3\r\n"},
        {"#BIN USR1,UART,3,[abc],x", "~01@BIN USR1,UART,3,[abc],x ERR1\r\n"},
        {"#DBIN USR1,5", "~01@DBIN USR1,5 ERR1\r\n"},
        {"#TBAR", "~01@TBAR  ERR1\r\n"},
        {"#TBAR 1,2,3", "~01@TBAR 1,2,3 ERR1\r\n"},
        {"#LOCK-FP 0", "~01@LOCK-FP 0 OK\r\n"},
        {"#LOCK-FP on", "~01@LOCK-FP on ERR1\r\n"},
        {"#ETH-PORT? ", "~01@ETH-PORT?  ERR1\r\n"},
        {"#ETH-PORT? ssh", "~01@ETH-PORT? ssh ERR3\r\n"},
        {"#P7KB?", "~01@P7KB 1\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(line(c.sent), c.answer) << c.sent;
    EXPECT_EQ(others_, "");
}

TEST(CommandTable, HelpOnlyClassesKeepTheirOwnBodies) {
    TempBoard board;
    int helpOnly = 0;
    for (const CommandRow& row : NorvaCommands::commandTable()) {
        if (row.kind != RowKind::HelpOnly) continue;
        ++helpOnly;
        std::unique_ptr<Protocol7700::CommandSpec> command(row.make(row));
        std::string reply, iface = "tcp";
        int rc = command->OnAction(nullptr, {}, reply, iface);
        if (std::string(row.word) == "FACTORY") {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(reply, "FACTORY OK");
        } else {
            EXPECT_EQ(rc, 31) << row.word;
            EXPECT_EQ(reply, "") << row.word;
        }
        EXPECT_TRUE(command->GetParameterTypes().empty()) << row.word;
    }
    EXPECT_EQ(helpOnly, 31);
}

// Every row makes its command under its own word.
TEST(CommandTable, EveryRowMakesItsCommand) {
    TempBoard board;
    int commands = 0;
    for (const CommandRow& row : NorvaCommands::commandTable()) {
        commands += row.kind == RowKind::Command;
        std::unique_ptr<Protocol7700::CommandSpec> command(row.make(row));
        EXPECT_EQ(command->GetName(), row.word);
    }
    EXPECT_EQ(commands, 44);
    EXPECT_EQ(NorvaCommands::commandTable().size(), 76u);
}
