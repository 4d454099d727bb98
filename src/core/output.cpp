#include "core/output.h"

#include "commands/notifications.h"
#include "core/pm.h"
#include "platform/journal.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "scaler/scaler.h"
#include "sys/locks.h"
#include "sys/timeutil.h"
#include "video/backend.h"

#include <algorithm>

namespace {
constexpr uint32_t kMaxDelayMs = 5000;
constexpr int kNodeOutput[2] = {2411, 2412};
constexpr int kNodeChromaKeying = 534;
constexpr int kNodeLumaKeying = 535;
}  // namespace

void confOutputResolution(int delay, int channel, int both) {
    if (channel < 0 || channel > 2) return;
    if (delay > 0) Sleep(std::min(static_cast<uint32_t>(delay), kMaxDelayMs));
    bool all = both != 0 || channel == 2 || PM.OUTPUT_RES_SEL[0] == kOutputFormat4K ||
               PM.OUTPUT_RES_SEL[1] == kOutputFormat4K;
    board::journal("confOutputResolution", "delay=%d channel=%d both=%d", delay, channel, all ? 1 : 0);
    for (int ch = 0; ch < 2; ++ch) {
        if (!all && ch != channel) continue;
        int format = PM.OUTPUT_RES_SEL[ch];
        if (format >= kOutputFormats) format = 0;
        vp.outFrmt[ch] = static_cast<uint8_t>(format);
        set_output_timing(ch, format);
    }
    set_clock_p2();
    for (int ch = 0; ch < 2; ++ch)
        if (all || ch == channel) build_picture(ch, __func__, __LINE__);
    switch_osd();
}

void changeOutput(int channel, int format) {
    if ((channel != 0 && channel != 1) || format < 0 || format >= kOutputFormats) return;
    {
        MutexLock lock(PM_mutex);
        PM.OUTPUT_RES_SEL[channel] = static_cast<uint8_t>(format);
    }
    vp.chData[channel].cFlags.fetch_or(VP_CFLAG_DIRTY);
    board::journal("changeOutput", "channel=%d format=%d", channel, format);
    confOutputResolution(0, channel, 0);
    p7kEvAnnounceInt(static_cast<uint32_t>(kNodeOutput[channel]), format, static_cast<uint8_t>(channel));
}

void changeModeToSingleWindowIf_4k(int format, int flag) {
    if (format != kOutputFormat4K) return;
    {
        MutexLock lock(PM_mutex);
        PM.DISPLAY_MODE = 1;
        PM.DWINDOW = 0;
    }
    vp.numInputs = 1;
    markBothChannelsDirty();
    board::journal("changeModeToSingleWindowIf_4k", "format=%d flag=%d", format, flag);
    if (flag) {
        p7kEvAnnounceInt(21, PM.DISPLAY_MODE, 0);
        p7kEvAnnounceInt(23, PM.DWINDOW, 0);
    }
}

void cancelSpecialEffects() {
    bool chroma, luma;
    {
        MutexLock lock(PM_mutex);
        chroma = PM.CHROMA_KEYING != 0;
        luma = PM.LUMA_KEYING != 0;
        PM.CHROMA_KEYING = PM.LUMA_KEYING = 0;
    }
    board::journal("cancelSpecialEffects", "chroma=%d luma=%d", chroma ? 1 : 0, luma ? 1 : 0);
    if (chroma) p7kEvAnnounceInt(kNodeChromaKeying, 0, 0);
    if (luma) p7kEvAnnounceInt(kNodeLumaKeying, 0, 0);
    if (chroma || luma) vp.chData[0].cFlags.fetch_or(VP_CFLAG_DIRTY);
}

void initOutputResolutions() {
    board::journal("initOutputResolutions", "formats %u %u", PM.OUTPUT_RES_SEL[0], PM.OUTPUT_RES_SEL[1]);
    bool fourK = PM.OUTPUT_RES_SEL[0] == kOutputFormat4K || PM.OUTPUT_RES_SEL[1] == kOutputFormat4K;
    for (int ch = 0; ch < 2; ++ch) {
        int format = fourK ? kOutputFormat4K : PM.OUTPUT_RES_SEL[ch];
        if (format >= kOutputFormats) format = 0;
        vp.outFrmt[ch] = static_cast<uint8_t>(format);
        set_output_timing(ch, format);
    }
}

void handleConversionRequest(int code, int channel) {
    board::journal("cnv", "code=%d channel=%d", code, channel);
    switch (code) {
        case CNV_OUTPUT_RESOLUTION: confOutputResolution(0, channel, channel == 2); break;
        case CNV_DEEP_COLOR: backEnd_setDeepColor(PM.DEEP_COLOR); break;
        case CNV_COLOR_SPACE: backEnd_setColorSpace(PM.SAMPLING_RATE); break;
        default: break;
    }
}
