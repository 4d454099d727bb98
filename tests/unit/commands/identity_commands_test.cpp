// The identity, front-panel, label and input-status words over the parser:
// their replies byte for byte, the labels file and the panel's lock LED.
#include "command_words.h"

#include "core/pm.h"

#include <cstring>
#include <filesystem>
#include <regex>

using namespace hx40test;
namespace fs = std::filesystem;

namespace {

using IdentityWords = CommandWords;

// The line of one LED in sim/leds.txt: "<led> <r> <g> <b> <blink>".
std::string ledLine(const TempBoard& board, int led) {
    const std::string leds = board.read("sim/leds.txt");
    const std::string head = std::to_string(led) + " ";
    for (size_t at = 0; at < leds.size();) {
        const size_t end = leds.find('\n', at);
        const std::string l = leds.substr(at, end - at);
        if (l.rfind(head, 0) == 0) return l;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return "";
}

}  // namespace

TEST_F(IdentityWords, FixedAndEchoedRepliesGoToTheRequester) {
    struct {
        const char* sent;
        const char* reply;
    } cases[] = {
        {"#PROT-VER?", "~01@PROTOCOL-VER 7700:01.05\r\n"},
        {"#ECHO x", "~01@x\r\n"},
        {"#ECHO a, b ,c", "~01@a,b,c\r\n"},
        {"#ECHO 1,2,3,4,5,6,7", "~01@1,2,3,4,5,6,7\r\n"},
        {"#ECHO ,x", "~01@,x\r\n"},
        {"#ECHO ,", ""},  // one empty text: nothing to send
    };
    for (const auto& c : cases) EXPECT_EQ(line(c.sent), c.reply) << c.sent;
    EXPECT_TRUE(std::regex_match(line("#BUILD-DATE?"),
                                 std::regex(R"(~01@BUILD-DATE \d{4}/\d\d/\d\d \d\d:\d\d:\d\d\r\n)")));
    EXPECT_TRUE(std::regex_match(line("#VERSION?"), std::regex(R"(~01@VERSION \d\d\.\d\d\.\d\d\.\d{4}\.[DR]\d+\r\n)")));
    EXPECT_EQ(everyone(), "");
}

TEST_F(IdentityWords, DirCountsEveryEntryBelowTheWebFolder) {
    const fs::path web = board_.file("root/app/memfiles/web");
    fs::remove_all(web);
    EXPECT_EQ(line("#DIR"), "~01@DIR 0 OK\r\n");  // no folder
    fs::create_directories(web / "empty");
    board_.write("root/app/memfiles/web/index.html", "x");
    EXPECT_EQ(line("#DIR"), "~01@DIR 2 OK\r\n");
    board_.write("root/app/memfiles/web/img/a.png", "x");
    board_.write("root/app/memfiles/web/img/icons/b.png", "x");
    EXPECT_EQ(line("#DIR"), "~01@DIR 6 OK\r\n");
}

TEST_F(IdentityWords, LockFollowsTheValueAndAnyOtherValueToggles) {
    struct {
        const char* sent;
        const char* reply;
        const char* lockLed;
    } cases[] = {
        {"#LOCK-FP?", "~01@LOCK-FP 0\r\n", ""},
        {"#LOCK-FP 0", "~01@LOCK-FP 0 OK\r\n", ""},
        {"#LOCK-FP 1", "~01@LOCK-FP 1 OK\r\n", "27 7 0 0 0"},
        {"#LOCK-FP 1", "~01@LOCK-FP 1 OK\r\n", "27 7 0 0 0"},
        {"#LOCK-FP?", "~01@LOCK-FP 1\r\n", "27 7 0 0 0"},
        {"#LOCK-FP 5", "~01@LOCK-FP 0 OK\r\n", "27 0 0 0 0"},
        {"#LOCK-FP -3", "~01@LOCK-FP 1 OK\r\n", "27 7 0 0 0"},
        {"#LOCK-FP 0", "~01@LOCK-FP 0 OK\r\n", "27 0 0 0 0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), c.reply) << c.sent;
        if (*c.lockLed) {
            EXPECT_EQ(ledLine(board_, 27), c.lockLed) << c.sent;
        }
    }
}

TEST_F(IdentityWords, InputStatusWordsReportTheStoredValuesAsSignedNumbers) {
    const int8_t values[8][10] = {
        // type, -, hdcp, -, colour space, volume, depth, modeline, EDID resolution, audio channels
        {0, 0, 1, 0, 2, -80, 1, 0, 0, 1},   {0, 0, 0, 0, 1, 20, 0, 1, 1, 0},
        {0, 0, 1, 0, 0, 0, 1, 1, -126, 1},  {0, 0, 0, 0, 2, -1, 0, 0, 127, 0},
        {1, 0, 1, 0, 1, 5, 1, 0, -56, 1},   {3, 0, 0, 0, 0, -5, 0, 1, 60, 0},
        {0, 0, 1, 0, 2, 10, 1, 0, 207 - 256, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 2, 0},
    };
    for (int i = 0; i < 8; ++i) std::memcpy(&PM_I[i], values[i], 10);
    struct {
        const char* sent;
        const char* reply;
    } cases[] = {
        {"#TYPE?", "~01@TYPE 0,0,0,0,1,3,0,0\r\n"},
        {"#HDCP-IN?", "~01@HDCP-IN 1,0,1,0,1,0,1,0\r\n"},
        {"#COLOR-SPACE-IN?", "~01@COLOR-SPACE-IN 2,1,0,2,1,0,2,0\r\n"},
        {"#VOLUME-IN?", "~01@VOLUME-IN -80,20,0,-1,5,-5,10,0\r\n"},
        {"#COLOR-DEPTH?", "~01@COLOR-DEPTH 1,0,1,0,1,0,1,0\r\n"},
        {"#MODELINE?", "~01@MODELINE 0,1,1,0,0,1,0,0\r\n"},
        {"#EDID-IN-RESOLUTION?", "~01@EDID-IN-RESOLUTION 0,1,-126,127,-56,60,-49,2\r\n"},
        {"#EDID-IN-AUDIO-CH?", "~01@EDID-IN-AUDIO-CH 1,0,1,0,1,0,1,0\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(line(c.sent), c.reply) << c.sent;
}

TEST_F(IdentityWords, LabelsAreOneLineOfEightCutTo16Characters) {
    const std::string file = "root/app/conf/input_labels";
    std::remove(board_.file(file).c_str());
    EXPECT_EQ(line("#LABELS?"), "~01@LABELS HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\r\n");
    EXPECT_EQ(board_.read(file), "HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\n");

    EXPECT_EQ(line("#LABELS Camera,Twenty characters xx,PC, Lap top ,e,f,g,h"),
              "~01@LABELS Camera,Twenty character,PC,Lap top,e,f,g,h OK\r\n");
    EXPECT_EQ(board_.read(file), "Camera,Twenty character,PC,Lap top,e,f,g,h\n");
    // A line end inside a label would split the file's one line.
    EXPECT_EQ(line("#LABELS a\rb,c\nd,3,4,5,6,7,8"), "~01@LABELS ab,cd,3,4,5,6,7,8 OK\r\n");
    EXPECT_EQ(line("#LABELS?"), "~01@LABELS ab,cd,3,4,5,6,7,8\r\n");

    board_.write(file, "");
    EXPECT_EQ(line("#LABELS?"), "~01@LABELS \r\n");
    EXPECT_EQ(everyone(), "");
}

TEST_F(IdentityWords, LabelsFileThatCannotBeOpenedIsError5) {
    fs::remove(board_.file("root/app/conf/input_labels"));
    fs::create_directory(board_.file("root/app/conf/input_labels"));
    EXPECT_EQ(line("#LABELS a,b,c,d,e,f,g,h"), "~01@LABELS a,b,c,d,e,f,g,h ERR5\r\n");
    fs::remove_all(board_.file("root/app/conf"));
    EXPECT_EQ(line("#LABELS?"), "~01@LABELS?  ERR5\r\n");
}

// A text cut at a NUL would store or apply less than was sent: any text
// parameter holding one is the word's parameter error, and nothing changes.
TEST_F(IdentityWords, ANulInsideATextIsRefusedAndChangesNothing) {
    using namespace std::string_literals;
    ASSERT_EQ(line("#LABELS?"), "~01@LABELS HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\r\n");
    const std::string labels = board_.read("root/app/conf/input_labels");
    const std::string conf = board_.read("root/persist/httpd.conf");
    const std::string identity = board_.read("sim/eeprom.bin").substr(0x7E81, 0x7EA2 - 0x7E81);
    struct {
        std::string sent;
        std::string reply;
    } cases[] = {
        {"#LABELS a\0b,2,3,4,5,6,7,8"s, "~01@LABELS a\0b,2,3,4,5,6,7,8 ERR1\r\n"s},
        {"#NAME ab\0cd"s, "~01@NAME ab\0cd ERR1\r\n"s},
        {"#ECHO a\0b"s, "~01@ECHO a\0b ERR1\r\n"s},
        {"#WEB-PASSW pw\0x,admin"s, "~01@WEB-PASSW **** ERR1\r\n"s},
        {"#FCT-MODEL ab\0cd"s, "~01@FCT-MODEL ab ERR 001\r\n"s},
        {"#FCT-MODEL ab|POWER? x\0"s, "~01@FCT-MODEL ab OK\r\n~01@POWER? x ERR 001\r\n"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), c.reply) << c.sent;
        EXPECT_EQ(everyone(), "") << c.sent;
    }
    EXPECT_EQ(board_.read("root/app/conf/input_labels"), labels);
    EXPECT_EQ(board_.read("root/persist/httpd.conf"), conf);
    EXPECT_FALSE(board_.exists("sim/hostname"));
    EXPECT_EQ(board_.read("sim/eeprom.bin").substr(0x7E81, 9), "ab\0\0\0\0\0\0\0"s);  // only the whole model
    EXPECT_EQ(board_.read("sim/eeprom.bin").substr(0x7E8A, 0x7EA2 - 0x7E8A), identity.substr(9));
}

TEST_F(IdentityWords, IdentifyRunsTheLedsAndRestoresBothChannels) {
    EXPECT_EQ(line("#IDENTIFY-SLV"), "");
    EXPECT_EQ(everyone(), toAll("~01@IDENTIFY-SLV  OK\r\n"));
    // The test ends dark; both channels' LEDs are then set again.
    EXPECT_EQ(ledLine(board_, 0), "0 0 0 0 0");
    const std::string journal = board_.read("sim/journal.log");
    const size_t ch1 = journal.find(" ledsOnManager channel=0 ");
    ASSERT_NE(ch1, std::string::npos) << journal;
    EXPECT_NE(journal.find(" ledsOnManager channel=1 ", ch1), std::string::npos) << journal;
}
