#include "platform/sim/video_sim.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/video.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>
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

constexpr const char* kDefaultSinkTiming = "1080p60";
// 1920 x 1080 at 60 Hz, what a sink prefers when its timing is not known.
constexpr uint8_t kDtd1080p60[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                     0x2C, 0x45, 0x00, 0x20, 0xC2, 0x31, 0x00, 0x00, 0x1E};

enum class SinkEdid { VALID, BAD };
enum class SinkKind { HDMI, DVI };

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
    SinkKind kind = SinkKind::HDMI;
    std::string prefers = kDefaultSinkTiming;
    bool changed = false;  // the transmitter's sink interrupt
    bool tmds = true;
    bool power5v = true;
    bool muted = false;
    // What the transmitter sends (width 0: nothing set yet).
    uint16_t width = 0, height = 0;
    uint32_t clockKHz = 0;
    bool interlaced = false;
    int colorFormat = 0, bits = 24;
};

std::mutex gMutex;
std::string gLoadedFor;  // the board root the state below belongs to
std::array<Input, kConnectors> gInput;
std::array<Output, kOutputs> gOutput;
bool gXpoint[kXpointSources][kXpointDestinations] = {};
const char* (*gFormatName)(int) = nullptr;
int gFormatCount = 0;
bool (*gSinkTiming)(const std::string&, uint8_t*) = nullptr;
struct {
    int connector = -1;
    bool on = false;
} gHotPlugPins;
int gReceiverColorSpace[2] = {-1, -1};

uint64_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

std::string edidFile(int connector) {
    return board::root() + "/sim/edid/in" + std::to_string(connector + 1) + ".bin";
}

// "on|dvi|badedid [TIMING]" or "off".
bool sinkFromWords(const std::vector<std::string>& w, Output& o) {
    if (w.empty() || w.size() > 2 || (w[0] == "off" && w.size() != 1)) return false;
    if (w[0] == "on") o.sinkOn = true, o.edid = SinkEdid::VALID, o.kind = SinkKind::HDMI;
    else if (w[0] == "dvi") o.sinkOn = true, o.edid = SinkEdid::VALID, o.kind = SinkKind::DVI;
    else if (w[0] == "off") o.sinkOn = false;
    else if (w[0] == "badedid") o.sinkOn = true, o.edid = SinkEdid::BAD;
    else return false;
    if (w[0] != "off") o.prefers = w.size() == 2 ? w[1] : kDefaultSinkTiming;
    return true;
}

// The board's configuration and the switch ports' memory, once per board.
void loadLocked() {
    if (!board::isOpen() || gLoadedFor == board::root()) return;
    gLoadedFor = board::root();
    gInput.fill(Input{});
    gOutput.fill(Output{});
    std::memset(gXpoint, 0, sizeof gXpoint);
    gHotPlugPins = {};
    std::fill(std::begin(gReceiverColorSpace), std::end(gReceiverColorSpace), -1);
    for (int c = 0; c < kConnectors; ++c) {
        std::string w = conf().get("input." + std::to_string(c + 1), "none");
        int f = w == "none" ? kNoSignal : formatIndex(w);
        gInput[c].format = f < 0 ? kNoSignal : f;
        std::ifstream in(edidFile(c), std::ios::binary);
        gInput[c].edid.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (int o = 0; o < kOutputs; ++o)
        sinkFromWords(ctl::splitWords(conf().get("sink." + std::to_string(o + 1), "on")), gOutput[o]);
}

bool validConnector(int c) { return c >= 0 && c < kConnectors; }
bool validOutput(int o) { return o >= 0 && o < kOutputs; }

// The sink's EDID: a base block whose first detailed timing is the one the
// sink prefers; an HDMI sink adds a CTA extension announcing YCbCr 4:4:4
// and 4:2:2 and deep colour up to 36 bits. "badedid" spoils the checksum.
std::array<uint8_t, kEdidSize> sinkEdid(const Output& o) {
    std::array<uint8_t, kEdidSize> e{};
    static const uint8_t kHead[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x4E, 0xAD, 0x01, 0x00,
                                    0x01, 0x00, 0x00, 0x00, 0x01, 0x22, 0x01, 0x03, 0x80, 0x50, 0x2D, 0x78};
    std::memcpy(e.data(), kHead, sizeof kHead);
    if (gSinkTiming == nullptr || !gSinkTiming(o.prefers, e.data() + 54))
        std::memcpy(e.data() + 54, kDtd1080p60, sizeof kDtd1080p60);
    for (int d = 72; d < 126; d += 18) e[static_cast<size_t>(d) + 3] = 0x10;  // dummy descriptors
    auto sum = [&e](size_t from) {
        uint8_t s = 0;
        for (size_t i = from; i < from + 127; ++i) s = static_cast<uint8_t>(s + e[i]);
        e[from + 127] = static_cast<uint8_t>(0x100 - s);
    };
    if (o.kind == SinkKind::HDMI) {
        e[126] = 1;
        // Tag, revision, detailed timings at 12, basic audio, YCbCr 4:4:4
        // and 4:2:2; the HDMI vendor block: address 1.0.0.0, deep colour
        // 36 and 30 bits and 4:4:4, 225 MHz.
        static const uint8_t kCta[] = {0x02, 0x03, 0x0C, 0x70, 0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x38, 0x2D};
        std::memcpy(e.data() + 128, kCta, sizeof kCta);
        sum(128);
    }
    sum(0);
    if (o.edid == SinkEdid::BAD) e[127] = static_cast<uint8_t>(e[127] + 1);
    return e;
}

const char* colorFormatName(int f) { return f == 1 ? "ycbcr444" : f == 2 ? "ycbcr422" : "rgb"; }

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
    if (gHotPlugPins.on) out += "hotplug pins input " + std::to_string(gHotPlugPins.connector + 1) + "\n";
    else out += "hotplug pins off\n";
    static const char* const kReceiverColor[] = {"automatic", "rgb", "ycbcr"};
    for (int r = 0; r < 2; ++r) {
        int v = gReceiverColorSpace[r];
        out += "receiver " + std::to_string(r + 1) + " colour space " + (v < 0 ? "unset" : kReceiverColor[v]) + "\n";
    }
    for (int o = 0; o < kOutputs; ++o) {
        const Output& s = gOutput[static_cast<size_t>(o)];
        std::snprintf(line, sizeof line, "output %d sink %s edid %s tmds %s 5v %s mute %s\n", o + 1,
                      s.sinkOn ? "on" : "off", s.edid == SinkEdid::VALID ? "valid" : "bad", s.tmds ? "on" : "off",
                      s.power5v ? "on" : "off", s.muted ? "on" : "off");
        out += line;
        std::snprintf(line, sizeof line, "output %d sink %s prefers %s\n", o + 1,
                      s.kind == SinkKind::HDMI ? "hdmi" : "dvi", s.prefers.c_str());
        out += line;
        char timing[48] = "-";
        if (s.width != 0)
            std::snprintf(timing, sizeof timing, "%ux%u%s %u kHz", s.width, s.height, s.interlaced ? "i" : "",
                          s.clockKHz);
        std::snprintf(line, sizeof line, "output %d sends %s %s %d-bit\n", o + 1, timing,
                      colorFormatName(s.colorFormat), s.bits);
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

void setSinkTimings(bool (*descriptor)(const std::string& name, uint8_t* dtd)) {
    std::lock_guard lock(gMutex);
    gSinkTiming = descriptor;
}

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
    ctl::add("sink",
             "sink N on|dvi|badedid [TIMING] | off   the sink on output N (1..4): HDMI, DVI (no colour formats "
             "but RGB 24-bit) or with a broken EDID, preferring TIMING (an output format name, 1080p60 by default)",
             [](const std::vector<std::string>& a) {
                 const std::string usage = "ERR usage: sink N on|dvi|badedid [TIMING] | off";
                 if (a.size() < 3) return usage;
                 int n = number(a[1], 1, kOutputs);
                 if (n < 0) return "ERR no output '" + a[1] + "'";
                 std::vector<std::string> w(a.begin() + 2, a.end());
                 uint8_t dtd[18];
                 {
                     std::lock_guard lock(gMutex);
                     loadLocked();
                     Output o = gOutput[static_cast<size_t>(n - 1)];
                     if (!sinkFromWords(w, o)) return usage;
                     if (w.size() == 2 && (gSinkTiming == nullptr || !gSinkTiming(w[1], dtd)))
                         return "ERR unknown timing '" + w[1] + "'";
                     o.changed = true;
                     gOutput[static_cast<size_t>(n - 1)] = o;
                 }
                 std::string text = a[2] + (a.size() > 3 ? " " + a[3] : "");
                 journal("video.sink", "output=%d %s", n - 1, text.c_str());
                 return "OK sink " + a[1] + " " + text;
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

bool hotPlugHigh(int connector) {
    std::lock_guard lock(board::sim::video::gMutex);
    loadLocked();
    return !validConnector(connector) || gInput[static_cast<size_t>(connector)].hotPlug;
}

void aimHotPlugPins(int connector, bool on) {
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validConnector(connector)) return;
        if (gHotPlugPins.connector == connector && gHotPlugPins.on == on) return;
        gHotPlugPins.connector = connector;
        gHotPlugPins.on = on;
    }
    journal("video.hotplug_pins", "connector=%d %s", connector, on ? "on" : "off");
}

void setReceiverColorSpace(int receiver, int value) {
    if (receiver < 0 || receiver > 1 || value < 0 || value > 2) return;
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (gReceiverColorSpace[receiver] == value) return;
        gReceiverColorSpace[receiver] = value;
    }
    journal("video.receiver", "receiver=%d colour space=%d", receiver, value);
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
    std::array<uint8_t, kEdidSize> e;
    {
        std::lock_guard lock(board::sim::video::gMutex);
        loadLocked();
        if (!validOutput(output) || !gOutput[static_cast<size_t>(output)].sinkOn) return false;
        e = sinkEdid(gOutput[static_cast<size_t>(output)]);
    }
    std::memcpy(image, e.data(), std::min(size, e.size()));
    return true;
}

// Applies change to an output under the lock; true when it changed
// something (the caller journals that, outside the lock).
template <class Change>
bool changeOutput(int output, Change change) {
    std::lock_guard lock(board::sim::video::gMutex);
    loadLocked();
    return validOutput(output) && change(gOutput[static_cast<size_t>(output)]);
}

// Sets a field; true when its value changed.
template <class T>
bool assign(T& field, T value) {
    return std::exchange(field, value) != value;
}

void setOutput(int output, bool tmds, bool power5v) {
    if (!changeOutput(output, [&](Output& o) { return assign(o.tmds, tmds) | assign(o.power5v, power5v); })) return;
    journal("video.output", "output=%d tmds=%d 5v=%d", output, tmds ? 1 : 0, power5v ? 1 : 0);
}

void setOutputMute(int output, bool muted) {
    if (!changeOutput(output, [&](Output& o) { return assign(o.muted, muted); })) return;
    journal("video.mute", "output=%d %s", output, muted ? "on" : "off");
}

bool takeSinkChange(int output) {
    std::lock_guard lock(board::sim::video::gMutex);
    loadLocked();
    if (!validOutput(output)) return false;
    return std::exchange(gOutput[static_cast<size_t>(output)].changed, false);
}

void setOutputTiming(int output, uint16_t width, uint16_t height, uint32_t clockKHz, bool interlaced) {
    if (!changeOutput(output, [&](Output& o) {
            return assign(o.width, width) | assign(o.height, height) | assign(o.clockKHz, clockKHz) |
                   assign(o.interlaced, interlaced);
        }))
        return;
    journal("video.output_timing", "output=%d %ux%u%s %u kHz", output, width, height, interlaced ? "i" : "",
            clockKHz);
}

void setOutputColor(int output, int format, int bitsPerPixel) {
    if (!changeOutput(output, [&](Output& o) { return assign(o.colorFormat, format) | assign(o.bits, bitsPerPixel); }))
        return;
    journal("video.output_color", "output=%d %s %d-bit", output, colorFormatName(format), bitsPerPixel);
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
