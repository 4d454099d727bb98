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

}  // namespace

void osd_func51(int row) { board::journal("pending", "osd_func51 row=%d", row); }

std::atomic<int> valence_update_in_operation_mode{0};

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }

int valens_init() {
    pending("valens_init");
    return 0;
}
void shut_all_valens() { pending("shut_all_valens"); }
[[gnu::weak]] int rename_valens_files(int direction, int plain) {
    board::journal("pending", "rename_valens_files direction=%d plain=%d", direction, plain);
    return 0;
}
