#include "video/frontend.h"

#include "core/core_state.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "platform/journal.h"
#include "platform/sim/video_sim.h"
#include "platform/video.h"
#include "scaler/input_formats.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"
#include "upgrade/valens.h"
#include "video/crosspoint.h"
#include "video/edid.h"
#include "video/preferred_timing.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

struct Receiver {
    int connector = -1;
    int vidInput = -1;
    bool measuring = false;
    uint32_t routedAt = 0;
    int reported = kFormatNone;  // the format last reported
};

// Guarded by frontend_mutex.
Receiver gRx[2];
int gSeen[board::video::kConnectors];  // each connector's format at the last poll
bool gSeenValid = false;
int gIncline = -1;
// Inputs whose EDID image differs from what their switch port held at start.
bool gEdidChangedAtStart[kEdidInputs] = {};
// Hot-plug pulses ended on each connector (the line raised again).
std::atomic<unsigned> gHotPlugPulses[board::video::kConnectors] = {};

// The HDBaseT inputs (HDBT 1 and 2) come through the receiving
// transceivers of CH1 and CH2. A source at the far end of the link sees a
// hot-plug only through its transceiver: the switch poll holds the
// transceiver while the input's line is low and resets it after a pulse.
constexpr int kHdbtConnector[2] = {6, 7};
struct HdbtReceiver {
    bool held = false;
    unsigned pulses = 0;  // the pulses it has followed
};
HdbtReceiver gHdbtRx[2];  // the main task's poll only

bool validFormat(int f) { return f >= 0 && f <= kInputFormatLast; }

int measure(int connector) {
    int f = board::video::inputFormat(connector);
    return validFormat(f) ? f : kFormatNone;
}

bool onAir(int connector) {
    for (int ch = 0; ch < 2; ++ch)
        if (vidInputToConnector(vp.chData[ch].vidInput) == connector) return measure(connector) != kFormatNone;
    return false;
}

// Loads the input's image into its switch port after a patch; the result of
// a frontEnd_replaceNative* call.
int patched(int videoInput, bool changed, const char* what, int value) {
    int c = vidInputToConnector(videoInput);
    int rc = changed && onAir(c) ? 1 : 0;
    board::journal(what, "video_input=%d value=%d changed=%d hotplug=%d", videoInput, value, changed ? 1 : 0, rc);
    if (changed) {
        EP9442_MwRxSetInternalEdid(TvAppEdid[c], videoInput);
        gWasHdmiEdidChg = 1;
    }
    return rc;
}

void postAutoScan(int connector, int format) {
    _EXMSG m;
    m.key = static_cast<uint16_t>(connector);
    m.param = static_cast<uint32_t>(format);
    m.source = KEY_SOURCE_PROGRAM;
    send_message_q(E_EXMSG_TYPE_AUTO_SCAN_CH1, &m);
    send_message_q(E_EXMSG_TYPE_AUTO_SCAN_CH2, &m);
}

void hotPlugPulse(const bool* connectors) {
    bool any = false;
    for (int c = 0; c < board::video::kConnectors; ++c)
        if (connectors[c]) {
            board::video::setHotPlug(c, false);
            any = true;
        }
    if (!any) return;
    Sleep(kHotPlugPulseMs);
    for (int c = 0; c < board::video::kConnectors; ++c)
        if (connectors[c]) {
            board::video::setHotPlug(c, true);
            ++gHotPlugPulses[c];
        }
}

void pulseOne(int connector) {
    bool mask[board::video::kConnectors] = {};
    if (connector < 0 || connector >= board::video::kConnectors) return;
    mask[connector] = true;
    hotPlugPulse(mask);
}

// The receiver's output colour space for the video input it carries.
void receiverColorSpace(int channel, int vidInput, int value) {
    // A VGA input has no YCbCr path.
    if ((vidInput == 28 || vidInput == 29) && value == 2) value = 0;
    {
        MutexLock lock(frontend_mutex);
        ADV7842_incline(static_cast<uint8_t>(channel));
    }
    board::journal("frontEnd_setColorSpace", "channel=%d value=%d", channel, value);
    board::video::setReceiverColorSpace(channel, value);
}

}  // namespace

void frontEnd_init() {
    board::sim::video::setFormatNames(inputFormatName, kInputFormatLast + 1);
    edidLoadTemplates();
    for (int inp = 0; inp < kEdidInputs; ++inp) {
        initEdid_single(inp);
        // The stored EDID choices of the input page hold across a restart.
        uint8_t* img = TvAppEdid[inp];
        int native = static_cast<uint8_t>(PM_I[inp].RESOLUTION);
        if (native <= getLastNativeInd()) edidSetNativeTiming(img, preferredTiming[native].descriptor);
        else PRINT(PRINT_GENERAL, "frontEnd_init: input %d native resolution %d is not in the table\n", inp + 1, native);
        edidSetDeepColor(img, PM_I[inp].COLOR_DEPTH);
        edidSetModeLines(img, edidTemplate(edidTemplateFor(inp)), PM_I[inp].MODELINE);
        edidSetAudioChannels(img, PM_I[inp].AUDIO_CHANNELS);
        uint8_t held[kEdidBytes];
        gEdidChangedAtStart[inp] = !board::video::portEdid(inp, held, sizeof held) || std::memcmp(held, img, sizeof held) != 0;
        int v = edidTemplateFor(inp) == EdidTemplate::VGA ? inp + 24 : inp;
        EP9442_MwRxSetInternalEdid(img, v);
        EP9442_HdmiEnHdcp(inp, PM_I[inp].HDCP_MODE);
    }
    ADG2188_init();
    // The hot-plug pins rest on channel 2's input.
    EP9442_aimHPDHdmiVidInput(1, PM.SEL_INPUT[1] - 1);
    for (int ch = 0; ch < 2; ++ch) {
        gInInitialize[ch] = 1;
        frontEnd_setVidInput(ch, vp.chData[ch].vidInput);
    }
    board::journal("frontEnd_init", "inputs=%d channels routed", kEdidInputs);
}

void frontEnd_setVidInput(int channel, int vidInput) {
    if (channel != 0 && channel != 1) return;
    int c = vidInputToConnector(vidInput);
    {
        MutexLock lock(frontend_mutex);
        ADV7842_incline(static_cast<uint8_t>(channel));
        Receiver& rx = gRx[channel];
        rx.connector = c;
        rx.vidInput = vidInput;
        rx.measuring = true;
        rx.routedAt = getCurrMsCount();
    }
    board::journal("frontEnd_setVidInput", "channel=%d vidInput=%d connector=%d", channel, vidInput, c);
    if (c >= 0) receiverColorSpace(channel, vidInput, PM_I[c].COLOR_SPACE);
}

void frontEnd_poll() {
    int report[2] = {-1, -1};
    int changed[board::video::kConnectors];
    bool anyChange = false;
    {
        MutexLock lock(frontend_mutex);
        for (int ch = 0; ch < 2; ++ch) {
            Receiver& rx = gRx[ch];
            if (rx.connector < 0) continue;
            int f = measure(rx.connector);
            if (rx.measuring) {
                if (getElapsedMs(rx.routedAt) < kMeasureMs) continue;
                rx.measuring = false;
            } else if (f == rx.reported) {
                continue;
            }
            rx.reported = f;
            report[ch] = f;
        }
        for (int c = 0; c < board::video::kConnectors; ++c) {
            int f = measure(c);
            changed[c] = gSeenValid && f != gSeen[c] ? f : -1;
            anyChange = anyChange || changed[c] >= 0;
            gSeen[c] = f;
        }
        gSeenValid = true;
    }
    for (int ch = 0; ch < 2; ++ch)
        if (report[ch] >= 0) videoFormatManager(ch, report[ch]);
    if (anyChange)
        for (int c = 0; c < board::video::kConnectors; ++c)
            if (changed[c] >= 0) postAutoScan(c, changed[c]);
    EP9442_pollRX();
}

bool frontEnd_noSignal(int channel) {
    if (channel != 0 && channel != 1) return true;
    MutexLock lock(frontend_mutex);
    return gRx[channel].connector < 0 || measure(gRx[channel].connector) == kFormatNone;
}

int frontEnd_inputFormat(int connector) {
    if (connector < 0 || connector >= board::video::kConnectors) return kFormatNone;
    return measure(connector);
}

void videoFormatManager(int channel, int format) {
    _EXMSG m;
    bool valid = validFormat(format);
    m.key = valid ? VFM_NEW_FORMAT : VFM_SIGNAL_LOST;
    m.param = static_cast<uint32_t>(valid ? format : kFormatNone);
    m.mode = static_cast<uint16_t>(channel << 8);
    m.source = KEY_SOURCE_PROGRAM;
    if (valid) board::journal("videoFormatManager", "channel=%d new format=%d", channel, format);
    else board::journal("videoFormatManager", "channel=%d signal lost", channel);
    if (send_message_q(E_EXMSG_TYPE_VFM, &m) != 0)
        PRINT(PRINT_GENERAL, "videoFormatManager: the report of channel %d is lost\n", channel);
}

void frontEnd_powerDown() {
    MutexLock lock(frontend_mutex);
    for (auto& rx : gRx) rx = Receiver{};
    board::journal("frontEnd_powerDown", "receivers and switches off");
}

int frontEnd_replaceNativeResolution(int video_input, const uint8_t* descriptor, const char* name) {
    int c = vidInputToConnector(video_input);
    if (c < 0 || descriptor == nullptr) return 0;
    PRINT(PRINT_GENERAL, "frontEnd_replaceNativeResolution: input %d native %s\n", c + 1, name ? name : "?");
    return patched(video_input, edidSetNativeTiming(TvAppEdid[c], descriptor), "frontEnd_replaceNativeResolution", 0);
}

int frontEnd_replaceNativeColorDepth(int video_input, int value) {
    int c = vidInputToConnector(video_input);
    if (c < 0) return 0;
    return patched(video_input, edidSetDeepColor(TvAppEdid[c], value), "frontEnd_replaceNativeColorDepth", value);
}

int frontEnd_replaceNativeModeLines(int video_input, int value) {
    int c = vidInputToConnector(video_input);
    if (c < 0) return 0;
    const uint8_t* tmpl = edidTemplate(edidTemplateFor(c));
    return patched(video_input, edidSetModeLines(TvAppEdid[c], tmpl, value), "frontEnd_replaceNativeModeLines", value);
}

int frontEnd_replaceNativeAudioChannels(int video_input, int value) {
    int c = vidInputToConnector(video_input);
    if (c < 0) return 0;
    return patched(video_input, edidSetAudioChannels(TvAppEdid[c], value), "frontEnd_replaceNativeAudioChannels",
                   value);
}

void frontEnd_Edid_Issu_Hotplug(int video_input) {
    int c = vidInputToConnector(video_input);
    board::journal("frontEnd_Edid_Issu_Hotplug", "video_input=%d connector=%d", video_input, c);
    pulseOne(c);
}

void issueHPD(int inp) {
    if (anyChannelInitialising()) {
        board::journal("issueHPD", "inp=%d skipped while initialising", inp);
        return;
    }
    board::journal("issueHPD", "inp=%d", inp);
    pulseOne(inp);
}

void frontEnd_setColorSpace(int channel, int value) {
    if (channel != 0 && channel != 1) return;
    receiverColorSpace(channel, vp.chData[channel].vidInput, value);
}

void get_info_panas(char*) {}

int ADV7842_incline(uint8_t receiver) {
    if (receiver > 1) return 255;
    if (gIncline != receiver) {
        gIncline = receiver;
        board::journal("ADV7842_incline", "receiver=%u", receiver);
    }
    return 0;
}

void EP9442_aimHPDHdmiVidInput(int on, int inp) {
    board::journal("EP9442_aimHPDHdmiVidInput", "on=%d inp=%d", on, inp);
    board::video::aimHotPlugPins(inp, on != 0);
}

void EP9442_HdmiEnHdcp(int inp, int on) {
    board::journal("EP9442_HdmiEnHdcp", "inp=%d on=%d", inp, on);
    board::video::setHdcp(inp, on != 0);
}

void EP9442_MwRxSetInternalEdid(const uint8_t* edid, int video_input) {
    int c = vidInputToConnector(video_input);
    if (c < 0 || edid == nullptr) return;
    board::journal("EP9442_MwRxSetInternalEdid", "video_input=%d connector=%d", video_input, c);
    board::video::loadEdid(c, edid, kEdidBytes);
}

void EP9442_pollRX() {
    // Not while a transceiver's flash is programmed, nor in power saving
    // (every transceiver is held then).
    if (valence_update_in_operation_mode != 0 || gPowerSave) return;
    for (int ch = 0; ch < 2; ++ch) {
        const int c = kHdbtConnector[ch];
        HdbtReceiver& rx = gHdbtRx[ch];
        const unsigned pulses = gHotPlugPulses[c];
        if (!board::video::hotPlugHigh(c)) {
            if (!rx.held) shut_valens(valense_input, ch);
            rx.held = true;
        } else if (rx.held || pulses != rx.pulses) {
            // Also after a pulse that began and ended between two polls.
            reset_valens(valense_input, ch);
            rx.held = false;
        }
        rx.pulses = pulses;
    }
}

void pulseInputHotPlug() {
    bool mask[board::video::kConnectors] = {};
    bool any = false;
    for (int inp = 0; inp < kEdidInputs; ++inp)
        if (gEdidChangedAtStart[inp] && edidTemplateFor(inp) == EdidTemplate::HDMI) mask[inp] = any = true;
    board::journal("pulseInputHotPlug", "%s", any ? "changed EDIDs" : "none changed");
    hotPlugPulse(mask);
}

void* frontend_thread(void*) {
    std::printf("frontend_thread: start\n");
    while (!gPowerSave) {
        WDT_Clear();
        Sleep(10);
    }
    std::printf("frontend_thread: end\n");
    return nullptr;
}
