// hx40_bench [--runs N] [--quick] [--only protocol,fanout,md5,menu]
// Measures the program's real paths against bare baselines in the same run
// and prints one table: work, program, baseline, ratio (min/median/max of
// the runs) and the goal. Exit status 1 when a goal was missed.
#include "bench.h"
#include "platform/fdio.h"
#include "support/sim_device.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {
std::vector<Row> gRows;

bool meets(const std::string& goal, double value) {
    if (goal.size() < 3) return true;
    const double limit = std::strtod(goal.c_str() + 2, nullptr);
    return goal.compare(0, 2, ">=") == 0 ? value >= limit : value <= limit;
}

std::string fixed(double v, int digits) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", digits, v);
    return b;
}

std::string selfDir() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string p(buf, static_cast<size_t>(n));
    return p.substr(0, p.rfind('/'));
}

// The /proc/PID/task/TID folder of the thread named comm ("" = the process).
std::string taskDir(pid_t pid, const std::string& comm) {
    const std::string base = "/proc/" + std::to_string(pid);
    if (comm.empty()) return base;
    DIR* d = ::opendir((base + "/task").c_str());
    if (!d) return "";
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string dir = base + "/task/" + e->d_name;
        std::ifstream in(dir + "/comm");
        std::string name;
        std::getline(in, name);
        if (name == comm) {
            found = dir;
            break;
        }
    }
    ::closedir(d);
    return found;
}
}  // namespace

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double median(std::vector<double> v) { return quantile(std::move(v), 0.5); }

double quantile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(p * static_cast<double>(v.size()));
    if (rank >= v.size()) rank = v.size() - 1;
    return v[rank];
}

bool Options::wants(const std::string& section) const {
    return only.empty() || std::find(only.begin(), only.end(), section) != only.end();
}

void addRow(Row row) {
    gRows.push_back(std::move(row));
    const Row& r = gRows.back();
    std::fprintf(stderr, "  %s: %s vs %s, ratio %s\n", r.work.c_str(), r.program.c_str(), r.baseline.c_str(),
                 r.ratios.empty() ? "-" : fixed(median(r.ratios), 2).c_str());
}

bool printTable() {
    const std::vector<std::string> header = {"work", "program", "baseline", "ratio min / median / max", "goal", "met"};
    std::vector<size_t> w;
    for (const std::string& h : header) w.push_back(h.size());
    std::vector<std::vector<std::string>> cells;
    bool allMet = true;
    for (const Row& r : gRows) {
        std::string ratio = "-", met = "";
        if (!r.ratios.empty()) {
            auto [lo, hi] = std::minmax_element(r.ratios.begin(), r.ratios.end());
            ratio = fixed(*lo, 2) + " / " + fixed(median(r.ratios), 2) + " / " + fixed(*hi, 2);
        }
        const std::vector<double>& judged = r.values.empty() ? r.ratios : r.values;
        if (!r.goal.empty()) {
            const bool ok = !judged.empty() && meets(r.goal, median(judged));
            met = ok ? "yes" : "NO";
            allMet = allMet && ok;
        }
        std::vector<std::string> c = {r.work, r.program, r.baseline, ratio, r.goal.empty() ? "" : r.goal, met};
        for (size_t i = 0; i < c.size(); ++i) w[i] = std::max(w[i], c[i].size());
        cells.push_back(std::move(c));
    }
    auto line = [&](const std::vector<std::string>& c) {
        std::string out = "|";
        for (size_t i = 0; i < c.size(); ++i) out += " " + c[i] + std::string(w[i] - c[i].size(), ' ') + " |";
        std::puts(out.c_str());
    };
    line(header);
    std::string rule = "|";
    for (size_t x : w) rule += std::string(x + 2, '-') + "|";
    std::puts(rule.c_str());
    for (const auto& c : cells) line(c);
    for (const Row& r : gRows)
        if (!r.note.empty()) std::printf("note: %s: %s\n", r.work.c_str(), r.note.c_str());
    return allMet;
}

std::string rate(double perSecond) {
    if (perSecond >= 1e6) return fixed(perSecond / 1e6, 2) + " M/s";
    if (perSecond >= 1e3) return fixed(perSecond / 1e3, 1) + " k/s";
    return fixed(perSecond, 0) + " /s";
}

std::string micros(double us) { return us >= 1000 ? fixed(us / 1000, 2) + " ms" : fixed(us, 0) + " us"; }
std::string millis(double ms) { return fixed(ms, 1) + " ms"; }

int listenLoopback(int port, int backlog) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int connectLoopback(int port, int receiveBuffer) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
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

bool startDevice(hx40test::SimDevice& device, const char* section) {
    std::fprintf(stderr, "%s: starting the program\n", section);
    std::string why;
    if (device.start({}, &why)) return true;
    std::fprintf(stderr, "%s: %s\n", section, why.c_str());
    return false;
}

bool sendAll(int fd, const std::string& text) {
    return board::sendFully(fd, text.data(), text.size()) == text.size();
}

bool readUntil(int fd, std::string& text, const std::string& needle, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[8192];
    while (text.find(needle) == std::string::npos) {
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        text.append(buf, static_cast<size_t>(n));
    }
    return true;
}

bool readBytes(int fd, std::string& text, size_t n, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[8192];
    while (text.size() < n) {
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) return false;
        text.append(buf, static_cast<size_t>(got));
    }
    return true;
}

Child::Child(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    const std::string path = selfDir() + "/" + program;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string said;
    ready_ = pid_ > 0 && readUntil(out[0], said, "ready\n", 5000);
    ::close(out[0]);
}

Child::~Child() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int st = 0;
    ::waitpid(pid_, &st, 0);
}

uint64_t threadCpuNs(pid_t pid, const std::string& comm) {
    const std::string dir = taskDir(pid, comm);
    if (dir.empty()) return 0;
    std::ifstream in(dir + "/schedstat");
    uint64_t ns = 0;
    in >> ns;
    return ns;
}

uint64_t threadSwitches(pid_t pid, const std::string& comm) {
    const std::string dir = taskDir(pid, comm);
    if (dir.empty()) return 0;
    std::ifstream in(dir + "/status");
    std::string line;
    uint64_t total = 0;
    while (std::getline(in, line))
        if (line.find("ctxt_switches:") != std::string::npos)
            total += std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10);
    return total;
}

uint64_t selfCpuNs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000ULL + static_cast<uint64_t>(t.tv_nsec);
}

}  // namespace bench

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    bench::Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--drive" && i + 5 < argc) {
            bench::driveOnly(std::atoi(argv[i + 1]), argv[i + 2], std::atoi(argv[i + 3]), std::atoi(argv[i + 4]),
                             std::atof(argv[i + 5]));
            return 0;
        } else if (a == "--quick") {
            o.quick = true;
        } else if (a == "--only" && i + 1 < argc) {
            std::stringstream list(argv[++i]);
            for (std::string s; std::getline(list, s, ',');) o.only.push_back(s);
        } else {
            std::fprintf(stderr, "usage: %s [--runs N] [--quick] [--only protocol,fanout,md5,menu] | --drive PORT LINE CLIENTS DEPTH SECONDS\n", argv[0]);
            return 2;
        }
    }
    if (o.wants("protocol")) bench::protocolBench(o);
    if (o.wants("fanout")) bench::fanoutBench(o);
    if (o.wants("md5")) bench::md5Bench(o);
    if (o.wants("menu")) bench::menuBench(o);
    return bench::printTable() ? 0 : 1;
}
