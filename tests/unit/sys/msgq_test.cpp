#include "platform/msgq.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "support/temp_board.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/msg.h>

using hx40test::TempBoard;

namespace {

class Queues : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(create_message_queues(), 0); }
    void TearDown() override { remove_message_queues(); }
    TempBoard board_;
};

}  // namespace

TEST_F(Queues, RecordsTravelInOrderWithTheirTypeAndFields) {
    _EXMSG a;
    a.key = 15;
    a.mode = 0x0102;
    a.param = 77;
    a.source = KEY_SOURCE_PANEL;
    _EXMSG b;
    b.key = 40;
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &a), 0);
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &b), 0);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 2);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_LED), 0);

    _EXMSG got;
    ASSERT_EQ(get_message_q(E_EXMSG_TYPE_KEYPAD, &got), static_cast<int>(sizeof(_EXMSG) - sizeof(long)));
    EXPECT_EQ(got.type, 1);  // queue number + 1
    EXPECT_EQ(got.key, 15);
    EXPECT_EQ(got.mode, 0x0102);
    EXPECT_EQ(got.param, 77u);
    EXPECT_EQ(got.source, 2);
    ASSERT_GT(get_message_q(E_EXMSG_TYPE_KEYPAD, &got), 0);
    EXPECT_EQ(got.key, 40);
    EXPECT_EQ(get_message_q(E_EXMSG_TYPE_KEYPAD, &got), -1);  // empty: no wait
}

TEST_F(Queues, EachTypeHasItsOwnQueue) {
    for (int t : {E_EXMSG_TYPE_LED, E_EXMSG_TYPE_STLOOP, E_EXMSG_TYPE_T_BAR}) {
        _EXMSG m;
        m.key = static_cast<uint16_t>(100 + t);
        ASSERT_EQ(send_message_q(t, &m), 0);
    }
    _EXMSG got;
    ASSERT_GT(get_message_q(E_EXMSG_TYPE_STLOOP, &got), 0);
    EXPECT_EQ(got.key, 105);
    EXPECT_EQ(got.type, 6);
    ASSERT_GT(get_message_q_block(E_EXMSG_TYPE_T_BAR, &got), 0);
    EXPECT_EQ(got.key, 113);
    EXPECT_EQ(got.type, 14);
}

TEST_F(Queues, WebsocketTextsTravelWholeUpTo4000BytesAndLongerOnesAreRefused) {
    std::string text(4000, 'x');
    text[0] = '{';
    text[3999] = '}';
    _WSMSG out;
    ASSERT_EQ(setWsText(out, text.data(), text.size()), 0);
    out.wsi = 9;
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &out), 0);
    _WSMSG small;
    ASSERT_EQ(setWsText(small, "HELP\r\n", 6), 0);
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &small), 0);

    _WSMSG in;
    ASSERT_GT(get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &in), 4000);
    EXPECT_EQ(in.wsi, 9u);
    EXPECT_EQ(std::string(in.text, in.length), text);
    // Short texts take only their own size on the queue.
    int n = get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &in);
    EXPECT_LT(n, 32);
    EXPECT_STREQ(in.text, "HELP\r\n");

    _WSMSG tooLong;
    EXPECT_EQ(setWsText(tooLong, std::string(4001, 'y').data(), 4001), -1);
    tooLong.length = 4001;
    EXPECT_EQ(send_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &tooLong), -1);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV), 0);
}

TEST_F(Queues, ARecordOfTheWrongKindIsRefusedOnBothSides) {
    _EXMSG ex;
    _WSMSG ws;
    EXPECT_EQ(send_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &ex), -1);
    EXPECT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &ws), -1);
    EXPECT_EQ(get_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &ex), -1);
    EXPECT_EQ(get_message_q(E_EXMSG_TYPE_KEYPAD, &ws), -1);
    EXPECT_EQ(send_message_q(14, &ex), -1);
    EXPECT_EQ(send_message_q(-1, &ex), -1);
}

TEST_F(Queues, EmptyQueueDiscardsEverything) {
    _EXMSG m;
    for (int i = 0; i < 5; ++i) ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &m), 0);
    _WSMSG w;
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &w), 0);
    empty_queue(E_EXMSG_TYPE_KEYPAD);
    empty_queue(E_EXMSG_TYPE_WS_CLI_TO_SRV);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), 0);
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV), 0);
}

TEST_F(Queues, AFullQueueGivesUpAfterThreeTriesTenMillisecondsApart) {
    // Shrink the queue to one record so the next send finds it full.
    int id = -1;
    {
        std::ifstream in(board_.file("run/msgq.ids"));
        int type = 0, qid = 0;
        long pid = 0;
        while (in >> type >> qid >> pid)
            if (type == E_EXMSG_TYPE_CNV) id = qid;
    }
    ASSERT_GE(id, 0);
    msqid_ds ds{};
    ASSERT_EQ(msgctl(id, IPC_STAT, &ds), 0);
    ds.msg_qbytes = sizeof(_EXMSG) - sizeof(long);
    ASSERT_EQ(msgctl(id, IPC_SET, &ds), 0);
    _EXMSG m;
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_CNV, &m), 0);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(send_message_q(E_EXMSG_TYPE_CNV, &m), -1);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 20);
    EXPECT_LT(ms, 1000);
}

TEST_F(Queues, IdsAreRecordedAndRemoved) {
    std::string ids = board_.read("run/msgq.ids");
    int lines = 0;
    for (char c : ids) lines += c == '\n';
    EXPECT_EQ(lines, 14);
    remove_message_queues();
    EXPECT_FALSE(board_.exists("run/msgq.ids"));
    _EXMSG m;
    EXPECT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &m), -1);
}

TEST_F(Queues, TheStatusCallFailurePrintsItsLine) {
    remove_message_queues();
    g_print_verbose_lvl = 0x200;
    testing::internal::CaptureStdout();
    EXPECT_EQ(getquestat_message_q(E_EXMSG_TYPE_KEYPAD), -1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("\nThe msgctl call failed, error number = ", 0), 0u) << out;
}
