#include "osd/osd.h"

#include "core/pm.h"
#include "osd/chara_width.h"
#include "osd/sentences.h"
#include "platform/journal.h"
#include "sys/print.h"
#include "sys/watchdog.h"
#include "scaler/output_formats.h"
#include "scaler/regs.h"
#include "scaler/scaler.h"
#include "sys/sys_exit.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace R = scaler_reg;

uint8_t OSDCT;
unsigned char charaHw[127];

namespace {

// Serialises whole drawing operations across threads.
std::mutex gOsdLock;
using OsdGuard = std::lock_guard<std::mutex>;

constexpr int kBusyReads = 3000;
constexpr int kSentenceWidthExtra = 14;
constexpr int kNumEntries = 9;
constexpr int kClearColour = 239;
constexpr int kDefaultColours[2] = {248, 255};  // colour modes other than 0 and 1
constexpr int kMarkSize = 8;
constexpr int kMarkX = 315;
constexpr int kMarkColour = 247;
constexpr int kLogoW = 640, kLogoH = 480, kLogoHeader = 1078;
constexpr const char* kPalettePath = "../memfiles/osd_pallet.csv";
constexpr int kPaletteEntries = 272;

struct Glyph {
    uint16_t code;
    uint8_t fg, bg, width;
};

void reg(uint32_t code, uint64_t value, int channel = 0) { write_C812(code, value, channel, 0); }

uint32_t destination(int x, int y) {
    return ST_OSDAD + static_cast<uint32_t>(x) + static_cast<uint32_t>(y) * PARAM_OSDMWI * 128;
}

// The font holds the printable characters only; any other byte of a label,
// message or file name is drawn (and measured) as '?', never as a glyph code
// past the font.
constexpr int kFallbackChar = '?';
int printable(int c) { return c >= 32 && c < osdfont::kTableSize ? c : kFallbackChar; }

// The width of a character; codes past the table take the table's fill value.
int charaWidth(int c) { return (c >= 0 && c < osdfont::kTableSize) ? charaHw[c] : osdfont::kDefaultWidth; }

// Waits for the engine to finish; gives up after kBusyReads status reads.
void busyWait() {
    for (int i = 0; i < kBusyReads; ++i) {
        WDT_Clear();
        if (!(read_C812(R::STATUS, 0) & 0x01)) return;
    }
    PRINT(PRINT_GENERAL, "{'%s':OVERFLOW!!! delimitLoop=%d}\r\n", "(busy&0x01)!=0", kBusyReads);
    board::journal("osd.overflow", "reads=%d", kBusyReads);
}

void startOperation(uint8_t op) {
    OSDCT = static_cast<uint8_t>((OSDCT & ~R::OSDCT_OP_MASK) | op);
    reg(R::OSDCT, OSDCT);
    busyWait();
}

// Cuts a w x h rectangle at (x, y) to what lies in the drawing plane: the
// engine writes whole lines at the plane's stride, so anything past the
// plane's edge would land in the next line, the other plane or the font.
// False when nothing is left.
bool clipToPlane(int x, int y, int& w, int& h) {
    const int planeW = static_cast<int>(PARAM_OSDMWI * 128), planeH = static_cast<int>(scaler_mem::OSD_PLANE_LINES);
    if (x < 0 || y < 0 || x >= planeW || y >= planeH) return false;
    w = std::min(w, planeW - x);
    h = std::min(h, planeH - y);
    return w > 0 && h > 0;
}

void fillLocked(int x, int w, int y, int h, int colour) {
    if (w <= 0 || h <= 0) {
        PRINT(PRINT_GENERAL, "osd_paint: empty rectangle %dx%d\r\n", w, h);
        return;
    }
    if (!clipToPlane(x, y, w, h)) {
        PRINT(PRINT_GENERAL, "osd_paint: (%d,%d) is outside the plane\r\n", x, y);
        return;
    }
    reg(R::FILL_COLOUR, static_cast<uint64_t>(colour));
    reg(R::WIDTH_M1, static_cast<uint64_t>(w - 1));
    reg(R::HEIGHT_M1, static_cast<uint64_t>(h - 1));
    reg(R::FILL_WIDTH_128, static_cast<uint64_t>(w / 128));
    reg(R::DEST, destination(x, y));
    startOperation(R::OP_FILL);
}

// Draws the first `drawn` glyphs of list at (x, y); every entry of the list
// is handed to the engine. The count register is one byte, so longer texts
// go in lists of at most 256 glyphs, each starting where the last ended.
void glyphsLocked(int x, int y, int size, const std::vector<Glyph>& list, size_t drawn) {
    for (size_t first = 0; first < drawn; first += R::GLYPH_LIST_MAX) {
        const size_t count = std::min<size_t>(drawn - first, R::GLYPH_LIST_MAX);
        const size_t entries = std::min<size_t>(list.size() - first, R::GLYPH_LIST_MAX);
        reg(R::GLYPH_ADDR, R::GLYPH_SIZE_ADDR);
        reg(R::GLYPH_DATA, static_cast<uint64_t>(size));
        reg(R::GLYPH_ADDR, 0);
        for (size_t i = first; i < first + entries; ++i) {
            const Glyph& g = list[i];
            reg(R::GLYPH_DATA, g.code & 0xFF);
            reg(R::GLYPH_DATA, g.code >> 8);
            reg(R::GLYPH_DATA, g.fg);
            reg(R::GLYPH_DATA, g.bg);
            reg(R::GLYPH_DATA, g.width);
        }
        reg(R::GLYPH_P0, 0);
        reg(R::GLYPH_COUNT_M1, count - 1);
        reg(R::GLYPH_P1, 0);
        reg(R::GLYPH_P2, 0);
        reg(R::SOURCE, PS_OSDFSAD);
        reg(R::DEST, destination(x, y));
        startOperation(R::OP_GLYPHS);
        for (size_t i = first; i < first + count; ++i) x += (list[i].width & R::GLYPH_WIDTH_MASK) + 1;
    }
}

struct Sentence {
    int fg[2], bg[2];
    std::vector<int> codes;
};

// Reads sentence n of s1; false (with a diagnostic) when there is none.
bool parseSentence(int n, Sentence& s) {
    if (n < 1 || n > kSentenceCount) {
        PRINT(PRINT_GENERAL, "osd: no sentence %d\r\n", n);
        return false;
    }
    std::vector<long> fields;
    const char* p = s1[n - 1];
    while (*p) {
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p) {
            ++p;  // a separator: comma, carriage return or line feed
            continue;
        }
        fields.push_back(v);
        p = end;
    }
    if (fields.size() < 6) {
        PRINT(PRINT_GENERAL, "osd: sentence %d is malformed\r\n", n);
        return false;
    }
    s.fg[0] = static_cast<int>(fields[1]);
    s.bg[0] = static_cast<int>(fields[2]);
    s.fg[1] = static_cast<int>(fields[3]);
    s.bg[1] = static_cast<int>(fields[4]);
    size_t count = static_cast<size_t>(std::max(0L, fields[5]));
    if (count > fields.size() - 6) {
        PRINT(PRINT_GENERAL, "osd: sentence %d has %zu of its %zu glyphs\r\n", n, fields.size() - 6, count);
        count = fields.size() - 6;
    }
    s.codes.assign(fields.begin() + 6, fields.begin() + 6 + static_cast<long>(count));
    return true;
}

int codeWidth(int code) { return charaWidth(code + 32); }

void drawAscii(const char* text, int x, int y, int fg, int bg, int style, int size) {
    std::vector<Glyph> list;
    for (const char* p = text; *p; ++p) {
        const int c = printable(static_cast<unsigned char>(*p));
        const int width = charaWidth(c) + (style == kOsdStyleBold ? R::GLYPH_BOLD : 0);
        list.push_back({static_cast<uint16_t>(c - 32), static_cast<uint8_t>(fg), static_cast<uint8_t>(bg),
                        static_cast<uint8_t>(width)});
    }
    OsdGuard lock(gOsdLock);
    glyphsLocked(x, y, size, list, list.size());
}

void loadPalette(uint8_t (&bytes)[R::OSD_PALETTE_BYTES], std::ifstream& in) {
    std::memset(bytes, 0, sizeof bytes);
    std::string line;
    int entry = 0;
    for (; entry < kPaletteEntries && std::getline(in, line); ++entry) {
        unsigned long rgb[3];
        const char* p = line.c_str();
        bool ok = true;
        for (int k = 0; k < 3 && ok; ++k) {
            char* end = nullptr;
            rgb[k] = std::strtoul(p, &end, 16);
            ok = end != p && rgb[k] <= 255 && (k == 2 || *end == ',');
            p = end + (k < 2 ? 1 : 0);
        }
        if (!ok) {
            PRINT(PRINT_GENERAL, "pallet_data line %d is malformed\r\n", entry + 1);
            continue;  // stays black
        }
        for (int k = 0; k < 3; ++k) bytes[3 * entry + k] = static_cast<uint8_t>(rgb[k]);
    }
    if (entry < kPaletteEntries) PRINT(PRINT_GENERAL, "pallet_data has %d of %d lines\r\n", entry, kPaletteEntries);
}

}  // namespace

// ---- Drawing ----

void osd_paint(int x, int w, int y, int h, int colour) {
    // The menu list's cursor (16 x 16) and greyed marks (15 x 15) are 8 x 8
    // blocks at a fixed column.
    if (w == 16 && h == 16) {
        x = kMarkX, y += 2, w = h = kMarkSize, colour = kMarkColour;
    } else if (w == 15 && h == 15) {
        x = kMarkX, y += 2, w = h = kMarkSize;
    }
    OsdGuard lock(gOsdLock);
    fillLocked(x, w, y, h, colour);
}

bool osd_part_geometry(int n, OsdPartGeometry& out) {
    if (n < 0 || n >= OSDPARTS_COUNT) {
        PRINT(PRINT_GENERAL, "osd: no part %d\r\n", n);
        return false;
    }
    long f[5];
    const char* p = OSDPARTS_TBL[n];
    for (long& v : f) {
        char* end = nullptr;
        v = std::strtol(p, &end, 10);
        if (end == p) {
            PRINT(PRINT_GENERAL, "osd: part %d is malformed\r\n", n);
            return false;
        }
        p = *end == ',' ? end + 1 : end;
    }
    auto outside = [](long v, long low) { return v < low || v > INT_MAX; };
    if (outside(f[1], 0) || outside(f[2], 0) || outside(f[3], 1) || outside(f[4], 1)) {
        PRINT(PRINT_GENERAL, "osd: part %d is malformed\r\n", n);
        return false;
    }
    out = {static_cast<int>(f[1]), static_cast<int>(f[2]), static_cast<int>(f[3]), static_cast<int>(f[4])};
    return true;
}

void osd_put_part(int n, int x, int y) {
    OsdPartGeometry part;
    if (!osd_part_geometry(n, part)) return;
    // The source lines end at the parts plane's stride.
    int w = std::min(part.w, static_cast<int>(PS_OSDRMWI * 128) - part.x), h = part.h;
    if (w <= 0 || !clipToPlane(x, y, w, h)) {
        PRINT(PRINT_GENERAL, "osd: part %d does not fit at (%d,%d)\r\n", n, x, y);
        return;
    }
    const uint32_t source =
        PS_OSDPSAD + static_cast<uint32_t>(part.x) + static_cast<uint32_t>(part.y) * PS_OSDRMWI * 128;
    OsdGuard lock(gOsdLock);
    reg(R::WIDTH_M1, static_cast<uint64_t>(w - 1));
    reg(R::HEIGHT_M1, static_cast<uint64_t>(h - 1));
    reg(R::SOURCE, source);
    reg(R::DEST, destination(x, y));
    startOperation(R::OP_COPY);
}

int osd_put_sentence(int n, int x, int y, int colour_mode, int /*extra*/, int size, int fg, int bg) {
    Sentence s;
    if (!parseSentence(n, s)) return 0;
    int useFg = kDefaultColours[0], useBg = kDefaultColours[1];
    if (colour_mode == 0 || colour_mode == 1) {
        useFg = s.fg[colour_mode];
        useBg = s.bg[colour_mode];
    }
    if (fg != kOsdOwnColour) useFg = fg;
    if (bg != kOsdOwnColour) useBg = bg;
    std::vector<Glyph> list;
    int width = 0;
    for (int code : s.codes) {
        const int w = codeWidth(code);
        width += w;
        list.push_back({static_cast<uint16_t>(code), static_cast<uint8_t>(useFg), static_cast<uint8_t>(useBg),
                        static_cast<uint8_t>(w)});
    }
    OsdGuard lock(gOsdLock);
    glyphsLocked(x, y, size, list, list.size());
    return width + kSentenceWidthExtra;
}

void osd_put_ascii_string(const char* text, int x, int y, int fg, int bg, int style, int size) {
    if (!text) return;
    drawAscii(text, x, y, fg, bg, style, size);
}

void osd_put_num(int sign_mode, int digits, int value, int x, int y, int fg, int bg, int spare_width, int size) {
    const bool sign = sign_mode == 1 || sign_mode == 2;
    digits = std::clamp(digits, 1, kNumEntries - (sign ? 1 : 0));
    long long modulus = 1;
    for (int i = 0; i < digits; ++i) modulus *= 10;
    long long v = value;
    char text[kNumEntries] = {};
    int pos = 0;
    if (sign) {
        text[pos++] = v < 0 ? '-' : (sign_mode == 1 ? ' ' : '+');
        v = v < 0 ? -v : v;
    } else if (v < 0) {
        v += modulus;  // shown as 10^digits + value
    }
    v = ((v % modulus) + modulus) % modulus;
    for (int i = digits - 1; i >= 0; --i) {
        text[pos + i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    pos += digits;
    // Nine entries always; the ones past the number are not drawn.
    std::vector<Glyph> list;
    for (char c : text) {
        const int code = c - 32;
        const int width = (code >= 0 && code <= 126) ? charaWidth(c) : spare_width;
        list.push_back({static_cast<uint16_t>(code), static_cast<uint8_t>(fg), static_cast<uint8_t>(bg),
                        static_cast<uint8_t>(width)});
    }
    OsdGuard lock(gOsdLock);
    glyphsLocked(x, y, size, list, static_cast<size_t>(pos));
}

void osd_put_bmp(int x, int y) {
    std::ifstream in("../memfiles/logo.bmp", std::ios::binary);
    if (!in) {
        PRINT(PRINT_GENERAL, "logo.bmp File open error\n");
        return;
    }
    std::vector<uint8_t> rows(static_cast<size_t>(kLogoW) * kLogoH);
    in.seekg(kLogoHeader);
    in.read(reinterpret_cast<char*>(rows.data()), static_cast<std::streamsize>(rows.size()));
    if (in.gcount() != static_cast<std::streamsize>(rows.size())) {
        PRINT(PRINT_GENERAL, "logo.bmp is too short\n");
        return;
    }
    OsdGuard lock(gOsdLock);
    // Rows are stored bottom row first.
    for (int r = 0; r < kLogoH; ++r) {
        const uint32_t line = scaler_mem::LOGO + static_cast<uint32_t>(kLogoH - 1 - r) * PS_OSDRMWI * 128;
        reg(R::DEST, line);
        for (int c = 0; c < kLogoW; ++c) reg(R::DATA_PORT, rows[static_cast<size_t>(r) * kLogoW + c]);
    }
    reg(R::WIDTH_M1, kLogoW - 1);
    reg(R::HEIGHT_M1, kLogoH - 1);
    reg(R::SOURCE, scaler_mem::LOGO);
    reg(R::DEST, destination(x, y));
    startOperation(R::OP_COPY);
}

void osd_upload(uint32_t address, const uint8_t* data, size_t length) {
    OsdGuard lock(gOsdLock);
    reg(R::DEST, address);
    for (size_t i = 0; i < length; ++i) reg(R::DATA_PORT, data[i]);
}

// ---- Window and plane ----

void osd_on(int channel, int x, int w, int y, int h, int blend, int b1, int b2, int b3, int colour) {
    if (channel != 0 && channel != 1) return;
    OsdGuard lock(gOsdLock);
    (void)read_C812(R::UPDATE, 0);
    const uint64_t mode = read_C812(R::OSD_MODE, channel);
    reg(R::UPDATE, R::UPDATE_BEGIN);
    reg(R::OSD_WIN_PLANE, ST_OSDAD, channel);
    reg(R::OSD_WIN_HST, static_cast<uint64_t>(x + R::OSD_WIN_H_DELAY + PS_PANELACTHST[channel]), channel);
    reg(R::OSD_WIN_HW, static_cast<uint64_t>(w), channel);
    reg(R::OSD_WIN_VST, static_cast<uint64_t>(PS_PANELACTVST[channel] + R::OSD_WIN_V_DELAY + y), channel);
    reg(R::OSD_WIN_VW, static_cast<uint64_t>(h), channel);
    reg(R::OSD_MODE, (mode & 0xEC) | 0x13, channel);
    const int blends[3] = {blend ? b1 : R::OSD_BLEND_OPAQUE, blend ? b2 : R::OSD_BLEND_OPAQUE,
                           blend ? b3 : R::OSD_BLEND_OPAQUE};
    reg(R::OSD_BLEND1, static_cast<uint64_t>(blends[0]), channel);
    reg(R::OSD_BLEND2, static_cast<uint64_t>(blends[1]), channel);
    reg(R::OSD_BLEND3, static_cast<uint64_t>(blends[2]), channel);
    reg(R::OSD_KEY_COLOUR, static_cast<uint64_t>(colour), channel);
    reg(R::UPDATE, channel == 0 ? R::UPDATE_APPLY_CH0 : R::UPDATE_APPLY_ON_CH1);
    wait1_povs(channel);
    wait1_povs(channel);
    reg(R::UPDATE, 0);
}

void osd_off(int channel) {
    if (channel != 0 && channel != 1) return;
    OsdGuard lock(gOsdLock);
    const uint64_t mode = read_C812(R::OSD_MODE, channel);
    reg(R::UPDATE, R::UPDATE_BEGIN);
    reg(R::OSD_MODE, mode & ~static_cast<uint64_t>(R::OSD_MODE_WINDOW_ON), channel);
    reg(R::UPDATE, channel == 0 ? R::UPDATE_APPLY_CH0 : R::UPDATE_APPLY_OFF_CH1);
    wait1_povs(channel);
    reg(R::UPDATE, 0);
}

namespace {
void swapLocked() { ST_OSDAD = ST_OSDAD != PS_OSDSAD1 ? PS_OSDSAD1 : PS_OSDSAD0; }
}  // namespace

void osd_swap_memplane() {
    OsdGuard lock(gOsdLock);
    swapLocked();
}

void osd_swap() {
    const int ch = Channel == 1 ? 1 : 0;
    int w = PS_PANELACTHW[ch], h = PS_PANELACTVW[ch];
    if (PM.OUTPUT_RES_SEL[ch] == kOutputFormat4K) {
        w /= 2;
        h /= 2;
    }
    OsdGuard lock(gOsdLock);
    swapLocked();
    if (w > 0 && h > 0) fillLocked(0, w, 0, h, kClearColour);
}

void osd_write_inh_ct(int inhibit, int ctl) {
    OsdGuard lock(gOsdLock);
    OSDCT = static_cast<uint8_t>((OSDCT & 0xD8) | (inhibit == 1 ? R::OSDCT_INHIBIT : 0));
    reg(R::OSDCT, OSDCT);
    reg(R::OSDCT2, static_cast<uint64_t>(ctl));
}

void osd_write_plt(int channel) {
    PRINT(PRINT_GENERAL, "Load pallet_data(%sosd_pallet.csv).\n", "../memfiles/");
    std::ifstream in(kPalettePath);
    if (!in) {
        PRINT(PRINT_GENERAL, "pallet_data was not found.\n");
        sys_exit(1);
    }
    uint8_t bytes[R::OSD_PALETTE_BYTES];
    loadPalette(bytes, in);
    OsdGuard lock(gOsdLock);
    reg(R::OSD_PALETTE_ADDR, 0, channel);
    for (uint8_t b : bytes) reg(R::OSD_PALETTE_DATA, b, channel);
    reg(R::OSD_PALETTE_CTL, read_C812(R::OSD_PALETTE_CTL, channel) | R::OSD_PALETTE_IN_USE, channel);
}

void osd_gain(int channel, int enable, int g1, int g2, int g3) {
    auto scale = [](int g) { return static_cast<uint64_t>(std::clamp(static_cast<int>(g * 100 / 1.5625), 0, 255)); };
    const uint64_t gains[3] = {scale(g1), scale(g2), scale(g3)};
    OsdGuard lock(gOsdLock);
    for (uint32_t row : R::OSD_GAIN_ROW)
        for (uint32_t k = 0; k < 3; ++k) reg(row + 0x100 * k, gains[k], channel);
    for (uint32_t k = 0; k < 3; ++k) reg(R::OSD_GAIN_REF + 0x100 * k, 64, channel);
    uint64_t mode = read_C812(R::OSD_MODE, channel);
    mode = enable == 1 ? (mode | R::OSD_MODE_GAIN_ON) : (mode & ~static_cast<uint64_t>(R::OSD_MODE_GAIN_ON));
    reg(R::OSD_MODE, mode, channel);
}

void osd_bias(int channel, int b1, int b2, int b3) {
    const uint64_t bias[3] = {static_cast<uint64_t>(b1 & 0xFF), static_cast<uint64_t>(b2 & 0xFF),
                              static_cast<uint64_t>(b3 & 0xFF)};
    OsdGuard lock(gOsdLock);
    for (uint32_t row : R::OSD_BIAS_ROW)
        for (uint32_t k = 0; k < 3; ++k) reg(row + 0x100 * k, bias[k], channel);
    for (uint32_t k = 0; k < 3; ++k) reg(R::OSD_BIAS_END + 0x100 * k, 0, channel);
}

// ---- Widths ----

void initCharaSize() {
    std::fill(std::begin(charaHw), std::end(charaHw), static_cast<unsigned char>(osdfont::kDefaultWidth));
    for (const osdfont::Width& w : osdfont::kWidths) charaHw[static_cast<unsigned char>(w.c)] = w.width;
}

CharaHwTotal getStrTotalCharaHw(const char* text, int mode) {
    CharaHwTotal t{0, 0};
    for (const char* p = text; p && *p; ++p) {
        ++t.length;
        t.width += (charaWidth(printable(static_cast<unsigned char>(*p))) + 1) * (mode == 1 ? 2 : 1);
    }
    return t;
}

CharaHwTotal getSentenceTotalCharaHw(int n, int mode) {
    CharaHwTotal t{0, 0};
    Sentence s;
    if (!parseSentence(n, s)) return t;
    for (int code : s.codes) {
        ++t.length;
        t.width += (codeWidth(code) + 1) * (mode == 1 ? 2 : 1);
    }
    return t;
}

// ---- Test screen ----

void osd_debug_test_screen() {
    const char* on = std::getenv("HX40_OSD_TEST_SCREEN");
    if (!on || std::strcmp(on, "1") != 0) return;
    initCharaSize();
    const int ch = 0;
    const int saved = Channel;
    Channel = ch;
    osd_write_inh_ct(1, 1);
    osd_swap();
    osd_put_part(28, 0, 0);
    const int tabs[5] = {1, 2, 59, 60, 178};
    for (int t = 0; t < 5; ++t) osd_put_sentence(tabs[t], 140, 92 + 58 * t, 0, 0, 16, kOsdOwnColour, kOsdOwnColour);
    osd_put_part(27, 60, 190);
    osd_put_sentence(59, 140, 208, 1, 0, 16, kOsdOwnColour, kOsdOwnColour);
    osd_put_ascii_string("OSD test screen", 320, 12, 0, 255, 0, 16);
    osd_put_ascii_string("   ", 320, 42, 247, 1, 0, 16);
    osd_put_sentence(89, 320 + getStrTotalCharaHw("   ", 0).width, 42, 1, 0, 16, kOsdOwnColour, kOsdOwnColour);
    // A row of palette colours.
    const int swatches[8] = {0, 95, 199, 247, 248, 249, 250, 252};
    for (int i = 0; i < 8; ++i) osd_paint(330 + 34 * i, 30, 100, 30, swatches[i]);
    osd_put_ascii_string("Numbers:", 330, 150, 0, 255, 0, 16);
    osd_put_num(0, 3, -5, 430, 150, 0, 255, 0, 16);
    osd_put_num(2, 3, 7, 480, 150, 0, 255, 0, 16);
    osd_put_num(1, 2, -3, 540, 150, 0, 255, 0, 16);
    osd_put_ascii_string("Bold text", 330, 190, 252, 255, kOsdStyleBold, 16);
    osd_put_part(29, 330, 230);
    osd_paint(338, 100, 239, 13, 248);
    osd_put_num(1, 3, 62, 510, 238, 248, 1, 0, 16);
    osd_put_part(25, 330, 290);
    osd_put_part(26, 450, 290);
    osd_put_ascii_string("The quick brown fox jumps over", 330, 390, 0, 255, 0, 16);
    osd_put_ascii_string("the lazy dog. 0123456789 %+-/:()", 330, 412, 199, 255, 0, 16);
    const int x = std::max(0, (PS_PANELACTHW[ch] - 640) / 2), y = std::max(0, (PS_PANELACTVW[ch] - 480) / 2);
    osd_on(ch, x, 640, y, 480, 0, 255, 255, 255, kClearColour);
    osd_write_inh_ct(0, 1);
    Channel = saved;
    board::journal("osd.test_screen", "ch=%d", ch);
}
