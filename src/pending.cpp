#include "pending.h"

#include "platform/journal.h"
#include "sys/print.h"

namespace {

void pending(const char* name) {
    PRINT(PRINT_GENERAL, "PENDING: %s\n", name);
    board::journal("pending", "%s", name);
}

}  // namespace

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }
