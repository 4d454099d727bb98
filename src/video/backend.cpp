#include "video/backend.h"

#include "core/output.h"
#include "core/pm.h"
#include "menu/pages_layout.h"
#include "platform/journal.h"
#include "platform/sim/video_sim.h"
#include "platform/video.h"
#include "scaler/output_formats.h"
#include "sys/locks.h"
#include "sys/watchdog.h"
#include "upgrade/valens.h"
#include "video/edid.h"
#include "video/preferred_timing.h"

#include <cstring>
#include <mutex>
#include <string>

std::atomic<int> dsRxPoweredUp[4] = {0, 0, 0, 0};

namespace {

constexpr int kOutputs = board::video::kOutputs;
bool gEdidOk[kOutputs] = {};

// What the CNV requests asked for; guarded by SI9136_mutex0.
int gDeepColor = 0;
int gColorSpace = 0;

int firstOutput(int ch) { return 2 * ch; }

bool readEdid(int output, uint8_t* e) { return board::video::readSinkEdid(output, e, kEdidBytes) && edidImageValid(e); }

bool readValid(int output) {
    uint8_t e[kEdidBytes];
    return readEdid(output, e);
}

// The timings a simulated sink can prefer: the output formats and the
// inputs' native resolutions, by name.
bool sinkTimingDescriptor(const std::string& name, uint8_t* dtd) {
    for (int f = 1; f < kOutputFormats; ++f)
        if (name == sysParamTbl[f].name) {
            edidEncodeDtd(dtd, sysParamTbl[f], true, true);
            return true;
        }
    for (const PreferredTiming& p : preferredTiming)
        if (name == p.name) {
            std::memcpy(dtd, p.descriptor, sizeof p.descriptor);
            return true;
        }
    return false;
}

void registerSinkTimings() {
    static std::once_flag once;
    std::call_once(once, [] { board::sim::video::setSinkTimings(sinkTimingDescriptor); });
}

// Sets the output's colour format and depth from what was asked and what
// its sink announces.
void applyColor(int output, const SinkColorCaps& caps) {
    MutexLock lock(SI9136_mutex0);
    const bool format = (gColorSpace == 1 && caps.ycbcr444) || (gColorSpace == 2 && caps.ycbcr422);
    board::video::setOutputColor(output, format ? gColorSpace : 0, gDeepColor ? caps.maxBitsPerPixel : 24);
}

void applyColor(int output) {
    uint8_t e[kEdidBytes];
    applyColor(output, readEdid(output, e) ? edidSinkColorCaps(e) : SinkColorCaps{});
}

// A channel whose output format is native follows its sink: a new sink on
// that connector asks the main task to apply the format again.
void followNativeSink(int output) {
    for (int ch = 0; ch < 2; ++ch)
        if (vp.outFrmt[ch] == 0 && nativeOutputConnector(ch, PM.OUTPUT_CH) == output)
            postConversionRequest(CNV_OUTPUT_RESOLUTION, ch);
}

}  // namespace

void backEnd_init() {
    registerSinkTimings();
    SinkColorCaps caps[kOutputs];
    {
        MutexLock lock(SI9136_mutex0);
        gDeepColor = PM.DEEP_COLOR;
        gColorSpace = PM.SAMPLING_RATE;
        for (int o = 0; o < kOutputs; ++o) {
            dsRxPoweredUp[o] = board::video::sinkPowered(o) ? 1 : 0;
            uint8_t e[kEdidBytes];
            gEdidOk[o] = dsRxPoweredUp[o] && readEdid(o, e);
            if (gEdidOk[o]) caps[o] = edidSinkColorCaps(e);
            board::video::setOutput(o, true, true);
            board::video::setOutputMute(o, PM.MUTE[o / 2] != 0);
            board::video::takeSinkChange(o);
        }
    }
    for (int o = 0; o < kOutputs; ++o) applyColor(o, caps[o]);
    board::journal("backEnd_init", "sinks %d%d%d%d", dsRxPoweredUp[0].load(), dsRxPoweredUp[1].load(),
                   dsRxPoweredUp[2].load(), dsRxPoweredUp[3].load());
}

bool backEnd_poll() {
    pollSiI9136State();
    bool changed = false;
    for (int o = 0; o < kOutputs; ++o) {
        int powered = board::video::sinkPowered(o) ? 1 : 0;
        // takeSinkChange clears the interrupt: call it on every pass.
        if (!board::video::takeSinkChange(o) && powered == dsRxPoweredUp[o]) continue;
        dsRxPoweredUp[o] = powered;
        uint8_t e[kEdidBytes];
        const bool valid = powered && readEdid(o, e);
        {
            MutexLock lock(SI9136_mutex0);
            gEdidOk[o] = valid;
        }
        board::journal("backEnd.sink", "output=%d %s edid=%s", o, powered ? "on" : "off", valid ? "valid" : "invalid");
        if (powered) applyColor(o, valid ? edidSinkColorCaps(e) : SinkColorCaps{});
        followNativeSink(o);
        changed = true;
    }
    return changed;
}

void backEnd_MuteCtl(int ch, int ctl, const char* caller, int line) {
    if (ch != 0 && ch != 1) return;
    bool unmute = ctl == 1;
    // A blank mutes only a test pattern; other pictures are blacked out.
    const bool blankMutes = PM.BLANK[ch] && PM.TEST_PATTERN[ch];
    if (unmute && (PM.MUTE[ch] || PM.FREEZE[ch] || blankMutes)) {
        board::journal("backEnd_MuteCtl", "ch=%d ctl=1 ignored: stays muted caller=%s:%d", ch, caller, line);
        return;
    }
    board::journal("backEnd_MuteCtl", "ch=%d ctl=%d caller=%s:%d", ch, ctl, caller, line);
    MutexLock lock(SI9136_mutex0);
    for (int o = firstOutput(ch); o < firstOutput(ch) + 2; ++o) board::video::setOutputMute(o, !unmute);
}

int isEdidValid(int output) {
    if (output < 0 || output >= kOutputs) return 0;
    bool valid = readValid(output);
    MutexLock lock(SI9136_mutex0);
    gEdidOk[output] = valid;
    return valid ? 1 : 0;
}

void SI9136_init_all() {
    board::journal("SI9136_init_all", "4 transmitters");
    MutexLock lock(SI9136_mutex0);
    for (int o = 0; o < kOutputs; ++o) board::video::setOutput(o, true, true);
}

void pollSiI9136State() {
    // A transmitter's HDBaseT chip being programmed: keep the row fresh, stay quiet.
    if (valence_update_in_operation_mode != 0) WDT_Clear();
}

void backEnd_outputPower(int ch, int tmds, int power5v) {
    board::journal("backEnd_outputPower", "ch=%d tmds=%d 5v=%d", ch, tmds, power5v);
    MutexLock lock(SI9136_mutex0);
    for (int c = 0; c < 2; ++c) {
        if (ch != 2 && ch != c) continue;
        for (int o = firstOutput(c); o < firstOutput(c) + 2; ++o) board::video::setOutput(o, tmds != 0, power5v != 0);
    }
}

void backEnd_setDeepColor(int on) {
    board::journal("backEnd_setDeepColor", "on=%d", on);
    {
        MutexLock lock(SI9136_mutex0);
        gDeepColor = on ? 1 : 0;
    }
    for (int o = 0; o < kOutputs; ++o) applyColor(o);
}

void backEnd_setColorSpace(int value) {
    board::journal("backEnd_setColorSpace", "value=%d", value);
    {
        MutexLock lock(SI9136_mutex0);
        gColorSpace = value >= 0 && value <= 2 ? value : 0;
    }
    for (int o = 0; o < kOutputs; ++o) applyColor(o);
}

int nativeOutputConnector(int ch, const uint8_t outputCh[2]) {
    // Routing 2 of an output follows the other channel's output.
    const int i = (ch + outputCh[ch] / 2) % 2;
    return outputCh[i] + 2 * i;
}

bool backEnd_nativeTiming(int ch, VideoTiming& timing) {
    registerSinkTimings();
    if (ch != 0 && ch != 1) return false;
    const int connector = nativeOutputConnector(ch, PM.OUTPUT_CH);
    uint8_t e[kEdidBytes];
    return connector >= 0 && connector < kOutputs && readEdid(connector, e) && edidPreferredTiming(e, timing);
}

void backEnd_setOutputTiming(int ch, const VideoTiming& t) {
    if (ch != 0 && ch != 1) return;
    MutexLock lock(SI9136_mutex0);
    for (int o = firstOutput(ch); o < firstOutput(ch) + 2; ++o)
        board::video::setOutputTiming(o, t.hActive, t.vActive, t.pixelClockKHz, t.interlaced);
}

void backEnd_powerDown() {
    backEnd_outputPower(2, 0, 0);
    board::journal("backEnd_powerDown", "transmitters off");
}
