// The protocol's start: the parser of the command table and the four
// transports from the stored settings, served by the protocol thread.
#include "network_record.h"
#include "unit/protocol/loopback.h"

#include "commands/notifications.h"
#include "commands/p7k_thread.h"
#include "protocol/listeners.h"
#include "protocol/parser.h"
#include "protocol/ws_server.h"
#include "support/sim_device.h"
#include "support/temp_board.h"
#include "sys/msgq.h"

#include "platform/sim/board_conf.h"

#include <chrono>
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
    ~P7kStartTest() override {
        // The protocol thread ends and the registry empties for the next test.
        NorvaCommands::P7KClass::Instance().Stop();
        Communication::Listeners::Instance().Stop();
        NorvaCommands::P7KClass::Instance().Join();
        const Protocol7700::Parser* parser = Communication::Listeners::Instance().GetParser();
        Communication::Listeners::Instance().Reset();
        delete parser;
        // A transport that could not bind never joined the registry.
        delete tcp_listener;
        delete udp_listener;
        delete gSerial_listener;
        delete Websocket_listener.exchange(nullptr);
        tcp_listener = nullptr;
        udp_listener = nullptr;
        gSerial_listener = nullptr;
        wsi_cnt = 0;
    }

    // A line of web client id, as the web server hands it over.
    static void webLine(uint32_t id, const std::string& text) {
        _WSMSG m;
        m.wsi = id;
        setWsText(m, text.data(), text.size());
        ASSERT_EQ(send_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &m), 0);
        NorvaCommands::WakeWebsocketListener();
    }
    // "#\r" answered "~01@ OK\r\n" on a stream transport.
    static void expectAnswered(TextStream& stream) {
        ASSERT_TRUE(stream.send("#\r"));
        EXPECT_EQ(stream.until("\r\n"), "~01@ OK\r\n");
    }
    static void expectAnswered(LoopbackUdp& peer, int port) {
        ASSERT_TRUE(peer.send(port, "#\r"));
        EXPECT_EQ(peer.receive(), "~01@ OK\r\n");
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
    int tcpPort_ = freePort();
    int udpPort_ = freePort();
};

}  // namespace

TEST_F(P7kStartTest, EveryTransportAnswersAndABroadcastReachesEachOnce) {
    NorvaCommands::InitP7k();
    wsi_cnt = 1;
    LoopbackTcp a(tcpPort_), b(tcpPort_);
    expectAnswered(a);
    expectAnswered(b);
    LoopbackUdp udp;
    expectAnswered(udp, udpPort_);
    SerialTerminal term(board_.root(), "ttyS0");
    expectAnswered(term);
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
    const int udp = freePort();
    storeNetworkRecord(board_.file("sim/eeprom.bin"), 0, static_cast<uint16_t>(udp), 1);
    NorvaCommands::InitP7k();
    EXPECT_EQ(gVerboseMode.load(), 1);
    LoopbackTcp tcp(tcpPort_);
    expectAnswered(tcp);
    LoopbackUdp peer;
    expectAnswered(peer, udp);
}

// A transport that cannot bind is left out; the others answer.
TEST_F(P7kStartTest, ABusyTcpPortLeavesTheOthersWorking) {
    LoopbackListener holder(tcpPort_);
    ASSERT_TRUE(holder.ok());
    NorvaCommands::InitP7k();
    LoopbackUdp udp;
    expectAnswered(udp, udpPort_);
    SerialTerminal term(board_.root(), "ttyS0");
    expectAnswered(term);
}
