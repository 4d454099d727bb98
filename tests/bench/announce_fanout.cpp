// The time from one notification (p7kEvAnnounceInt with verbose mode on)
// to its arrival at 32 web clients and 32 TCP clients, through the protocol
// thread's poll loop and the web server thread, against a minimal poll-based
// server that writes the same line to 64 TCP connections when it is woken,
// measured in the same run. The counter "ratio" is the notification's time
// over the reference's.
#include "commands/notifications.h"
#include "commands/p7k_thread.h"
#include "platform/sim/board_conf.h"
#include "protocol/ws_server.h"
#include "support/sim_device.h"
#include "support/temp_board.h"
#include "sys/msgq.h"
#include "unit/protocol/web_client.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kClients = 32;

// Waits until each of the connections received a text ending in needle;
// the time of the last arrival, or the zero time-point on a time-out.
Clock::time_point lastArrival(std::vector<std::unique_ptr<hx40test::LoopbackTcp>>& conns, const std::string& needle) {
    Clock::time_point last{};
    for (auto& c : conns) {
        if (c->until(needle, 3000).empty()) return {};
        last = std::max(last, Clock::now());
    }
    return last;
}

// The reference: on each wake-up byte, one write of the line to every
// accepted connection.
class FanoutServer {
public:
    FanoutServer() : port_(hx40test::freePort(SOCK_STREAM)), listener_(port_, 128) {
        if (!listener_.ok() || ::pipe2(wake_, O_CLOEXEC) != 0) port_ = 0;
        std::thread([this] { run(); }).detach();
    }
    int port() const { return port_; }
    void announce(const std::string& line) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            line_ = line;
        }
        (void)!::write(wake_[1], "1", 1);
    }

private:
    void run() {
        std::vector<pollfd> fds{{listener_.fd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[0].revents & POLLIN) {
                int fd = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) fds.push_back({fd, 0, 0});
            }
            if (fds[1].revents & POLLIN) {
                char byte;
                (void)!::read(wake_[0], &byte, 1);
                std::string line;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    line = line_;
                }
                for (size_t i = 2; i < fds.size(); ++i) ::send(fds[i].fd, line.data(), line.size(), MSG_NOSIGNAL);
            }
        }
    }
    int port_;
    hx40test::LoopbackListener listener_;
    int wake_[2] = {-1, -1};
    std::mutex mutex_;
    std::string line_;
};

// The program's protocol thread and web server on a temporary board, with
// verbose mode on, 32 web clients and 32 TCP clients.
class Device {
public:
    Device() {
        create_message_queues();
        tcpPort_ = hx40test::freePort(SOCK_STREAM);
        wsPort_ = hx40test::freePort(SOCK_STREAM);
        board::sim::mutableConf().set("tcp_port", std::to_string(tcpPort_));
        board::sim::mutableConf().set("udp_port", std::to_string(hx40test::freePort(SOCK_DGRAM)));
        board::sim::mutableConf().set("ws_port", std::to_string(wsPort_));
        NorvaCommands::InitP7k();
        std::thread([] { lws_service_task(nullptr); }).detach();
        gVerboseMode = 1;
        web_ = std::make_unique<hx40test::WebClients>(wsPort_);
        // The server thread needs a moment before it takes connections.
        for (int i = 0; i < 200 && hx40test::httpGet(wsPort_, "/").status == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (int i = 0; i < kClients; ++i) ids_.push_back(web_->open());
        for (int i = 0; i < kClients; ++i) {
            auto c = std::make_unique<hx40test::LoopbackTcp>(tcpPort_);
            c->send("#\r");
            if (c->until("~01@ OK\r\n").empty()) return;
            tcp_.push_back(std::move(c));
        }
    }
    bool ready() const {
        return tcp_.size() == kClients && ids_.size() == kClients &&
               std::none_of(ids_.begin(), ids_.end(), [](int id) { return id < 0; });
    }
    // Seconds from the notification to its last arrival; 0 on a time-out.
    double announce(int value) {
        const std::string line = "~01@Y 0,31," + std::to_string(value) + "\r\n";
        const auto t0 = Clock::now();
        p7kEvAnnounceInt(31, value, 0);
        Clock::time_point last = lastArrival(tcp_, line);
        for (int id : ids_) {
            Clock::time_point at = web_->arrival(id, line, 3000);
            if (at == Clock::time_point{} || last == Clock::time_point{}) return 0;
            last = std::max(last, at);
        }
        return std::chrono::duration<double>(last - t0).count();
    }

private:
    hx40test::TempBoard board_{true, true};
    int tcpPort_ = 0;
    int wsPort_ = 0;
    std::unique_ptr<hx40test::WebClients> web_;
    std::vector<int> ids_;
    std::vector<std::unique_ptr<hx40test::LoopbackTcp>> tcp_;
};

class Reference {
public:
    Reference() {
        for (int i = 0; i < 2 * kClients; ++i)
            conns_.push_back(std::make_unique<hx40test::LoopbackTcp>(server_.port()));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // every connection accepted
    }
    double announce(int value) {
        const std::string line = "~01@Y 0,31," + std::to_string(value) + "\r\n";
        const auto t0 = Clock::now();
        server_.announce(line);
        Clock::time_point last = lastArrival(conns_, line);
        return last == Clock::time_point{} ? 0 : std::chrono::duration<double>(last - t0).count();
    }

private:
    FanoutServer server_;
    std::vector<std::unique_ptr<hx40test::LoopbackTcp>> conns_;
};

void BM_AnnounceTo32WebAnd32Tcp(benchmark::State& state) {
    static Device device;
    static Reference reference;
    if (!device.ready()) {
        state.SkipWithError("the clients could not connect");
        return;
    }
    double announced = 0, referenced = 0;
    int value = 0;
    for (auto _ : state) {
        const double a = device.announce(++value), r = reference.announce(value);
        if (a == 0 || r == 0) {
            state.SkipWithError("a client did not receive the line");
            return;
        }
        announced += a;
        referenced += r;
        state.SetIterationTime(a);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["announce_ms"] = 1000 * announced / n;
    state.counters["reference_ms"] = 1000 * referenced / n;
    state.counters["ratio"] = announced / referenced;
}

}  // namespace

BENCHMARK(BM_AnnounceTo32WebAnd32Tcp)->Iterations(200)->Unit(benchmark::kMicrosecond)->UseManualTime();

BENCHMARK_MAIN();
