#include "video/backend.h"

#include "core/pm.h"
#include "platform/journal.h"
#include "platform/video.h"
#include "sys/locks.h"
#include "sys/watchdog.h"
#include "upgrade/valens.h"
#include "video/edid.h"

std::atomic<int> dsRxPoweredUp[4] = {0, 0, 0, 0};

namespace {

constexpr int kOutputs = board::video::kOutputs;
bool gEdidOk[kOutputs] = {};

int firstOutput(int ch) { return 2 * ch; }

bool readValid(int output) {
    uint8_t e[kEdidBytes];
    return board::video::readSinkEdid(output, e, sizeof e) && edidImageValid(e);
}

}  // namespace

void backEnd_init() {
    MutexLock lock(SI9136_mutex0);
    for (int o = 0; o < kOutputs; ++o) {
        dsRxPoweredUp[o] = board::video::sinkPowered(o) ? 1 : 0;
        gEdidOk[o] = dsRxPoweredUp[o] && readValid(o);
        board::video::setOutput(o, true, true);
        board::video::setOutputMute(o, PM.MUTE[o / 2] != 0);
    }
    board::journal("backEnd_init", "sinks %d%d%d%d", dsRxPoweredUp[0].load(), dsRxPoweredUp[1].load(),
                   dsRxPoweredUp[2].load(), dsRxPoweredUp[3].load());
}

bool backEnd_poll() {
    pollSiI9136State();
    bool changed = false;
    for (int o = 0; o < kOutputs; ++o) {
        int powered = board::video::sinkPowered(o) ? 1 : 0;
        if (powered == dsRxPoweredUp[o]) continue;
        dsRxPoweredUp[o] = powered;
        bool valid = powered && readValid(o);
        {
            MutexLock lock(SI9136_mutex0);
            gEdidOk[o] = valid;
        }
        board::journal("backEnd.sink", "output=%d %s edid=%s", o, powered ? "on" : "off", valid ? "valid" : "invalid");
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

void backEnd_setDeepColor(int on) { board::journal("backEnd_setDeepColor", "on=%d", on); }
void backEnd_setColorSpace(int value) { board::journal("backEnd_setColorSpace", "value=%d", value); }

void backEnd_powerDown() {
    backEnd_outputPower(2, 0, 0);
    board::journal("backEnd_powerDown", "transmitters off");
}
