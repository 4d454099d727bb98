#include "support/sim_device.h"

#include "platform/msgq.h"
#include "platform/sim/ctl.h"
#include "support/temp_board.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
extern char** environ;

namespace hx40test {

namespace {

// Ports handed to tests lie above the kernel's range for bind(0) and
// outgoing connections (32768 to 60999), so that nothing but another test
// can take one between its choice and the server's bind (a device may take
// seconds to bind), and below 64000, the tunnel's highest. Test processes
// run side by side: a port is claimed by binding an abstract local socket
// named after it, held until the process ends.
constexpr int kFirstPort = 61000;
constexpr int kPorts = 3000;

bool bindable(int port, int sockType) {
    const int fd = ::socket(AF_INET, sockType | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// The claim's descriptor, or -1 when another test process holds the port.
int claim(int port) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const int n = std::snprintf(a.sun_path + 1, sizeof a.sun_path - 1, "hx40-test-port-%d", port);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(n));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0) return fd;
    ::close(fd);
    return -1;
}

}  // namespace

int freePort() {
    static std::mutex m;
    static unsigned next = static_cast<unsigned>(::getpid()) * 7919u;
    std::lock_guard lock(m);
    for (int tries = 0; tries < kPorts; ++tries) {
        const int port = kFirstPort + static_cast<int>(next++ % kPorts);
        const int held = claim(port);
        if (held < 0) continue;
        if (bindable(port, SOCK_STREAM) && bindable(port, SOCK_DGRAM)) return port;  // held for the process's life
        ::close(held);
    }
    ADD_FAILURE() << "no free port for a test between " << kFirstPort << " and " << kFirstPort + kPorts - 1;
    return 0;
}

SimDevice::SimDevice() {
    parent_ = fs::canonical(makeTempDir("hx40-e2e-")).string();
    root_ = parent_ + "/board";
    tcpPort = freePort();
    udpPort = freePort();
    wsPort = freePort();
    tunnelPort = freePort();
    std::string cmd = std::string(HX40_BIN_DIR) + "/hx40-sim init " + root_ + " --tcp " + std::to_string(tcpPort) +
                      " --udp " + std::to_string(udpPort) + " --ws " + std::to_string(wsPort) + " --tunnel " +
                      std::to_string(tunnelPort) + " >/dev/null";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "hx40-sim init failed for " << root_;
}

SimDevice::~SimDevice() {
    if (pid_ > 0) stop();
    std::string l = log();
    for (const char* mark : {"AddressSanitizer", "LeakSanitizer", "runtime error:", "UndefinedBehaviorSanitizer"})
        if (l.find(mark) != std::string::npos) ADD_FAILURE() << "sanitizer report from hx40_app:\n" << l;
    // A failure that shows only under load is understood from what the
    // device said, which goes with the folder.
    if (::testing::Test::HasFailure()) {
        const std::string j = read("sim/journal.log");
        std::fprintf(stderr, "--- hx40_app's log:\n%s--- the journal's last lines:\n%s", l.c_str(),
                     j.substr(j.size() > 16384 ? j.size() - 16384 : 0).c_str());
    }
    board::msgq::removeListed(root_);
    std::error_code ec;
    fs::remove_all(parent_, ec);
}

std::string SimDevice::read(const std::string& rel) const { return readFile(file(rel)); }

std::string SimDevice::journal() const {
    std::string reply;
    if (pid_ > 0) board::sim::ctl::request(root_, "journal", reply, 3000);
    return read("sim/journal.log");
}

bool SimDevice::start(const std::vector<std::string>& args, std::string* why, int timeoutMs) {
    std::vector<std::string> words = {std::string(HX40_BIN_DIR) + "/hx40_app", "--board-root", root_};
    words.insert(words.end(), args.begin(), args.end());
    return launch(std::move(words), why, timeoutMs);
}

bool SimDevice::startUnderRunLoop(std::string* why, int timeoutMs) {
    return launch({std::string(HX40_BIN_DIR) + "/hx40-sim", "run", root_}, why, timeoutMs);
}

pid_t SimDevice::appPid() const {
    const std::string text = read("run/app.pid");
    return static_cast<pid_t>(std::atol(text.c_str()));
}

bool SimDevice::launch(std::vector<std::string> words, std::string* why, int timeoutMs) {
    const std::string program = words.front();
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::string logFile = file("run/app.log");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    int rc = posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        pid_ = -1;
        if (why) *why = "cannot start " + program;
        return false;
    }
    if (fileLimit > 0) {
        const rlimit limit{static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
        ::prlimit(pid_, RLIMIT_NOFILE, &limit, nullptr);
    }
    bool up = waitFor([&] { return !running() || ctl("ping") == "OK ready\n"; }, timeoutMs) && running();
    if (!up && why) *why = "hx40_app did not come up; its log:\n" + log();
    return up;
}

bool SimDevice::running() {
    if (pid_ <= 0) return false;
    return !reap(0);
}

bool SimDevice::reap(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int st = 0;
        pid_t r = ::waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            pid_ = -1;
            return true;
        }
        if (r < 0) {
            pid_ = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int SimDevice::stop(int timeoutMs) {
    if (pid_ <= 0) return status_;
    ::kill(pid_, SIGTERM);
    if (!reap(timeoutMs)) {
        ADD_FAILURE() << "hx40_app did not stop on SIGTERM within " << timeoutMs << " ms; killing it";
        ::kill(pid_, SIGKILL);
        reap(5000);
    }
    return status_;
}

int SimDevice::waitExit(int timeoutMs) {
    if (pid_ <= 0) return status_;
    return reap(timeoutMs) ? status_ : -1;
}

std::string SimDevice::ctl(const std::string& line) {
    std::string reply;
    if (!board::sim::ctl::request(root_, line, reply)) return "";
    return reply;
}

bool SimDevice::waitFor(const std::function<bool()>& pred, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool SimDevice::waitJournal(const std::string& needle, int timeoutMs) {
    return waitFor([&] { return journal().find(needle) != std::string::npos; }, timeoutMs);
}

}  // namespace hx40test
