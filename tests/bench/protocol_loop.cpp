// Round trips of "#\r" over loopback TCP through the control protocol's poll
// loop, for 1 and for 32 concurrent clients, against a minimal poll-based
// echo server measured in the same run. The counter "ratio" is the loop's
// rate over the echo server's.
#include "protocol/listeners.h"
#include "protocol/parser.h"
#include "support/sim_device.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The reference: accept, read, write back what was read.
class EchoServer {
public:
    EchoServer() {
        port_ = hx40test::freePort(SOCK_STREAM);
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port_));
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 64) != 0) port_ = 0;
        thread_ = std::thread([this] { run(); });
        thread_.detach();
    }
    int port() const { return port_; }

private:
    void run() {
        std::vector<pollfd> fds{{listen_, POLLIN, 0}};
        char buf[1024];
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            for (size_t i = fds.size(); i-- > 1;) {
                if (!(fds[i].revents & (POLLIN | POLLERR | POLLHUP))) continue;
                ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
                if (n > 0 && ::send(fds[i].fd, buf, static_cast<size_t>(n), MSG_NOSIGNAL) == n) continue;
                ::close(fds[i].fd);
                fds.erase(fds.begin() + static_cast<long>(i));
            }
            if (fds[0].revents & POLLIN) {
                int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) fds.push_back({fd, POLLIN, 0});
            }
        }
    }
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// The control protocol: a parser and a TCP listener in the registry, the
// loop on its own thread, as the protocol thread runs it.
class ProtocolLoop {
public:
    ProtocolLoop() {
        auto& registry = Communication::Listeners::Instance();
        registry.SetParser(&parser_);
        port_ = hx40test::freePort(SOCK_STREAM);
        auto* listener = new Communication::TCPListener(static_cast<uint16_t>(port_));
        if (!listener->Bind()) port_ = 0;
        registry.AddListener(listener);
        thread_ = std::thread([] { Communication::Listeners::Instance().Run(); });
    }
    ~ProtocolLoop() {
        Communication::Listeners::Instance().Stop();
        thread_.join();
    }
    int port() const { return port_; }

private:
    Protocol7700::Parser parser_;
    std::thread thread_;
    int port_ = 0;
};

int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Each client keeps one request outstanding; returns round trips per second,
// or 0 when a server stops answering.
double roundTrips(int port, int clients, int total, size_t replySize) {
    std::vector<pollfd> fds;
    std::vector<size_t> pending(static_cast<size_t>(clients), 0);
    char buf[4096];
    for (int i = 0; i < clients; ++i) {
        int fd = connectTo(port);
        if (fd < 0) return 0;
        // One round trip first: the connection is then surely served.
        if (::send(fd, "#\r", 2, 0) != 2) return 0;
        size_t got = 0;
        while (got < replySize) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return 0;
            got += static_cast<size_t>(n);
        }
        fds.push_back({fd, POLLIN, 0});
    }
    auto t0 = std::chrono::steady_clock::now();
    int sent = 0, done = 0;
    for (auto& f : fds)
        if (sent < total && ::send(f.fd, "#\r", 2, 0) == 2) ++sent;
    while (done < total) {
        if (::poll(fds.data(), fds.size(), 2000) <= 0) break;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
            if (n <= 0) continue;
            pending[i] += static_cast<size_t>(n);
            while (pending[i] >= replySize) {
                pending[i] -= replySize;
                ++done;
                if (sent < total && ::send(fds[i].fd, "#\r", 2, 0) == 2) ++sent;
            }
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (auto& f : fds) ::close(f.fd);
    return done < total ? 0 : total / seconds;
}

void BM_RoundTripRatio(benchmark::State& state) {
    static EchoServer echo;
    static ProtocolLoop loop;
    const int clients = static_cast<int>(state.range(0));
    const int total = clients > 1 ? 100000 : 20000;
    double loopRate = 0, echoRate = 0;
    // Alternate which server goes first, so that warming up favours neither.
    bool loopFirst = false;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == loopFirst) loopRate += roundTrips(loop.port(), clients, total, 9);  // "~01@ OK\r\n"
            else echoRate += roundTrips(echo.port(), clients, total, 2);                           // "#\r" back
        }
        loopFirst = !loopFirst;
    }
    if (loopRate == 0 || echoRate == 0) state.SkipWithError("a server stopped answering");
    const double n = static_cast<double>(state.iterations());
    state.counters["hx40_per_s"] = loopRate / n;
    state.counters["echo_per_s"] = echoRate / n;
    state.counters["ratio"] = echoRate > 0 ? loopRate / echoRate : 0;
}

}  // namespace

BENCHMARK(BM_RoundTripRatio)
    ->ArgName("clients")
    ->Arg(1)
    ->Arg(32)
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
