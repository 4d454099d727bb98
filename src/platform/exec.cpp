#include "platform/exec.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/sim_board.h"
#include "platform/sim/standin/names.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace board::exec {
namespace {

using Args = std::vector<std::string>;

// The device's search path and home folder.
constexpr const char* kDevicePath = "/bin:/sbin:/usr/bin:/usr/sbin";
constexpr const char* kDeviceHome = "/root";

// Plain file and text tools of the device's /bin: the host's programs.
constexpr const char* kPlainTools[] = {
    "cat",  "cp",   "mv",  "rm",   "mkdir", "rmdir", "ln",     "touch",    "chmod", "find", "grep",     "head",
    "tail", "sed",  "awk", "sort", "xargs", "md5sum", "printenv", "sleep", "ls",    "wc",   "cut",      "basename",
    "dirname", "sync", "true", "false", "expr", "stat", "uniq", "tee", "cmp",  "od",  "echo", "env"};

// /bin/sh and /bin/ash run bash: the device's scripts use "[ $? == 1 ]".
constexpr const char* kShells[] = {"sh", "ash", "bash"};

// Folders of the root that children do not get: those the sandbox makes of
// its own, and the board tool's (the control socket and the lists of queues
// the tool removes, the serial ports' user ends).
bool sandboxFolder(std::string_view name) {
    for (const char* own : {"bin", "sbin", "usr", "lib", "lib32", "lib64", "libx32", "dev", "proc", "run", "term"})
        if (name == own) return true;
    return false;
}

// Board files the stand-ins write, as the sandbox shows them; the rest of
// /sim and of the board's /proc files is read-only to children, so that no
// child leaves a link there for the program to follow.
constexpr std::pair<const char*, const char*> kStandinFiles[] = {
    {"sim/tools.log", "/sim/tools.log"},   {"sim/reboot.log", "/sim/reboot.log"},
    {"sim/procs", "/sim/procs"},           {"sim/clock_offset", "/sim/clock_offset"},
    {"sim/hostname", "/sim/hostname"},     {"sim/net/eth0", "/sim/net/eth0"},
    {"proc/mounts", "/sim/proc/mounts"},   {"proc/net/route", "/sim/proc/net/route"},
};

// Entries that the sandbox's own /dev has.
bool sandboxDevice(std::string_view name) {
    for (const char* own : {"null", "zero", "full", "random", "urandom", "tty", "console", "ptmx", "pts", "shm",
                            "fd", "stdin", "stdout", "stderr", "core", "mqueue"})
        if (name == own) return true;
    return false;
}

// The bubblewrap program. HX40_TEST_WITHOUT_BUBBLEWRAP (tests only) makes
// the machine look as if it had none, so that the refusal can be tested.
const char* bubblewrap() {
    return std::getenv("HX40_TEST_WITHOUT_BUBBLEWRAP") ? "/nonexistent-hx40/bwrap" : "/usr/bin/bwrap";
}

void add(Args& a, std::initializer_list<std::string> words) { a.insert(a.end(), words); }

std::string readLink(const std::string& p) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink(p.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The host's program of that name, links resolved ("" when it has none).
std::string hostProgram(const std::string& name) {
    for (const char* dir : {"/usr/bin/", "/usr/sbin/", "/bin/", "/sbin/"}) {
        char real[PATH_MAX];
        if (::realpath((dir + name).c_str(), real) != nullptr && ::access(real, X_OK) == 0) return real;
    }
    return "";
}

// A host program at a path of the sandbox's /bin: a link when the program
// lies under /usr (visible inside), a read-only bind otherwise.
void addHostProgram(Args& a, const std::string& program, const std::string& at) {
    if (program.rfind("/usr/", 0) == 0) add(a, {"--symlink", program, at});
    else add(a, {"--ro-bind", program, at});
}

// What every sandbox holds, whatever the board.
const Args& hostPart() {
    static const Args args = [] {
        Args a = {"--unshare-pid", "--unshare-net", "--unshare-uts", "--unshare-ipc", "--cap-drop", "ALL",
                  "--die-with-parent", "--new-session", "--ro-bind", "/usr", "/usr"};
        for (const char* lib : {"/lib", "/lib32", "/lib64", "/libx32"}) {
            struct stat st {};
            if (::lstat(lib, &st) != 0) continue;
            if (S_ISLNK(st.st_mode) && !readLink(lib).empty()) add(a, {"--symlink", readLink(lib), lib});
            else if (S_ISDIR(st.st_mode)) add(a, {"--ro-bind", lib, lib});
        }
        add(a, {"--proc", "/proc", "--dev", "/dev", "--dir", "/bin", "--symlink", "bin", "/sbin"});
        const std::string bash = hostProgram("bash");
        for (const char* shell : kShells)
            if (!bash.empty()) addHostProgram(a, bash, std::string("/bin/") + shell);
        for (const char* tool : kPlainTools) {
            const std::string program = hostProgram(tool);
            if (!program.empty()) addHostProgram(a, program, std::string("/bin/") + tool);
        }
        for (const char* name : sim::standin::kNames)
            add(a, {"--symlink", sim::standin::kProgram, std::string("/bin/") + name});
        return a;
    }();
    return args;
}

// What the sandbox takes from the board: the stand-in program (built next to
// this one), the root's folders, the board's devices (the serial ports'
// pseudo-terminals among them) and the working folder. Only the program
// writes the root's top and its dev folder, so a child cannot change what a
// later sandbox binds.
bool addBoardPart(const std::string& root, Args& a, std::string& why) {
    add(a, {"--ro-bind", sim::installDir() + "/" + sim::standin::kProgram,
            std::string("/bin/") + sim::standin::kProgram});
    auto entries = [&why](const std::string& dir, auto each) {
        DIR* d = ::opendir(dir.c_str());
        if (d == nullptr) {
            why = "cannot read " + dir + ": " + std::strerror(errno);
            return false;
        }
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            struct stat st {};
            if (name == "." || name == ".." || ::lstat((dir + "/" + name).c_str(), &st) != 0) continue;
            each(name, st);
        }
        ::closedir(d);
        return true;
    };
    const bool folders = entries(root, [&](const std::string& name, const struct stat& st) {
        if (S_ISDIR(st.st_mode) && !sandboxFolder(name))
            add(a, {name == "sim" ? "--ro-bind" : "--bind", root + "/" + name, "/" + name});
    });
    if (!folders) return false;
    ::mkdir((root + "/sim/proc").c_str(), 0755);  // the mount point of the board's /proc files
    add(a, {"--ro-bind", root + "/proc", kBoardProc});
    for (const auto& [file, at] : kStandinFiles) {
        const std::string source = root + "/" + file;
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
        struct stat st {};
        if (::lstat(source.c_str(), &st) == 0 && S_ISREG(st.st_mode)) add(a, {"--bind", source, at});
    }
    return entries(root + "/dev", [&](const std::string& name, const struct stat& st) {
        const std::string at = "/dev/" + name;
        if (sandboxDevice(name)) return;
        if (S_ISREG(st.st_mode)) {
            add(a, {"--bind", root + at, at});
        } else if (S_ISLNK(st.st_mode)) {
            const std::string target = readLink(root + at);
            struct stat t {};
            if (target.rfind("/dev/pts/", 0) == 0 && ::stat(target.c_str(), &t) == 0 && S_ISCHR(t.st_mode))
                add(a, {"--dev-bind", target, at});  // a serial port's pseudo-terminal
            else if (!target.empty())
                add(a, {"--symlink", target, at});
        }
    });
}

// The program's working folder as the device names it.
std::string deviceWorkingFolder(const std::string& root) {
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf) == nullptr) return "/";
    return board::deviceView(root, buf).value_or("/");
}

// The program's environment with the device's PATH and HOME; variables
// naming host paths stay out.
std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view v = *e;
        bool dropped = false;
        for (const char* name : {"PATH=", "HOME=", "TMPDIR=", "HX40_BOARD_ROOT=", "LD_PRELOAD="})
            dropped = dropped || v.rfind(name, 0) == 0;
        if (!dropped) env.emplace_back(v);
    }
    env.push_back(std::string("PATH=") + kDevicePath);
    env.push_back(std::string("HOME=") + kDeviceHome);
    return env;
}

// What a pipe holds once its writers are gone; closes it.
std::string drained(int fd) {
    std::string text;
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    char buf[512];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return text;
}

// Runs bubblewrap with args (standard error to errFd when >= 0) and waits:
// the child's status, or -1 with why when bubblewrap or the child inside did
// not start. Bubblewrap writes an "exit-code" status record only for a child
// it started.
int sandboxed(const Args& args, int errFd, std::string& why) {
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        why = std::string("no pipe: ") + std::strerror(errno);
        return -1;
    }
    constexpr int kStatusFd = 3;
    Args words = {bubblewrap(), "--json-status-fd", std::to_string(kStatusFd)};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> env = childEnvironment();
    std::vector<char*> cargv, cenv;
    for (auto& w : words) cargv.push_back(w.data());
    cargv.push_back(nullptr);
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&fa, errFd, 2);
    posix_spawn_file_actions_adddup2(&fa, status[1], kStatusFd);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Children start with the default signal mask and dispositions, whatever
    // the calling thread blocks.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, cargv[0], &fa, &attr, cargv.data(), cenv.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    ::close(status[1]);
    if (rc != 0) {
        ::close(status[0]);
        why = std::string("bubblewrap (") + cargv[0] + ") cannot be started: " + std::strerror(rc) +
              (rc == ENOENT ? " (tools/deps.sh installs it)" : "");
        return -1;
    }
    int ws = 0;
    while (::waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
    }
    const std::string record = drained(status[0]);
    if (record.find("\"exit-code\"") == std::string::npos) {
        why = "did not start in the sandbox";
        return -1;
    }
    if (WIFEXITED(ws)) return WEXITSTATUS(ws);
    return WIFSIGNALED(ws) ? 128 + WTERMSIG(ws) : -1;
}

std::string joined(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& a : argv) line += (line.empty() ? "" : " ") + a;
    return line;
}

}  // namespace

const std::string& sandboxProblem() {
    static const std::string problem = [] {
        int err[2];
        if (::pipe2(err, O_CLOEXEC) != 0) return std::string("no pipe for the sandbox check");
        Args a = hostPart();
        add(a, {"--", "/usr/bin/true"});
        std::string why;
        const int rc = sandboxed(a, err[1], why);
        ::close(err[1]);
        std::string said = drained(err[0]);
        if (rc == 0) return std::string();
        while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
        if (!said.empty()) why = said;
        else if (rc > 0) why = "the sandbox check ended with status " + std::to_string(rc);
        std::string text = "child programs cannot run, the sandbox cannot be made: " + why;
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
        journal("exec.sandbox", "%s", text.c_str());
        return text;
    }();
    return problem;
}

int run(const std::vector<std::string>& argv, std::string* error) {
    std::string why;
    auto refuse = [&] {
        journal("exec.refused", "%s: %s", joined(argv).c_str(), why.c_str());
        if (error) *error = why;
        return -1;
    };
    const std::string& root = board::root();
    if (root.empty()) why = "no board root is open";
    else if (argv.empty() || argv[0].empty()) why = "empty command";
    else if (!sandboxProblem().empty()) why = "no sandbox";
    if (!why.empty()) return refuse();
    Args a = hostPart();
    if (!addBoardPart(root, a, why)) return refuse();
    add(a, {"--chdir", deviceWorkingFolder(root), "--"});
    a.insert(a.end(), argv.begin(), argv.end());
    journal("exec", "%s", joined(argv).c_str());
    const int status = sandboxed(a, -1, why);
    return status < 0 ? refuse() : status;
}

}  // namespace board::exec
