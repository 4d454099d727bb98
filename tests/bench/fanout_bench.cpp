// The time from a set sent by a TCP client ("#Y 0,4823,v") to the arrival
// of its broadcast reply at the last of the program's clients (32 websocket
// + 32 TCP, and 64 TCP; the sender is one of the TCP clients), against a
// bare poll() relay that copies the line to 64 TCP clients. Arrival times
// are the kernel's receive timestamps of each client socket, so the reader
// never delays them; p50, p99 and max over the sets of all runs.
#include "bench.h"
#include "support/sim_device.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

int64_t realtimeNs() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// A client socket whose reads carry the kernel's receive time.
struct Peer {
    int fd = -1;
    bool websocket = false;
    std::string buffer;  // received, not yet matched
    int64_t arrived = 0;  // receive time of the awaited line, 0 until it came
};

bool stampReceives(int fd) {
    int one = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one) == 0;
}

// A websocket connection on subprotocol "p7k", after its handshake.
int openWebsocket(int port) {
    int fd = connectLoopback(port);
    if (fd < 0) return -1;
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
                                "Sec-WebSocket-Protocol: p7k\r\n\r\n";
    std::string answer;
    if (!sendAll(fd, request) || !readUntil(fd, answer, "\r\n\r\n", 3000) ||
        answer.compare(0, 12, "HTTP/1.1 101") != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The texts of the complete server frames at the start of buffer (which
// keeps an unfinished frame).
std::string takeFrames(std::string& buffer) {
    std::string texts;
    size_t at = 0;
    for (;;) {
        if (buffer.size() - at < 2) break;
        const auto* b = reinterpret_cast<const unsigned char*>(buffer.data() + at);
        size_t head = 2, len = b[1] & 0x7F;
        if (len == 126) {
            if (buffer.size() - at < 4) break;
            len = static_cast<size_t>(b[2]) << 8 | b[3];
            head = 4;
        } else if (len == 127) {
            if (buffer.size() - at < 10) break;
            len = 0;
            for (int i = 2; i < 10; ++i) len = len << 8 | b[i];
            head = 10;
        }
        if (buffer.size() - at < head + len) break;
        texts.append(buffer, at + head, len);
        at += head + len;
    }
    buffer.erase(0, at);
    return texts;
}

// Reads every peer on one thread and notes when each one's awaited line
// came in.
class Arrivals {
public:
    explicit Arrivals(std::vector<Peer>& peers) : peers_(peers) {
        ep_ = ::epoll_create1(EPOLL_CLOEXEC);
        for (size_t i = 0; i < peers_.size(); ++i) {
            epoll_event e{};
            e.events = EPOLLIN;
            e.data.u64 = i;
            ::epoll_ctl(ep_, EPOLL_CTL_ADD, peers_[i].fd, &e);
        }
        thread_ = std::thread([this] { run(); });
    }
    ~Arrivals() {
        stop_ = true;
        thread_.join();
        ::close(ep_);
    }
    // Awaits line at every peer: the latest receive time minus sentAt in
    // microseconds, or -1 when a peer did not get it within timeoutMs.
    double await(const std::string& line, int64_t sentAt, int timeoutMs) {
        std::unique_lock lock(m_);
        const bool all = cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return std::all_of(peers_.begin(), peers_.end(), [](const Peer& p) { return p.arrived != 0; });
        });
        (void)line;
        if (!all) return -1;
        int64_t last = 0;
        for (const Peer& p : peers_) last = std::max(last, p.arrived);
        return static_cast<double>(last - sentAt) / 1000.0;
    }
    // Sets the line awaited next and forgets earlier arrivals.
    void expect(const std::string& line) {
        std::lock_guard lock(m_);
        line_ = line;
        for (Peer& p : peers_) {
            p.arrived = 0;
            p.buffer.clear();
        }
    }
    bool kernelStamps() const { return kernelStamps_; }

private:
    void run() {
        char data[65536];
        char control[512];
        epoll_event ev[128];
        while (!stop_) {
            int n = ::epoll_wait(ep_, ev, 128, 50);
            for (int k = 0; k < n; ++k) {
                Peer& p = peers_[ev[k].data.u64];
                iovec io{data, sizeof data};
                msghdr msg{};
                msg.msg_iov = &io;
                msg.msg_iovlen = 1;
                msg.msg_control = control;
                msg.msg_controllen = sizeof control;
                ssize_t got = ::recvmsg(p.fd, &msg, MSG_DONTWAIT);
                if (got <= 0) continue;
                int64_t at = 0;
                for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c))
                    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec ts{};
                        std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                        at = static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
                    }
                if (at == 0) {
                    at = realtimeNs();
                    kernelStamps_ = false;
                }
                std::lock_guard lock(m_);
                p.buffer.append(data, static_cast<size_t>(got));
                std::string texts = p.websocket ? takeFrames(p.buffer) : p.buffer;
                if (!p.websocket && p.buffer.size() > 4096) p.buffer.erase(0, p.buffer.size() - 1024);
                if (p.arrived == 0 && !line_.empty() && texts.find(line_) != std::string::npos) {
                    p.arrived = at;
                    cv_.notify_all();
                }
            }
        }
    }

    std::vector<Peer>& peers_;
    int ep_ = -1;
    std::atomic<bool> stop_{false};
    bool kernelStamps_ = true;
    std::mutex m_;
    std::condition_variable cv_;
    std::string line_;
    std::thread thread_;
};

struct Latencies {
    std::vector<double> us;  // send to last arrival, one per set
    bool kernelStamps = true;
};

// Sets sent by peers[0], one at a time.
Latencies measure(std::vector<Peer>& peers, int sets) {
    Latencies out;
    Arrivals arrivals(peers);
    for (int i = 0; i < sets; ++i) {
        const std::string value = i % 2 == 0 ? "5" : "6";
        const std::string line = "~01@Y 0,4823," + value + " OK\r\n";
        arrivals.expect(line);
        const int64_t t0 = realtimeNs();
        if (!sendAll(peers[0].fd, "#Y 0,4823," + value + "\r")) return {};
        const double us = arrivals.await(line, t0, 3000);
        if (us < 0) return {};
        out.us.push_back(us);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    out.kernelStamps = arrivals.kernelStamps();
    return out;
}

void closeAll(std::vector<Peer>& peers) {
    for (Peer& p : peers)
        if (p.fd >= 0) ::close(p.fd);
    peers.clear();
}

// tcp TCP clients (each answered "#" once) and ws websocket clients.
bool connectPeers(std::vector<Peer>& peers, int tcpPort, int tcp, int wsPort, int ws) {
    for (int i = 0; i < tcp; ++i) {
        int fd = -1;
        for (int attempt = 0; attempt < 50 && fd < 0; ++attempt) {
            fd = connectLoopback(tcpPort);
            std::string got;
            if (fd >= 0 && (!sendAll(fd, "#\r") || !readUntil(fd, got, "OK\r\n", 3000))) {
                ::close(fd);
                fd = -1;
            }
            if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (fd < 0 || !stampReceives(fd)) return false;
        peers.push_back(Peer{fd, false, {}, 0});
    }
    for (int i = 0; i < ws; ++i) {
        int fd = openWebsocket(wsPort);
        if (fd < 0 || !stampReceives(fd)) return false;
        peers.push_back(Peer{fd, true, {}, 0});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // greetings of new web clients arrive
    char buf[65536];
    for (Peer& p : peers)
        while (::recv(p.fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
        }
    return true;
}

std::string summary(const std::vector<double>& us) {
    return "p50 " + micros(quantile(us, 0.5)) + ", p99 " + micros(quantile(us, 0.99)) + ", max " +
           micros(quantile(us, 1.0));
}

}  // namespace

void fanoutBench(const Options& o) {
    hx40test::SimDevice device;
    if (!startDevice(device, "fan-out")) return;
    const int relayPort = hx40test::freePort();
    Child relay("hx40_bench_relay", {std::to_string(relayPort)});
    if (!relay.ok()) {
        std::fprintf(stderr, "fan-out: the relay does not start\n");
        return;
    }
    const int sets = o.quick ? 40 : 100;
    struct Case {
        const char* work;
        int tcp, ws;
        const char* goal;
    } cases[] = {
        {"one set announced to 32 websocket + 32 TCP clients, send to last arrival", 32, 32, "<= 2.0"},
        {"one set announced to 64 TCP clients, send to last arrival", 64, 0, "<= 1.3"},
    };
    for (const Case& c : cases) {
        std::vector<double> program, baseline, ratios;
        bool stamps = true;
        for (int run = 0; run < o.runs; ++run) {
            Latencies p, b;
            for (int turn = 0; turn < 2; ++turn) {
                std::vector<Peer> peers;
                const bool programTurn = (turn == 0) == (run % 2 == 0);
                const bool ok = programTurn ? connectPeers(peers, device.tcpPort, c.tcp, device.wsPort, c.ws)
                                            : connectPeers(peers, relayPort, 64, 0, 0);
                if (ok) (programTurn ? p : b) = measure(peers, sets);
                closeAll(peers);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the program drops the old clients
            }
            if (p.us.empty() || b.us.empty()) continue;
            stamps = stamps && p.kernelStamps && b.kernelStamps;
            ratios.push_back(median(p.us) / median(b.us));
            program.insert(program.end(), p.us.begin(), p.us.end());
            baseline.insert(baseline.end(), b.us.begin(), b.us.end());
        }
        Row row{c.work, summary(program), summary(baseline), ratios, c.goal, ""};
        if (ratios.empty()) row.note = "a client did not receive the reply";
        else if (!stamps) row.note = "no kernel receive timestamps: times taken when read";
        addRow(row);
    }
}

}  // namespace bench
