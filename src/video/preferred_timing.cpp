#include "video/preferred_timing.h"

#include "video/edid.h"

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

constexpr PreferredTiming encode(const Timing& t) {
    PreferredTiming p{};
    for (int i = 0; i < 19 && t.name[i] != '\0'; ++i) p.name[i] = t.name[i];
    const VideoTiming v{t.name,    t.pixelClockKHz, t.hActive, t.hFront, t.hSync, t.hBack,
                        t.vActive, t.vFront,        t.vSync,   t.vBack,  false};
    edidEncodeDtd(p.descriptor, v, t.hSyncPositive, t.vSyncPositive);
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
