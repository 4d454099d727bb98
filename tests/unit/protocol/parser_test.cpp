#include "protocol_fixture.h"

using namespace hx40test;
using Protocol7700::ParameterValue;

namespace {
struct WireCase {
    const char* line;
    const char* reply;
};
}  // namespace

class ProtocolParserTest : public ProtocolTest {
protected:
    void expectAll(const std::vector<WireCase>& cases) {
        for (const auto& c : cases) EXPECT_EQ(line(c.line), c.reply) << "line: " << c.line;
    }
};

TEST_F(ProtocolParserTest, StartCharacterAndAddress) {
    expectAll({
        {"#", "~01@ OK\r\n"},
        {"NET-IP?", ""},
        {"", ""},
        {"junk#NET-IP?", "~01@NET-IP 192.168.1.39\r\n"},
        {"#net-ip?", "~01@NET-IP 192.168.1.39\r\n"},
        {"#01@NET-IP?", "~01@NET-IP 192.168.1.39\r\n"},
        {"# 1@NET-IP?", "~01@NET-IP 192.168.1.39\r\n"},
        {"#+1@NET-IP?", "~01@NET-IP 192.168.1.39\r\n"},
        {"#1@", "~01@ OK\r\n"},
        {"#2@NET-IP?", ""},
        {"#x@NET-IP?", ""},
        {"#@NET-IP?", ""},
        {"#1 @NET-IP?", ""},
        {"#-1@NET-IP?", ""},
        // 2^32 + 1 must not wrap to this device's address.
        {"#4294967297@NET-IP?", ""},
        // '@' anywhere in the line is the address separator.
        {"#ECHO joe@home", ""},
        // Only the first '@' counts: an addressed line may carry more.
        {"#1@ECHO joe@home", "~01@joe@home\r\n"},
        {"#1@ECHO joe", "~01@joe\r\n"},
    });
}

TEST_F(ProtocolParserTest, Chains) {
    expectAll({
        {"#|", "~01@ OK\r\n"},
        {"#||", "~01@ OK\r\n~01@ OK\r\n"},
        {"#A||B", "~01@ OK\r\n"},
        {"#NET-IP?|NET-MAC?", "~01@NET-IP 192.168.1.39\r\n~01@NET-MAC 02-00-00-00-00-01\r\n"},
        {"#NET-IP? |#NET-MAC?", "~01@NET-IP 192.168.1.39\r\n~01@NET-MAC 02-00-00-00-00-01\r\n"},
        {"#XYZ|NET-IP?", "~01@NET-IP 192.168.1.39\r\n"},
        {"#\t ECHO a \t|  echo B", "~01@a\r\n~01@B\r\n"},
        // An action error is answered and the chain goes on.
        {"#FAIL|ECHO z", "~01@FAIL  ERR7\r\n~01@z\r\n"},
        // A parameter error is answered and ends the line.
        {"#ECHO y|NET-IP? 5|ECHO z", "~01@y\r\n~01@NET-IP? 5 ERR1\r\n"},
        // A tab does not end the word.
        {"#ECHO\tz", ""},
    });
}

TEST_F(ProtocolParserTest, CountAndTypeErrorsEchoTheRawParameterText) {
    expectAll({
        {"#NET-IP? 5", "~01@NET-IP? 5 ERR1\r\n"},
        {"#HELP A,B", "~01@HELP A,B ERR1\r\n"},
        {"#INT", "~01@INT  ERR1\r\n"},
        {"#int 12a", "~01@INT 12a ERR1\r\n"},
        {"#INT 0x10", "~01@INT 0x10 ERR1\r\n"},
        {"#INT -", "~01@INT - ERR1\r\n"},
        {"#INT  1, 2 ,3", "~01@INT  1, 2 ,3 ERR1\r\n"},
        {"#INT 1,x ", "~01@INT 1,x ERR1\r\n"},
        {"#IP 192.168.1.300", "~01@IP 192.168.1.300 ERR1\r\n"},
        {"#IP 1.2.3", "~01@IP 1.2.3 ERR1\r\n"},
        {"#SIZED a", "~01@SIZED a ERR1\r\n"},
        {"#ECHO 1,2,3,4,5,6,7,8", "~01@ECHO 1,2,3,4,5,6,7,8 ERR1\r\n"},
        {"#NET-IP? ,", "~01@NET-IP? , ERR1\r\n"},
        // An action error echoes the raw text the same way.
        {"#FAIL  12 ", "~01@FAIL  12 ERR7\r\n"},
    });
}

TEST_F(ProtocolParserTest, ParameterConversion) {
    expectAll({
        {"#INT  12 ", "~01@INT 1:12\r\n"},
        {"#INT -5,+7", "~01@INT 1:-5 1:7\r\n"},
        {"#INT ,", "~01@INT 1:0\r\n"},
        {"#INT 1,,", "~01@INT 1:1 1:0\r\n"},
        {"#INT 1,2,", "~01@INT 1:1 1:2\r\n"},
        // Out of the device's 32-bit range: clamped, never wrapped.
        {"#INT 99999999999,-99999999999", "~01@INT 1:2147483647 1:-2147483648\r\n"},
        {"#INT 4294967297", "~01@INT 1:2147483647\r\n"},
        {"#IP 10.0.0.1", "~01@IP 4:10,0,0,1\r\n"},
        {"#IP  192.168.1.39 ", "~01@IP 4:192,168,1,39\r\n"},
        {"#SIZED Ab, a b ", "~01@SIZED 2:Ab 3:a b:3\r\n"},
        {"#SIZED x,", "~01@SIZED x, ERR1\r\n"},
        {"#ECHO MiXed,,case", "~01@MiXed  case\r\n"},
    });
    // A NUL inside a number or an address is not part of it.
    using namespace std::string_literals;
    EXPECT_EQ(line("#INT 12\0" "3"s), "~01@INT 12\0" "3 ERR1\r\n"s);
    EXPECT_EQ(line("#IP 10.0.0.1\0"s), "~01@IP 10.0.0.1\0 ERR1\r\n"s);
}

TEST_F(ProtocolParserTest, DefaultCommandGetsTheWordAsTyped) {
    std::vector<std::string> seen;
    addDefault("*", [&](const std::list<ParameterValue>& p, std::string& reply, std::string&) {
        seen.push_back(describe(p));
        reply = "~01@OLD\r\n";
        return p.size() > 1 && p.back().text == "bad" ? 5 : 0;
    });
    expectAll({
        {"#xyz 1,2", "~01@OLD\r\n"},
        {"#Model?", "~01@OLD\r\n"},
        {"##Abc  x ", "~01@OLD\r\n"},
        {"#xyz bad", "~01@xyz bad ERR5\r\n"},
        {"#XYZ|NET-IP?", "~01@OLD\r\n~01@NET-IP 192.168.1.39\r\n"},
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"2:xyz 2:1,2", "2:Model?", "2:#Abc 2: x", "2:xyz 2:bad", "2:XYZ"}));
    ASSERT_EQ(sent_.console.size(), 1u);
    EXPECT_EQ(sent_.console[0], "command xyz OnAction ret error 5\n");
}

TEST_F(ProtocolParserTest, OnlyTheFirstDefaultCommandByNameRuns) {
    addDefault("Z", [](const std::list<ParameterValue>&, std::string& reply, std::string&) {
        reply = "Z";
        return 0;
    });
    addDefault("*", [](const std::list<ParameterValue>&, std::string& reply, std::string&) {
        reply = "star";
        return 0;
    });
    EXPECT_EQ(line("#what"), "star");
}

TEST_F(ProtocolParserTest, RoutingByResponseTypeFlagAndInterface) {
    struct Case {
        const char* line;
        const char* iface;
        const char* result;
        std::vector<std::string> everyone;  // what serial, TCP, UDP and web id 0 each got
        std::vector<std::pair<std::string, int>> web;  // web texts with a client id other than 0
    } cases[] = {
        {"#ALL hi", "tcp", "", {"~01@hi\r\n"}, {}},
        {"#ALL hi", "websocket", "", {"~01@hi\r\n"}, {}},
        {"#SETX|ECHO b", "serial", "~01@b\r\n", {"~01@SETX done\r\n"}, {}},
        {"#ALL 1,2", "udp", "~01@ALL 1,2 ERR1\r\n", {}, {}},
        {"#QUIET", "tcp", "", {}, {}},
        {"#ECHO a", "websocket", "", {}, {{"~01@a\r\n", 7}}},
        {"#NET-IP? 5|ECHO a", "websocket", "", {}, {{"~01@NET-IP? 5 ERR1\r\n", 7}}},
        {"#WSOFF|ECHO x", "websocket", "~01@WSOFF\r\n", {}, {{"~01@x\r\n", 7}}},
        {"#FAIL", "websocket", "", {}, {{"~01@FAIL  ERR7\r\n", 7}}},
    };
    for (const auto& c : cases) {
        sent_ = Sent();
        EXPECT_EQ(line(c.line, c.iface, 7), c.result) << c.line << " on " << c.iface;
        EXPECT_EQ(sent_.serials, c.everyone) << c.line;
        EXPECT_EQ(sent_.tcps, c.everyone) << c.line;
        EXPECT_EQ(sent_.udps, c.everyone) << c.line;
        std::vector<std::pair<std::string, int>> web;
        for (const auto& e : c.everyone) web.emplace_back(e, 0);
        web.insert(web.end(), c.web.begin(), c.web.end());
        EXPECT_EQ(sent_.websockets, web) << c.line;
        EXPECT_FALSE(workaround_namespace::is_command_set) << c.line;
    }
}

TEST_F(ProtocolParserTest, AFlagLeftSetElsewhereDoesNotMisrouteTheNextReply) {
    workaround_namespace::is_command_set = true;
    EXPECT_EQ(line("#ECHO a"), "~01@a\r\n");
    EXPECT_TRUE(sent_.tcps.empty());
}

TEST_F(ProtocolParserTest, InterfaceNameIsPublishedForTheActions) {
    line("#", "udp");
    EXPECT_EQ(workaround_namespace::interface_name, "udp");
    line("no hash at all", "serial");
    EXPECT_EQ(workaround_namespace::interface_name, "serial");
}

TEST_F(ProtocolParserTest, RepliesOfSeveralLinesAccumulate) {
    std::string result, iface = "tcp";
    parser_.Parse(nullptr, "#ECHO a", result, iface, 0);
    parser_.Parse(nullptr, "no hash", result, iface, 0);
    parser_.Parse(nullptr, "#2@ECHO x", result, iface, 0);
    parser_.Parse(nullptr, "#ECHO b", result, iface, 0);
    EXPECT_EQ(result, "~01@a\r\n~01@b\r\n");
}

TEST(ParserHelp, ListOfTheBuiltInWords) {
    Protocol7700::Parser parser;
    std::string result, iface = "tcp";
    parser.Parse(nullptr, "#HELP", result, iface, 0);
    EXPECT_EQ(result, "~01@Device available protocol 7700 commands : HELP, NET-IP?, NET-MASK?, NET-MAC?, \r\n");
}

TEST(ParserHelp, RegistrationOrderHiddenWordsAndHelpOnlyWords) {
    Protocol7700::Parser parser;
    auto none = [](const std::list<ParameterValue>&, std::string& reply, std::string&) {
        reply = "ran";
        return 0;
    };
    auto add = [&](const char* name, const char* help) {
        parser.AddCommand(new TestCommand(name, {}, 0, Protocol7700::RESPONSE_REQUESTER, none, help));
    };
    add("PROT-VER?", "Get Protocol Version");
    add("DIR", "Get number of files in web directory. USAGE : DIR");
    add("LOCK-FP", "Set front panel lock");
    for (const char* hidden : {"FCT-MAC", "EDID-IN-AUDIO-CH?", "TYPE?", "LABELS?", "LABELS", "COLOR-SPACE-IN?",
                               "HDCP-IN?", "MODELINE?", "COLOR-DEPTH?", "EDID-IN-RESOLUTION?", "VOLUME-IN?"})
        add(hidden, "hidden");
    parser.AddHelpCommand(new TestCommand("MODEL?", {}, 0, Protocol7700::RESPONSE_REQUESTER, none, "Get Model name"));
    add("A-LAST", "Last word");

    struct {
        const char* line;
        const char* reply;
    } cases[] = {
        {"#HELP",
         "~01@Device available protocol 7700 commands : HELP, NET-IP?, NET-MASK?, NET-MAC?, PROT-VER?, LOCK-FP, "
         "MODEL?, A-LAST, \r\n"},
        {"#HELP net-ip?", "~01@Get device IP address\r\n"},
        {"#HELP NET-MASK?", "~01@Get device IP address\r\n"},
        {"#HELP NET-MAC?", "~01@Read MAC address\r\n"},
        {"#HELP HELP", "~01@Get Help on Commands\r\n"},
        {"#HELP  model? ", "~01@Get Model name\r\n"},
        {"#HELP NTMC?", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        {"#HELP LABELS", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        {"#HELP XYZ", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        {"#HELP ,", "~01@NO HELP FOR THIS COMMAND!\r\n"},
        // Hidden words still run; help-only words are not dispatched.
        {"#LABELS", "~01@ran\r\n"},
        {"#DIR", "~01@ran\r\n"},
        {"#MODEL?", ""},
    };
    for (const auto& c : cases) {
        std::string result, iface = "tcp";
        parser.Parse(nullptr, c.line, result, iface, 0);
        EXPECT_EQ(result, c.reply) << c.line;
    }
}

TEST(ParserRegistration, ADuplicateWordStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto none = [](const std::list<ParameterValue>&, std::string&, std::string&) { return 0; };
    EXPECT_DEATH(
        {
            Protocol7700::Parser parser;
            parser.AddCommand(new TestCommand("NET-IP?", {}, 0, Protocol7700::RESPONSE_REQUESTER, none));
        },
        "m_commands.find\\(command->GetName\\(\\)\\) == m_commands.end\\(\\)");
    EXPECT_DEATH(
        {
            Protocol7700::Parser parser;
            TestCommand a("*", {}, 0, Protocol7700::RESPONSE_REQUESTER, none);
            parser.AddDefaultCommand(&a);
            parser.AddDefaultCommand(&a);
        },
        "m_defcommands.find");
}

TEST(ParserPrefix, FollowsTheDestinationId) {
    Protocol7700::Parser parser;
    EXPECT_EQ(parser.GetPrefix(), "~01@");
    EXPECT_EQ(parser.BuildErrorMessage("LOAD", "", {}, 13), "~01@LOAD  ERR13\r\n");
    parser.SetDestinationId(9);
    EXPECT_EQ(parser.GetPrefix(), "~09@");
    parser.SetDestinationId(12);
    EXPECT_EQ(parser.GetPrefix(), "~12@");
    std::string result, iface = "tcp";
    parser.Parse(nullptr, "#12@", result, iface, 0);
    parser.Parse(nullptr, "#1@", result, iface, 0);
    EXPECT_EQ(result, "~12@ OK\r\n");
}

TEST(ParserText, SplitReadsLikeGetline) {
    struct {
        const char* text;
        bool skipEmpty;
        std::vector<std::string> want;
    } cases[] = {
        {"", false, {}},
        {"a", false, {"a"}},
        {",", false, {""}},
        {"a,", false, {"a"}},
        {",a", false, {"", "a"}},
        {"1,,2", false, {"1", "", "2"}},
        {",,", false, {"", ""}},
        {"1,,2,", true, {"1", "2"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> out{"kept"};
        Protocol7700::split(out, c.text, ',', c.skipEmpty);
        std::vector<std::string> want{"kept"};
        want.insert(want.end(), c.want.begin(), c.want.end());
        EXPECT_EQ(out, want) << c.text;
    }
    std::string word = "net-ip?\xe9x";
    Protocol7700::to_upper(word);
    EXPECT_EQ(word, "NET-IP?\xe9X");
}
