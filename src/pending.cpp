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

void switchWebIndexPages(bool enable) {
    pending(enable ? "switchWebIndexPages(enable)" : "switchWebIndexPages(disable)");
}
void clocksInit() { pending("clocksInit"); }

void projection(int) { pending("projection"); }

void func3821(int row) { board::journal("pending", "func3821 row=%d", row); }
void func3822(int row) { board::journal("pending", "func3822 row=%d", row); }
void func3823(int row) { board::journal("pending", "func3823 row=%d", row); }
void func4823(int row) { board::journal("pending", "func4823 row=%d", row); }
void func384(int row) { board::journal("pending", "func384 row=%d", row); }
void func484(int row) { board::journal("pending", "func484 row=%d", row); }
void enforce_test_pattern(int channel) { board::journal("pending", "enforce_test_pattern channel=%d", channel); }
