#include "sys/sys_exit.h"

#include "platform/sim/sim_board.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

[[noreturn]] void sys_exit(int code) {
    static std::atomic<bool> leaving{false};
    if (leaving.exchange(true)) {
        // Another thread is already tearing down; it decides the status.
        for (;;) ::pause();
    }
    board::shutdown();
    std::fflush(nullptr);
    // Threads are still running: skip the destructors of globals they use.
    ::_exit(code);
}
