#include "pending.h"

#include "platform/journal.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <cstdio>

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

}  // namespace

void* ichips_osd(void*) {
    pending("ichips_osd");
    return drainLoop(E_EXMSG_TYPE_STLOOP, "ichips_osd.key", 20);
}

void* port_tunneling_thread(void*) { return endsAtOnce("port_tunneling_thread"); }

std::atomic<uint32_t> wait_till_release_key{0};
std::atomic<uint32_t> acceleratePlusMinus{0};
std::atomic<int> valence_update_in_operation_mode{0};

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }
void stInit() { pending("stInit"); }

void projection(int) { pending("projection"); }

void stLoop(int key) {
    board::journal("stLoop", "key=%d", key);
    _EXMSG m;
    m.key = static_cast<uint16_t>(key);
    m.source = KEY_SOURCE_PROGRAM;
    send_message_q(E_EXMSG_TYPE_STLOOP, &m);
}

void func3821(int row) { board::journal("pending", "func3821 row=%d", row); }
void func3822(int row) { board::journal("pending", "func3822 row=%d", row); }
void func3823(int row) { board::journal("pending", "func3823 row=%d", row); }
void func4823(int row) { board::journal("pending", "func4823 row=%d", row); }
void func384(int row) { board::journal("pending", "func384 row=%d", row); }
void func484(int row) { board::journal("pending", "func484 row=%d", row); }
void enforce_test_pattern(int channel) { board::journal("pending", "enforce_test_pattern channel=%d", channel); }

int valens_init() {
    pending("valens_init");
    return 0;
}
void shut_all_valens() { pending("shut_all_valens"); }
