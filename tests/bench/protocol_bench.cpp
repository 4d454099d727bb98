// Lines answered per second by the program's control port (the real
// hx40_app on a simulated board, its real command set) against a bare
// poll() server that answers each line with the same bytes, for 1, 8, 32
// and 64 clients, one line at a time or eight pipelined. The load comes
// from up to eight client threads; the note says how busy the busiest was.
#include "bench.h"
#include "support/sim_device.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

constexpr int kMaxClientThreads = 8;

struct Work {
    const char* line;  // without its CR
    int clients;
    int depth;
    const char* goal;  // on the ratio, "" for none
};

// The four loads the targets name first, then the rest of the grid.
const Work kWork[] = {
    {"#Y 1,931", 64, 8, ">= 0.6"}, {"#Y 1,931", 1, 1, ">= 0.85"}, {"#", 1, 8, ">= 0.85"},
    {"#HELP", 64, 8, ">= 0.85"},
};

// The bytes a server answers one request with (everything that arrives
// until it stays quiet).
std::string replyOf(int port, const std::string& request) {
    int fd = connectLoopback(port);
    if (fd < 0) return "";
    std::string reply;
    if (sendAll(fd, request)) readUntil(fd, reply, "\r\n", 3000);
    std::string more;
    while (readUntil(fd, more, "\n", 200)) {
    }
    reply += more;
    ::close(fd);
    return reply;
}

// One connection with a request answered, or -1. The program takes one
// connection per poll round and may still hold closed ones of the last
// measurement: a refused connection is tried again.
int servedConnection(int port, const std::string& request, size_t replyLen) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int fd = connectLoopback(port);
        if (fd >= 0) {
            std::string got;
            if (sendAll(fd, request) && readBytes(fd, got, replyLen, 3000) && got.size() == replyLen) return fd;
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

struct Result {
    double perSecond = 0;
    double busiestClient = 0;  // CPU share of the busiest client thread
};

// Drives `clients` connections from client threads; each connection sends
// `depth` lines in one write and waits for all their replies.
Result drive(int port, const std::string& line, size_t replyLen, int clients, int depth, double measureSeconds) {
    const std::string request = line + "\r";
    std::string batch;
    for (int i = 0; i < depth; ++i) batch += request;
    std::vector<int> fds;
    for (int i = 0; i < clients; ++i) {
        int fd = servedConnection(port, request, replyLen);
        if (fd < 0) break;
        fds.push_back(fd);
    }
    Result r;
    if (static_cast<int>(fds.size()) < clients) {
        for (int fd : fds) ::close(fd);
        return r;
    }
    const int threads = std::min(clients, kMaxClientThreads);
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};
    std::vector<std::atomic<uint64_t>> done(static_cast<size_t>(threads));
    std::vector<std::atomic<uint64_t>> cpu(static_cast<size_t>(threads));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            int ep = ::epoll_create1(EPOLL_CLOEXEC);
            std::vector<size_t> received(fds.size(), 0);
            for (size_t i = static_cast<size_t>(t); i < fds.size(); i += static_cast<size_t>(threads)) {
                epoll_event e{};
                e.events = EPOLLIN;
                e.data.u64 = i;
                ::epoll_ctl(ep, EPOLL_CTL_ADD, fds[i], &e);
                if (!sendAll(fds[i], batch)) failed = true;
            }
            const size_t want = replyLen * static_cast<size_t>(depth);
            char buf[65536];
            epoll_event ev[64];
            // A lone connection is polled without sleeping: its round trips
            // then show the server's wake-up, not the client's too.
            const int wait = clients == 1 ? 0 : 50;
            while (!stop.load(std::memory_order_relaxed) && !failed) {
                int n = ::epoll_wait(ep, ev, 64, wait);
                for (int k = 0; k < n; ++k) {
                    const size_t i = ev[k].data.u64;
                    ssize_t got = ::recv(fds[i], buf, sizeof buf, 0);
                    if (got <= 0) {
                        failed = true;
                        break;
                    }
                    received[i] += static_cast<size_t>(got);
                    if (received[i] < want) continue;
                    received[i] -= want;
                    done[static_cast<size_t>(t)].fetch_add(static_cast<uint64_t>(depth), std::memory_order_relaxed);
                    if (!sendAll(fds[i], batch)) failed = true;
                }
                cpu[static_cast<size_t>(t)].store(selfCpuNs(), std::memory_order_relaxed);
            }
            ::close(ep);
        });
    }
    auto total = [&] {
        uint64_t s = 0;
        for (auto& d : done) s += d.load(std::memory_order_relaxed);
        return s;
    };
    auto cpuNow = [&] {
        std::vector<uint64_t> v;
        for (auto& c : cpu) v.push_back(c.load(std::memory_order_relaxed));
        return v;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // warm-up
    const uint64_t d0 = total();
    const auto c0 = cpuNow();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(measureSeconds));
    const uint64_t d1 = total();
    const auto c1 = cpuNow();
    const double wall = seconds(Clock::now() - t0);
    stop = true;
    for (auto& th : pool) th.join();
    for (int fd : fds) ::close(fd);
    if (failed) return r;
    r.perSecond = static_cast<double>(d1 - d0) / wall;
    for (size_t t = 0; t < c0.size(); ++t)
        r.busiestClient = std::max(r.busiestClient, static_cast<double>(c1[t] - c0[t]) / 1e9 / wall);
    return r;
}

std::string describe(const Work& w) {
    std::string text = std::string("`") + w.line + "`";
    text += ", " + std::to_string(w.clients) + (w.clients == 1 ? " client" : " clients");
    text += w.depth == 1 ? ", not pipelined" : ", " + std::to_string(w.depth) + " pipelined";
    return text;
}

}  // namespace

void driveOnly(int port, const std::string& line, int clients, int depth, double secs) {
    const std::string reply = replyOf(port, line + "\r");
    Result r = drive(port, line, reply.size(), clients, depth, secs);
    std::printf("%s: %.0f lines/s (busiest client thread %.0f%%)\n", line.c_str(), r.perSecond, r.busiestClient * 100);
}

void protocolBench(const Options& o) {
    hx40test::SimDevice device;
    if (!startDevice(device, "protocol")) return;
    const char* lines[] = {"#", "#HELP", "#Y 1,931"};
    std::vector<std::string> replies;
    std::vector<std::unique_ptr<Child>> echoes;
    std::vector<int> echoPorts;
    for (const char* line : lines) {
        replies.push_back(replyOf(device.tcpPort, std::string(line) + "\r"));
        echoPorts.push_back(hx40test::freePort());
        echoes.push_back(std::make_unique<Child>("hx40_bench_echo",
                                                 std::vector<std::string>{std::to_string(echoPorts.back()), replies.back()}));
        if (replies.back().empty() || !echoes.back()->ok()) {
            std::fprintf(stderr, "protocol: no reply to %s or no echo server\n", line);
            return;
        }
    }
    std::vector<Work> grid(std::begin(kWork), std::end(kWork));
    for (const char* line : lines)
        for (int clients : {1, 8, 32, 64})
            for (int depth : {1, 8}) {
                const bool listed = std::any_of(grid.begin(), grid.end(), [&](const Work& w) {
                    return std::string(w.line) == line && w.clients == clients && w.depth == depth;
                });
                if (!listed) grid.push_back({line, clients, depth, ""});
            }
    const double measure = o.quick ? 0.25 : 0.6;
    for (const Work& w : grid) {
        const size_t k = static_cast<size_t>(std::find_if(std::begin(lines), std::end(lines),
                                                          [&](const char* l) { return std::string(l) == w.line; }) -
                                             std::begin(lines));
        std::vector<double> program, baseline, ratios;
        double busiest = 0;
        for (int run = 0; run < o.runs; ++run) {
            Result p, b;
            // Alternate which goes first, so that neither gets the warmer machine.
            if (run % 2 == 0) {
                p = drive(device.tcpPort, w.line, replies[k].size(), w.clients, w.depth, measure);
                b = drive(echoPorts[k], w.line, replies[k].size(), w.clients, w.depth, measure);
            } else {
                b = drive(echoPorts[k], w.line, replies[k].size(), w.clients, w.depth, measure);
                p = drive(device.tcpPort, w.line, replies[k].size(), w.clients, w.depth, measure);
            }
            if (p.perSecond == 0 || b.perSecond == 0) continue;
            program.push_back(p.perSecond);
            baseline.push_back(b.perSecond);
            ratios.push_back(p.perSecond / b.perSecond);
            busiest = std::max({busiest, p.busiestClient, b.busiestClient});
        }
        Row row{describe(w), rate(median(program)), rate(median(baseline)), ratios, w.goal, ""};
        if (ratios.empty()) row.note = "a server stopped answering";
        else if (busiest > 0.8 && w.clients > 1)  // a lone client spins on purpose
            row.note = "a client thread was " + std::to_string(static_cast<int>(busiest * 100)) + "% busy";
        addRow(row);
    }
}

}  // namespace bench
