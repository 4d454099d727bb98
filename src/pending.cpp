#include "pending.h"

#include "platform/journal.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <pthread.h>

namespace {

void pending(const char* name) {
    PRINT(PRINT_GENERAL, "PENDING: %s\n", name);
    board::journal("pending", "%s", name);
}

// An unsupervised table thread whose body is not built yet.
void* endsAtOnce(const char* name) {
    pending(name);
    return nullptr;
}

// A supervised loop that only keeps its watchdog row alive and takes the
// keys of its queue so that senders never find it full.
void* drainLoop(int queue, const char* call, uint32_t periodMs) {
    for (;;) {
        WDT_Clear();
        _EXMSG m;
        while (get_message_q(queue, &m) >= 0)
            board::journal(call, "key=%u mode=%u param=%u source=%u", m.key, m.mode, m.param, m.source);
        Sleep(periodMs);
    }
    return nullptr;
}

void* tbarThread(void*) {
    pthread_set_selfname("TBAR");
    for (;;) {
        _EXMSG m;
        if (get_message_q_block(E_EXMSG_TYPE_T_BAR, &m) < 0) {
            Sleep(100);
            continue;
        }
        board::journal("tbar.value", "value=%u time=%u", m.param, m.time);
    }
    return nullptr;
}

}  // namespace

void* frontend_thread(void*) {
    pending("frontend_thread");
    while (!gPowerSave) {
        WDT_Clear();
        Sleep(10);
    }
    return nullptr;
}

void* main_task(void*) {
    pending("main_task");
    return drainLoop(E_EXMSG_TYPE_KEYPAD, "main_task.key", 20);
}

void* p7k_thread(void*) { return endsAtOnce("p7k_thread"); }
void* lws_service_task(void*) { return endsAtOnce("lws_service_task"); }
void* port_tunneling_thread(void*) { return endsAtOnce("port_tunneling_thread"); }
void* users_message_thread(void*) { return endsAtOnce("users_message_thread"); }
void* auto_switch_thread(void*) { return endsAtOnce("auto_switch_thread"); }

int create_t_bar_thread() {
    pending("create_t_bar_thread");
    pthread_t t{};
    if (pthread_create(&t, nullptr, tbarThread, nullptr) != 0) return -1;
    pthread_detach(t);
    return 0;
}

std::atomic<int> is_hwtbar_connected{0};
std::atomic<int> disable_web_tbar_flg{0};
std::atomic<int> valence_update_in_operation_mode{0};
std::atomic<int> gPowerSave{0};

void webLockAnnounce(int n) {
    pending("webLockAnnounce");
    board::journal("webLockAnnounce", "%d", n);
}

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }
void writeUserMessageFiles() { pending("writeUserMessageFiles"); }
void audioInit() { pending("audioInit"); }
void frontEnd_init() { pending("frontEnd_init"); }
void backEnd_init() { pending("backEnd_init"); }
void initOutputResolutions() { pending("initOutputResolutions"); }
void audioUnmute() { pending("audioUnmute"); }
void pulseInputHotPlug() { pending("pulseInputHotPlug"); }

void projection(int) { pending("projection"); }

bool lwsServerRunning() { return false; }
void lwsInterrupt() { pending("lwsInterrupt"); }

std::atomic<uint32_t> gOsdTimeOut{0};
std::atomic<int> gInInitialize[2] = {0, 0};
std::atomic<int> in_tbar_process_flag{0};

void p7kEvAnnounceInt(uint32_t function, int value, uint8_t channel) {
    board::journal("pending", "p7kEvAnnounceInt function=%u value=%d channel=%u", function, value, channel);
}
void p7kEvAnnounceFloat(uint32_t function, float value, uint8_t channel) {
    board::journal("pending", "p7kEvAnnounceFloat function=%u value=%.2f channel=%u", function,
                   static_cast<double>(value), channel);
}
int delimitOsdPos(int, int, int) {
    pending("delimitOsdPos");
    return 0;
}
void reset_lws_protocol() { pending("reset_lws_protocol"); }
