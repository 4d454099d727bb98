// GPIO, clock chip, FPGA, DSP and PHY of the simulated board. Their state
// comes from board.conf and lives in files under <root>/sim so that a test
// or a person sees what the program did:
//   fpga_ready = 1, fpga_version = 1.0.0   the FPGA at start (its output links in "ctl state")
//   sim/fpga-config.bin                    the configuration flash (absent: blank)
//   dsp_fail = 0                           the DSP stops answering ("ctl dsp fail" too)
//   sim/rtc                                the clock chip's time
//   sim/clock_offset                       system clock minus the host's, in seconds
//   watchdog_action = reboot | log         what the watchdog does with a stuck thread
#include "platform/hw.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/net.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/sim/hw_sim.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

namespace fs = std::filesystem;

namespace board {
namespace {

std::mutex gMutex;
std::map<unsigned, uint32_t> gGpio;
bool gFpgaLoaded = false;
int gFpgaVersion[3] = {0, 0, 0};
bool gFpgaReady = true;
int gFpgaLinkWindows = 0;  // 0: not set since the registers' reset
std::atomic<bool> gDspFailed{false};
bool gDspLoaded = false;
std::string gStateOf;  // the board root the state above belongs to

// A board comes up with devices of its own. Called with gMutex held.
void freshForBoard() {
    if (gStateOf == root()) return;
    gStateOf = root();
    gGpio.clear();
    gFpgaLoaded = gDspLoaded = false;
    gFpgaLinkWindows = 0;
    gDspFailed = false;
}

void loadFpga() {
    freshForBoard();
    if (gFpgaLoaded) return;
    gFpgaLoaded = true;
    std::string v = sim::conf().get("fpga_version", "1.0.0");
    if (std::sscanf(v.c_str(), "%d.%d.%d", &gFpgaVersion[0], &gFpgaVersion[1], &gFpgaVersion[2]) != 3)
        gFpgaVersion[0] = gFpgaVersion[1] = gFpgaVersion[2] = 0;
    gFpgaReady = sim::conf().getInt("fpga_ready", 1) != 0;
    // A configuration written earlier on this board carries its version.
    std::ifstream in(root() + "/sim/fpga-config.version");
    int a = 0, b = 0, c = 0;
    if (in >> a >> b >> c) gFpgaVersion[0] = a, gFpgaVersion[1] = b, gFpgaVersion[2] = c;
}

bool dspFailed() {
    std::lock_guard lock(gMutex);
    freshForBoard();
    if (!gDspLoaded) {
        gDspLoaded = true;
        if (sim::conf().getInt("dsp_fail", 0) != 0) gDspFailed = true;
    }
    return gDspFailed;
}

}  // namespace

int boardRevision() { return static_cast<int>(sim::conf().getInt("board_revision", 1)); }

bool watchdogRebootsOnStuck() { return sim::conf().get("watchdog_action", "reboot") != "log"; }

namespace gpio {
uint32_t read(unsigned reg) {
    std::lock_guard lock(gMutex);
    freshForBoard();
    return gGpio[reg];
}
void write(unsigned reg, uint32_t value) {
    {
        std::lock_guard lock(gMutex);
        freshForBoard();
        gGpio[reg] = value;
    }
    journal("gpio.write", "reg=0x%02X value=0x%08X", reg, value);
}
}  // namespace gpio

namespace rtc {
int set(const std::tm& t) {
    if (sim::conf().getInt("rtc_fail", 0) != 0) return EIO;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d\n", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    std::ofstream out(root() + "/sim/rtc", std::ios::trunc);
    out << text;
    if (!out) return EIO;
    journal("rtc.set", "%.19s", text);
    return 0;
}
}  // namespace rtc

namespace clock {
namespace {
std::time_t offset() {
    std::ifstream in(root() + "/sim/clock_offset");
    long long v = 0;
    return in >> v ? static_cast<std::time_t>(v) : 0;
}
}  // namespace

std::time_t now() { return std::time(nullptr) + offset(); }

int set(std::time_t t) {
    std::ofstream out(root() + "/sim/clock_offset", std::ios::trunc);
    out << static_cast<long long>(t - std::time(nullptr)) << '\n';
    if (!out) return EIO;
    journal("clock.set", "%lld", static_cast<long long>(t));
    return 0;
}
}  // namespace clock

namespace fpga {
bool version(int v[3]) {
    std::lock_guard lock(gMutex);
    loadFpga();
    for (int i = 0; i < 3; ++i) v[i] = gFpgaVersion[i];
    return gFpgaReady;
}
bool ready() {
    std::lock_guard lock(gMutex);
    loadFpga();
    return gFpgaReady;
}
bool configBlank() {
    std::error_code ec;
    return !fs::exists(root() + "/sim/fpga-config.bin", ec);
}
int program(const std::string& image, const int v[3]) {
    std::error_code ec;
    fs::copy_file(image, root() + "/sim/fpga-config.bin", fs::copy_options::overwrite_existing, ec);
    if (ec) return EIO;
    std::ofstream(root() + "/sim/fpga-config.version") << v[0] << ' ' << v[1] << ' ' << v[2] << '\n';
    std::lock_guard lock(gMutex);
    loadFpga();
    for (int i = 0; i < 3; ++i) gFpgaVersion[i] = v[i];
    journal("fpga.program", "image=%s version=%d.%d.%d", image.c_str(), v[0], v[1], v[2]);
    return 0;
}
void resetRegisters() {
    {
        std::lock_guard lock(gMutex);
        freshForBoard();
        gFpgaLinkWindows = 0;
    }
    journal("fpga.reset", "registers");
}
void setOutputLink(int windows) {
    {
        std::lock_guard lock(gMutex);
        freshForBoard();
        gFpgaLinkWindows = windows;
    }
    journal("fpga.link", "windows=%d", windows);
}
}  // namespace fpga

namespace dsp {
bool alive() { return !dspFailed(); }
int restart() {
    gDspFailed = false;
    journal("dsp.restart", "ok");
    return 0;
}
}  // namespace dsp

namespace phy {
// The link of eth0 as the network queries report it (sim/net/eth0's
// "link = 0" is a pulled cable); a board without eth0 has nothing to reset.
bool linkUp() {
    net::InterfaceInfo eth0;
    return !net::queryInterface("eth0", eth0) || eth0.link;
}
void reset() { journal("phy.reset", "eth0"); }
}  // namespace phy

namespace sim {
void registerHwControl() {
    ctl::add("dsp", "dsp fail|ok               the audio DSP stops or resumes answering",
             [](const std::vector<std::string>& a) {
                 if (a.size() != 2 || (a[1] != "fail" && a[1] != "ok")) return std::string("ERR usage: dsp fail|ok");
                 dspFailed();
                 gDspFailed = a[1] == "fail";
                 return "OK dsp " + a[1];
             });
    ctl::addState("fpga", [] {
        std::lock_guard lock(gMutex);
        loadFpga();
        char text[96];
        std::snprintf(text, sizeof text, "version %d.%d.%d ready %d\n", gFpgaVersion[0], gFpgaVersion[1],
                      gFpgaVersion[2], gFpgaReady ? 1 : 0);
        std::string out = text;
        out += gFpgaLinkWindows == 0 ? std::string("link unset\n")
                                     : "link windows " + std::to_string(gFpgaLinkWindows) + "\n";
        return out;
    });
    ctl::addState("gpio", [] {
        std::lock_guard lock(gMutex);
        std::string out;
        char line[48];
        for (auto [reg, v] : gGpio) {
            std::snprintf(line, sizeof line, "0x%02X 0x%08X\n", reg, v);
            out += line;
        }
        return out;
    });
}
}  // namespace sim

}  // namespace board
