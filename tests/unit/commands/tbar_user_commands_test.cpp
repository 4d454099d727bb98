// The T-bar presence question and the user-key words over the parser: their
// replies byte for byte, the web lock, the stored messages and the key
// requests of the user-message thread.
#include "command_words.h"

#include "core/pm.h"
#include "core/usrmsg.h"
#include "platform/board.h"
#include "sys/frontpanel.h"

#include <filesystem>

using namespace hx40test;

namespace {

class TbarUserWords : public CommandWords {
protected:
    // The requests waiting on a user key's queue.
    static int requests(int type) {
        int n = 0;
        _EXMSG m;
        while (get_message_q(type, &m) >= 0) n += m.key == USR_MSG_SEND;
        return n;
    }
};

}  // namespace

TEST_F(TbarUserWords, TbarInfoIsTheSwitchingStateInScalerNotation) {
    PM.DISPLAY_MODE = 1;
    mode_stat = 2;
    vp.chData[0].vidInput = 28;  // VGA: input 5
    vp.chData[1].vidInput = 10;  // composite of input 3
    PM.AUDIO_SOURCE[0] = 3;
    PM.AUDIO_SOURCE[1] = 0;
    PM.ANALOG_TAKEOVER[0] = 1;
    PM.ANALOG_TAKEOVER[1] = 0;
    PM.FREEZE[0] = 1;
    PM.FREEZE[1] = 0;
    PM.BLANK[0] = 0;
    PM.BLANK[1] = 1;
    PM.TRANS_EFFECT = 4;
    PM.TRANS_DIR = 1;
    vp.gFlags |= VP_GFLAG_TRANSITION;
    PM.T_BAR_SMOOTHNESS = 200;
    PM.OUTPUT_RES_SEL[0] = 5;
    PM.OUTPUT_RES_SEL[1] = 7;
    EXPECT_EQ(line("#TBAR-INFO? 1"),
              "~01@Y 1,21,1|~01@Y 1,930,2|~01@Y 1,31,5|~01@Y 1,391,3|~01@Y 1,392,1|~01@Y 1,41,3|~01@Y 1,491,0|"
              "~01@Y 1,492,0|~01@Y 1,934,1|~01@Y 1,933,0|~01@Y 1,932,0|~01@Y 1,931,1|~01@Y 1,223,4|~01@Y 1,224,1|"
              "~01@Y 1,555,1|~01@DAMP-SLV -56|~01@NET-IP-SLV 192.168.1.39|~01@DHCP-SLV 0|~01@INDEPENDENT 1\r\n");

    vp.gFlags &= ~VP_GFLAG_TRANSITION;
    PM.OUTPUT_RES_SEL[1] = 5;
    const std::string reply = line("#TBAR-INFO? 0");
    EXPECT_NE(reply.find("|~01@Y 1,555,0|"), std::string::npos) << reply;
    EXPECT_TRUE(reply.ends_with("|~01@INDEPENDENT 0\r\n")) << reply;
}

TEST_F(TbarUserWords, TbarInfoNumbersEveryKindOfInput) {
    struct {
        uint8_t code;
        const char* item;
    } cases[] = {
        {0, "Y 1,31,1|"},   {7, "Y 1,31,8|"},   {8, "Y 1,31,1|"},   {15, "Y 1,31,8|"},
        {16, "Y 1,31,1|"},  {23, "Y 1,31,8|"},  {28, "Y 1,31,5|"},  {29, "Y 1,31,6|"},
    };
    for (const auto& c : cases) {
        vp.chData[0].vidInput = c.code;
        EXPECT_NE(line("#TBAR-INFO? 1").find(std::string("|~01@") + c.item), std::string::npos) << int{c.code};
    }
}

TEST_F(TbarUserWords, TbarSpeedAndModeHaveNoAction) {
    EXPECT_EQ(line("#TBAR 50"), "~01@TBAR 50 ERR1\r\n");
    EXPECT_EQ(line("#TBAR 1,2"), "~01@TBAR 1,2 ERR1\r\n");
    EXPECT_EQ(line("#SPEED 3"), "~01@SPEED 3 ERR1\r\n");
    EXPECT_EQ(everyone(), "");
    EXPECT_EQ(line("#MODE-CMD 1"), "");
    EXPECT_EQ(everyone(), toAll("~01@MODE-CMD 1 ERR1\r\n"));
}

TEST_F(TbarUserWords, UserKeysFireOrStoreTheirMessage) {
    PM.USER1_DESTINATION = 0;
    PM.USER2_DESTINATION = 7;  // NONE
    ASSERT_EQ(set_user_message(USR1, "stored", 6), 0);
    const std::string message1 = "root/persist/user1_msg.txt";
    const std::string kilo(1024, 'k');
    struct {
        std::string sent;
        std::string reply;
        int usr1, usr2;        // key requests queued
        const char* message;   // the stored message of USR1 afterwards
    } cases[] = {
        {"#BIN USR1,uart,-1", "~01@BIN USR1,UART,-1 OK\r\n", 1, 0, "stored"},
        {"#BIN usr1,Eth,-1,[x]", "~01@BIN USR1,ETH,-1 OK\r\n", 1, 0, "stored"},
        {"#BIN USR2,ETH,-1", "~01@BIN USR2,ETH,-1 ERR3\r\n", 0, 0, "stored"},  // destination NONE
        {"#BIN USR2,ETH,3,[abc]", "~01@BIN USR2,ETH,3,[abc] ERR3\r\n", 0, 0, "stored"},
        {"#BIN USR3,UART,-1", "~01@BIN USR3,UART,-1 ERR3\r\n", 0, 0, "stored"},
        {"#BIN USR1,RS232,-1", "~01@BIN USR1,RS232,-1 ERR3\r\n", 0, 0, "stored"},
        {"#BIN USR1,UART,3", "~01@BIN USR1,UART,3 ERR3\r\n", 0, 0, "stored"},
        {"#BIN USR1,UART,3,abc", "~01@BIN USR1,UART,3,abc ERR3\r\n", 0, 0, "stored"},
        {"#BIN USR1,UART,4,[abc]", "~01@BIN USR1,UART,4,[abc] ERR3\r\n", 0, 0, "stored"},
        {"#DBIN USR1,5,[hello]", "~01@DBIN USR1,5 OK\r\n", 0, 0, "hello"},
        {"#DBIN USR1,4,[hello]", "~01@DBIN USR1,4,[hello] ERR3\r\n", 0, 0, "hello"},
        {"#DBIN USR1,5,hello", "~01@DBIN USR1,5,hello ERR3\r\n", 0, 0, "hello"},
        {"#DBIN usr2,-1,[x]", "~01@DBIN USR2,,-1 OK\r\n", 0, 1, "hello"},
        {"#DBIN USR3,-1,[x]", "~01@DBIN USR3,-1,[x] ERR3\r\n", 0, 0, "hello"},
        {"#DBIN USR1,1024,[" + kilo + "]", "~01@DBIN USR1,1024 OK\r\n", 0, 0, nullptr},
        {"#DBIN USR1,1025,[" + kilo + "k]", "~01@DBIN USR1,1025,[" + kilo + "k] ERR3\r\n", 0, 0, nullptr},
        {"#DBIN USR1,0,[]", "~01@DBIN USR1,0 OK\r\n", 0, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent), c.reply) << c.sent.substr(0, 40);
        EXPECT_EQ(requests(E_EXMSG_TYPE_USR1), c.usr1) << c.sent.substr(0, 40);
        EXPECT_EQ(requests(E_EXMSG_TYPE_USR2), c.usr2) << c.sent.substr(0, 40);
        EXPECT_EQ(board_.read(message1), c.message ? std::string(c.message) : kilo) << c.sent.substr(0, 40);
    }
    EXPECT_EQ(everyone(), "");
}

TEST_F(TbarUserWords, AMessageThatCannotBeStoredIsNotAnsweredAsStored) {
    // A folder where the message file belongs: the file cannot be replaced.
    std::filesystem::create_directories(board::path("/root/persist/user1_msg.txt/x"));
    EXPECT_EQ(line("#DBIN USR1,2,[hi]"), "~01@DBIN USR1,2,[hi] ERR3\r\n");
}

TEST_F(TbarUserWords, ATextTheUserPortNeverSentIsNotAnsweredAsSent) {
    // No user-message thread runs here: the text waits its 10 s and goes nowhere.
    EXPECT_EQ(line("#BIN USR1,UART,2,[hi]"), "~01@BIN USR1,UART,2,[hi] ERR3\r\n");
}
