#include "core/tbar.h"

#include "core/core_state.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <atomic>
#include <mutex>
#include <pthread.h>

namespace {

std::mutex gMutex;  // the thread's handle
pthread_t gThread{};
bool gRunning = false;
// The travel reached its end and the TAKE went out; re-armed below the end.
std::atomic<bool> gTaken{false};

void* tbarThread(void*) {
    pthread_set_selfname("TBAR");
    for (;;) {
        _EXMSG m;
        if (get_message_q_block(E_EXMSG_TYPE_T_BAR, &m) < 0) {
            Sleep(100);  // the queue is gone (the program ends)
            continue;
        }
        if (m.key == kTbarQuitKey) break;
        tbarTravel(m.param, m.time);
    }
    return nullptr;
}

}  // namespace

void tbarTravel(uint32_t value, uint32_t time) {
    if (value > kTbarEnd) value = kTbarEnd;
    board::journal("tbar.value", "value=%u time=%u", value, time);
    if (value == 0) {
        in_tbar_process_flag = 0;
        gTaken = false;
        return;
    }
    if (value < kTbarEnd) {
        in_tbar_process_flag = 1;
        gTaken = false;
        return;
    }
    in_tbar_process_flag = 0;
    if (gTaken.exchange(true)) return;
    board::journal("tbar.take", "end of travel");
    post_program_key(E_EXMSG_TYPE_KEYPAD, KEY_TBAR_TAKE);
}

int create_t_bar_thread() {
    std::lock_guard lock(gMutex);
    if (gRunning) return 0;
    if (pthread_create(&gThread, nullptr, tbarThread, nullptr) != 0) return -1;
    gRunning = true;
    board::journal("create_t_bar_thread", "TBAR started");
    return 0;
}

void close_t_bar_thread() {
    std::lock_guard lock(gMutex);
    if (!gRunning) return;
    _EXMSG m;
    m.key = kTbarQuitKey;
    if (send_message_q(E_EXMSG_TYPE_T_BAR, &m) == 0) pthread_join(gThread, nullptr);
    else pthread_detach(gThread);
    gRunning = false;
    board::journal("close_t_bar_thread", "TBAR ended");
}
