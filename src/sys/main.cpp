#include "platform/board.h"
#include "platform/sim/sim_board.h"
#include "sys/sys_exit.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>

int main(int argc, char** argv) {
    std::string root = board::rootFromArgsOrEnv(argc, argv);
    std::string error;
    if (!board::open(root, &error)) {
        std::fprintf(stderr, "hx40_app: %s\n", error.c_str());
        return 2;
    }
    // One thread takes the stop signals; every other thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (!board::sim::start(&error)) {
        std::fprintf(stderr, "hx40_app: the simulated board does not start: %s\n", error.c_str());
        sys_exit(1);
    }
    board::sim::setReady();
    std::printf("hx40_app: running on the board at %s\n", board::root().c_str());
    std::fflush(stdout);
    for (;;) {
        int sig = 0;
        if (sigwait(&stopSignals, &sig) == 0 && (sig == SIGTERM || sig == SIGINT)) sys_exit(0);
    }
}
