#include "scaler/output_formats.h"

#include "core/pm.h"
#include "platform/journal.h"
#include "sys/print.h"
#include "sys/watchdog.h"
#include "scaler/regs.h"
#include "scaler/scaler.h"
#include "video/backend.h"

#include <mutex>
#include <optional>

// Timings from the public computer (DMT, CVT, reduced blanking "RB") and
// television (CEA-861) standards.
const OutputFormat sysParamTbl[kOutputFormats] = {
    // name             clock kHz  hAct front sync back  vAct front sync back  interlaced
    {"Native",          148500, 1920,   88,  44, 148, 1080,  4,  5, 36, false},
    {"640x480@60",       25175,  640,   16,  96,  48,  480, 10,  2, 33, false},
    {"800x600@60",       40000,  800,   40, 128,  88,  600,  1,  4, 23, false},
    {"1024x768@60",      65000, 1024,   24, 136, 160,  768,  3,  6, 29, false},
    {"1280x768@60",      79500, 1280,   64, 128, 192,  768,  3,  7, 20, false},
    {"1280x800@60",      83500, 1280,   72, 128, 200,  800,  3,  6, 22, false},
    {"1280x960@60",     108000, 1280,   96, 112, 312,  960,  1,  3, 36, false},
    {"1280x1024@60",    108000, 1280,   48, 112, 248, 1024,  1,  3, 38, false},
    {"1360x768@60",      85500, 1360,   64, 112, 256,  768,  3,  6, 18, false},
    {"1366x768@60",      85500, 1366,   70, 143, 213,  768,  3,  3, 24, false},
    {"1400x1050@60",    121750, 1400,   88, 144, 232, 1050,  3,  4, 32, false},
    {"1440x900@60",     106500, 1440,   80, 152, 232,  900,  3,  6, 25, false},
    {"1600x900@60",     108000, 1600,   24,  80,  96,  900,  1,  3, 96, false},
    {"1600x1200@60",    162000, 1600,   64, 192, 304, 1200,  1,  3, 46, false},
    {"1680x1050@60",    146250, 1680,  104, 176, 280, 1050,  3,  6, 30, false},
    {"1920x1200@60",    154000, 1920,   48,  32,  80, 1200,  3,  6, 26, false},
    {"640x480@75",       31500,  640,   16,  64, 120,  480,  1,  3, 16, false},
    {"800x600@75",       49500,  800,   16,  80, 160,  600,  1,  3, 21, false},
    {"1024x768@75",      78750, 1024,   16,  96, 176,  768,  1,  3, 28, false},
    {"1152x864@75",     108000, 1152,   64, 128, 256,  864,  1,  3, 32, false},
    {"1280x1024@75",    135000, 1280,   16, 144, 248, 1024,  1,  3, 38, false},
    {"1024x768@70",      75000, 1024,   24, 136, 144,  768,  3,  6, 29, false},
    {"800x600@72",       50000,  800,   56, 120,  64,  600, 37,  6, 23, false},
    {"640x480@72",       31500,  640,   24,  40, 128,  480,  9,  3, 28, false},
    {"1280x800@60RB",    71000, 1280,   48,  32,  80,  800,  3,  6, 14, false},
    {"1440x900@60RB",    88750, 1440,   48,  32,  80,  900,  3,  6, 17, false},
    {"1680x1050@60RB",  119000, 1680,   48,  32,  80, 1050,  3,  6, 21, false},
    {"1400x1050@60RB",  101000, 1400,   48,  32,  80, 1050,  3,  4, 23, false},
    {"480p60",           27000,  720,   16,  62,  60,  480,  9,  6, 30, false},
    {"576p50",           27000,  720,   12,  64,  68,  576,  5,  5, 39, false},
    {"720p50",           74250, 1280,  440,  40, 220,  720,  5,  5, 20, false},
    {"720p60",           74250, 1280,  110,  40, 220,  720,  5,  5, 20, false},
    {"1080i50",          74250, 1920,  528,  44, 148, 1080,  2,  5, 15, true},
    {"1080i60",          74250, 1920,   88,  44, 148, 1080,  2,  5, 15, true},
    {"1080p24",          74250, 1920,  638,  44, 148, 1080,  4,  5, 36, false},
    {"1080p25",          74250, 1920,  528,  44, 148, 1080,  4,  5, 36, false},
    {"1080p30",          74250, 1920,   88,  44, 148, 1080,  4,  5, 36, false},
    {"1080p50",         148500, 1920,  528,  44, 148, 1080,  4,  5, 36, false},
    {"1080p60",         148500, 1920,   88,  44, 148, 1080,  4,  5, 36, false},
    {"720p30",           74250, 1280, 1760,  40, 220,  720,  5,  5, 20, false},
    {"720p25",           74250, 1280, 2420,  40, 220,  720,  5,  5, 20, false},
    {"720p24",           59400, 1280, 1760,  40, 220,  720,  5,  5, 20, false},
    {"4k2k30",          297000, 3840,  176,  88, 296, 2160,  8, 10, 72, false},
};

uint16_t PS_PANELACTHST[2];
uint16_t PS_PANELACTVST[2];
uint16_t PS_PANELACTHW[2];
uint16_t PS_PANELACTVW[2];

namespace {
std::mutex gAppliedMutex;
std::optional<OutputFormat> gApplied[2];  // what set_output_timing applied last
}  // namespace

OutputFormat outputTiming(int channel) {
    const int ch = channel == 1 ? 1 : 0;
    {
        std::lock_guard lock(gAppliedMutex);
        if (gApplied[ch]) return *gApplied[ch];
    }
    // Nothing applied yet: the stored format's entry.
    return sysParamTbl[vp.outFrmt[ch] < kOutputFormats ? vp.outFrmt[ch] : 0];
}

const char* getOutputFormat(int format) {
    if (format < 0 || format >= kOutputFormats) return "Unsupported";
    return sysParamTbl[format].name;
}

void set_output_timing(int channel, int format) {
    if (channel < 0 || channel > 1 || format < 0 || format >= kOutputFormats) {
        PRINT(PRINT_GENERAL, "set_output_timing: no format %d for channel %d\r\n", format, channel);
        return;
    }
    OutputFormat f = sysParamTbl[format];
    if (format == 0) {
        OutputFormat sink{};
        if (backEnd_nativeTiming(channel, sink)) {
            sink.name = f.name;
            f = sink;
        } else {
            PRINT(PRINT_GENERAL, "set_output_timing: channel %d has no native sink; %ux%u\r\n", channel, f.hActive,
                  f.vActive);
        }
    }
    {
        std::lock_guard lock(gAppliedMutex);
        gApplied[channel] = f;
    }
    PS_PANELACTHST[channel] = static_cast<uint16_t>(f.hSync + f.hBack);
    PS_PANELACTVST[channel] = static_cast<uint16_t>(f.vSync + f.vBack);
    PS_PANELACTHW[channel] = f.hActive;
    PS_PANELACTVW[channel] = f.vActive;
    namespace R = scaler_reg;
    write_C812(R::OUT_ACT_HST, PS_PANELACTHST[channel], channel, 0);
    write_C812(R::OUT_ACT_VST, PS_PANELACTVST[channel], channel, 0);
    write_C812(R::OUT_ACT_HW, PS_PANELACTHW[channel], channel, 0);
    write_C812(R::OUT_ACT_VW, PS_PANELACTVW[channel], channel, 0);
    backEnd_setOutputTiming(channel, f);
    board::journal("scaler.output_timing", "ch=%d format=%d name=%s active=%ux%u start=%u,%u", channel, format, f.name,
                   f.hActive, f.vActive, PS_PANELACTHST[channel], PS_PANELACTVST[channel]);
}
