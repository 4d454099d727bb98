#include "platform/sim/ctl.h"

#include "platform/fdio.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace board::sim::ctl {
namespace {

struct Command {
    std::string usage;
    Handler handler;
};

std::mutex gMutex;
std::map<std::string, Command>& commands() {
    static std::map<std::string, Command> m;
    return m;
}
std::vector<std::pair<std::string, std::function<std::string()>>>& states() {
    static std::vector<std::pair<std::string, std::function<std::string()>>> v;
    return v;
}

std::vector<std::pair<std::string, std::function<std::string()>>>& snapshots() {
    static std::vector<std::pair<std::string, std::function<std::string()>>> v;
    return v;
}

int gListen = -1;
int gWake[2] = {-1, -1};
std::thread gThread;
std::string gSocketPath;

bool fillAddress(const std::string& path, sockaddr_un& a) {
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    if (path.size() >= sizeof a.sun_path) return false;
    std::memcpy(a.sun_path, path.c_str(), path.size());
    return true;
}

// Reads until '\n' or EOF, at most 4 KiB, within timeoutMs.
bool readLine(int fd, std::string& line, int timeoutMs) {
    char buf[512];
    while (line.size() < 4096) {
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return !line.empty();
        line.append(buf, static_cast<size_t>(n));
        size_t nl = line.find('\n');
        if (nl != std::string::npos) {
            line.erase(nl);
            return true;
        }
    }
    return false;
}

void serve() {
    prctl(PR_SET_NAME, "SIMCTL", 0, 0, 0);
    for (;;) {
        pollfd p[2] = {{gListen, POLLIN, 0}, {gWake[0], POLLIN, 0}};
        int r = ::poll(p, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || (p[1].revents & POLLIN)) return;
        if (!(p[0].revents & POLLIN)) continue;
        int c = ::accept4(gListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        std::string line;
        if (readLine(c, line, 2000)) {
            std::string reply = dispatch(line);
            if (reply.empty() || reply.back() != '\n') reply += '\n';
            board::sendFully(c, reply.data(), reply.size());
        }
        ::close(c);
    }
}

std::string help() {
    std::lock_guard lock(gMutex);
    std::string out = "OK commands:\n  snapshot                  write what the board shows now (OSD pictures, LEDs)\n"
                      "  state                     the state of the board's devices\n";
    for (const auto& [word, c] : commands()) out += "  " + c.usage + "\n";
    return out;
}

std::string state() {
    std::vector<std::pair<std::string, std::function<std::string()>>> copy;
    {
        std::lock_guard lock(gMutex);
        copy = states();
    }
    std::string out = "OK\n";
    for (const auto& [name, fn] : copy) {
        out += "[" + name + "]\n";
        std::string body = fn();
        if (!body.empty() && body.back() != '\n') body += '\n';
        out += body;
    }
    return out;
}

std::string snapshot() {
    std::vector<std::pair<std::string, std::function<std::string()>>> copy;
    {
        std::lock_guard lock(gMutex);
        copy = snapshots();
    }
    if (copy.empty()) return "ERR nothing to snapshot";
    std::string out = "OK";
    for (size_t i = 0; i < copy.size(); ++i) out += (i ? ", " : " ") + copy[i].second();
    return out;
}

template <class List, class Fn>
void addNamed(List& v, const std::string& name, Fn fn) {
    auto it = std::find_if(v.begin(), v.end(), [&](const auto& e) { return e.first == name; });
    if (it != v.end()) it->second = std::move(fn);
    else v.emplace_back(name, std::move(fn));
}

}  // namespace

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        size_t j = i;
        while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

void add(const std::string& word, const std::string& usage, Handler handler) {
    std::lock_guard lock(gMutex);
    commands()[word] = Command{usage, std::move(handler)};
}

void addState(const std::string& name, std::function<std::string()> fn) {
    std::lock_guard lock(gMutex);
    addNamed(states(), name, std::move(fn));
}

void addSnapshot(const std::string& name, std::function<std::string()> fn) {
    std::lock_guard lock(gMutex);
    addNamed(snapshots(), name, std::move(fn));
}

std::string dispatch(const std::string& line) {
    std::vector<std::string> args = splitWords(line);
    if (args.empty()) return "ERR empty request";
    if (args[0] == "help") return help();
    if (args[0] == "state") return state();
    if (args[0] == "snapshot") return snapshot();
    Handler h;
    {
        std::lock_guard lock(gMutex);
        auto it = commands().find(args[0]);
        if (it == commands().end()) return "ERR unknown command '" + args[0] + "' (try: help)";
        h = it->second.handler;
    }
    return h(args);
}

bool start(const std::string& socketPath, std::string* error) {
    sockaddr_un a;
    if (!fillAddress(socketPath, a)) {
        if (error) *error = "control socket path too long: " + socketPath;
        return false;
    }
    ::unlink(socketPath.c_str());
    gListen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (gListen < 0 || ::bind(gListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(gListen, 8) != 0 ||
        ::pipe2(gWake, O_CLOEXEC) != 0) {
        if (error) *error = std::string("control socket: ") + std::strerror(errno);
        if (gListen >= 0) ::close(gListen);
        gListen = -1;
        return false;
    }
    gSocketPath = socketPath;
    gThread = std::thread(serve);
    return true;
}

void stop() {
    if (gListen < 0) return;
    (void)!::write(gWake[1], "x", 1);
    if (gThread.joinable()) gThread.join();
    ::close(gListen);
    ::close(gWake[0]);
    ::close(gWake[1]);
    gListen = gWake[0] = gWake[1] = -1;
    ::unlink(gSocketPath.c_str());
}

bool request(const std::string& root, const std::string& line, std::string& reply, int timeoutMs) {
    sockaddr_un a;
    if (!fillAddress(root + "/run/simctl.sock", a)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return false;
    }
    const std::string sent = line + "\n";
    board::sendFully(fd, sent.data(), sent.size());
    reply.clear();
    char buf[4096];
    bool ok = true;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = false;
            break;
        }
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        reply.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok && !reply.empty();
}

}  // namespace board::sim::ctl
