#include "protocol/listeners.h"
#include "protocol/sockets.h"
#include "loopback.h"
#include "support/sim_device.h"
#include "support/temp_board.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace hx40test;
using namespace NetworkLinux;

namespace {

bool closeOnExec(Network::ISocket& s) { return (::fcntl(*s.GetHandle(), F_GETFD) & FD_CLOEXEC) != 0; }

std::string boundAddress(Network::ISocket& s) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(*s.GetHandle(), reinterpret_cast<sockaddr*>(&a), &length);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return text;
}

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// An accepted connection and the client's end of it.
struct Connection {
    TCPServerSocket server;
    LoopbackTcp client;
    std::unique_ptr<Network::ITCPClientSocket> accepted;
    int port = 0;
    Connection() {
        port = freePort();
        if (!server.bind(static_cast<uint16_t>(port)) || !client.connect(port)) return;
        readable(*server.GetHandle(), 2000);
        accepted = server.accept();
    }
};

}  // namespace

TEST(Sockets, SerialPortIsRawAtTheChosenSpeedAndTurnsLineFeedsIntoReturns) {
    TempBoard board(true, true);
    struct {
        Network::Baudrate code;
        speed_t speed;
    } cases[] = {{Network::BAUD_19200, B19200}, {Network::BAUD_115200, B115200}};
    for (const auto& c : cases) {
        SerialSocket port;
        ASSERT_TRUE(port.bind(c.code, "/dev/ttyS0"));
        EXPECT_TRUE(closeOnExec(port));
        termios t{};
        ASSERT_EQ(::tcgetattr(*port.GetHandle(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), c.speed);
        EXPECT_EQ(::cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_iflag, 0u);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CLOCAL | CREAD), static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);

        SerialTerminal term(board.root(), "ttyS0");
        ASSERT_TRUE(term.send("AB\n"));
        ASSERT_TRUE(readable(*port.GetHandle(), 3000));
        char buf[16] = {};
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(port.read(buf, sizeof buf), 3);
        EXPECT_EQ(std::string(buf, 3), "AB\r");
        EXPECT_EQ(port.write("~01@ OK\r\n", 9), 9);
        EXPECT_EQ(term.until("\r\n"), "~01@ OK\r\n");
    }
}

TEST(Sockets, SerialBindFailuresAndRebinds) {
    TempBoard board(true, true);
    SerialSocket port;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(port.bind(Network::BAUD_115200, "/dev/ttyS9"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "*** Error ***SerialListenr Unable to open /dev/ttyS9 No such file or directory\n");
    EXPECT_FALSE(port.bind(static_cast<Network::Baudrate>(2), "/dev/ttyS0"));
    // A new speed re-binds the same object: the old descriptor is closed.
    ASSERT_TRUE(port.bind(Network::BAUD_115200, "/dev/ttyS0"));
    struct stat tty {};
    ASSERT_EQ(::fstat(*port.GetHandle(), &tty), 0);
    for (int i = 0; i < 5; ++i) {
        const int old = *port.GetHandle();
        ASSERT_TRUE(port.bind(i % 2 ? Network::BAUD_115200 : Network::BAUD_19200, "/dev/ttyS0"));
        struct stat s {};
        const bool stillTheTty = ::fstat(old, &s) == 0 && S_ISCHR(s.st_mode) && s.st_rdev == tty.st_rdev;
        EXPECT_TRUE(old == *port.GetHandle() || !stillTheTty) << "descriptor " << old << " left open";
    }
}

TEST(Sockets, ServersListenOnLoopbackOnlyAndKeepNoDescriptorAcrossExec) {
    Connection c;
    ASSERT_TRUE(c.accepted);
    ASSERT_GT(c.port, 32767);  // no sign trouble above 32767
    EXPECT_EQ(std::string(c.server.Name()), "TCPServerSocket bind to " + std::to_string(c.port));
    EXPECT_EQ(boundAddress(c.server), "127.0.0.1");
    EXPECT_TRUE(closeOnExec(c.server));
    EXPECT_TRUE(closeOnExec(*c.accepted));
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(c.client.fd(), reinterpret_cast<sockaddr*>(&local), &length);
    const std::string peer = "127.0.0.1:" + std::to_string(ntohs(local.sin_port));
    EXPECT_EQ(std::string(c.accepted->GetPeer().text), peer);
    EXPECT_EQ(std::string(c.accepted->Name()), "TCPClientSocket " + peer);

    // The port is taken: the second server fails and keeps its plain name.
    TCPServerSocket second;
    EXPECT_FALSE(second.bind(static_cast<uint16_t>(c.port)));
    EXPECT_EQ(std::string(second.Name()), "TCPServerSocket");

    UDPServerSocket udp;
    ASSERT_TRUE(udp.bind(static_cast<uint16_t>(freePort())));
    EXPECT_EQ(boundAddress(udp), "127.0.0.1");
    EXPECT_TRUE(closeOnExec(udp));
    PipeSocket pipe;
    WebsocketSocket wsPipe;
    ASSERT_TRUE(pipe.bind());
    ASSERT_TRUE(wsPipe.bind());
    EXPECT_TRUE(closeOnExec(pipe));
    EXPECT_TRUE(closeOnExec(wsPipe));
}

TEST(Sockets, TcpWritesNeverBlockNorRaiseSigpipe) {
    Connection c;
    ASSERT_TRUE(c.accepted);
    // A client that never reads: the socket fills, then refuses at once.
    std::string chunk(65536, 'x');
    auto t0 = std::chrono::steady_clock::now();
    int n = 0;
    for (int i = 0; i < 10000 && (n = c.accepted->write(chunk.data(), static_cast<int>(chunk.size()))) > 0; ++i) {
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    // A client that vanished: an error, and this process lives on.
    c.client.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (int i = 0; i < 3; ++i) n = c.accepted->write("~01@ OK\r\n", 9);
    EXPECT_EQ(n, -1);
    EXPECT_TRUE(errno == EPIPE || errno == ECONNRESET) << std::strerror(errno);
}

TEST(Sockets, UdpDatagramsNameTheirSender) {
    UDPServerSocket udp;
    const int port = freePort();
    ASSERT_TRUE(udp.bind(static_cast<uint16_t>(port)));
    LoopbackUdp peer;
    ASSERT_TRUE(peer.send(port, "#\r"));
    ASSERT_TRUE(readable(*udp.GetHandle(), 2000));
    char buf[64];
    Network::IPeer from;
    ASSERT_EQ(udp.read(buf, sizeof buf, from), 2);
    EXPECT_EQ(std::string(from.text).rfind("127.0.0.1:", 0), 0u);
    EXPECT_EQ(udp.write("~01@ OK\r\n", 9, from), 9);
    EXPECT_EQ(peer.receive(), "~01@ OK\r\n");
    EXPECT_EQ(udp.read(buf, sizeof buf, from), -1);  // nothing waits: no blocking
}

TEST(Sockets, WakePipesOnlyWakeAndDrain) {
    PipeSocket pipe;
    WebsocketSocket wsPipe;
    ASSERT_TRUE(pipe.bind());
    ASSERT_TRUE(wsPipe.bind());
    char buf[8];
    // The registry's: one count per queued text, taken one at a time.
    EXPECT_TRUE(pipe.write("1", 1));
    EXPECT_TRUE(pipe.write("1", 1));
    EXPECT_EQ(pipe.read(buf, 1), -1);
    EXPECT_TRUE(readable(*pipe.GetHandle(), 0));
    EXPECT_EQ(pipe.read(buf, 1), -1);
    EXPECT_FALSE(readable(*pipe.GetHandle(), 0));
    // The websocket listener's: one read takes every count.
    EXPECT_TRUE(wsPipe.write("000", 3));
    EXPECT_TRUE(wsPipe.write("0", 1));
    EXPECT_EQ(wsPipe.read(buf, sizeof buf), 1);
    EXPECT_FALSE(readable(*wsPipe.GetHandle(), 0));
}

TEST(Sockets, SelectorReportsEventsAndRefusesMoreThanAHundredSockets) {
    Selector selector;
    PipeSocket full, empty;
    ASSERT_TRUE(full.bind());
    ASSERT_TRUE(empty.bind());
    full.write("1", 1);
    Connection c;
    ASSERT_TRUE(c.accepted);
    Connection reset;
    ASSERT_TRUE(reset.accepted);
    reset.client.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TCPServerSocket unbound;

    using namespace Network;
    std::vector<ISocketEvents> events = {
        {&full, SOCKET_READABLE, 99},
        {&empty, SOCKET_READABLE, 99},
        {c.accepted.get(), SOCKET_READABLE | SOCKET_WRITABLE, 99},
        {reset.accepted.get(), SOCKET_READABLE, 99},
        {&unbound, SOCKET_READABLE, 99},
    };
    EXPECT_EQ(selector.poll(events.data(), static_cast<int>(events.size()), 1000), 3);
    EXPECT_EQ(events[0].returned, SOCKET_READABLE);
    EXPECT_EQ(events[1].returned, 0u);
    EXPECT_EQ(events[2].returned, SOCKET_WRITABLE);
    EXPECT_EQ(events[3].returned, SOCKET_READABLE | SOCKET_ERROR);
    EXPECT_EQ(events[4].returned, 0u);

    // A copy of a socket (a child's, between fork and exec) keeps it open
    // past its close: the wait must no longer hear its hang-up.
    const int copy = ::dup(*reset.accepted->GetHandle());
    ASSERT_GE(copy, 0);
    reset.accepted.reset();
    std::vector<ISocketEvents> quiet = {{&empty, SOCKET_READABLE, 99}};
    auto waited = std::chrono::steady_clock::now();
    EXPECT_EQ(selector.poll(quiet.data(), 1, 300), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - waited, std::chrono::milliseconds(250));
    ::close(copy);

    std::vector<ISocketEvents> many(100, ISocketEvents{&full, SOCKET_READABLE, 0});
    EXPECT_EQ(selector.poll(many.data(), 100, 1000), 100);
    many.push_back(many.back());
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(selector.poll(many.data(), 101, 2000), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST(Sockets, OutboxKeepsOrderWithinItsBound) {
    using Communication::Outbox;
    std::string wire;
    size_t room = 0;  // bytes the socket takes before it is full
    int failWith = 0;
    auto write = [&](const char* data, int size) {
        if (failWith) {
            errno = failWith;
            return -1;
        }
        if (room == 0) {
            errno = EAGAIN;
            return -1;
        }
        size_t n = std::min(room, static_cast<size_t>(size));
        wire.append(data, n);
        room -= n;
        return static_cast<int>(n);
    };
    Outbox box;
    room = 4;
    EXPECT_EQ(box.Send("~01@A\r\n", write), Outbox::kSent);
    EXPECT_EQ(wire, "~01@");
    EXPECT_EQ(box.Send("~01@B\r\n", write), Outbox::kSent);  // waits behind A
    EXPECT_EQ(box.Size(), 10u);
    room = 100;
    EXPECT_EQ(box.Flush(write), Outbox::kSent);
    EXPECT_EQ(wire, "~01@A\r\n~01@B\r\n");
    EXPECT_TRUE(box.Empty());

    // A text that goes straight out waits whole, whatever its size: a
    // client that reads gets every byte of it. Behind it, at most kLimit.
    room = 0;
    wire.clear();
    const std::string big(3 * Outbox::kLimit, 'r');
    const std::string half(Outbox::kLimit / 2, 'x');
    EXPECT_EQ(box.Send(big, write), Outbox::kSent);
    EXPECT_EQ(box.Send(half, write), Outbox::kSent);
    EXPECT_EQ(box.Send(half, write), Outbox::kSent);
    EXPECT_EQ(box.Send("y", write), Outbox::kOverflow);
    EXPECT_EQ(box.Size(), 4 * Outbox::kLimit);
    // While the big one goes out, what waits behind it still counts whole.
    room = 2 * Outbox::kLimit;
    EXPECT_EQ(box.Flush(write), Outbox::kSent);
    EXPECT_EQ(box.Send("y", write), Outbox::kOverflow);
    // Once it is out, the bound counts everything that waits.
    room = Outbox::kLimit + 1;
    EXPECT_EQ(box.Flush(write), Outbox::kSent);
    EXPECT_EQ(box.Size(), Outbox::kLimit - 1);
    EXPECT_EQ(box.Send("y", write), Outbox::kSent);
    EXPECT_EQ(box.Send("z", write), Outbox::kOverflow);
    EXPECT_TRUE(wire == big + "x");
    failWith = EPIPE;
    EXPECT_EQ(box.Flush(write), Outbox::kFailed);
}

TEST(Listeners, TypeNamesAndPeerHash) {
    using namespace Communication;
    const std::pair<ListenerType, const char*> names[] = {
        {TCP_SERVER, "TCP_SERVER"}, {TCP_CLIENT, "TCP_CLIENT"}, {UDP_SERVER, "UDP_SERVER"},
        {SERIAL, "SERIAL"},         {WEBSOCKET, "WEBSOCKET"},
    };
    for (const auto& [type, name] : names) EXPECT_STREQ(GetListenerTypeName(type), name);
    EXPECT_DEATH(GetListenerTypeName(MAX_VAL), "type >= TCP_SERVER && type < MAX_VAL");

    struct {
        const char* address;
        uint16_t port;
        size_t hash;
    } peers[] = {{"192.168.1.10", 1234, 0x7eb610e2}, {"127.0.0.1", 5000, 0x0cd31462}};
    for (const auto& p : peers) {
        Network::IPeer peer;
        ::inet_pton(AF_INET, p.address, &peer.address);
        peer.port = htons(p.port);
        EXPECT_EQ(PeerHash()(peer), p.hash) << p.address;
    }
}
