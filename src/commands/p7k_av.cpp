// Audio and video words that need more than one table function: the output
// volume, the custom output windows, the microphone mix and the routing.
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "commands/scaler_bridge.h"
#include "core/functable.h"
#include "core/paramcmd.h"
#include "core/pm.h"
#include "scaler/output_formats.h"
#include "sys/locks.h"
#include "sys/print.h"
#include "platform/journal.h"

#include <cstdio>

namespace {

// "~01@WIN-CUST <channel>,<h start>,<h size>,<v start>,<v size>".
void reportWindows(int channel) {
    int32_t v[4] = {};
    for (int k = 0; k < 4; ++k) getIntParam(funcNum2TblInx((channel == 0 ? 331 : 431) + k), &v[k], channel);
    int fourK = 0;
    {
        MutexLock lock(PM_mutex);
        fourK = PM.OUTPUT_RES_SEL[channel] == kOutputFormat4K;
    }
    char text[96];
    if (fourK) std::snprintf(text, sizeof text, "WIN-CUST 0,%d,3840,%d,2160\r\n", v[0], v[2]);
    else std::snprintf(text, sizeof text, "WIN-CUST %d,%d,%d,%d,%d\r\n", channel, v[0], v[1], v[2], v[3]);
    p7kAnnounceText(getPreAnswer() + text);  // routed as notifications are
}

// A field that names a channel: "0" or "1".
int channelOf(const std::string& field) { return field == "0" ? 0 : field == "1" ? 1 : -1; }

constexpr int kLayerAfv = 12, kLayerVideo = 1, kLayerAudio = 2;

}  // namespace

void p7kGetVolume(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    const int channel = f.size() == 1 ? channelOf(f[0]) : -1;
    if (channel < 0) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    int volume = 0;
    {
        MutexLock lock(PM_mutex);
        volume = PM.VOLUME[channel];
    }
    p7kSend(port, getPreAnswer() + "VOLUME " + std::to_string(channel) + "," + std::to_string(volume) + "\r\n");
}

void p7kSetCustomWindow(COMM_TYPE port, int id, const char* params) {
    if (const int rc = parseOwinVidCmd(params); rc != 0) {
        protocol_out_error(port, id, params, rc);
        return;
    }
    scalerCmdOk(port, id, params);
}

void p7kGetCustomWindow(COMM_TYPE port, int id, const char* params) {
    if (const int rc = parseCmdWinCustStr(params); rc != 0) {
        protocol_out_error(port, id, "", rc);
        return;
    }
    reportWindows(channelOf(p7kFields(params)[0]));
}

void get_win_cust_of_all_windows(int which) {
    board::journal("get_win_cust_of_all_windows", "which=%d", which);
    if (which == 0 || which == 1) {
        reportWindows(which);
        return;
    }
    reportWindows(0);
    if (vp.dDisp == 2) reportWindows(1);
}

void p7kGetMicMix(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    if (f.size() != 1 || f[0] != "0") {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    scalerCmd_lvl2(port, port, id, params, 39616, 0);
    scalerCmd_lvl2(port, port, id, params, 39626, 0);
    int mode = 3;
    {
        MutexLock lock(PM_mutex);
        const bool mic1 = PM.MIC1_MUTE == 1, mic2 = PM.MIC2_MUTE == 1;
        mode = mic1 && mic2 ? 0 : mic2 ? 1 : mic1 ? 2 : 3;
    }
    p7kSend(port, getPreAnswer() + "MIX?" + params + "," + std::to_string(mode) + "\r\n");
}

void p7kRoute(COMM_TYPE port, int id, const char* params) {
    std::string f[3];
    long long layer = 0, input = 0;
    if (parse_cmd_params(params, f, 3) != 0 || !p7kDecimal(f[0], layer) || !p7kDecimal(f[2], input) ||
        (layer != kLayerAfv && layer != kLayerVideo && layer != kLayerAudio)) {
        PRINT(PRINT_GENERAL, "fail on audio/video/AFV\n");
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const char* what = layer == kLayerAfv ? "afv" : layer == kLayerVideo ? "video" : "audio";
    const int channel = channelOf(f[1]);
    if (channel < 0 || (f[2].size() > 1 && f[2][0] == '0')) {
        PRINT(PRINT_GENERAL, "fail on %s, wrong channel\n", what);
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const int audioFunction = 391 + 100 * channel, videoFunction = 31 + 10 * channel;
    int audio = static_cast<int>(input);
    if (layer == kLayerAfv) {
        audio = 0;  // audio follows video
    } else if (layer == kLayerVideo) {
        // The audio stays where it is: on the old input when it followed.
        MutexLock lock(PM_mutex);
        audio = PM.AUDIO_SOURCE[channel] != 0 ? PM.AUDIO_SOURCE[channel] : PM.SEL_INPUT[channel];
    }
    scalerCmd_lvl2(port, port, id, params, audioFunction, audio);
    if (layer != kLayerAudio) scalerCmd_lvl2(port, port, id, params, videoFunction, static_cast<int>(input));
}
