#include "core/pm.h"
#include "core/usrmsg.h"
#include "platform/board.h"
#include "support/pty_read.h"
#include "support/temp_board.h"
#include "sys/msgq.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <unistd.h>

using hx40test::readFor;

namespace {

class UserMessages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        PM = PMRec{};
        writeUserMessageFiles();
    }
    // The thread ends with the test: the next one opens its own board's port.
    void TearDown() override {
        if (!sending_) return;
        _EXMSG quit;
        quit.key = USR_MSG_QUIT;
        ASSERT_EQ(send_message_q(E_EXMSG_TYPE_USR1, &quit), 0);
        pthread_join(thread_, nullptr);
    }
    // The user's end of /dev/ttyS3 and the thread that writes to it.
    int startSending() {
        int fd = ::open(board.file("term/ttyS3").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        sending_ = pthread_create(&thread_, nullptr, users_message_thread, nullptr) == 0;
        ::usleep(200 * 1000);
        return fd;
    }
    hx40test::TempBoard board{true, true};
    pthread_t thread_{};
    bool sending_ = false;
};

}  // namespace

TEST_F(UserMessages, AStoredMessageKeepsItsBytesAndLength) {
    EXPECT_EQ(board.read("root/persist/user1_msg.txt"), "");
    EXPECT_EQ(set_user_message(USR1, "PWR\0ON\r", 7), 0);
    EXPECT_EQ(board.read("root/persist/user1_msg.txt"), std::string("PWR\0ON\r", 7));
    int length = -1;
    const char* text = get_usr_message(USR1, &length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), std::string("PWR\0ON\r", 7));
    // The file is read again, so a change from outside is seen.
    board.write("root/persist/user2_msg.txt", "outside");
    text = get_usr_message(USR2, &length);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), "outside");
}

TEST_F(UserMessages, BadPortsAndOversizedMessagesAreRefused) {
    std::string big(1025, 'x');
    EXPECT_EQ(set_user_message(USR1, big.data(), 1025), -1);
    EXPECT_EQ(set_user_message(3, "a", 1), -1);
    EXPECT_EQ(set_user_message(USR1, "a", -1), -1);
    EXPECT_EQ(get_usr_message(0, nullptr), nullptr);
    EXPECT_EQ(board.read("root/persist/user1_msg.txt"), "");
    EXPECT_EQ(set_user_message(USR2, big.data(), 1024), 0);
    EXPECT_EQ(board.read("root/persist/user2_msg.txt").size(), 1024u);
}

TEST_F(UserMessages, TheKeySendsTheStoredMessageOnTheUserPort) {
    ASSERT_EQ(set_user_message(USR2, "input 3\r\n", 9), 0);
    int fd = startSending();
    ASSERT_GE(fd, 0);
    usr2_key_pressing();
    EXPECT_EQ(readFor(fd, 9, 3000), "input 3\r\n");
    ::close(fd);
}

TEST_F(UserMessages, ACustomMessageIsSentOnceAndTheStoredOneStays) {
    ASSERT_EQ(set_user_message(USR1, "stored", 6), 0);
    int fd = startSending();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(send_custom_user_message(USR1, "[once]", 6), 0);
    EXPECT_EQ(readFor(fd, 6, 3000), "[once]");
    EXPECT_EQ(board.read("root/persist/user1_msg.txt"), "stored");
    usr1_key_pressing();
    EXPECT_EQ(readFor(fd, 6, 3000), "stored");
    ::close(fd);
}

TEST_F(UserMessages, ACustomMessageThatCannotGoOutIsNotAnsweredAsSent) {
    ASSERT_EQ(::unlink(board.file("dev/ttyS3").c_str()), 0);
    int fd = startSending();
    EXPECT_EQ(send_custom_user_message(USR1, "[once]", 6), -1);
    if (fd >= 0) ::close(fd);
}

TEST_F(UserMessages, EachPortHasItsSerialSettings) {
    struct Case {
        uint8_t baud, bits, parity, stop;
        UserTtySettings want;
    } cases[] = {
        {3, 3, 0, 0, {9600, 8, 'N', 1}},
        {7, 2, 3, 1, {115200, 7, 'M', 2}},
        {0, 0, 1, 0, {1200, 5, 'O', 1}},
        {5, 1, 2, 1, {38400, 6, 'E', 2}},
        {6, 3, 4, 0, {57600, 8, 'S', 1}},
        {9, 9, 9, 9, {1200, 5, 'N', 1}},  // indexes outside the tables
    };
    for (const auto& c : cases) {
        PM.USER2_BAUD = c.baud;
        PM.USER2_DATA_BITS = c.bits;
        PM.USER2_PARITY = c.parity;
        PM.USER2_STOP_BITS = c.stop;
        UserTtySettings s = userTtySettings(USR2);
        EXPECT_EQ(s.baud, c.want.baud);
        EXPECT_EQ(s.dataBits, c.want.dataBits);
        EXPECT_EQ(s.parity, c.want.parity);
        EXPECT_EQ(s.stopBits, c.want.stopBits);
    }
}
