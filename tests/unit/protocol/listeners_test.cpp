#include "loop_harness.h"
#include "support/sim_device.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

using namespace hx40test;
using namespace Communication;

namespace {

using Clock = std::chrono::steady_clock;
using Replies = std::vector<std::pair<std::string, int>>;

}  // namespace

TEST_F(LoopHarness, EveryTransportGetsItsReplies) {
    addTcp();
    addUdp();
    addSerial();
    addWebsocket();
    start();

    LoopbackTcp tcp(tcpPort_);
    ASSERT_TRUE(tcp.send("#ECHO tcp\r#\r"));
    EXPECT_EQ(tcp.until("~01@ OK\r\n"), "~01@tcp\r\n~01@ OK\r\n");
    // A line split over two segments is answered once it is complete.
    ASSERT_TRUE(tcp.send("#ECHO sp"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(tcp.send("lit\r"));
    EXPECT_EQ(tcp.until("\r\n"), "~01@split\r\n");

    LoopbackUdp udp;
    ASSERT_TRUE(udp.send(udpPort_, "#ECHO udp\r"));
    EXPECT_EQ(udp.receive(), "~01@udp\r\n");
    ASSERT_TRUE(udp.send(udpPort_, "ECHO no hash\r"));
    EXPECT_EQ(udp.receive(300), "");

    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());
    ASSERT_TRUE(term.send("#ECHO serial\n"));
    EXPECT_EQ(term.until("\r\n"), "~01@serial\r\n");
    ASSERT_TRUE(term.send("#ECHO two"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(term.send(" bursts\r"));
    EXPECT_EQ(term.until("\r\n"), "~01@two bursts\r\n");

    webLine(7, "#ECHO web\r");
    ASSERT_TRUE(waitFor([&] { return !webReplies().empty(); }, 3000));
    EXPECT_EQ(webReplies(), (Replies{{"~01@web\r\n", 7}}));
    EXPECT_EQ(ws_msg_cli_to_srv_id(), 7u);
}

// Lines longer than one read (1024 bytes) continue over several reads.
TEST_F(LoopHarness, LongLinesSpanSeveralReads) {
    addTcp();
    addSerial();
    start();
    const std::string a(3000, 'a');
    LoopbackTcp tcp(tcpPort_);
    ASSERT_TRUE(tcp.send("#ECHO " + a + "\r#\r"));
    EXPECT_EQ(tcp.until("~01@ OK\r\n"), "~01@" + a + "\r\n~01@ OK\r\n");
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());
    ASSERT_TRUE(term.send("#ECHO " + a + "\r#\r"));
    EXPECT_EQ(term.until("~01@ OK\r\n"), "~01@" + a + "\r\n~01@ OK\r\n");
}

// More sockets than one poll takes: the loop serves nobody, but it waits
// between its failed polls instead of spinning.
TEST_F(LoopHarness, AFailingPollDoesNotSpin) {
    for (int i = 0; i < 100; ++i) addWebsocket();
    start();
    auto cpu = [] {
        rusage r{};
        ::getrusage(RUSAGE_SELF, &r);
        return std::chrono::seconds(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
               std::chrono::microseconds(r.ru_utime.tv_usec + r.ru_stime.tv_usec);
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto before = cpu();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(cpu() - before).count(), 300);
}

TEST_F(LoopHarness, QueuedTextsReachTheirClientsOnceAndInOrder) {
    addTcp();
    addUdp();
    addSerial();
    addWebsocket();
    start();

    std::vector<std::unique_ptr<LoopbackTcp>> tcps;
    for (int i = 0; i < 3; ++i) {
        tcps.push_back(std::make_unique<LoopbackTcp>(tcpPort_));
        ASSERT_TRUE(tcps.back()->send("#\r"));
        ASSERT_EQ(tcps.back()->until("\r\n"), "~01@ OK\r\n");
    }
    LoopbackUdp udp[2];
    for (auto& u : udp) {
        ASSERT_TRUE(u.send(udpPort_, "#\r"));
        ASSERT_EQ(u.receive(), "~01@ OK\r\n");
    }
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());

    std::string all;
    for (int i = 0; i < 30; ++i) {
        std::string text = "~01@B" + std::to_string(i) + "\r\n";
        post(SERIAL, text, true);
        all += text;
    }
    for (auto& t : tcps) {
        EXPECT_EQ(t->until("~01@B29\r\n"), all);
        EXPECT_EQ(t->drain(100), "");
    }
    for (auto& u : udp) {
        for (int i = 0; i < 30; ++i) EXPECT_EQ(u.receive(), "~01@B" + std::to_string(i) + "\r\n");
        EXPECT_EQ(u.receive(100), "");
    }
    EXPECT_EQ(term.until("~01@B29\r\n"), all);
    EXPECT_EQ(term.drain(100), "");

    // A text for one kind reaches only that kind; none reaches the servers or the web bridge.
    post(SERIAL, "~01@S\r\n", false);
    post(TCP_CLIENT, "~01@T\r\n", false);
    post(UDP_SERVER, "~01@U\r\n", false);
    post(TCP_SERVER, "~01@X\r\n", false);
    post(WEBSOCKET, "~01@W\r\n", false);
    post(SERIAL, "~01@END\r\n", true);
    EXPECT_EQ(term.until("~01@END\r\n"), "~01@S\r\n~01@END\r\n");
    for (auto& t : tcps) EXPECT_EQ(t->until("~01@END\r\n"), "~01@T\r\n~01@END\r\n");
    for (auto& u : udp) {
        EXPECT_EQ(u.receive(), "~01@U\r\n");
        EXPECT_EQ(u.receive(), "~01@END\r\n");
    }

    // A reply for every client, from a command on one TCP connection.
    ASSERT_TRUE(tcps[1]->send("#ALL x\r"));
    for (auto& t : tcps) EXPECT_EQ(t->until("\r\n"), "~01@x\r\n");
    for (auto& u : udp) EXPECT_EQ(u.receive(), "~01@x\r\n");
    EXPECT_EQ(term.until("\r\n"), "~01@x\r\n");
    EXPECT_EQ(webReplies(), (Replies{{"~01@x\r\n", 0}}));
}

// A client that stops reading, or vanishes, costs only itself: the others
// keep being answered while the loop sends it more than it takes.
TEST_F(LoopHarness, AClientThatStopsReadingOrVanishesNeverStallsTheOthers) {
    addTcp();
    start();
    LoopbackTcp live(tcpPort_);
    LoopbackTcp stalled(tcpPort_, 4096);
    LoopbackTcp closing(tcpPort_);
    LoopbackTcp vanishing(tcpPort_);
    for (LoopbackTcp* c : {&live, &stalled, &closing, &vanishing}) {
        ASSERT_TRUE(c->send("#\r"));
        if (c != &stalled) {
            ASSERT_EQ(c->until("\r\n"), "~01@ OK\r\n");
        }
    }
    ASSERT_TRUE(waitFor([&] { return Listeners::Instance().TcpClientCount() == 4; }, 3000));
    vanishing.reset();
    ::shutdown(closing.fd(), SHUT_RDWR);

    const std::string big = "~01@" + std::string(3990, 'x') + "\r\n";
    auto count = [&](const std::string& text) {
        size_t n = 0;
        for (size_t at = text.find(big); at != std::string::npos; at = text.find(big, at + big.size())) ++n;
        return n;
    };
    Clock::duration slowest{};
    size_t posted = 0, got = 0;
    int pings = 0;
    while (removed(TCP_CLIENT) < 3 && posted < 4000) {
        for (int i = 0; i < 20; ++i, ++posted) post(TCP_CLIENT, big, false);
        const std::string ping = "ping" + std::to_string(pings++);
        auto t0 = Clock::now();
        ASSERT_TRUE(live.send("#ECHO " + ping + "\r"));
        std::string answer = live.until("~01@" + ping + "\r\n", 3000);
        ASSERT_NE(answer, "") << "no answer after " << posted << " texts";
        got += count(answer);
        slowest = std::max(slowest, Clock::now() - t0);
    }
    EXPECT_EQ(removed(TCP_CLIENT), 3u) << "after " << posted << " texts of 4 KiB";
    std::printf("stalled client dropped after %zu texts of 4 KiB; slowest answer %lld us\n", posted,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(slowest).count()));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count(), 500);
    EXPECT_TRUE(stalled.closedByPeer(5000));
    // The survivor gets every text.
    while (got < posted && !live.until(big).empty()) ++got;
    EXPECT_EQ(got, posted);
}

// The 64 KiB bound counts only what waits behind the text in progress: a
// client that reads gets every byte of any reply, also of two asked for at
// once (its next line waits in its socket until the first reply is out).
TEST_F(LoopHarness, RepliesOfAnySizeReachAClientThatReads) {
    addTcp();
    addSerial();
    start();
    auto reply = [](size_t n) { return "~01@" + std::string(n, 'b') + "\r\n"; };
    LoopbackTcp tcp(tcpPort_, 4096);
    ASSERT_TRUE(tcp.send("#BIG 1000000\r"));
    ASSERT_TRUE(tcp.send("#BIG 300000\r"));
    EXPECT_TRUE(tcp.take(1000006, 10000) == reply(1000000));
    EXPECT_TRUE(tcp.take(300006, 10000) == reply(300000));
    ASSERT_TRUE(tcp.send("#\r"));
    EXPECT_EQ(tcp.until("\r\n"), "~01@ OK\r\n");
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());
    ASSERT_TRUE(term.send("#\r"));  // the board sees its user attached
    ASSERT_EQ(term.until("\r\n"), "~01@ OK\r\n");
    ASSERT_TRUE(term.send("#BIG 300000\r"));
    EXPECT_TRUE(term.take(300006, 10000) == reply(300000));
    EXPECT_EQ(removed(TCP_CLIENT), 0u);
}

// A broadcast to a large peer table goes out a bounded number of datagrams
// per round, so no other client waits on it; every peer gets it.
TEST_F(LoopHarness, ABroadcastToManyUdpPeersGoesOutInBoundedRounds) {
    const int port = freePort();
    UDPListener udp(static_cast<uint16_t>(port));
    ASSERT_TRUE(udp.Bind());
    udp.SetParser(&parser_);
    LoopbackUdp first, last;
    auto join = [&](LoopbackUdp& peer) {
        ASSERT_TRUE(peer.send(port, "x"));
        ASSERT_TRUE(udp.Process(clock()));
    };
    join(first);
    for (size_t i = 0; i < 4 * UDPListener::kBroadcastBatch; ++i) {
        LoopbackUdp passing;  // a peer on a port of its own, gone after its datagram
        join(passing);
    }
    join(last);
    ASSERT_TRUE(udp.SendMessage("~01@all\r\n"));
    EXPECT_EQ(first.receive(), "~01@all\r\n");
    EXPECT_EQ(last.receive(100), "");
    EXPECT_TRUE(udp.HasPendingOutput());
    int rounds = 1;
    for (; udp.HasPendingOutput() && rounds < 10; ++rounds) ASSERT_TRUE(udp.Flush());
    EXPECT_GE(rounds, 4);
    EXPECT_FALSE(udp.HasPendingOutput());
    EXPECT_EQ(last.receive(), "~01@all\r\n");
    EXPECT_EQ(first.receive(100), "");
}

// Short of descriptors the loop neither spins on the connection it cannot
// take nor takes the program's last ones: it pauses accepting while none is
// left, closes a connection that would take one of the reserve, and says so
// once per episode, not once per attempt. (Other threads of the test open
// and close files meanwhile: a connection may find one freed.)
TEST_F(LoopHarness, RunningOutOfDescriptorsNeitherSpinsNorStarvesTheRest) {
    addTcp();
    start();
    LoopbackTcp served(tcpPort_);
    ASSERT_TRUE(served.send("#\r"));
    ASSERT_EQ(served.until("\r\n"), "~01@ OK\r\n");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    auto lowestFree = [] {
        const int fd = ::dup(0);
        ::close(fd);
        return static_cast<rlim_t>(fd);
    };
    auto limitTo = [&](rlim_t n) {
        rlimit l = saved;
        l.rlim_cur = n;
        return ::setrlimit(RLIMIT_NOFILE, &l) == 0;
    };
    const int pending = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(pending, 0);
    testing::internal::CaptureStdout();

    // None left, a connection waiting: the loop sleeps and still serves.
    // (Not under the sanitizers: their runtime needs descriptors of its own
    // and, without any, reports faults that are none.)
#ifdef HX40_SANITIZED
    constexpr bool kNoneLeft = false;
#else
    constexpr bool kNoneLeft = true;
#endif
    bool lowered = true, restored = true, answered = true, resumed = true;
    int connected = 0;
    std::chrono::milliseconds spent{0};
    if (kNoneLeft) {
        lowered = limitTo(lowestFree());
        const sockaddr_in to = loopback_detail::loopback(tcpPort_);
        connected = ::connect(pending, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto before = loopCpu();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        spent = loopCpu() - before;
        answered = served.send("#\r") && served.until("\r\n") == "~01@ OK\r\n";
        restored = limitTo(saved.rlim_cur);
        LoopbackTcp after(tcpPort_);
        resumed = after.send("#\r") && after.until("\r\n") == "~01@ OK\r\n";
    }
    ::close(pending);

    // A connection that would take one of the reserve is closed. The free
    // descriptors below the highest in use are taken first, so that the
    // next ones are the last below the limit.
    int highest = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec))
        highest = std::max(highest, std::stoi(e.path().filename().string()));
    std::vector<int> holes;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) {
        if (fd > highest) {
            ::close(fd);
            break;
        }
        holes.push_back(fd);
    }
    bool refused = false;
    for (int attempt = 0; attempt < 5 && !refused; ++attempt) {
        // Half the reserve: a descriptor another thread frees meanwhile
        // still leaves the connection's inside the reserve.
        const bool reserved = limitTo(lowestFree() + TCPListener::kDescriptorReserve / 2);
        LoopbackTcp surplus(tcpPort_);
        refused = reserved && surplus.closedByPeer(1000);
        limitTo(saved.rlim_cur);
    }
    for (int fd : holes) ::close(fd);
    LoopbackTcp next(tcpPort_);
    const bool servedAgain = next.send("#\r") && next.until("\r\n") == "~01@ OK\r\n";
    const std::string log = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(lowered && restored);
    EXPECT_EQ(connected, 0);
    EXPECT_LT(spent.count(), 200);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(resumed);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(servedAgain);
    size_t said = 0;
    for (size_t at = log.find("TCPListener: "); at != std::string::npos; at = log.find("TCPListener: ", at + 1)) ++said;
    EXPECT_GE(said, 1u) << log;
    EXPECT_LE(said, 2u) << log;
}

TEST_F(LoopHarness, TheSixtyFifthTcpClientIsClosed) {
    addTcp();
    start();
    std::vector<std::unique_ptr<LoopbackTcp>> clients;
    for (size_t i = 0; i < Listeners::kMaxTcpClients; ++i) {
        clients.push_back(std::make_unique<LoopbackTcp>(tcpPort_));
        ASSERT_TRUE(clients.back()->send("#\r"));
        ASSERT_EQ(clients.back()->until("\r\n"), "~01@ OK\r\n") << "client " << i + 1;
    }
    LoopbackTcp surplus(tcpPort_);
    EXPECT_TRUE(surplus.closedByPeer());
    for (auto& c : clients) {
        ASSERT_TRUE(c->send("#\r"));
        EXPECT_EQ(c->until("\r\n"), "~01@ OK\r\n");
    }
    // The cap counts connections held, not connections ever made.
    clients.front()->reset();
    ASSERT_TRUE(waitRemoved(TCP_CLIENT, 1));
    LoopbackTcp next(tcpPort_);
    ASSERT_TRUE(next.send("#\r"));
    EXPECT_EQ(next.until("\r\n"), "~01@ OK\r\n");
}

// 3601 s of silence closes a TCP client and forgets a UDP peer at the next
// idle check; 3600 s does not. The serial port only loses its unfinished line.
TEST_F(LoopHarness, IdleClientsAreClosedAndIdlePeersForgottenAfterAnHour) {
    addTcp();
    addUdp();
    addSerial();
    setClock(1000);
    start();

    LoopbackTcp early(tcpPort_);
    LoopbackUdp earlyPeer;
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());
    ASSERT_TRUE(early.send("#\r"));
    ASSERT_EQ(early.until("\r\n"), "~01@ OK\r\n");
    ASSERT_TRUE(earlyPeer.send(udpPort_, "#\r"));
    ASSERT_EQ(earlyPeer.receive(), "~01@ OK\r\n");
    ASSERT_TRUE(term.send("#ECHO unfinished"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // read at 1000

    setClock(1001);
    LoopbackTcp late(tcpPort_);
    LoopbackUdp latePeer;
    ASSERT_TRUE(late.send("#\r"));
    ASSERT_EQ(late.until("\r\n"), "~01@ OK\r\n");
    ASSERT_TRUE(latePeer.send(udpPort_, "#\r"));
    ASSERT_EQ(latePeer.receive(), "~01@ OK\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    setClock(1000 + 3601);
    EXPECT_TRUE(early.closedByPeer());
    EXPECT_EQ(removed(TCP_CLIENT), 1u);
    post(UDP_SERVER, "~01@U\r\n", false);
    EXPECT_EQ(latePeer.receive(), "~01@U\r\n");
    EXPECT_EQ(earlyPeer.receive(300), "");
    ASSERT_TRUE(late.send("#\r"));
    EXPECT_EQ(late.until("\r\n"), "~01@ OK\r\n");
    ASSERT_TRUE(term.send("\r#ECHO fresh\r"));
    EXPECT_EQ(term.until("~01@fresh\r\n"), "~01@fresh\r\n");
    EXPECT_EQ(removed(SERIAL), 0u);

    // A forgotten peer is a new peer when it comes back.
    ASSERT_TRUE(earlyPeer.send(udpPort_, "#\r"));
    EXPECT_EQ(earlyPeer.receive(), "~01@ OK\r\n");
    post(UDP_SERVER, "~01@V\r\n", false);
    EXPECT_EQ(earlyPeer.receive(), "~01@V\r\n");
    EXPECT_EQ(latePeer.receive(), "~01@V\r\n");
}

TEST_F(LoopHarness, WebLinesAreTakenWholeInOrderWithTheirClientIds) {
    addWebsocket();
    start();
    Replies expected;
    for (int i = 0; i < 70; ++i) {  // more than one round takes
        webLine(1 + i % 2, "#ECHO w" + std::to_string(i) + "\r");
        expected.emplace_back("~01@w" + std::to_string(i) + "\r\n", 1 + i % 2);
    }
    // A line as long as a record holds is parsed whole.
    const std::string y(kWsTextMax - 7, 'y');
    webLine(3, "#ECHO " + y + "\r");
    expected.emplace_back("~01@" + y + "\r\n", 3);
    ASSERT_TRUE(waitFor([&] { return webReplies().size() >= expected.size(); }, 5000));
    EXPECT_EQ(webReplies(), expected);
    EXPECT_EQ(ws_msg_cli_to_srv_id(), 3u);
    _WSMSG tooLong;
    EXPECT_EQ(setWsText(tooLong, std::string(kWsTextMax + 1, 'z').c_str(), kWsTextMax + 1), -1);
}

TEST_F(LoopHarness, TheSerialPortReopensAtANewSpeedAndKeepsAnswering) {
    addSerial();
    start();
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());
    for (const char* speed : {"0", "1", "0"}) {
        ASSERT_TRUE(term.send(std::string("#SPEED ") + speed + "\r"));
        EXPECT_EQ(term.until("\r\n"), std::string("~01@SPEED ") + speed + " OK\r\n");
        ASSERT_TRUE(term.send("#ECHO still\r"));
        EXPECT_EQ(term.until("\r\n"), "~01@still\r\n");
    }
    EXPECT_EQ(removed(SERIAL), 0u);
}

TEST_F(LoopHarness, ADetachedSerialPortIsDeletedOnceAndFallsSilent) {
    addTcp();
    addSerial();
    start();
    SerialTerminal term(board_.root(), "ttyS0");
    ASSERT_TRUE(term.ok());
    LoopbackTcp tcp(tcpPort_);
    ASSERT_TRUE(tcp.send("#DETACH\r"));
    EXPECT_EQ(tcp.until("\r\n"), "~01@DETACH\r\n");
    ASSERT_TRUE(waitRemoved(SERIAL, 1));
    post(SERIAL, "~01@gone\r\n", true);
    EXPECT_EQ(tcp.until("\r\n"), "~01@gone\r\n");
    ASSERT_TRUE(term.send("#\r"));
    EXPECT_EQ(term.drain(300), "");
    EXPECT_EQ(removed(SERIAL), 1u);
}
