#include "platform/sim/panel_sim.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/panel.h"
#include "platform/sim/ctl.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace board::sim::panel {
namespace {

constexpr int kKeys = 64;

struct KeyName {
    const char* name;
    int code;
};
constexpr KeyName kKeyNames[] = {
    {"MENU", 0},     {"ENTER", 1},    {"DOWN", 2},     {"UP", 3},       {"LEFT", 4},     {"RIGHT", 5},
    {"LOCK", 7},     {"USR1", 8},     {"USR2", 9},     {"MODE", 10},    {"BLANK2", 11},  {"FREEZE2", 12},
    {"BLANK1", 13},  {"FREEZE1", 14}, {"IN1_1", 15},   {"IN1_2", 16},   {"IN1_3", 17},   {"IN1_4", 18},
    {"IN1_5", 19},   {"IN1_6", 20},   {"IN1_7", 21},   {"IN1_8", 22},   {"IN2_1", 23},   {"IN2_2", 24},
    {"IN2_3", 25},   {"IN2_4", 26},   {"IN2_5", 27},   {"IN2_6", 28},   {"IN2_7", 29},   {"IN2_8", 30},
    {"POWER", 33},
};

std::mutex gMutex;
bool gHeld[kKeys] = {};
uint64_t gReleaseAt[kKeys] = {};
// A timed key stays down until the driver has read it down once, however
// late its scan comes on a loaded machine: no tap is ever lost.
bool gSeenDown[kKeys] = {};
uint16_t gLed[board::panel::kLeds] = {};
std::deque<int64_t> gIr;

uint64_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

std::string ledTextLocked() {
    std::string out;
    char line[40];
    for (int i = 0; i < board::panel::kLeds; ++i) {
        uint16_t w = gLed[i];
        std::snprintf(line, sizeof line, "%d %d %d %d %d\n", i, w & 7, (w >> 3) & 7, (w >> 6) & 7, (w >> 9) & 1);
        out += line;
    }
    return out;
}

void writeLeds() {
    std::string text = ledTextLocked();
    std::string file = board::root() + "/sim/leds.txt";
    std::string tmp = file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << text;
    }
    std::rename(tmp.c_str(), file.c_str());  // readers never see half a file
}

// The remote's table: name -> code.
int64_t irCodeOf(const std::string& name) {
    std::ifstream in(board::root() + "/root/app/memfiles/ir_codes.csv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream ss(line);
        std::string n, code;
        if (std::getline(ss, n, ',') && std::getline(ss, code, ',') && n == name)
            return std::strtoll(code.c_str(), nullptr, 0);
    }
    char* end = nullptr;
    long long v = std::strtoll(name.c_str(), &end, 0);
    return (!name.empty() && *end == '\0') ? v : -1;
}

}  // namespace

int keyCode(const std::string& name) {
    for (const auto& k : kKeyNames)
        if (name == k.name) return k.code;
    char* end = nullptr;
    long v = std::strtol(name.c_str(), &end, 10);
    if (name.empty() || *end != '\0' || v < 0 || v >= kKeys) return -1;
    return static_cast<int>(v);
}

void press(int key) {
    std::lock_guard lock(gMutex);
    gHeld[key] = true;
    journal("panel.press", "key=%d", key);
}

void release(int key) {
    std::lock_guard lock(gMutex);
    gHeld[key] = false;
    gReleaseAt[key] = 0;
    journal("panel.release", "key=%d", key);
}

void holdFor(int key, uint32_t ms) {
    std::lock_guard lock(gMutex);
    gHeld[key] = false;
    gReleaseAt[key] = nowMs() + ms;
    gSeenDown[key] = false;
    journal("panel.hold", "key=%d ms=%u", key, ms);
}

void irSend(int64_t code) {
    std::lock_guard lock(gMutex);
    gIr.push_back(code);
    journal("ir.code", "0x%08llX", static_cast<unsigned long long>(code));
}

std::string ledText() {
    std::lock_guard lock(gMutex);
    return ledTextLocked();
}

void registerControl() {
    ctl::add("key", "key tap|press|release|hold NAME [ms]   a front-panel key (MENU, IN1_1, ... or a number)",
             [](const std::vector<std::string>& a) {
                 if (a.size() < 3) return std::string("ERR usage: key tap|press|release|hold NAME [ms]");
                 int key = keyCode(a[2]);
                 if (key < 0) return "ERR unknown key '" + a[2] + "'";
                 long ms = a.size() > 3 ? std::strtol(a[3].c_str(), nullptr, 10) : 100;
                 if (ms <= 0 || ms > 600000) return std::string("ERR bad time");
                 if (a[1] == "press") press(key);
                 else if (a[1] == "release") release(key);
                 else if (a[1] == "tap" || (a[1] == "hold" && a.size() > 3)) holdFor(key, static_cast<uint32_t>(ms));
                 else return std::string("ERR usage: key tap|press|release|hold NAME [ms]");
                 return "OK key " + std::to_string(key) + " " + a[1];
             });
    ctl::add("ir", "ir NAME|CODE              the remote sends a button of its table", [](const std::vector<std::string>& a) {
        if (a.size() != 2) return std::string("ERR usage: ir NAME|CODE");
        int64_t code = irCodeOf(a[1]);
        if (code < 0) return "ERR unknown button '" + a[1] + "'";
        irSend(code);
        char text[32];
        std::snprintf(text, sizeof text, "OK ir 0x%08llX", static_cast<unsigned long long>(code));
        return std::string(text);
    });
    ctl::addSnapshot("leds", [] {
        std::lock_guard lock(gMutex);
        writeLeds();
        return std::string("leds sim/leds.txt");
    });
    ctl::addState("leds", [] { return ledText(); });
    std::lock_guard lock(gMutex);
    writeLeds();
}

std::string terminalKeyCommand(const std::string& in, size_t& used) {
    used = in.empty() ? 0 : 1;
    if (in.empty()) return "";
    if (in[0] == '\x1b') {
        if (in.size() >= 3 && in[1] == '[') {
            used = 3;
            switch (in[2]) {
                case 'A': return "key tap UP";
                case 'B': return "key tap DOWN";
                case 'C': return "key tap RIGHT";
                case 'D': return "key tap LEFT";
                default: return "";
            }
        }
        return "key tap MENU";
    }
    static const std::pair<char, const char*> kKeys[] = {
        {'\r', "key tap ENTER"},  {'\n', "key tap ENTER"},      {'m', "key tap MENU"},
        {'M', "key hold MENU 3200"}, {'1', "key tap IN1_1"},     {'2', "key tap IN1_2"},
        {'3', "key tap IN1_3"},    {'4', "key tap IN1_4"},      {'5', "key tap IN1_5"},
        {'6', "key tap IN1_6"},    {'7', "key tap IN1_7"},      {'8', "key tap IN1_8"},
        {'!', "key tap IN2_1"},    {'@', "key tap IN2_2"},      {'#', "key tap IN2_3"},
        {'$', "key tap IN2_4"},    {'%', "key tap IN2_5"},      {'^', "key tap IN2_6"},
        {'&', "key tap IN2_7"},    {'*', "key tap IN2_8"},      {'b', "key tap BLANK1"},
        {'B', "key tap BLANK2"},   {'f', "key tap FREEZE1"},    {'F', "key tap FREEZE2"},
        {'a', "key tap MODE"},     {'u', "key tap USR1"},       {'U', "key tap USR2"},
        {'l', "key hold LOCK 3200"}, {'p', "key tap POWER"},    {'s', "snapshot"},
        {'q', "quit"},             {'\x03', "quit"},
    };
    for (const auto& [c, line] : kKeys)
        if (in[0] == c) return line;
    return "";
}

}  // namespace board::sim::panel

namespace board::panel {

uint64_t keys() {
    using namespace board::sim::panel;
    std::lock_guard lock(gMutex);
    uint64_t now = nowMs();
    uint64_t bits = 0;
    for (int k = 0; k < kKeys; ++k) {
        const bool timed = gReleaseAt[k] != 0 && (now < gReleaseAt[k] || !gSeenDown[k]);
        if (timed) gSeenDown[k] = true;
        else gReleaseAt[k] = 0;
        if (gHeld[k] || timed) bits |= uint64_t{1} << k;
    }
    return bits;
}

void setLed(uint16_t word) {
    using namespace board::sim::panel;
    std::lock_guard lock(gMutex);
    int led = word >> 11;
    if (led >= kLeds) return;
    if (gLed[led] == word) return;
    gLed[led] = word;
    if (board::isOpen()) writeLeds();
}

int64_t irPoll() {
    using namespace board::sim::panel;
    std::lock_guard lock(gMutex);
    if (gIr.empty()) return -1;
    int64_t c = gIr.front();
    gIr.pop_front();
    return c;
}

}  // namespace board::panel
