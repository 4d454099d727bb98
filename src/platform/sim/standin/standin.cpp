// The board's stand-in programs: one binary linked under the names of the
// device's system tools. Each call is appended to <root>/sim/tools.log; each
// tool does the observable part of its job inside the board root and never
// touches the host. "fault.<name> = <status>" in board.conf makes a tool fail.
#include "platform/board.h"
#include "platform/exec.h"
#include "platform/sim/board_conf.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string gRoot;
board::sim::BoardConf gConf;

using Args = std::vector<std::string>;

bool insideRoot(const std::string& p) {
    std::string n = board::normalise(p.front() == '/' ? p : fs::current_path().string() + "/" + p);
    return n == gRoot || n.rfind(gRoot + "/", 0) == 0;
}

// A path argument: device paths are mapped, the result must lie in the root.
bool boardFile(const std::string& arg, std::string& out) {
    if (arg.empty()) return false;
    out = arg.front() == '/' && arg.rfind(gRoot + "/", 0) != 0 ? gRoot + board::normalise(arg) : arg;
    if (!insideRoot(out)) {
        std::fprintf(stderr, "%s: outside the board root\n", arg.c_str());
        return false;
    }
    return true;
}

void appendLine(const std::string& file, const std::string& line) {
    int fd = ::open((gRoot + "/sim/" + file).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::string l = line + "\n";
    (void)!::write(fd, l.data(), l.size());
    ::close(fd);
}

std::string joined(const Args& a) {
    std::string s;
    for (const auto& w : a) s += (s.empty() ? "" : " ") + w;
    return s;
}

int execReal(const char* program, const Args& a) {
    std::vector<char*> argv;
    std::vector<std::string> copy = a;
    for (auto& w : copy) argv.push_back(w.data());
    argv.push_back(nullptr);
    ::execv(program, argv.data());
    std::fprintf(stderr, "%s: %s\n", program, std::strerror(errno));
    return 127;
}

// ---- the tools ---------------------------------------------------------------

// Files that a script includes with "." or "source" are translated as they
// are read, like the script itself.
constexpr const char* kShellPrelude =
    "source() { local __hx40_f=\"$1\"; shift; builtin source <(\"$HX40_BOARD_ROOT/sim-bin/hx40-standin\" --translate "
    "\"$__hx40_f\") \"$@\"; }; .() { source \"$@\"; }\n";

std::string scriptText(const std::string& text) { return kShellPrelude + board::exec::translateText(text, gRoot); }

int translateFile(const std::string& file) {
    std::string f;
    if (!boardFile(file, f)) return 1;
    std::ifstream in(f, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "source: %s: No such file\n", file.c_str());
        return 1;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::fputs(board::exec::translateText(ss.str(), gRoot).c_str(), stdout);
    return 0;
}

int shell(const Args& a) {
    // sh [-opts] -c TEXT [name args...] | sh [-opts] FILE [args...] | sh < script
    Args out = {"bash"};
    size_t i = 1;
    for (; i < a.size() && a[i].size() > 1 && a[i][0] == '-' && a[i] != "-c"; ++i) out.push_back(a[i]);
    std::string text;
    if (i < a.size() && a[i] == "-c") {
        if (i + 1 >= a.size()) {
            std::fprintf(stderr, "sh: -c: option requires an argument\n");
            return 2;
        }
        text = a[i + 1];
        i += 2;
    } else if (i < a.size()) {
        std::string file;
        if (!boardFile(a[i], file)) return 127;
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "sh: can't open %s\n", a[i].c_str());
            return 127;
        }
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
        out.push_back("-c");
        out.push_back(scriptText(text));
        out.push_back(file);  // $0
        ++i;
        for (; i < a.size(); ++i) out.push_back(board::exec::translateText(a[i], gRoot));
        return execReal("/bin/bash", out);
    } else {
        std::stringstream ss;
        ss << std::cin.rdbuf();
        text = ss.str();
    }
    out.push_back("-c");
    out.push_back(scriptText(text));
    for (; i < a.size(); ++i) out.push_back(board::exec::translateText(a[i], gRoot));
    return execReal("/bin/bash", out);
}

int rebootTool(const Args& a) {
    appendLine("reboot.log", joined(a));
    return 0;
}

int flashErase(const Args& a) {
    std::string dev;
    for (size_t i = 1; i < a.size(); ++i)
        if (a[i][0] != '-' && !boardFile(a[i], dev)) return 1;
    if (dev.empty()) {
        std::fprintf(stderr, "usage: flash_eraseall [-j] DEVICE\n");
        return 1;
    }
    std::error_code ec;
    auto size = fs::file_size(dev, ec);
    if (ec) {
        std::fprintf(stderr, "flash_eraseall: %s: %s\n", dev.c_str(), ec.message().c_str());
        return 1;
    }
    std::ofstream(dev, std::ios::binary | std::ios::in | std::ios::out) << std::string(size, '\xff');
    std::printf("Erasing %llu Kibyte @ 0 -- 100 %% complete.\n", static_cast<unsigned long long>(size / 1024));
    return 0;
}

int flashcp(const Args& a) {
    std::vector<std::string> files;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i][0] == '-') continue;
        std::string f;
        if (!boardFile(a[i], f)) return 1;
        files.push_back(f);
    }
    if (files.size() != 2) {
        std::fprintf(stderr, "usage: flashcp [-v] FILE DEVICE\n");
        return 1;
    }
    std::ifstream in(files[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "flashcp: %s: %s\n", files[0].c_str(), std::strerror(errno));
        return 1;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string data = ss.str();
    std::error_code ec;
    auto size = fs::file_size(files[1], ec);
    if (ec || data.size() > size) {
        std::fprintf(stderr, "flashcp: %s is too small for %s\n", files[1].c_str(), files[0].c_str());
        return 1;
    }
    std::fstream out(files[1], std::ios::binary | std::ios::in | std::ios::out);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    bool verbose = a.size() > 1 && a[1] == "-v";
    if (verbose)
        std::printf("Erasing blocks: done\nWriting data: %zuk/%zuk (100%%)\nVerifying data: %zuk/%zuk (100%%)\n",
                    data.size() / 1024, data.size() / 1024, data.size() / 1024, data.size() / 1024);
    return out ? 0 : 1;
}

int dd(const Args& a) {
    for (size_t i = 1; i < a.size(); ++i) {
        size_t eq = a[i].find('=');
        if (eq == std::string::npos) continue;
        std::string key = a[i].substr(0, eq), value = a[i].substr(eq + 1), f;
        if ((key == "if" || key == "of") && !boardFile(value, f)) return 1;
    }
    return execReal("/bin/dd", a);
}

int mountTool(const Args& a) {
    std::vector<std::string> words;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "-t" || a[i] == "-o") {
            ++i;
            continue;
        }
        if (a[i][0] != '-') words.push_back(a[i]);
    }
    if (words.size() != 2) {
        std::fprintf(stderr, "mount: need a device and a folder\n");
        return 1;
    }
    std::string dev, dir;
    if (!boardFile(words[0], dev) || !boardFile(words[1], dir)) return 1;
    // A USB key: <root>/dev/sdXN names a folder of <root>/sim/usb/.
    fs::path key = fs::path(gRoot) / "sim/usb" / fs::path(dev).filename();
    if (!fs::exists(dev) || !fs::is_directory(key)) {
        std::fprintf(stderr, "mount: mounting %s on %s failed: No such device\n", words[0].c_str(), words[1].c_str());
        return 255;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    fs::copy(key, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return 255;
    appendLine("../proc/mounts", dev + " " + dir + " vfat rw,relatime 0 0");
    return 0;
}

int umountTool(const Args& a) {
    std::vector<std::string> targets;
    for (size_t i = 1; i < a.size(); ++i) {
        std::string f;
        if (a[i][0] != '-' && boardFile(a[i], f)) targets.push_back(f);
    }
    std::string mountsFile = gRoot + "/proc/mounts";
    std::ifstream in(mountsFile);
    std::string line, kept;
    bool found = false;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string dev, dir;
        ls >> dev >> dir;
        bool match = false;
        for (const auto& t : targets) match |= (t == dev || t == dir);
        if (match) {
            found = true;
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(dir, ec)) fs::remove_all(e.path(), ec);
        } else {
            kept += line + "\n";
        }
    }
    in.close();
    std::ofstream(mountsFile, std::ios::trunc) << kept;
    if (!found) {
        std::fprintf(stderr, "umount: can't unmount: Invalid argument\n");
        return 1;
    }
    return 0;
}

// Processes "started" by the stand-ins, one name per line in sim/procs.
std::vector<std::string> procs() {
    std::ifstream in(gRoot + "/sim/procs");
    std::vector<std::string> v;
    std::string l;
    while (std::getline(in, l))
        if (!l.empty()) v.push_back(l);
    return v;
}

void setProcs(const std::vector<std::string>& v) {
    std::ofstream out(gRoot + "/sim/procs", std::ios::trunc);
    for (const auto& p : v) out << p << '\n';
}

int daemonTool(const Args& a) {
    auto v = procs();
    std::string name = fs::path(a[0]).filename();
    if (std::find(v.begin(), v.end(), name) == v.end()) v.push_back(name);
    setProcs(v);
    return 0;
}

int findProc(const Args& a) {
    auto v = procs();
    int status = 1;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i][0] == '-') continue;
        for (size_t k = 0; k < v.size(); ++k)
            if (v[k] == a[i]) {
                std::printf("%zu\n", 1000 + k);
                status = 0;
            }
    }
    return status;
}

int killall(const Args& a) {
    auto v = procs();
    int status = 1;
    for (size_t i = 1; i < a.size(); ++i) {
        auto it = std::find(v.begin(), v.end(), a[i]);
        if (it != v.end()) {
            v.erase(it);
            status = 0;
        }
    }
    setProcs(v);
    if (status) std::fprintf(stderr, "killall: no process killed\n");
    return status;
}

long clockOffset() {
    std::ifstream in(gRoot + "/sim/clock_offset");
    long v = 0;
    in >> v;
    return v;
}

int dateTool(const Args& a) {
    Args real = {"date"};
    for (size_t i = 1; i < a.size(); ++i) {
        if ((a[i] == "-s" || a[i] == "--set") && i + 1 < a.size()) {
            // Setting the clock moves only the board's clock.
            int fds[2];
            if (::pipe(fds) != 0) return 1;
            pid_t pid = ::fork();
            if (pid == 0) {
                ::dup2(fds[1], 1);
                ::execl("/bin/date", "date", "-d", a[i + 1].c_str(), "+%s", static_cast<char*>(nullptr));
                ::_exit(127);
            }
            ::close(fds[1]);
            char buf[64] = {};
            ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
            ::close(fds[0]);
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (n <= 0 || status != 0) {
                std::fprintf(stderr, "date: invalid date '%s'\n", a[i + 1].c_str());
                return 1;
            }
            long target = std::strtol(buf, nullptr, 10);
            std::ofstream(gRoot + "/sim/clock_offset", std::ios::trunc) << (target - std::time(nullptr)) << '\n';
            ++i;
            continue;
        }
        real.push_back(a[i]);
    }
    real.insert(real.begin() + 1, "-d");
    real.insert(real.begin() + 2, "@" + std::to_string(std::time(nullptr) + clockOffset()));
    return execReal("/bin/date", real);
}

int stty(const Args& a) {
    for (size_t i = 1; i < a.size(); ++i) {
        std::string f;
        if ((a[i] == "-F" || a[i] == "--file") && i + 1 < a.size() && !boardFile(a[i + 1], f)) return 1;
    }
    // stty on a mapped device: the rest of the arguments are settings.
    Args real = a;
    for (size_t i = 1; i + 1 < real.size(); ++i)
        if (real[i] == "-F" || real[i] == "--file") boardFile(a[i + 1], real[i + 1]);
    return execReal("/bin/stty", real);
}

int logOnly(const Args&) { return 0; }

struct Tool {
    const char* name;
    int (*run)(const Args&);
};

// Every name linked to this program and what it does.
constexpr Tool kTools[] = {
    {"sh", shell},          {"ash", shell},           {"bash", shell},
    {"reboot", rebootTool}, {"halt", rebootTool},     {"poweroff", rebootTool},
    {"mount", mountTool},   {"umount", umountTool},   {"flash_eraseall", flashErase},
    {"flashcp", flashcp},   {"dd", dd},               {"ifconfig", logOnly},
    {"route", logOnly},     {"udhcpc", logOnly},      {"ntpd", daemonTool},
    {"httpd", daemonTool},  {"killall", killall},     {"pgrep", findProc},
    {"pidof", findProc},    {"date", dateTool},       {"stty", stty},
    {"hwclock", logOnly},
};

}  // namespace

int main(int argc, char** argv) {
    std::string name = fs::path(argv[0]).filename();
    const char* root = std::getenv("HX40_BOARD_ROOT");
    if (!root || !*root || !fs::exists(fs::path(root) / "sim/board.conf")) {
        std::fprintf(stderr, "%s: not started on a simulated board (HX40_BOARD_ROOT unset); refusing\n", name.c_str());
        return 126;
    }
    gRoot = board::normalise(fs::canonical(root).string());
    gConf.load(gRoot + "/sim/board.conf");
    Args args(argv, argv + argc);
    args[0] = name;
    if (name == "hx40-standin" && args.size() == 3 && args[1] == "--translate") return translateFile(args[2]);
    appendLine("tools.log", joined(args));
    for (const Tool& t : kTools) {
        if (name != t.name) continue;
        long fault = gConf.getInt("fault." + name, 0);
        if (fault != 0) {
            std::fprintf(stderr, "%s: failing as board.conf asks (status %ld)\n", name.c_str(), fault);
            return static_cast<int>(fault);
        }
        std::fflush(stdout);
        int rc = t.run(args);
        std::fflush(stdout);
        return rc;
    }
    std::fprintf(stderr, "%s: not a stand-in of this board\n", name.c_str());
    return 127;
}
