#include "scaler/scaler.h"

#include "core/pm.h"
#include "osd/osd.h"
#include "platform/journal.h"
#include "platform/scaler_window.h"
#include "sys/print.h"
#include "sys/watchdog.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "scaler/regs.h"
#include "video/preferred_timing.h"
#include "sys/locks.h"
#include "sys/scaler_bus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace R = scaler_reg;

uint32_t PS_OSDSAD0;
uint32_t PS_OSDSAD1;
uint32_t ST_OSDAD;
uint32_t PS_OSDFSAD;
uint32_t PS_OSDPSAD;
uint32_t PARAM_OSDMWI;
uint32_t PS_OSDRMWI;
uint8_t OSD_CHANNEL;
char OSDPARTS_TBL[kOsdPartsMax][kOsdPartsLine];
int OSDPARTS_COUNT;

namespace {

constexpr unsigned kMaxBytes = 8;
// A vertical sync comes at least every 1/24 s; give up well after that.
constexpr unsigned kVsyncWaitMs = 100;

struct Access {
    unsigned bank, offset, count;
};

// Decodes a code for a channel; refuses bytes that would reach the
// bank-select byte (offset 0, or past offset 255), which would leave the
// bank cache wrong.
bool decode(uint32_t code, int channel, Access& a) {
    a.bank = (R::bankOf(code) + (channel == 1 ? R::CHANNEL1_BANK_STEP : 0)) & 0xFF;
    a.offset = R::offsetOf(code);
    a.count = std::min(R::countOf(code), kMaxBytes);
    if (a.count == 0) return true;
    if (a.offset == 0 || a.offset + a.count > 256) {
        PRINT(PRINT_GENERAL, "C812: register code 0x%x is outside its bank\r\n", code);
        return false;
    }
    return true;
}

std::vector<uint8_t> readFile(const char* path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    *ok = static_cast<bool>(in);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void uploadFile(const char* path, uint32_t address) {
    bool ok;
    std::vector<uint8_t> data = readFile(path, &ok);
    if (!ok) {
        PRINT(PRINT_GENERAL, "load_parts: %s cannot be opened\r\n", path);
        return;
    }
    osd_upload(address, data.data(), data.size());
    board::journal("scaler.upload", "file=%s addr=0x%08x bytes=%zu", path, address, data.size());
}

void readPartsTable(const char* path) {
    std::ifstream in(path);
    OSDPARTS_COUNT = 0;
    std::memset(OSDPARTS_TBL, 0, sizeof OSDPARTS_TBL);
    if (!in) {
        PRINT(PRINT_GENERAL, "load_parts: %s cannot be opened\r\n", path);
        return;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (OSDPARTS_COUNT == kOsdPartsMax) {
            PRINT(PRINT_GENERAL, "load_parts: parts past %d ignored\r\n", kOsdPartsMax);
            break;
        }
        // A longer line keeps its first 399 characters; it never spills into the next part.
        std::strncpy(OSDPARTS_TBL[OSDPARTS_COUNT], line.c_str(), kOsdPartsLine - 1);
        ++OSDPARTS_COUNT;
    }
}

}  // namespace

void write_C812(uint32_t code, uint64_t value, int channel, int /*flag*/) {
    Access a;
    if (!decode(code, channel, a)) return;
    MutexLock lock(CS3_mutex);
    for (unsigned i = 0; i < a.count; ++i)
        scaler_bus_write(a.bank, a.offset + i, static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t read_C812(uint32_t code, int channel) {
    Access a;
    if (!decode(code, channel, a)) return 0;
    uint64_t value = 0;
    MutexLock lock(CS3_mutex);
    for (unsigned i = 0; i < a.count; ++i)
        value |= static_cast<uint64_t>(scaler_bus_read(a.bank, a.offset + i)) << (8 * i);
    return value;
}

void wait1_povs(int channel) {
    if (board::scalerWindow().waitVsync(channel, kVsyncWaitMs)) return;
    PRINT(PRINT_GENERAL, "wait1_povs: no vertical sync on channel %d\r\n", channel);
}

void load_parts() {
    uploadFile("../memfiles/parts_bmp.dat", PS_OSDPSAD);
    uploadFile("../memfiles/font_all_bin.dat", PS_OSDFSAD);
    readPartsTable("../memfiles/parts.csv");
    board::journal("scaler.load_parts", "parts=%d", OSDPARTS_COUNT);
    osd_write_plt(0);
    osd_write_plt(1);
}

void scaler_osd_init() {
    PS_OSDSAD0 = scaler_mem::OSD_PLANE0;
    PS_OSDSAD1 = scaler_mem::OSD_PLANE1;
    ST_OSDAD = PS_OSDSAD0;
    PS_OSDFSAD = scaler_mem::FONT;
    PS_OSDPSAD = scaler_mem::PARTS;
    PARAM_OSDMWI = scaler_mem::OSD_PLANE_STRIDE_UNITS;
    PS_OSDRMWI = scaler_mem::PARTS_STRIDE_UNITS;
    write_C812(R::OSD_PLANE0, PS_OSDSAD0, 0, 0);
    write_C812(R::OSD_PLANE1, PS_OSDSAD1, 0, 0);
    write_C812(R::OSD_PLANE_STRIDE, PARAM_OSDMWI, 0, 0);
    write_C812(R::OSD_PARTS_STRIDE, PS_OSDRMWI, 0, 0);
    for (int ch = 0; ch < 2; ++ch) {
        int format = PM.OUTPUT_RES_SEL[ch] < kOutputFormats ? PM.OUTPUT_RES_SEL[ch] : 0;
        set_output_timing(ch, format);
    }
    board::journal("scaler.osd_init", "planes=0x%08x,0x%08x plane_stride=%u font=0x%08x parts=0x%08x parts_stride=%u",
                   PS_OSDSAD0, PS_OSDSAD1, PARAM_OSDMWI, PS_OSDFSAD, PS_OSDPSAD, PS_OSDRMWI);
    load_parts();
}

void scalerBringUp() {
    set_clock_p2();
    scaler_osd_init();
    switch_osd();
}

void switch_osd() {
    const uint8_t previous = OSD_CHANNEL;
    OSD_CHANNEL = PM.DISPLAY_MODE == 0 ? 1 : 0;
    const bool moved = previous != OSD_CHANNEL;
    if (moved && (read_C812(R::OSD_MODE, previous) & R::OSD_MODE_WINDOW_ON)) osd_off(previous);
    board::journal("scaler.switch_osd", "mode=%u channel=%u moved=%d", PM.DISPLAY_MODE, OSD_CHANNEL, moved ? 1 : 0);
}

namespace {

constexpr int kBrowserX = 320;
constexpr int kBrowserNameY = 234;
constexpr int kBrowserLine = 31;  // characters the name is centred in
constexpr int kBrowserBlank = 32;
constexpr int kGlyphSize = 16;
constexpr int kWhite = 255;

// Blanks the browser's name line and draws name centred on it: half the
// spare characters plus one (plus two from nine on) leading spaces.
void drawBrowserName(const char* name, int colour) {
    const std::string blank(kBrowserBlank, ' ');
    osd_put_ascii_string(blank.c_str(), kBrowserX, kBrowserNameY, 0, kWhite, 0, kGlyphSize);
    if (!name) return;
    const int half = (kBrowserLine - static_cast<int>(std::strlen(name))) / 2;
    const int lead = std::max(0, half) + (half >= 9 ? 2 : 1);
    const std::string line = std::string(static_cast<size_t>(lead), ' ') + name;
    osd_put_ascii_string(line.c_str(), kBrowserX, kBrowserNameY, colour, kWhite, 0, kGlyphSize);
}

}  // namespace

void osdDispNative(int index, int colour, int deep_colour) {
    osd_put_ascii_string(" Use UP and DOWN to navigate", kBrowserX, 170, 0, kWhite, 0, kGlyphSize);
    osd_put_ascii_string("Press ENTER or RIGHT to select", kBrowserX, 202, 0, kWhite, 0, kGlyphSize);
    const bool known = index >= 0 && index < kPreferredTimings;
    const char* name = known ? preferredTiming[index].name : nullptr;
    drawBrowserName(name, colour);
    if (known) PRINT(PRINT_GENERAL, "Browsing native resolution '%s', deepColor=%d\r\n", name, deep_colour);
    else PRINT(PRINT_GENERAL, "osdDispNative: no native resolution %d\r\n", index);
    board::journal("scaler.osdDispNative", "index=%d colour=%d deep=%d name=%s", index, colour, deep_colour,
                   name ? name : "-");
}

void osdDispOutput(int format, int colour) {
    const char* name = getOutputFormat(format);
    drawBrowserName(name, colour);
    board::journal("scaler.osdDispOutput", "format=%d colour=%d name=%s", format, colour, name);
}

void setFactoryResetMarker() {
    write_C812(PI_FACTORY_RST, kFactoryResetMarker, 0, 0);
    board::journal("scaler.factory_marker", "set=0x%02x", kFactoryResetMarker);
}

bool checkFactoryResetMarker() {
    const auto value = static_cast<uint8_t>(read_C812(PI_FACTORY_RST, 0));
    const bool forced = value == kFactoryResetMarker;
    if (forced) {
        write_C812(PI_FACTORY_RST, 0, 0, 0);
        // Always shown: the factory values replace every setting.
        std::printf("Factory reset forced by the restart marker\n");
    }
    board::journal("scaler.factory_marker", "value=0x%02x forced=%d", value, forced ? 1 : 0);
    return forced;
}

void scalerReset() {
    {
        MutexLock lock(CS3_mutex);
        scaler_bus_write(R::bankOf(R::SOFT_RESET), R::offsetOf(R::SOFT_RESET), 1);
        // The reset selects bank 0 again.
        scaler_bus_invalidate();
    }
    board::journal("scaler.reset", "-");
}
