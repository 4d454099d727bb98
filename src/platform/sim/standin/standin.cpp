// The board's stand-in programs: one binary that the sandbox of the exec
// layer puts in /bin under the names of the device's system tools. Inside the
// sandbox "/" is the board root, so a tool works on the device's paths as
// they are. Each call is appended to /sim/tools.log; each tool does the
// observable part of its job on the board's files. "fault.<name> = <status>"
// in board.conf makes a tool fail.
#include "platform/board.h"
#include "platform/exec.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/eth0.h"
#include "platform/sim/standin/names.h"
#include "platform/sim/usb_key.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

board::sim::BoardConf gConf;

using Args = std::vector<std::string>;

// The board's state files.
const std::string kSim = "/sim/";
const std::string kProc = std::string(board::exec::kBoardProc) + "/";

void appendLine(const std::string& file, const std::string& line) {
    int fd = ::open((kSim + file).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
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

int rebootTool(const Args& a) {
    appendLine("reboot.log", joined(a));
    return 0;
}

int flashErase(const Args& a) {
    std::string dev;
    for (size_t i = 1; i < a.size(); ++i)
        if (a[i][0] != '-') dev = a[i];
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
        if (a[i][0] != '-') files.push_back(a[i]);
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
    // As on flash: the erase blocks the image covers are erased first.
    const size_t block = static_cast<size_t>(std::max(1L, gConf.getInt("flash_erase_block", 65536)));
    const size_t erased = std::min<size_t>(size, (data.size() + block - 1) / block * block);
    const std::string image = data + std::string(erased - data.size(), '\xff');
    std::fstream out(files[1], std::ios::binary | std::ios::in | std::ios::out);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    bool verbose = a.size() > 1 && a[1] == "-v";
    if (verbose)
        std::printf("Erasing blocks: done\nWriting data: %zuk/%zuk (100%%)\nVerifying data: %zuk/%zuk (100%%)\n",
                    data.size() / 1024, data.size() / 1024, data.size() / 1024, data.size() / 1024);
    return out ? 0 : 1;
}

// A dd operand count: a number with an optional k or M.
bool ddNumber(const std::string& text, unsigned long long& out) {
    char* end = nullptr;
    out = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str()) return false;
    std::string suffix = end;
    if (suffix == "k" || suffix == "K") out *= 1024;
    else if (suffix == "M") out *= 1024 * 1024;
    else if (!suffix.empty()) return false;
    return true;
}

// dd onto a flash partition (a file of <root>/dev): like a block device the
// file is never truncated and never grows; writing past its end fails.
int ddDevice(const std::string& in, const std::string& out, const std::map<std::string, unsigned long long>& n) {
    auto get = [&](const char* key, unsigned long long fallback) {
        auto it = n.find(key);
        return it == n.end() ? fallback : it->second;
    };
    const unsigned long long bs = get("bs", 512), skip = get("skip", 0), seek = get("seek", 0);
    std::error_code ec;
    const unsigned long long size = fs::file_size(out, ec);
    if (ec) {
        std::fprintf(stderr, "dd: can't open '%s': No such device\n", out.c_str());
        return 1;
    }
    const unsigned long long start = seek * bs;
    const unsigned long long room = start < size ? size - start : 0;
    // Read at most one byte more than fits, so that an overlong input shows.
    unsigned long long want = n.count("count") ? std::min(get("count", 0) * bs, room + 1) : room + 1;
    int ifd = in.empty() ? 0 : ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
    if (ifd < 0) {
        std::fprintf(stderr, "dd: can't open '%s': %s\n", in.c_str(), std::strerror(errno));
        return 1;
    }
    std::string data;
    if (skip && ::lseek(ifd, static_cast<off_t>(skip * bs), SEEK_SET) < 0) {
        for (unsigned long long left = skip * bs; left > 0;) {
            char buf[4096];
            ssize_t r = ::read(ifd, buf, std::min<unsigned long long>(left, sizeof buf));
            if (r <= 0) break;
            left -= static_cast<unsigned long long>(r);
        }
    }
    while (data.size() < want) {
        char buf[65536];
        ssize_t r = ::read(ifd, buf, std::min<unsigned long long>(want - data.size(), sizeof buf));
        if (r <= 0) break;
        data.append(buf, static_cast<size_t>(r));
    }
    if (ifd != 0) ::close(ifd);
    const size_t fits = static_cast<size_t>(std::min<unsigned long long>(data.size(), room));
    std::fstream dev(out, std::ios::binary | std::ios::in | std::ios::out);
    dev.seekp(static_cast<std::streamoff>(start));
    dev.write(data.data(), static_cast<std::streamsize>(fits));
    const unsigned long long records = (fits + bs - 1) / bs;
    std::fprintf(stderr, "%llu+0 records in\n%llu+0 records out\n", records, records);
    if (!dev) return 1;
    if (fits < data.size()) {
        std::fprintf(stderr, "dd: error writing '%s': No space left on device\n", out.c_str());
        return 1;
    }
    return 0;
}

int dd(const Args& a) {
    std::string in, out;
    std::map<std::string, unsigned long long> numbers;
    bool plain = true;  // only operands the flash model knows
    for (size_t i = 1; i < a.size(); ++i) {
        size_t eq = a[i].find('=');
        if (eq == std::string::npos) {
            plain = false;
            continue;
        }
        std::string key = a[i].substr(0, eq), value = a[i].substr(eq + 1);
        if (key == "if") in = value;
        else if (key == "of") out = value;
        else if (key == "bs" || key == "skip" || key == "seek" || key == "count")
            plain = plain && ddNumber(value, numbers[key]);
        else
            plain = false;
    }
    auto bs = numbers.find("bs");
    bool device = !out.empty() && board::normalise(fs::absolute(out).string()).rfind("/dev/", 0) == 0;
    if (plain && device && (bs == numbers.end() || bs->second != 0)) return ddDevice(in, out, numbers);
    return execReal("/usr/bin/dd", a);
}

int mountTool(const Args& a) {
    std::vector<std::string> words;
    std::string type = "vfat";
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "-t" || a[i] == "-o") {
            if (a[i] == "-t" && i + 1 < a.size()) type = a[i + 1];
            ++i;
            continue;
        }
        if (a[i][0] != '-') words.push_back(a[i]);
    }
    if (words.size() != 2) {
        std::fprintf(stderr, "mount: need a device and a folder\n");
        return 1;
    }
    // A USB key: /dev/sdXN names a folder of /sim/usb/.
    int rc = board::sim::mountKey("", words[0], words[1], type, "rw,relatime");
    if (rc != 0) {
        std::fprintf(stderr, "mount: mounting %s on %s failed: %s\n", words[0].c_str(), words[1].c_str(),
                     std::strerror(rc));
        return 255;
    }
    return 0;
}

int umountTool(const Args& a) {
    std::vector<std::string> targets;
    for (size_t i = 1; i < a.size(); ++i)
        if (a[i][0] != '-') targets.push_back(a[i]);
    if (!board::sim::unmountKeys("", targets)) {
        std::fprintf(stderr, "umount: can't unmount: Invalid argument\n");
        return 1;
    }
    return 0;
}

// Processes "started" by the stand-ins, one name per line in sim/procs.
std::vector<std::string> procs() {
    std::ifstream in(kSim + "procs");
    std::vector<std::string> v;
    std::string l;
    while (std::getline(in, l))
        if (!l.empty()) v.push_back(l);
    return v;
}

void setProcs(const std::vector<std::string>& v) {
    std::ofstream out(kSim + "procs", std::ios::trunc);
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
    std::ifstream in(kSim + "clock_offset");
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
                ::execl("/usr/bin/date", "date", "-d", a[i + 1].c_str(), "+%s", static_cast<char*>(nullptr));
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
            std::ofstream(kSim + "clock_offset", std::ios::trunc) << (target - std::time(nullptr)) << '\n';
            ++i;
            continue;
        }
        real.push_back(a[i]);
    }
    real.insert(real.begin() + 1, "-d");
    real.insert(real.begin() + 2, "@" + std::to_string(std::time(nullptr) + clockOffset()));
    return execReal("/usr/bin/date", real);
}

int stty(const Args& a) { return execReal("/usr/bin/stty", a); }

// The board's host name is /sim/hostname, which the program sets.
int hostname(const Args& a) {
    if (a.size() == 1) {
        std::ifstream in(kSim + "hostname");
        std::string name;
        std::getline(in, name);
        std::printf("%s\n", name.empty() ? "(none)" : name.c_str());
        return 0;
    }
    if (a.size() != 2 || a[1].empty() || a[1][0] == '-' || a[1].size() > HOST_NAME_MAX) {
        std::fprintf(stderr, "hostname: not supported on this board: %s\n", joined(a).c_str());
        return 1;
    }
    std::ofstream(kSim + "hostname", std::ios::trunc) << a[1] << '\n';
    return 0;
}

// ---- the board's network: /sim/net/eth0 and the board's /proc/net/route ----

using Eth0 = board::sim::eth0::Interface;
using board::sim::eth0::ipv4;
using board::sim::eth0::subnet;

Eth0 loadEth0() { return board::sim::eth0::load(""); }
void saveEth0(Eth0& e) { board::sim::eth0::save("", e); }
std::string dottedAddress(uint32_t net) { return board::sim::eth0::dotted(net); }

int noInterface(const std::string& name) {
    std::fprintf(stderr, "ifconfig: %s: error fetching interface information: Device not found\n", name.c_str());
    return 1;
}

void showEth0(const Eth0& e) {
    std::string mac = e.get("mac");
    for (char& c : mac) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::printf("eth0      Link encap:Ethernet  HWaddr %s  \n", mac.c_str());
    auto ip = ipv4(e.get("ip")), mask = ipv4(e.get("mask"));
    if (ip && mask)
        std::printf("          inet addr:%s  Bcast:%s  Mask:%s\n", dottedAddress(*ip).c_str(),
                    dottedAddress(*ip | ~*mask).c_str(), dottedAddress(*mask).c_str());
    std::string flags = e.up() ? "UP BROADCAST " : "BROADCAST ";
    if (e.up() && e.values.getInt("link", 0) != 0) flags += "RUNNING ";
    std::printf("          %sMULTICAST  MTU:1500  Metric:1\n\n", flags.c_str());
}

int ifconfig(const Args& a) {
    Eth0 e = loadEth0();
    if (a.size() == 1) {
        if (e.exists) showEth0(e);
        return 0;
    }
    if (a[1] != "eth0" || !e.exists) return noInterface(a[1]);
    if (a.size() == 2) {
        showEth0(e);
        return 0;
    }
    if (a.size() == 3 && (a[2] == "up" || a[2] == "down")) {
        e.values.set("up", a[2] == "up" ? "1" : "0");
        saveEth0(e);
        return 0;
    }
    if (a.size() == 5 && a[2] == "hw" && a[3] == "ether") {
        if (e.up()) {
            std::fprintf(stderr, "ifconfig: SIOCSIFHWADDR: Device or resource busy\n");
            return 1;
        }
        unsigned b[6];
        int used = 0;
        if (std::sscanf(a[4].c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%n", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &used) !=
                6 ||
            static_cast<size_t>(used) != a[4].size()) {
            std::fprintf(stderr, "ifconfig: invalid hw-addr %s\n", a[4].c_str());
            return 1;
        }
        e.values.set("mac", a[4]);
        saveEth0(e);
        return 0;
    }
    if ((a.size() == 3 || (a.size() == 5 && a[3] == "netmask")) && ipv4(a[2])) {
        if (a.size() == 5 && !ipv4(a[4])) {
            std::fprintf(stderr, "ifconfig: bad netmask %s\n", a[4].c_str());
            return 1;
        }
        // Setting the address brings the interface up.
        e.values.set("ip", a[2]);
        if (a.size() == 5) e.values.set("mask", a[4]);
        e.values.set("up", "1");
        saveEth0(e);
        return 0;
    }
    std::fprintf(stderr, "ifconfig: not supported on this board: %s\n", joined(a).c_str());
    return 1;
}

int route(const Args& a) {
    Eth0 e = loadEth0();
    if (a.size() == 1 || (a.size() == 2 && a[1] == "-n")) {
        std::printf("Kernel IP routing table\n");
        std::printf("Destination     Gateway         Genmask         Flags Metric Ref    Use Iface\n");
        uint32_t ip = 0, mask = 0;
        if (e.exists && subnet(e, ip, mask)) {
            auto row = [](const std::string& dest, const std::string& gw, const std::string& genmask, const char* f) {
                std::printf("%-15s %-15s %-15s %-5s %-6d %-2d %7d %s\n", dest.c_str(), gw.c_str(), genmask.c_str(), f,
                            0, 0, 0, "eth0");
            };
            if (auto gw = ipv4(e.get("gw"))) row("0.0.0.0", dottedAddress(*gw), "0.0.0.0", "UG");
            row(dottedAddress(ip & mask), "0.0.0.0", dottedAddress(mask), "U");
        }
        return 0;
    }
    if (a.size() >= 5 && a[1] == "add" && a[2] == "default" && a[3] == "gw" && ipv4(a[4])) {
        uint32_t ip = 0, mask = 0;
        if (!e.exists || !subnet(e, ip, mask) || (*ipv4(a[4]) & mask) != (ip & mask)) {
            std::fprintf(stderr, "route: SIOCADDRT: Network is unreachable\n");
            return 1;
        }
        if (ipv4(e.get("gw"))) {
            std::fprintf(stderr, "route: SIOCADDRT: File exists\n");
            return 1;
        }
        e.values.set("gw", a[4]);
        saveEth0(e);
        return 0;
    }
    if (a.size() >= 3 && a[1] == "del" && a[2] == "default") {
        if (!e.exists || !ipv4(e.get("gw"))) {
            std::fprintf(stderr, "route: SIOCDELRT: No such process\n");
            return 1;
        }
        e.values.set("gw", "");
        saveEth0(e);
        return 0;
    }
    std::fprintf(stderr, "route: not supported on this board: %s\n", joined(a).c_str());
    return 1;
}

// The board's DHCP server: "dhcp_offer = <ip> <mask> [<gw>]" in board.conf;
// none (or "none") and every request fails.
int udhcpc(const Args&) {
    std::istringstream offer(gConf.get("dhcp_offer"));
    std::string ip, mask, gw;
    offer >> ip >> mask >> gw;
    Eth0 e = loadEth0();
    if (ip == "none" || !ipv4(ip) || !ipv4(mask) || (!gw.empty() && !ipv4(gw)) || !e.exists) {
        std::fprintf(stderr, "udhcpc: no lease, failing\n");
        return 1;
    }
    e.values.set("ip", ip);
    e.values.set("mask", mask);
    e.values.set("up", "1");
    e.values.set("gw", gw == "0.0.0.0" ? "" : gw);
    saveEth0(e);
    std::printf("udhcpc: lease of %s obtained, lease time 86400\n", ip.c_str());
    return 0;
}

// "ntpd -q" sets the clock once and ends; without it, it stays.
int ntpd(const Args& a) {
    for (size_t i = 1; i < a.size(); ++i)
        if (a[i] == "-q") return 0;
    return daemonTool(a);
}

// One character of a tr set at i (a backslash escape or itself); i moves past it.
int setChar(const std::string& set, size_t& i) {
    unsigned char c = static_cast<unsigned char>(set[i++]);
    if (c != '\\' || i >= set.size()) return c;
    static const char kEscapes[] = "\\\\a\ab\bf\fn\nr\rt\tv\v";
    for (const char* e = kEscapes; *e; e += 2)
        if (set[i] == e[0]) {
            ++i;
            return static_cast<unsigned char>(e[1]);
        }
    int value = 0, digits = 0;
    for (; digits < 3 && i < set.size() && set[i] >= '0' && set[i] <= '7'; ++digits)
        value = value * 8 + (set[i++] - '0');
    return digits ? (value & 0xFF) : static_cast<unsigned char>(set[i++]);
}

// The device's tr: a "[:class:]" anywhere in a set names the class, every
// other character stands for itself, so the network script's
// "tr -d [:[:alpha:]]" deletes ':' and the letters (the host's tr refuses
// that set). Deleting is all the device's scripts ask; anything else goes
// to the host's tr.
int trTool(const Args& a) {
    if (a.size() != 3 || a[1] != "-d") return execReal("/usr/bin/tr", a);
    static const std::pair<const char*, int (*)(int)> kClasses[] = {
        {"alpha", isalpha}, {"digit", isdigit}, {"alnum", isalnum}, {"upper", isupper},
        {"lower", islower}, {"space", isspace}, {"blank", isblank}, {"punct", ispunct},
        {"xdigit", isxdigit}, {"cntrl", iscntrl}, {"print", isprint}, {"graph", isgraph},
    };
    bool drop[256] = {};
    const std::string& set = a[2];
    for (size_t i = 0; i < set.size();) {
        bool isClass = false;
        if (set.compare(i, 2, "[:") == 0) {
            size_t end = set.find(":]", i + 2);
            std::string name = end == std::string::npos ? "" : set.substr(i + 2, end - i - 2);
            for (const auto& [className, test] : kClasses) {
                if (name != className) continue;
                for (int c = 0; c < 256; ++c) drop[c] = drop[c] || test(c);
                isClass = true;
                i = end + 2;
            }
        }
        if (isClass) continue;
        int first = setChar(set, i);
        if (i + 1 < set.size() && set[i] == '-') {
            ++i;
            for (int c = first, last = setChar(set, i); c <= last; ++c) drop[c] = true;
            continue;
        }
        drop[first] = true;
    }
    char in[4096], out[4096];
    ssize_t n;
    while ((n = ::read(0, in, sizeof in)) > 0) {
        size_t kept = 0;
        for (ssize_t k = 0; k < n; ++k)
            if (!drop[static_cast<unsigned char>(in[k])]) out[kept++] = in[k];
        if (kept && ::write(1, out, kept) != static_cast<ssize_t>(kept)) return 1;
    }
    return 0;
}

int logOnly(const Args&) { return 0; }

struct Tool {
    const char* name;
    int (*run)(const Args&);
    bool logged = true;  // the system tools' calls are what tools.log shows; text tools are not
};

// Every name the sandbox gives this program and what it does.
constexpr Tool kTools[] = {
    {"reboot", rebootTool}, {"halt", rebootTool},     {"poweroff", rebootTool},
    {"mount", mountTool},   {"umount", umountTool},   {"flash_eraseall", flashErase},
    {"flashcp", flashcp},   {"dd", dd},               {"ifconfig", ifconfig},
    {"route", route},       {"udhcpc", udhcpc},       {"ntpd", ntpd},
    {"httpd", daemonTool},  {"killall", killall},     {"pgrep", findProc},
    {"pidof", findProc},    {"date", dateTool},       {"stty", stty},
    {"hwclock", logOnly},   {"hostname", hostname},   {"tr", trTool, false},
};

// The sandbox binds this program under exactly the names it serves.
constexpr bool sameNames() {
    if (std::size(kTools) != std::size(board::sim::standin::kNames)) return false;
    for (size_t i = 0; i < std::size(kTools); ++i)
        if (std::string_view(kTools[i].name) != board::sim::standin::kNames[i]) return false;
    return true;
}
static_assert(sameNames(), "the tool table and the sandbox's stand-in names differ");

}  // namespace

int main(int argc, char** argv) {
    std::string name = fs::path(argv[0]).filename();
    // Only inside a board's sandbox is "/" a board.
    if (!gConf.load(kSim + "board.conf")) {
        std::fprintf(stderr, "%s: not started on a simulated board; refusing\n", name.c_str());
        return 126;
    }
    Args args(argv, argv + argc);
    args[0] = name;
    const Tool* tool = nullptr;
    for (const Tool& t : kTools)
        if (name == t.name) tool = &t;
    if (tool == nullptr || tool->logged) appendLine("tools.log", joined(args));
    if (tool != nullptr) {
        const Tool& t = *tool;
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
