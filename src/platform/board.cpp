#include "platform/board.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace board {
namespace {

std::mutex gMutex;
std::string gRoot;  // written only by open()/close(), before threads start

// Used when no board is open: a path that can never name a real file.
constexpr const char* kNoBoard = "/nonexistent-hx40-board";

bool isDir(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string currentDir() {
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf) == nullptr) return "/";
    return buf;
}

}  // namespace

std::string normalise(std::string_view p) {
    const bool absolute = !p.empty() && p.front() == '/';
    std::vector<std::string_view> parts;
    size_t i = 0;
    int leadingUps = 0;
    while (i <= p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string_view::npos) j = p.size();
        std::string_view part = p.substr(i, j - i);
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            else if (!absolute) ++leadingUps;
        } else {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out = absolute ? "/" : "";
    for (int k = 0; k < leadingUps; ++k) out += "../";
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k) out += '/';
        out += parts[k];
    }
    if (out.empty()) out = ".";
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

bool open(const std::string& dir, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (dir.empty()) return fail("no board root given (use --board-root DIR or HX40_BOARD_ROOT)");
    char real[PATH_MAX];
    if (::realpath(dir.c_str(), real) == nullptr)
        return fail("board root '" + dir + "' does not exist (prepare it with: hx40-sim init " + dir + ")");
    std::string r = real;
    if (r == "/") return fail("the board root cannot be '/'");
    if (!isFile(r + "/sim/board.conf") || !isDir(r + "/root/app/bin"))
        return fail("board root '" + r + "' is not prepared (prepare it with: hx40-sim init " + r + ")");
    {
        std::lock_guard lock(gMutex);
        gRoot = r;
    }
    if (::chdir((r + "/root/app/bin").c_str()) != 0)
        return fail("cannot enter " + r + "/root/app/bin: " + std::strerror(errno));
    return true;
}

bool lock(std::string* error) {
    const std::string file = root() + "/run/app.lock";
    // Kept open (and so locked) until the process ends; children do not
    // inherit it.
    static int fd = -1;
    if (fd < 0) fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = "cannot open " + file + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char pid[32] = {};
        std::FILE* f = std::fopen((root() + "/run/app.pid").c_str(), "r");
        if (f != nullptr) {
            if (std::fgets(pid, sizeof pid, f) == nullptr) pid[0] = '\0';
            std::fclose(f);
        }
        std::string holder = pid;
        while (!holder.empty() && holder.back() == '\n') holder.pop_back();
        if (error)
            *error = "another hx40_app runs on the board at " + root() +
                     (holder.empty() ? std::string() : " (pid " + holder + ")");
        return false;
    }
    return true;
}

void close() {
    std::lock_guard lock(gMutex);
    gRoot.clear();
}

bool isOpen() { return !root().empty(); }

const std::string& root() { return gRoot; }

namespace {

// A device path (absolute) with the links on its way resolved as the
// sandbox resolves them: an absolute target names a path of the board and
// ".." stops at its top. Links in the board's /dev, which only the board
// makes (the serial ports' pseudo-terminals), are left to the system. ""
// for a loop of links.
std::string resolveLinks(const std::string& root, const std::string& device) {
    std::deque<std::string> todo;
    auto prepend = [&todo](const std::string& p) {
        std::vector<std::string> parts;
        for (size_t i = 0; i <= p.size();) {
            size_t j = std::min(p.find('/', i), p.size());
            if (j > i) parts.push_back(p.substr(i, j - i));
            i = j + 1;
        }
        todo.insert(todo.begin(), parts.begin(), parts.end());
    };
    prepend(device);
    std::string done;  // resolved so far, "" for the top
    for (int links = 0; !todo.empty();) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            if (!done.empty()) done.erase(done.rfind('/'));
            continue;
        }
        const std::string next = done + "/" + part;
        char target[PATH_MAX];
        const ssize_t n = done == "/dev" ? -1 : ::readlink((root + next).c_str(), target, sizeof target - 1);
        if (n <= 0) {
            done = next;
            continue;
        }
        if (++links > 40) return "";
        if (target[0] == '/') done.clear();
        prepend(std::string(target, static_cast<size_t>(n)));
    }
    return done.empty() ? "/" : done;
}

}  // namespace

std::string path(std::string_view devicePath) {
    if (devicePath.empty()) return "";
    const std::string& r = root();
    const bool folder = devicePath.back() == '/';  // callers append names to folders
    if (r.empty()) {
        if (devicePath.front() != '/') return std::string(devicePath);
        std::string n = normalise(devicePath);
        return kNoBoard + (n == "/" ? "" : n) + (folder ? "/" : "");
    }
    // A path that leaves the root is refused: it maps under a folder that
    // cannot exist, so that opening or making it fails.
    auto refused = [](std::string_view p) { return kNoBoard + normalise("/" + std::string(p)); };
    auto inRoot = [&r](std::string_view p) { return deviceView(r, p).has_value(); };
    std::string device;  // the path as the device names it
    if (devicePath.front() != '/') {
        const std::string cwd = currentDir();
        if (!inRoot(cwd)) return refused(devicePath);
        device = cwd.substr(r.size()) + "/" + std::string(devicePath);
    } else if (inRoot(devicePath)) {
        // Already mapped: still inside once ".." is resolved, or refused.
        std::string n = normalise(devicePath);
        if (!inRoot(n)) return refused(n);
        device = n.substr(r.size());
    } else {
        device = devicePath;
    }
    const std::string resolved = resolveLinks(r, device);
    if (resolved.empty()) return refused(device);
    return resolved == "/" ? r : r + resolved + (folder ? "/" : "");
}

bool isInsideRoot(std::string_view p) {
    const std::string& r = root();
    if (r.empty()) return false;
    std::string abs = (!p.empty() && p.front() == '/') ? std::string(p) : currentDir() + "/" + std::string(p);
    return deviceView(r, normalise(abs)).has_value();
}

std::optional<std::string> deviceView(std::string_view root, std::string_view hostPath) {
    if (hostPath.substr(0, root.size()) != root) return std::nullopt;
    const std::string_view rest = hostPath.substr(root.size());
    if (rest.empty()) return "/";
    if (rest.front() != '/') return std::nullopt;
    return std::string(rest);
}

std::string rootFromArgsOrEnv(int& argc, char** argv) {
    std::string dir;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--board-root" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a.rfind("--board-root=", 0) == 0) {
            dir = std::string(a.substr(std::strlen("--board-root=")));
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    if (dir.empty()) {
        if (const char* e = std::getenv("HX40_BOARD_ROOT")) dir = e;
    }
    return dir;
}

}  // namespace board
