#include "platform/exec.h"

#include "platform/board.h"
#include "platform/journal.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace board::exec {
namespace {

bool isPathChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-' || c == '~' ||
           c == '+' || c == '@';
}

// Characters after which a '/' starts a new path.
bool isBoundary(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || std::strchr("=\"'<>(;|&`{,:", c) != nullptr;
}

// Characters that end a path token.
bool endsToken(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || std::strchr("\"'<>();|&`$:,{}*?[", c) != nullptr;
}

bool startsWithDir(std::string_view s, std::string_view dir) {
    return s.size() >= dir.size() && s.substr(0, dir.size()) == dir &&
           (s.size() == dir.size() || s[dir.size()] == '/' || endsToken(s[dir.size()]));
}

std::string mapToken(std::string_view token, const std::string& root) {
    std::string n = normalise(token);
    std::string out = (n == "/") ? root : root + n;
    if (token.size() > 1 && token.back() == '/') out += '/';
    if (token == "/") out += '/';
    return out;
}

std::string translateLine(std::string_view line, const std::string& root) {
    std::string out;
    out.reserve(line.size() + 64);
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c != '/' || (i > 0 && !isBoundary(line[i - 1]))) {
            out += c;
            ++i;
            continue;
        }
        std::string_view rest = line.substr(i);
        if (startsWithDir(rest, root)) {  // already mapped
            out += root;
            i += root.size();
            continue;
        }
        char next = i + 1 < line.size() ? line[i + 1] : '\0';
        bool afterColon = i > 0 && line[i - 1] == ':';
        bool bare = next == '\0' || endsToken(next);
        if (!(isPathChar(next) || (bare && !afterColon)) || (afterColon && !std::isalnum(static_cast<unsigned char>(next)))) {
            out += c;
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < line.size() && !endsToken(line[j])) ++j;
        out += mapToken(line.substr(i, j - i), root);
        i = j;
    }
    return out;
}

// Parses "<<WORD", "<<-WORD", "<<'WORD'" and "<<\"WORD\"" in a line (not "<<<").
void findHereDocs(std::string_view line, std::vector<std::pair<std::string, bool>>& pending) {
    size_t i = 0;
    while ((i = line.find("<<", i)) != std::string_view::npos) {
        if (i + 2 < line.size() && line[i + 2] == '<') {
            i += 3;
            continue;
        }
        size_t j = i + 2;
        bool stripTabs = false;
        if (j < line.size() && line[j] == '-') {
            stripTabs = true;
            ++j;
        }
        while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
        char quote = (j < line.size() && (line[j] == '\'' || line[j] == '"')) ? line[j] : '\0';
        if (quote) ++j;
        if (j < line.size() && line[j] == '\\') ++j;
        size_t k = j;
        while (k < line.size() && (std::isalnum(static_cast<unsigned char>(line[k])) || line[k] == '_')) ++k;
        if (k > j) pending.emplace_back(std::string(line.substr(j, k - j)), stripTabs);
        i = k > i + 2 ? k : i + 2;
    }
}

std::string resolveInStandins(const std::string& root, std::string_view name) {
    std::string p = root + "/" + kStandinDir + "/" + std::string(name);
    return ::access(p.c_str(), X_OK) == 0 ? p : std::string();
}

bool isElf(const std::string& p) {
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char magic[4] = {};
    ssize_t n = ::read(fd, magic, sizeof magic);
    ::close(fd);
    return n == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

// Folders whose programs are always taken from the stand-in folder.
bool isProgramFolder(const std::string& normalisedAbs) {
    static const char* const kFolders[] = {"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/local/bin",
                                           "/usr/local/sbin"};
    std::string dir = normalisedAbs.substr(0, normalisedAbs.rfind('/'));
    if (dir.empty()) dir = "/";
    for (const char* f : kFolders)
        if (dir == f) return true;
    return false;
}

std::string baseName(const std::string& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

std::string cwd() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

// A relative path in the word with ".." that lands outside the root.
// Absolute paths need no check: mapping normalises them under the root.
bool escapesRoot(std::string_view word, const std::string& root) {
    size_t i = 0;
    while (i < word.size()) {
        size_t j = i;
        while (j < word.size() && !endsToken(word[j])) ++j;
        std::string_view tok = word.substr(i, j - i);
        size_t eq = tok.rfind('=');
        if (eq != std::string_view::npos) tok.remove_prefix(eq + 1);
        if (!tok.empty() && tok.front() != '/' && tok.find("..") != std::string_view::npos) {
            std::string n = normalise(cwd() + "/" + std::string(tok));
            if (!startsWithDir(n, root)) return true;
        }
        i = j + 1;
    }
    return false;
}

// Completes a plan with argv's arguments mapped under the root.
Plan withArguments(Plan p, const std::vector<std::string>& argv, const std::string& root, const std::string& program) {
    for (size_t k = 1; k < argv.size(); ++k) {
        if (escapesRoot(argv[k], root)) {
            p.argv.clear();
            p.error = "argument '" + argv[k] + "' lies outside the board root";
            return p;
        }
        p.argv.push_back(translateText(argv[k], root));
    }
    p.program = program;
    p.ok = true;
    return p;
}

void refuse(const std::vector<std::string>& argv, const std::string& why) {
    std::string line;
    for (const auto& a : argv) line += (line.empty() ? "" : " ") + a;
    std::fprintf(stderr, "exec policy: refused \"%s\": %s\n", line.c_str(), why.c_str());
    journal("exec.refused", "%s: %s", line.c_str(), why.c_str());
}

}  // namespace

std::string translateText(std::string_view text, const std::string& root) {
    std::string out;
    out.reserve(text.size() + 256);
    std::vector<std::pair<std::string, bool>> pending;  // here-document delimiters
    size_t i = 0;
    while (i < text.size()) {
        size_t e = text.find('\n', i);
        size_t end = e == std::string_view::npos ? text.size() : e;
        std::string_view line = text.substr(i, end - i);
        if (!pending.empty()) {
            std::string_view cmp = line;
            if (pending.front().second)
                while (!cmp.empty() && cmp.front() == '\t') cmp.remove_prefix(1);
            if (cmp == pending.front().first) pending.erase(pending.begin());
            out += line;
        } else {
            out += translateLine(line, root);
            findHereDocs(line, pending);
        }
        if (e != std::string_view::npos) out += '\n';
        i = end + 1;
    }
    return out;
}

Plan plan(const std::vector<std::string>& argv) {
    Plan p;
    const std::string& root = board::root();
    if (root.empty()) {
        p.error = "no board root is open";
        return p;
    }
    if (argv.empty() || argv[0].empty()) {
        p.error = "empty command";
        return p;
    }
    const std::string& word = argv[0];
    std::string name;
    std::string program;
    if (word.find('/') == std::string::npos) {
        name = word;
        program = resolveInStandins(root, name);
        if (program.empty()) {
            p.error = "'" + word + "' is not a program of the board";
            return p;
        }
    } else {
        std::string abs;
        if (word.front() == '/') {
            std::string n = normalise(word);
            if (startsWithDir(n, root)) n = n.substr(root.size());
            if (isProgramFolder(n)) {
                name = baseName(n);
                program = resolveInStandins(root, name);
                if (program.empty()) {
                    p.error = "'" + word + "' is not a program of the board";
                    return p;
                }
            } else {
                abs = root + n;
            }
        } else {
            abs = normalise(cwd() + "/" + word);
            if (!(abs.size() > root.size() && abs.compare(0, root.size(), root) == 0 && abs[root.size()] == '/')) {
                p.error = "'" + word + "' lies outside the board root";
                return p;
            }
            std::string inRoot = abs.substr(root.size());
            if (isProgramFolder(inRoot)) {
                name = baseName(inRoot);
                program = resolveInStandins(root, name);
                if (program.empty()) {
                    p.error = "'" + word + "' is not a program of the board";
                    return p;
                }
                abs.clear();
            }
        }
        if (!abs.empty()) {
            if (::access(abs.c_str(), F_OK) != 0) {
                p.error = "'" + word + "' does not exist on the board";
                return p;
            }
            std::string standin = root + "/" + kStandinDir + "/";
            if (abs.compare(0, standin.size(), standin) == 0) {
                name = baseName(abs);
                program = abs;
            } else if (isElf(abs)) {
                p.error = "'" + word + "' is a binary outside the stand-in folder";
                return p;
            } else {
                // A script: the board's shell translates and runs it.
                program = resolveInStandins(root, "sh");
                if (program.empty()) {
                    p.error = "the board has no shell";
                    return p;
                }
                p.argv.push_back("sh");
                p.argv.push_back(abs);
                return withArguments(p, argv, root, program);
            }
        }
    }
    p.argv.push_back(name);
    return withArguments(p, argv, root, program);
}

std::vector<std::string> childEnvironment(const std::string& root) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view v = *e;
        if (v.rfind("PATH=", 0) == 0 || v.rfind("HOME=", 0) == 0 || v.rfind("TMPDIR=", 0) == 0 ||
            v.rfind("HX40_BOARD_ROOT=", 0) == 0 || v.rfind("LD_PRELOAD=", 0) == 0)
            continue;
        env.emplace_back(v);
    }
    env.push_back("PATH=" + root + "/" + kStandinDir);
    env.push_back("HOME=" + root + "/root");
    env.push_back("TMPDIR=" + root + "/tmp");
    env.push_back("HX40_BOARD_ROOT=" + root);
    return env;
}

pid_t spawn(const std::vector<std::string>& argv, const Io& io, std::string* error) {
    Plan p = plan(argv);
    if (!p.ok) {
        refuse(argv, p.error);
        if (error) *error = p.error;
        return -1;
    }
    std::vector<std::string> env = childEnvironment(board::root());
    std::vector<char*> cargv, cenv;
    for (auto& a : p.argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (io.in >= 0) posix_spawn_file_actions_adddup2(&fa, io.in, 0);
    if (io.out >= 0) posix_spawn_file_actions_adddup2(&fa, io.out, 1);
    if (io.err >= 0) posix_spawn_file_actions_adddup2(&fa, io.err, 2);
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
    int rc = posix_spawn(&pid, p.program.c_str(), &fa, &attr, cargv.data(), cenv.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        std::string why = std::string("cannot start: ") + std::strerror(rc);
        refuse(argv, why);
        if (error) *error = why;
        return -1;
    }
    std::string line;
    for (const auto& a : p.argv) line += (line.empty() ? "" : " ") + a;
    journal("exec", "%s", line.c_str());
    return pid;
}

int wait(pid_t pid) {
    if (pid <= 0) return -1;
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(pid, &status, 0);
        if (r == pid) break;
        if (r < 0 && errno == EINTR) continue;
        return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int run(const std::vector<std::string>& argv, std::string* error) {
    pid_t pid = spawn(argv, {}, error);
    if (pid < 0) return -1;
    return wait(pid);
}

}  // namespace board::exec
