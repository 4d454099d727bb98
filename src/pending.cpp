#include "pending.h"

#include "osd/osd.h"
#include "platform/journal.h"
#include "sys/print.h"

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

}  // namespace

void* port_tunneling_thread(void*) { return endsAtOnce("port_tunneling_thread"); }

void reconfigure_socket() { pending("reconfigure_socket"); }
void port_tunneling_rs232_configuration() { pending("port_tunneling_rs232_configuration"); }

void osd_func51(int row) { board::journal("pending", "osd_func51 row=%d", row); }
void osd_func54(int row) { board::journal("pending", "osd_func54 row=%d", row); }

std::atomic<int> valence_update_in_operation_mode{0};

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }

void get_win_cust_of_all_windows(int which) { board::journal("pending", "get_win_cust_of_all_windows which=%d", which); }

int valens_init() {
    pending("valens_init");
    return 0;
}
void shut_all_valens() { pending("shut_all_valens"); }
