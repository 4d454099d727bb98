#include "platform/sim/video_sim.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/video.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;

namespace board::sim::video {
namespace {

using board::video::kConnectors;
using board::video::kEdidSize;
using board::video::kNoSignal;
using board::video::kOutputs;
using board::video::kXpointDestinations;
using board::video::kXpointSources;

enum class SinkEdid { VALID, BAD };

struct Input {
    int format = kNoSignal;
    bool hotPlug = true;
    uint64_t lowSince = 0;
    int pulses = 0;
    int lastPulseMs = 0;
    bool hdcp = false;
    std::vector<uint8_t> edid;  // what the switch port holds
};

struct Output {
    bool sinkOn = true;
    SinkEdid edid = SinkEdid::VALID;
    bool tmds = true;
    bool power5v = true;
    bool muted = false;
};

std::mutex gMutex;
std::string gLoadedFor;  // the board root the state below belongs to
std::array<Input, kConnectors> gInput;
std::array<Output, kOutputs> gOutput;
bool gXpoint[kXpointSources][kXpointDestinations] = {};
const char* (*gFormatName)(int) = nullptr;
int gFormatCount = 0;

uint64_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

std::string edidFile(int connector) {
    return board::root() + "/sim/edid/in" + std::to_string(connector + 1) + ".bin";
}

bool sinkFromWord(const std::string& w, Output& o) {
    if (w == "on") o.sinkOn = true, o.edid = SinkEdid::VALID;
    else if (w == "off") o.sinkOn = false;
    else if (w == "badedid") o.sinkOn = true, o.edid = SinkEdid::BAD;
    else return false;
    return true;
}

// The board's configuration and the switch ports' memory, once per board.
void loadLocked() {
    if (!board::isOpen() || gLoadedFor == board::root()) return;
    gLoadedFor = board::root();
    gInput.fill(Input{});
    gOutput.fill(Output{});
    std::memset(gXpoint, 0, sizeof gXpoint);
    for (int c = 0; c < kConnectors; ++c) {
        std::string w = conf().get("input." + std::to_string(c + 1), "none");
        int f = w == "none" ? kNoSignal : formatIndex(w);
        gInput[c].format = f < 0 ? kNoSignal : f;
        std::ifstream in(edidFile(c), std::ios::binary);
        gInput[c].edid.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (int o = 0; o < kOutputs; ++o) sinkFromWord(conf().get("sink." + std::to_string(o + 1), "on"), gOutput[o]);
}

bool validConnector(int c) { return c >= 0 && c < kConnectors; }
bool validOutput(int o) { return o >= 0 && o < kOutputs; }

// The sink's EDID: a base block with one detailed timing (1920 x 1080 at
// 60 Hz) and no extension; "badedid" spoils its checksum.
std::array<uint8_t, kEdidSize> sinkEdid(SinkEdid kind) {
    std::array<uint8_t, kEdidSize> e{};
    static const uint8_t kHead[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x4E, 0xAD, 0x01, 0x00,
                                    0x01, 0x00, 0x00, 0x00, 0x01, 0x22, 0x01, 0x03, 0x80, 0x50, 0x2D, 0x78};
    std::memcpy(e.data(), kHead, sizeof kHead);
    static const uint8_t kDtd[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                     0x2C, 0x45, 0x00, 0x20, 0xC2, 0x31, 0x00, 0x00, 0x1E};
    std::memcpy(e.data() + 54, kDtd, sizeof kDtd);
    for (int d = 72; d < 126; d += 18) e[static_cast<size_t>(d) + 3] = 0x10;  // dummy descriptors
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i) sum = static_cast<uint8_t>(sum + e[static_cast<size_t>(i)]);
    e[127] = static_cast<uint8_t>(0x100 - sum);
    if (kind == SinkEdid::BAD) e[127] = static_cast<uint8_t>(e[127] + 1);
    return e;
}

std::string stateText() {
    std::lock_guard lock(gMutex);
    loadLocked();
    std::string out;
    char line[160];
    for (int c = 0; c < kConnectors; ++c) {
        const Input& i = gInput[static_cast<size_t>(c)];
        std::string f = i.format == kNoSignal ? "none" : std::to_string(i.format);
        std::snprintf(line, sizeof line, "input %d format %s hotplug %s pulses %d hdcp %s edid %zu\n", c + 1,
                      f.c_str(), i.hotPlug ? "high" : "low", i.pulses, i.hdcp ? "on" : "off", i.edid.size());
        out += line;
    }
    for (int o = 0; o < kOutputs; ++o) {
        const Output& s = gOutput[static_cast<size_t>(o)];
        std::snprintf(line, sizeof line, "output %d sink %s edid %s tmds %s 5v %s mute %s\n", o + 1,
                      s.sinkOn ? "on" : "off", s.edid == SinkEdid::VALID ? "valid" : "bad", s.tmds ? "on" : "off",
                      s.power5v ? "on" : "off", s.muted ? "on" : "off");
        out += line;
    }
    return out;
}

std::string crosspointText() {
    std::lock_guard lock(gMutex);
    std::string out;
    for (int x = 0; x < kXpointSources; ++x)
        for (int y = 0; y < kXpointDestinations; ++y)
            if (gXpoint[x][y]) out += "X" + std::to_string(x) + " Y" + std::to_string(y) + "\n";
    return out.empty() ? "open\n" : out;
}

int number(const std::string& s, int lo, int hi) {
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < lo || v > hi) return -1;
    return static_cast<int>(v);
}

}  // namespace

void setFormatNames(const char* (*name)(int), int count) {
    std::lock_guard lock(gMutex);
    gFormatName = name;
    gFormatCount = count;
}

int formatIndex(const std::string& word) {
    if (gFormatName != nullptr)
        for (int f = 0; f < gFormatCount; ++f)
            if (word == gFormatName(f)) return f;
    return number(word, 0, kNoSignal - 1);
}

int hotPlugPulses(int connector, int* lastMs) {
    std::lock_guard lock(gMutex);
    loadLocked();
    if (!validConnector(connector)) return 0;
    if (lastMs) *lastMs = gInput[static_cast<size_t>(connector)].lastPulseMs;
    return gInput[static_cast<size_t>(connector)].pulses;
}

void registerControl() {
    ctl::add("input", "input N connect FORMAT|disconnect   a source on input N (1..8), FORMAT a name or index",
             [](const std::vector<std::string>& a) {
                 const std::string usage = "ERR usage: input N connect FORMAT|disconnect";
                 if (a.size() < 3) return usage;
                 int n = number(a[1], 1, kConnectors);
                 if (n < 0) return "ERR no input '" + a[1] + "'";
                 int format = kNoSignal;
                 if (a[2] == "connect" && a.size() == 4) {
                     format = formatIndex(a[3]);
                     if (format < 0) return "ERR unknown format '" + a[3] + "'";
                 } else if (a[2] != "disconnect" || a.size() != 3) {
                     return usage;
                 }
                 {
                     std::lock_guard lock(gMutex);
                     loadLocked();
                     gInput[static_cast<size_t>(n - 1)].format = format;
                 }
                 if (format == kNoSignal) {
                     journal("video.input", "connector=%d none", n - 1);
                     return "OK input " + a[1] + " disconnected";
                 }
                 journal("video.input", "connector=%d format=%d", n - 1, format);
                 return "OK input " + a[1] + " format " + std::to_string(format);
             });
    ctl::add("sink", "sink N on|off|badedid      the sink on output N (1..4)", [](const std::vector<std::string>& a) {
        if (a.size() != 3) return std::string("ERR usage: sink N on|off|badedid");
        int n = number(a[1], 1, kOutputs);
        if (n < 0) return "ERR no output '" + a[1] + "'";
        {
            std::lock_guard lock(gMutex);
            loadLocked();
            if (!sinkFromWord(a[2], gOutput[static_cast<size_t>(n - 1)]))
                return std::string("ERR usage: sink N on|off|badedid");
        }
        journal("video.sink", "output=%d %s", n - 1, a[2].c_str());
        return "OK sink " + a[1] + " " + a[2];
    });
    ctl::addState("video", stateText);
    ctl::addState("crosspoint", crosspointText);
}

}  // namespace board::sim::video

namespace board::video {

using namespace board::sim::video;

int inputFormat(int connector) {
    std::lock_guard lock(board::sim::video::gMutex);
    loadLocked();
    return validConnector(connector) ? gInput[static_cast<size_t>(connector)].format : kNoSignal;
}

void setHotPlug(int connector, bool high) {
    int ms = -1;
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validConnector(connector)) return;
        Input& i = gInput[static_cast<size_t>(connector)];
        if (i.hotPlug == high) return;
        i.hotPlug = high;
        if (!high) {
            i.lowSince = nowMs();
        } else {
            ms = static_cast<int>(nowMs() - i.lowSince);
            i.lastPulseMs = ms;
            ++i.pulses;
        }
    }
    if (high) journal("video.hotplug", "connector=%d high after %d ms", connector, ms);
    else journal("video.hotplug", "connector=%d low", connector);
}

void loadEdid(int connector, const uint8_t* image, size_t size) {
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validConnector(connector) || image == nullptr) return;
        gInput[static_cast<size_t>(connector)].edid.assign(image, image + size);
    }
    std::error_code ec;
    fs::create_directories(board::root() + "/sim/edid", ec);
    std::string file = edidFile(connector), tmp = file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image), static_cast<std::streamsize>(size));
    }
    fs::rename(tmp, file, ec);
    journal("video.edid", "connector=%d bytes=%zu", connector, size);
}

bool portEdid(int connector, uint8_t* image, size_t size) {
    std::lock_guard lock(board::sim::video::gMutex);
    loadLocked();
    if (!validConnector(connector)) return false;
    const auto& e = gInput[static_cast<size_t>(connector)].edid;
    if (e.size() != size) return false;
    std::memcpy(image, e.data(), size);
    return true;
}

void setHdcp(int connector, bool on) {
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validConnector(connector)) return;
        gInput[static_cast<size_t>(connector)].hdcp = on;
    }
    journal("video.hdcp", "connector=%d %s", connector, on ? "on" : "off");
}

bool sinkPowered(int output) {
    std::lock_guard lock(board::sim::video::gMutex);
    loadLocked();
    return validOutput(output) && gOutput[static_cast<size_t>(output)].sinkOn;
}

bool readSinkEdid(int output, uint8_t* image, size_t size) {
    SinkEdid kind;
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validOutput(output) || !gOutput[static_cast<size_t>(output)].sinkOn) return false;
        kind = gOutput[static_cast<size_t>(output)].edid;
    }
    auto e = sinkEdid(kind);
    std::memcpy(image, e.data(), std::min(size, e.size()));
    return true;
}

void setOutput(int output, bool tmds, bool power5v) {
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validOutput(output)) return;
        Output& o = gOutput[static_cast<size_t>(output)];
        if (o.tmds == tmds && o.power5v == power5v) return;
        o.tmds = tmds;
        o.power5v = power5v;
    }
    journal("video.output", "output=%d tmds=%d 5v=%d", output, tmds ? 1 : 0, power5v ? 1 : 0);
}

void setOutputMute(int output, bool muted) {
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validOutput(output) || gOutput[static_cast<size_t>(output)].muted == muted) return;
        gOutput[static_cast<size_t>(output)].muted = muted;
    }
    journal("video.mute", "output=%d %s", output, muted ? "on" : "off");
}

void crosspointSwitch(int source, int destination, bool closed) {
    if (source < 0 || source >= kXpointSources || destination < 0 || destination >= kXpointDestinations) return;
    {
        std::lock_guard lock(board::sim::video::gMutex);
        board::sim::video::loadLocked();
        if (gXpoint[source][destination] == closed) return;
        gXpoint[source][destination] = closed;
    }
    journal("xpoint.switch", "X%d Y%d %s", source, destination, closed ? "closed" : "open");
}

void crosspointReset() {
    {
        std::lock_guard lock(board::sim::video::gMutex);
        std::memset(gXpoint, 0, sizeof gXpoint);
    }
    journal("xpoint.reset", "all open");
}

bool crosspointClosed(int source, int destination) {
    if (source < 0 || source >= kXpointSources || destination < 0 || destination >= kXpointDestinations) return false;
    std::lock_guard lock(board::sim::video::gMutex);
    board::sim::video::loadLocked();
    return gXpoint[source][destination];
}

}  // namespace board::video
