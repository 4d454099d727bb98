#include "sys/warm_boot.h"

#include "platform/journal.h"
#include "sys/locks.h"
#include "sys/mydosystem.h"
#include "sys/scaler_bus.h"
#include "sys/sys_exit.h"

#include <cstdio>

void warm_boot() {
    std::printf("warm_boot: rebooting\n");
    std::fflush(stdout);
    board::journal("warm_boot", "marker=0");
    {
        // Code 0x102: bank 0, offset 1, two bytes.
        MutexLock lock(CS3_mutex);
        scaler_bus_write(0, 1, 0);
        scaler_bus_write(0, 2, 0);
    }
    MyDoSystem("reboot >/dev/null 2>&1");
    sys_exit(1);
}
