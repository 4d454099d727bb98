#include "pending.h"

#include "platform/journal.h"
#include "sys/print.h"

#include <cstdio>
#include <string>

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

}  // namespace

void* p7k_thread(void*) { return endsAtOnce("p7k_thread"); }
void* lws_service_task(void*) { return endsAtOnce("lws_service_task"); }
void* port_tunneling_thread(void*) { return endsAtOnce("port_tunneling_thread"); }

std::atomic<int> valence_update_in_operation_mode{0};

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }

void projection(int) { pending("projection"); }

bool lwsServerRunning() { return false; }
void lwsInterrupt() { pending("lwsInterrupt"); }

void reset_lws_protocol() { pending("reset_lws_protocol"); }

void func3821(int row) { board::journal("pending", "func3821 row=%d", row); }
void func3822(int row) { board::journal("pending", "func3822 row=%d", row); }
void func3823(int row) { board::journal("pending", "func3823 row=%d", row); }
void func4823(int row) { board::journal("pending", "func4823 row=%d", row); }
void func384(int row) { board::journal("pending", "func384 row=%d", row); }
void func484(int row) { board::journal("pending", "func484 row=%d", row); }
void enforce_test_pattern(int channel) { board::journal("pending", "enforce_test_pattern channel=%d", channel); }

void p7kEvAnnounceInt(uint32_t function, int value, uint8_t channel) {
    board::journal("pending", "p7kEvAnnounceInt function=%u value=%d channel=%u", function, value, channel);
}
void p7kEvForceAnnounceInt(uint32_t function, int value, uint8_t channel) {
    board::journal("pending", "p7kEvForceAnnounceInt function=%u value=%d channel=%u", function, value, channel);
}
void p7kEvAnnounceFloat(uint32_t function, float value, uint8_t channel) {
    board::journal("pending", "p7kEvAnnounceFloat function=%u value=%.2f channel=%u", function,
                   static_cast<double>(value), channel);
}
void protocol_out_to_web(const char* text) {
    std::string shown;
    for (const char* p = text; p && *p; ++p) shown += (*p == '\r') ? "\\r" : (*p == '\n') ? "\\n" : std::string(1, *p);
    board::journal("pending", "protocol_out_to_web \"%s\"", shown.c_str());
}

int valens_init() {
    pending("valens_init");
    return 0;
}
void shut_all_valens() { pending("shut_all_valens"); }
