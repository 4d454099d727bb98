#include "video/preferred_timing.h"

namespace {

struct Timing {
    const char* name;
    uint32_t pixelClockKHz;
    uint16_t hActive, hFront, hSync, hBack;
    uint16_t vActive, vFront, vSync, vBack;
    bool hSyncPositive, vSyncPositive;
};

// Computer formats from DMT (CVT-based where DMT takes them from CVT), the
// television ones from CEA-861. "2k50" and "2k60" are 2048 x 1080
// progressive at 50 and 60 Hz, which no timing standard lists; their timing
// is the CVT reduced-blanking one (sync 10 lines for a non-standard aspect).
constexpr Timing kTimings[kPreferredTimings] = {
    // name              clock kHz  hAct front sync back  vAct front sync back  +H     +V
    {"1024x768@60",        65000, 1024,   24, 136, 160,  768,  3,  6, 29, false, false},
    {"1280x800@60",        83500, 1280,   72, 128, 200,  800,  3,  6, 22, false, true},
    {"1280x1024@60",      108000, 1280,   48, 112, 248, 1024,  1,  3, 38, true,  true},
    {"1366x768@60",        85500, 1366,   70, 143, 213,  768,  3,  3, 24, true,  true},
    {"1440x900@60",       106500, 1440,   80, 152, 232,  900,  3,  6, 25, false, true},
    {"1400x1050@60",      121750, 1400,   88, 144, 232, 1050,  3,  4, 32, false, true},
    {"1600x900@60",       108000, 1600,   24,  80,  96,  900,  1,  3, 96, true,  true},
    {"1600x1200@60",      162000, 1600,   64, 192, 304, 1200,  1,  3, 46, true,  true},
    {"1680x1050@60",      146250, 1680,  104, 176, 280, 1050,  3,  6, 30, false, true},
    {"1920x1200@60RB",    154000, 1920,   48,  32,  80, 1200,  3,  6, 26, true,  false},
    {"720p50",             74250, 1280,  440,  40, 220,  720,  5,  5, 20, true,  true},
    {"720p60",             74250, 1280,  110,  40, 220,  720,  5,  5, 20, true,  true},
    {"1080p50",           148500, 1920,  528,  44, 148, 1080,  4,  5, 36, true,  true},
    {"1080p60",           148500, 1920,   88,  44, 148, 1080,  4,  5, 36, true,  true},
    {"2k50",              122000, 2048,   48,  32,  80, 1080,  3, 10, 13, true,  false},
    {"2k60",              147000, 2048,   48,  32,  80, 1080,  3, 10, 18, true,  false},
};

// The image size written into each descriptor: a 0.3 mm pixel pitch.
constexpr unsigned kPitchTenthsMm = 3;

constexpr uint8_t lo8(unsigned v) { return static_cast<uint8_t>(v & 0xFF); }

// The 18-byte detailed timing descriptor of the EDID standard (digital
// separate sync, no borders, no stereo).
constexpr PreferredTiming encode(const Timing& t) {
    PreferredTiming p{};
    for (int i = 0; i < 19 && t.name[i] != '\0'; ++i) p.name[i] = t.name[i];
    const unsigned clock = t.pixelClockKHz / 10;  // units of 10 kHz
    const unsigned hBlank = t.hFront + t.hSync + t.hBack;
    const unsigned vBlank = t.vFront + t.vSync + t.vBack;
    const unsigned hMm = (t.hActive * kPitchTenthsMm + 5) / 10;
    const unsigned vMm = (t.vActive * kPitchTenthsMm + 5) / 10;
    uint8_t* d = p.descriptor;
    d[0] = lo8(clock);
    d[1] = lo8(clock >> 8);
    d[2] = lo8(t.hActive);
    d[3] = lo8(hBlank);
    d[4] = static_cast<uint8_t>(((t.hActive >> 8) & 0xF) << 4 | ((hBlank >> 8) & 0xF));
    d[5] = lo8(t.vActive);
    d[6] = lo8(vBlank);
    d[7] = static_cast<uint8_t>(((t.vActive >> 8) & 0xF) << 4 | ((vBlank >> 8) & 0xF));
    d[8] = lo8(t.hFront);
    d[9] = lo8(t.hSync);
    d[10] = static_cast<uint8_t>((t.vFront & 0xF) << 4 | (t.vSync & 0xF));
    d[11] = static_cast<uint8_t>(((t.hFront >> 8) & 0x3) << 6 | ((t.hSync >> 8) & 0x3) << 4 |
                                 ((t.vFront >> 4) & 0x3) << 2 | ((t.vSync >> 4) & 0x3));
    d[12] = lo8(hMm);
    d[13] = lo8(vMm);
    d[14] = static_cast<uint8_t>(((hMm >> 8) & 0xF) << 4 | ((vMm >> 8) & 0xF));
    d[15] = 0;
    d[16] = 0;
    d[17] = static_cast<uint8_t>(0x18 | (t.vSyncPositive ? 0x04 : 0) | (t.hSyncPositive ? 0x02 : 0));
    return p;
}

struct Table {
    PreferredTiming entries[kPreferredTimings];
};

constexpr Table build() {
    Table t{};
    for (int i = 0; i < kPreferredTimings; ++i) t.entries[i] = encode(kTimings[i]);
    return t;
}

constexpr Table kTable = build();

}  // namespace

const PreferredTiming (&preferredTiming)[kPreferredTimings] = kTable.entries;

int getLastNativeInd() { return kPreferredTimings - 1; }
