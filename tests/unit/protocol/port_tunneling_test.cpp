// The tunnel between the board's second serial port and the network: bytes
// both ways over TCP and UDP, the line settings on the port, and what the
// bridge does when its socket cannot be had or its settings change.
#include "core/pm.h"
#include "protocol/port_tunneling.h"
#include "support/sim_device.h"
#include "support/temp_board.h"
#include "sys/locks.h"
#include "unit/protocol/loopback.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace hx40test;

namespace {

constexpr int kWaitMs = 5000;

class Tunnel : public ::testing::Test {
protected:
    void SetUp() override {
        PM = PMRec{};
        PM.PORT_TUNNELING_MODE = 1;
        PM.PORT_TUNNELING_PORT_NUMBER = static_cast<uint32_t>(freePort());
        PM.PORT_TUNNELING_BAUD = 3;
        PM.PORT_TUNNELING_DATA_BITS = 3;
    }
    void TearDown() override {
        if (!thread_.joinable()) return;
        port_tunneling_stop();
        thread_.join();
    }

    void start() { thread_ = std::thread(port_tunneling_thread, nullptr); }
    // What the menu or a word stores while the bridge runs.
    static void store(uint8_t mode, int onPort) {
        MutexLock lock(PM_mutex);
        PM.PORT_TUNNELING_MODE = mode;
        PM.PORT_TUNNELING_PORT_NUMBER = static_cast<uint32_t>(onPort);
    }
    int port() const { return static_cast<int>(PM.PORT_TUNNELING_PORT_NUMBER); }

    // Waits until the journal holds needle behind what was seen so far.
    bool journalSays(const std::string& needle) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        for (;;) {
            const std::string j = board_.read("sim/journal.log");
            const size_t at = j.find(needle, seen_);
            if (at != std::string::npos) {
                seen_ = at + needle.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    bool listening(const char* kind, int onPort) {
        return journalSays(std::string("ptnl.listen ") + kind + " port=" + std::to_string(onPort));
    }

    TempBoard board_{true, true};
    std::thread thread_;
    size_t seen_ = 0;
};

std::string pattern(size_t n, char first) {
    std::string s(n, ' ');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i % 26);
    return s;
}

}  // namespace

TEST_F(Tunnel, TcpCarriesBytesBothWaysAndKeepsSerialBytesForTheClient) {
    SerialTerminal term(board_.root(), "ttyS2");
    ASSERT_TRUE(term.ok());
    start();
    ASSERT_TRUE(listening("tcp", port()));
    ASSERT_TRUE(term.send("early"));  // nobody connected: they wait in the port
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    LoopbackTcp client(port());
    EXPECT_EQ(client.take(5), "early");
    const std::string up = pattern(1000, 'a'), down = pattern(700, 'A');
    ASSERT_TRUE(client.send(up));
    EXPECT_EQ(term.take(up.size()), up);
    ASSERT_TRUE(term.send(down));
    EXPECT_EQ(client.take(down.size()), down);

    // A client that leaves: the next one is served.
    client.reset();
    ASSERT_TRUE(listening("tcp", port()));
    LoopbackTcp next(port());
    ASSERT_TRUE(next.send("again"));
    EXPECT_EQ(term.take(5), "again");
}

TEST_F(Tunnel, UdpAnswersTheLastSenderAndAnEmptyDatagramReopens) {
    PM.PORT_TUNNELING_MODE = 0;
    PM.PORT_TUNNELING_PORT_NUMBER = static_cast<uint32_t>(freePort());
    SerialTerminal term(board_.root(), "ttyS2");
    start();
    ASSERT_TRUE(listening("udp", port()));
    ASSERT_TRUE(term.send("lost"));
    ASSERT_TRUE(journalSays("ptnl.drop bytes=4"));  // no peer yet
    LoopbackUdp a, b;
    ASSERT_TRUE(a.send(port(), "hello"));
    EXPECT_EQ(term.take(5), "hello");
    ASSERT_TRUE(term.send("kept"));
    EXPECT_EQ(a.receive(), "kept");
    ASSERT_TRUE(b.send(port(), "!"));
    EXPECT_EQ(term.take(1), "!");
    ASSERT_TRUE(term.send("to b"));
    EXPECT_EQ(b.receive(), "to b");
    EXPECT_EQ(a.receive(200), "");

    ASSERT_TRUE(b.send(port(), ""));
    ASSERT_TRUE(listening("udp", port()));
    ASSERT_TRUE(a.send(port(), "back"));
    EXPECT_EQ(term.take(4), "back");
}

TEST_F(Tunnel, TheLineSettingsOfPmReachThePort) {
    struct {
        uint8_t baud, bits, parity, stop;
        const char* journal;
        speed_t speed;
        tcflag_t flags;  // size, parity and stop bits
    } cases[] = {
        {7, 2, 3, 1, "baud=115200 bits=7 parity=MARK stop=2", B115200, CS7 | PARENB | PARODD | CMSPAR | CSTOPB},
        {0, 0, 4, 0, "baud=1200 bits=5 parity=SPACE stop=1", B1200, CS5 | PARENB | CMSPAR},
        {2, 1, 1, 0, "baud=4800 bits=6 parity=ODD stop=1", B4800, CS6 | PARENB | PARODD},
        {6, 3, 2, 1, "baud=57600 bits=8 parity=EVEN stop=2", B57600, CS8 | PARENB | CSTOPB},
        {9, 7, 8, 5, "baud=9600 bits=8 parity=NONE stop=1", B9600, CS8},  // out of range: the defaults
    };
    constexpr tcflag_t kLine = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    bool started = false;
    for (const auto& c : cases) {
        {
            MutexLock lock(PM_mutex);
            PM.PORT_TUNNELING_BAUD = c.baud;
            PM.PORT_TUNNELING_DATA_BITS = c.bits;
            PM.PORT_TUNNELING_PARITY = c.parity;
            PM.PORT_TUNNELING_STOP_BITS = c.stop;
        }
        const termios want = tunnelTermios(tunnelLine());
        EXPECT_EQ(want.c_cflag & kLine, c.flags) << c.journal;
        EXPECT_EQ(want.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD)) << c.journal;
        EXPECT_EQ(want.c_iflag, static_cast<tcflag_t>(IGNPAR)) << c.journal;
        EXPECT_EQ(want.c_cc[VMIN], 1) << c.journal;

        if (started) port_tunneling_rs232_configuration();
        else start();
        started = true;
        ASSERT_TRUE(journalSays(std::string("ptnl.tty ") + c.journal)) << c.journal;
        // What a pseudo-terminal keeps of it: the speed, stop bits and raw mode.
        const int fd = ::open(board_.file("dev/ttyS2").c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        ::close(fd);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.journal;
        EXPECT_EQ(t.c_cflag & CSTOPB, c.flags & CSTOPB) << c.journal;
        EXPECT_EQ(t.c_lflag, 0u) << c.journal;
    }
}

TEST_F(Tunnel, APortThatCannotBeBoundLeavesTheTunnelIdleUntilItCan) {
    auto holder = std::make_unique<LoopbackListener>(port());
    ASSERT_TRUE(holder->ok());
    start();
    ASSERT_TRUE(journalSays("ptnl.idle tcp port=" + std::to_string(port())));
    holder.reset();  // the thread tries again by itself
    ASSERT_TRUE(listening("tcp", port()));
    SerialTerminal term(board_.root(), "ttyS2");
    LoopbackTcp client(port());
    ASSERT_TRUE(client.send("up"));
    EXPECT_EQ(term.take(2), "up");

    // A reconfiguration onto a held port: idle again, the client dropped,
    // and back at once on the next reconfiguration.
    const int held = freePort();
    LoopbackListener other(held);
    store(1, held);
    reconfigure_socket();
    ASSERT_TRUE(journalSays("ptnl.idle tcp port=" + std::to_string(held)));
    EXPECT_TRUE(client.closedByPeer());
    store(1, freePort());
    reconfigure_socket();
    ASSERT_TRUE(listening("tcp", port()));
}

TEST_F(Tunnel, NewSettingsMoveTheTunnelAndDropItsClient) {
    start();
    ASSERT_TRUE(listening("tcp", port()));
    LoopbackTcp client(port());
    ASSERT_TRUE(journalSays("ptnl.client"));
    store(1, freePort());
    reconfigure_socket();
    EXPECT_TRUE(client.closedByPeer());
    ASSERT_TRUE(listening("tcp", port()));

    // While nobody is connected a stored change is taken without asking.
    store(1, freePort());
    ASSERT_TRUE(listening("tcp", port()));
    store(0, port());
    ASSERT_TRUE(listening("udp", port()));
    SerialTerminal term(board_.root(), "ttyS2");
    LoopbackUdp peer;
    ASSERT_TRUE(peer.send(port(), "moved"));
    EXPECT_EQ(term.take(5), "moved");
}

TEST(TunnelPort, APortThatCannotBeOpenedEndsTheProgramWithStatusOne) {
    TempBoard board(true, false);  // no serial ports
    EXPECT_EXIT(port_tunneling_thread(nullptr), ::testing::ExitedWithCode(1), "/dev/ttyS2");
}
