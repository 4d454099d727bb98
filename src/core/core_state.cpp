#include "core/core_state.h"

#include "core/pm.h"

std::atomic<uint32_t> gOsdTimeOut{30000};
std::atomic<int> gInInitialize[2] = {0, 0};
std::atomic<int> gAudioPowerUpInitFlag[2] = {0, 0};
std::atomic<int> gIsSyncOff[2] = {0, 0};
std::atomic<int> PI_SYNC_OFF[2] = {0, 0};
std::atomic<int> PI_SCAN_MODE_IN_PROGRESS[2] = {0, 0};
std::atomic<int> y_cmd_start{0};
std::atomic<int> in_tbar_process_flag{0};
std::atomic<int> is_hwtbar_connected{0};
std::atomic<int> disable_web_tbar_flg{0};
std::atomic<int> gPowerSave{0};
std::atomic<int> gWasHdmiEdidChg{0};

bool anyChannelInitialising() { return gInInitialize[0] != 0 || gInInitialize[1] != 0; }

bool anyChannelScanning() {
    for (const auto& ch : vp.chData)
        if (ch.cFlags.load() & VP_CFLAG_SCAN_IN_PROGRESS) return true;
    return false;
}
