// hx40-sim: prepares a simulated board, runs the program on it, and lets a
// person or a test drive it (keys, inputs, USB key, faults) and look at it.
#include "platform/board.h"
#include "platform/exec.h"
#include "platform/msgq.h"
#include "platform/sim/ctl.h"
#include "platform/sim/panel_sim.h"
#include "platform/sim/sim_board.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

std::string exeDir() { return board::sim::installDir(); }

int usage() {
    std::fprintf(stderr,
                 "usage: hx40-sim init ROOT [--tcp PORT] [--udp PORT] [--ws PORT] [--tunnel PORT] [--verbose]\n"
                 "       hx40-sim run ROOT [--keys] [--once]\n"
                 "       hx40-sim ctl ROOT COMMAND...      (hx40-sim ctl ROOT help lists them)\n"
                 "       hx40-sim term ROOT ttyS0|ttyS2|ttyS3\n"
                 "       hx40-sim clean ROOT\n");
    return 2;
}

long livePid(const std::string& root) {
    std::ifstream in(root + "/run/app.pid");
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return 0;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 ? pid : 0;
}

int cmdInit(const Args& a) {
    board::sim::InitOptions o;
    o.shareDir = (fs::path(exeDir()).parent_path() / "share/hx40").string();
    for (size_t i = 3; i < a.size(); ++i) {
        // The tunnel takes ports up to 64000 only, as its settings do.
        auto port = [&](int& out, long highest = 65535) {
            if (i + 1 >= a.size()) return false;
            char* end = nullptr;
            long v = std::strtol(a[++i].c_str(), &end, 10);
            if (*end || v < 1 || v > highest) return false;
            out = static_cast<int>(v);
            return true;
        };
        bool ok = (a[i] == "--tcp" && port(o.tcpPort)) || (a[i] == "--udp" && port(o.udpPort)) ||
                  (a[i] == "--ws" && port(o.wsPort)) || (a[i] == "--tunnel" && port(o.tunnelPort, 64000)) ||
                  (a[i] == "--verbose" && (o.verbose = true));
        if (!ok) return usage();
    }
    std::string error;
    if (!board::sim::prepareRoot(a[2], o, &error)) {
        std::fprintf(stderr, "hx40-sim init: %s\n", error.c_str());
        return 1;
    }
    std::printf("board prepared at %s\n", fs::absolute(a[2]).string().c_str());
    return 0;
}

int cmdClean(const std::string& root) {
    if (long pid = livePid(root)) {
        std::fprintf(stderr, "hx40-sim clean: the program is running (pid %ld); stop it first\n", pid);
        return 1;
    }
    int n = board::msgq::removeListed(root);
    ::unlink((root + "/run/app.pid").c_str());
    ::unlink((root + "/run/simctl.sock").c_str());
    ::unlink((root + board::sim::kStoppedMark).c_str());
    std::printf("removed %d message queue(s)\n", n);
    return 0;
}

volatile sig_atomic_t gChild = 0;
volatile sig_atomic_t gStop = 0;

void forwardStop(int) {
    gStop = 1;
    if (gChild > 0) ::kill(gChild, SIGTERM);
}

// With --keys the terminal drives the front panel while the program runs;
// returns when the child ended (its wait status in status).
void driveWithKeys(const std::string& root, pid_t pid, int& status) {
    termios saved{};
    bool tty = ::isatty(0) && ::tcgetattr(0, &saved) == 0;
    if (tty) {
        termios raw = saved;
        ::cfmakeraw(&raw);
        raw.c_oflag |= OPOST;  // keep the program's line ends readable
        ::tcsetattr(0, TCSANOW, &raw);
    }
    std::string pending;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid) break;
        pollfd p{0, POLLIN, 0};
        if (!tty || ::poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) {
            if (!tty) ::usleep(50000);
            continue;
        }
        char buf[64];
        ssize_t n = ::read(0, buf, sizeof buf);
        if (n <= 0) continue;
        pending.append(buf, static_cast<size_t>(n));
        while (!pending.empty()) {
            size_t used = 0;
            std::string line = board::sim::panel::terminalKeyCommand(pending, used);
            pending.erase(0, used ? used : 1);
            std::string reply;
            if (!line.empty()) board::sim::ctl::request(root, line, reply, 2000);
        }
    }
    if (tty) ::tcsetattr(0, TCSANOW, &saved);
}

int cmdRun(const Args& a) {
    std::string root = a[2];
    bool once = false;
    bool driveKeys = false;
    for (size_t i = 3; i < a.size(); ++i) {
        if (a[i] == "--once") once = true;
        else if (a[i] == "--keys") driveKeys = true;
        else return usage();
    }
    if (long pid = livePid(root)) {
        std::fprintf(stderr, "hx40-sim run: the program already runs on this board (pid %ld)\n", pid);
        return 1;
    }
    board::msgq::removeListed(root);
    board::exec::sandboxProblem();  // says at start why no child program can run, if none can
    std::string app = exeDir() + "/hx40_app";
    // The program's interrupt signal only stops its websocket server once
    // that runs; a person's Ctrl-C here means "stop the device".
    struct sigaction sa {};
    sa.sa_handler = forwardStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    const std::string stoppedMark = root + board::sim::kStoppedMark;
    for (;;) {
        ::unlink(stoppedMark.c_str());
        const auto started = std::chrono::steady_clock::now();
        pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("hx40-sim run: fork");
            return 1;
        }
        if (pid == 0) {
            ::setpgid(0, 0);  // the terminal's Ctrl-C reaches only hx40-sim
            signal(SIGINT, SIG_DFL);
            signal(SIGTERM, SIG_DFL);
            std::vector<char*> argv = {app.data(), const_cast<char*>("--board-root"), root.data()};
            std::string keys = "--keys";
            for (size_t i = 3; i < a.size(); ++i)
                if (a[i] == "--keys") argv.push_back(keys.data());
            argv.push_back(nullptr);
            ::execv(app.c_str(), argv.data());
            std::perror("hx40-sim run: cannot start hx40_app");
            ::_exit(127);
        }
        gChild = pid;
        if (gStop) ::kill(pid, SIGTERM);
        int status = 0;
        if (driveKeys) driveWithKeys(root, pid, status);
        else
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        gChild = 0;
        board::msgq::removeListed(root);
        // The program marks an end it was asked for; a reboot (1) or the
        // power key after power saving (0) is the device starting anew.
        const bool asked = gStop || ::access(stoppedMark.c_str(), F_OK) == 0;
        ::unlink(stoppedMark.c_str());
        if (WIFSIGNALED(status)) {
            std::printf("hx40-sim: hx40_app was killed by signal %d (%s); stopping\n", WTERMSIG(status),
                        strsignal(WTERMSIG(status)));
            return 128 + WTERMSIG(status);
        }
        const int code = WEXITSTATUS(status);
        if (code == 127) {
            std::printf("hx40-sim: hx40_app could not be started; stopping\n");
            return code;
        }
        if ((code == 0 || code == 1) && !asked && !once) {
            std::printf("hx40-sim: the device %s; starting it again\n", code == 1 ? "rebooted" : "was switched on");
            std::fflush(stdout);
            // A program that ends at once at every start would otherwise spin.
            if (std::chrono::steady_clock::now() - started < std::chrono::seconds(2) && !gStop) ::sleep(1);
            if (gStop) return 0;
            continue;
        }
        std::printf("hx40-sim: hx40_app ended with status %d\n", code);
        return code;
    }
}

int cmdCtl(const Args& a) {
    if (a.size() < 4) return usage();
    Args words(a.begin() + 3, a.end());
    // The program runs in another folder: a key's folder goes as an absolute path.
    if (words.size() == 4 && words[0] == "usb" && words[1] == "insert") words[3] = fs::absolute(words[3]).string();
    std::string line;
    for (size_t i = 0; i < words.size(); ++i) line += (i > 0 ? " " : "") + words[i];
    std::string reply;
    if (!board::sim::ctl::request(a[2], line, reply)) {
        std::fprintf(stderr, "hx40-sim ctl: the program does not answer on %s/run/simctl.sock\n", a[2].c_str());
        return 1;
    }
    std::fputs(reply.c_str(), stdout);
    return reply.rfind("OK", 0) == 0 ? 0 : 1;
}

int cmdTerm(const Args& a) {
    if (a.size() != 4) return usage();
    std::string dev = a[2] + "/term/" + a[3];
    int fd = ::open(dev.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "hx40-sim term: cannot open %s: %s (is the program running?)\n", dev.c_str(),
                     std::strerror(errno));
        return 1;
    }
    termios saved{};
    bool tty = ::isatty(0) && ::tcgetattr(0, &saved) == 0;
    if (tty) {
        termios raw = saved;
        ::cfmakeraw(&raw);
        ::tcsetattr(0, TCSANOW, &raw);
        std::fprintf(stderr, "connected to %s; Ctrl-] ends\r\n", a[3].c_str());
    }
    char buf[1024];
    for (;;) {
        pollfd p[2] = {{0, POLLIN, 0}, {fd, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[0].revents & (POLLIN | POLLHUP)) {
            ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) break;
            if (tty && std::memchr(buf, 0x1d, static_cast<size_t>(n))) break;
            (void)!::write(fd, buf, static_cast<size_t>(n));
        }
        if (p[1].revents & POLLIN) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            (void)!::write(1, buf, static_cast<size_t>(n));
        }
    }
    if (tty) ::tcsetattr(0, TCSANOW, &saved);
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Args a(argv, argv + argc);
    if (a.size() < 3) return usage();
    const std::string& cmd = a[1];
    if (cmd == "init") return cmdInit(a);
    if (cmd == "run") return cmdRun(a);
    if (cmd == "ctl") return cmdCtl(a);
    if (cmd == "term") return cmdTerm(a);
    if (cmd == "clean") return cmdClean(a[2]);
    return usage();
}
