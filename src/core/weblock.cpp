#include "core/weblock.h"

#include "commands/notifications.h"
#include "core/core_state.h"
#include "platform/journal.h"
#include "sys/timers.h"

namespace {

constexpr const char* kLocked = "~01@WEB-LOCK-TBAR-CONTROL 1\r\n";
constexpr const char* kFree = "~01@WEB-LOCK-TBAR-CONTROL 0\r\n";

}  // namespace

const char* webLockText(int n) {
    switch (n) {
        case 4: return kLocked;
        case 5: return is_hwtbar_connected == 1 ? kLocked : kFree;
        default: return nullptr;
    }
}

void webLockAnnounce(int n) {
    const char* text = webLockText(n);
    board::journal("webLockAnnounce", "n=%d%s", n, text ? "" : " (no line)");
    if (text) protocol_out_to_web(text);
}

void setWebTbarEnable(int v) {
    if (disable_web_tbar_flg != 1) return;
    disable_web_tbar_flg = v;
    board::journal("setWebTbarEnable", "v=%d", v);
    webLockAnnounce(5);
    tbarEnableTimerKill();
}

void new_wsi_announce_web_lock_messages(uint32_t websocketId) {
    board::journal("new_wsi_announce_web_lock_messages", "id=%u", websocketId);
    workaround_namespace::send_to_websockets(webLockText(5), static_cast<int>(websocketId));
}
