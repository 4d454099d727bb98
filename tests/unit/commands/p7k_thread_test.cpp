// The protocol's start: the parser of the command table and the four
// transports from the stored settings, served by the protocol thread.
#include "unit/protocol/loopback.h"

#include "commands/notifications.h"
#include "commands/p7k_thread.h"
#include "protocol/ws_server.h"
#include "support/sim_device.h"
#include "support/temp_board.h"
#include "sys/msgq.h"

#include "platform/sim/board_conf.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

using namespace hx40test;

namespace {

class P7kStartTest : public ::testing::Test {
protected:
    P7kStartTest() {
        if (create_message_queues() != 0) throw std::runtime_error("message queues");
        board::sim::mutableConf().set("tcp_port", std::to_string(tcpPort_));
        board::sim::mutableConf().set("udp_port", std::to_string(udpPort_));
    }
    ~P7kStartTest() override { wsi_cnt = 0; }

    // The network record at 0x7ED0 as the EEPROM stores it: ports
    // little-endian at 20 and 22, the verbose word at 36.
    void storeRecord(uint16_t tcp, uint16_t udp, uint32_t verbose) {
        uint8_t rec[40] = {192, 168, 1, 39, 255, 255, 0, 0, 192, 168, 0, 1, 2, 0, 0, 0, 0, 1};
        rec[20] = static_cast<uint8_t>(tcp);
        rec[21] = static_cast<uint8_t>(tcp >> 8);
        rec[22] = static_cast<uint8_t>(udp);
        rec[23] = static_cast<uint8_t>(udp >> 8);
        rec[32] = 1;
        for (int i = 0; i < 4; ++i) rec[36 + i] = static_cast<uint8_t>(verbose >> (8 * i));
        std::fstream f(board_.file("sim/eeprom.bin"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(0x7ED0);
        f.write(reinterpret_cast<const char*>(rec), sizeof rec);
    }

    // A line of web client id, as the web server hands it over.
    static void webLine(uint32_t id, const std::string& text) {
        _WSMSG m;
        m.wsi = id;
        setWsText(m, text.data(), text.size());
        ASSERT_EQ(send_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &m), 0);
        NorvaCommands::WakeWebsocketListener();
    }
    static std::pair<uint32_t, std::string> webText(int timeoutMs = 3000) {
        _WSMSG m;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &m) < 0) {
            if (std::chrono::steady_clock::now() > deadline) return {0, "(none)"};
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return {m.wsi, std::string(m.text, m.length)};
    }

    TempBoard board_{true, true};
    int tcpPort_ = freePort(SOCK_STREAM);
    int udpPort_ = freePort(SOCK_DGRAM);
};

}  // namespace

TEST_F(P7kStartTest, EveryTransportAnswersAndABroadcastReachesEachOnce) {
    NorvaCommands::InitP7k();
    wsi_cnt = 1;
    LoopbackTcp a(tcpPort_), b(tcpPort_);
    ASSERT_TRUE(a.send("#\r"));
    EXPECT_EQ(a.until("\r\n"), "~01@ OK\r\n");
    ASSERT_TRUE(b.send("#\r"));
    EXPECT_EQ(b.until("\r\n"), "~01@ OK\r\n");
    LoopbackUdp udp;
    ASSERT_TRUE(udp.send(udpPort_, "#\r"));
    EXPECT_EQ(udp.receive(), "~01@ OK\r\n");
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.send("#\r"));
    EXPECT_EQ(term.until("\r\n"), "~01@ OK\r\n");
    webLine(7, "#\r");
    EXPECT_EQ(webText(), (std::pair<uint32_t, std::string>{7, "~01@ OK\r\n"}));

    // A word whose reply concerns every client.
    ASSERT_TRUE(a.send("#MODE-CMD 1\r"));
    const std::string line = a.until("\r\n");
    EXPECT_EQ(line.substr(0, 13), "~01@MODE-CMD ");
    EXPECT_EQ(b.until("\r\n"), line);
    EXPECT_EQ(udp.receive(), line);
    EXPECT_EQ(term.until("\r\n"), line);
    EXPECT_EQ(webText(), (std::pair<uint32_t, std::string>{0, line}));
    EXPECT_EQ(a.drain(200) + b.drain(0) + udp.receive(100) + term.drain(0), "");
}

// The stored record names the ports and the verbose mode; port 0 stands for
// the factory port.
TEST_F(P7kStartTest, TheStoredRecordGivesPortsAndVerboseMode) {
    const int udp = freePort(SOCK_DGRAM);
    storeRecord(0, static_cast<uint16_t>(udp), 1);
    NorvaCommands::InitP7k();
    EXPECT_EQ(gVerboseMode.load(), 1);
    LoopbackTcp tcp(tcpPort_);
    ASSERT_TRUE(tcp.send("#\r"));
    EXPECT_EQ(tcp.until("\r\n"), "~01@ OK\r\n");
    LoopbackUdp peer;
    ASSERT_TRUE(peer.send(udp, "#\r"));
    EXPECT_EQ(peer.receive(), "~01@ OK\r\n");
}

// A transport that cannot bind is left out; the others answer.
TEST_F(P7kStartTest, ABusyTcpPortLeavesTheOthersWorking) {
    int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(tcpPort_));
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    NorvaCommands::InitP7k();
    LoopbackUdp udp;
    ASSERT_TRUE(udp.send(udpPort_, "#\r"));
    EXPECT_EQ(udp.receive(), "~01@ OK\r\n");
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.send("#\r"));
    EXPECT_EQ(term.until("\r\n"), "~01@ OK\r\n");
    ::close(holder);
}
