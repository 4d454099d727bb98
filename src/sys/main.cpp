// hx40_app: start-up on the board, the thread table, and the stop signals.
#include "commands/network_param.h"
#include "core/audio.h"
#include "core/output.h"
#include "core/pm_store.h"
#include "core/tbar.h"
#include "core/usrmsg.h"
#include "menu/menu_engine.h"
#include "menu/saved_values.h"
#include "osd/osd.h"
#include "pending.h"
#include "platform/board.h"
#include "platform/exec.h"
#include "platform/hw.h"
#include "platform/journal.h"
#include "platform/sim/ctl.h"
#include "platform/sim/sim_board.h"
#include "protocol/ws_server.h"
#include "scaler/scaler.h"
#include "sys/background.h"
#include "sys/eeprom.h"
#include "sys/fpga.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/sys_exit.h"
#include "sys/timers.h"
#include "sys/watchdog.h"
#include "video/backend.h"
#include "video/frontend.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pthread.h>
#include <string>
#include <strings.h>

namespace {

struct Options {
    bool webEnable = false;
    bool webDisable = false;
    bool eeprom = false;
    bool dsp = false;
    bool factory = false;
    bool fpga = false;
    bool phyReset = false;
    bool wdt = false;
    uint32_t wdtMs = 0;
};

// The start options, matched without regard to case; WDT may be followed
// by a time-out in ms.
Options parseOptions(int argc, char** argv) {
    struct Word {
        const char* word;
        bool Options::*flag;
    };
    static const Word kWords[] = {
        {"WEB_DISABLE", &Options::webDisable}, {"WEB_ENABLE", &Options::webEnable}, {"EEPROM", &Options::eeprom},
        {"DSP", &Options::dsp},                {"FACTORY", &Options::factory},      {"FPGA", &Options::fpga},
        {"PHY-RESET", &Options::phyReset},     {"WDT", &Options::wdt},
    };
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keys") == 0) continue;  // the board tool's terminal keys
        bool known = false;
        for (const auto& w : kWords)
            if (strcasecmp(argv[i], w.word) == 0) {
                o.*w.flag = true;
                known = true;
            }
        if (known && strcasecmp(argv[i], "WDT") == 0 && i + 1 < argc) {
            char* end = nullptr;
            unsigned long ms = std::strtoul(argv[i + 1], &end, 10);
            if (*end == '\0' && ms > 0 && ms <= 0xFFFFFFFFul) {
                o.wdtMs = static_cast<uint32_t>(ms);
                ++i;
            }
        }
        if (!known) std::printf("hx40_app: unknown option '%s' ignored\n", argv[i]);
    }
    return o;
}

void setKeepAlive() {
    static const std::pair<const char*, const char*> kValues[] = {
        {board::deviceText("/proc/sys/net/ipv4/tcp_keepalive_time"), "60\n"},
        {board::deviceText("/proc/sys/net/ipv4/tcp_keepalive_intvl"), "10\n"},
        {board::deviceText("/proc/sys/net/ipv4/tcp_keepalive_probes"), "5\n"},
    };
    for (const auto& [file, value] : kValues) std::ofstream(board::path(file)) << value;
}

// SIGTERM ends the program cleanly; the interrupt signal ends it only
// before the websocket server runs, afterwards it stops only the server.
void* signalThread(void* arg) {
    pthread_set_selfname("SIGNALS");
    auto* set = static_cast<sigset_t*>(arg);
    for (;;) {
        int sig = 0;
        if (sigwait(set, &sig) != 0) continue;
        if (sig == SIGTERM) {
            std::printf("hx40_app: terminated\n");
            board::sim::stopRequested();
            sys_exit(0);
        }
        if (sig == SIGINT) {
            if (lwsServerStarted()) {
                lwsInterrupt();
                continue;
            }
            std::printf("hx40_app: interrupted\n");
            board::sim::stopRequested();
            sys_exit(0);
        }
    }
    return nullptr;
}

void registerControl() {
    board::sim::ctl::add("stall", "stall THREAD ms            the table thread sleeps ms inside its next WDT_Clear",
                         [](const std::vector<std::string>& a) {
                             if (a.size() != 3) return std::string("ERR usage: stall THREAD ms");
                             int row = threadRowByName(a[1].c_str());
                             long ms = std::strtol(a[2].c_str(), nullptr, 10);
                             if (row < 0) return "ERR no thread '" + a[1] + "'";
                             if (ms <= 0) return std::string("ERR bad time");
                             WDT_stall(row, static_cast<uint32_t>(ms));
                             return "OK " + a[1] + " stalls " + a[2] + " ms";
                         });
    board::sim::ctl::addState("threads", [] {
        std::string out = std::string("watchdog ") + (WDT_isEnabled() ? "on" : "off") + "\n";
        char line[96];
        for (int i = 0; i < kThreadRows; ++i) {
            const THREAD_CB& cb = thread_cb[i];
            std::snprintf(line, sizeof line, "%-11s timeout %u worst %u %s\n", cb.name, cb.timeout.load(),
                          cb.worstGap.load(), cb.lastCall ? "supervised" : "unsupervised");
            out += line;
        }
        return out;
    });
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = board::rootFromArgsOrEnv(argc, argv);
    std::string error;
    // A second program on the same board would take its control socket,
    // pid file and serial ports over and delete them when it ends.
    if (!board::open(root, &error) || !board::lock(&error)) {
        std::fprintf(stderr, "hx40_app: %s\n", error.c_str());
        return 2;
    }
    // One thread takes the stop signals; every other thread inherits the mask.
    static sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    setvbuf(stdout, nullptr, _IOLBF, 0);

    if (!board::sim::start(&error)) {
        std::fprintf(stderr, "hx40_app: the simulated board does not start: %s\n", error.c_str());
        sys_exit(1);
    }
    board::exec::sandboxProblem();  // says once why no child can run, if none can
    pthread_t sigThread{};
    pthread_create(&sigThread, nullptr, signalThread, &stopSignals);
    pthread_detach(sigThread);
    registerControl();

    WDT_Disable();
    initPrintVerbose();
    board::journal("uio.map", "scaler window");
    Options opt = parseOptions(argc, argv);
    if (checkFactoryResetMarker()) opt.factory = true;
    setKeepAlive();
    if (opt.webEnable) switchWebIndexPages(true);
    if (opt.webDisable) switchWebIndexPages(false);
    keypad_reset();
    scalerReset();
    board::journal("gpio.init", "-");
    clocksInit();
    board::journal("i2c.init", "buses=0-3");
    if (FPGA_init(opt.fpga) != 0) {
        std::printf("hx40_app: the FPGA is not ready\n");
        sys_exit(1);
    }
    if (create_message_queues() != 0) {
        std::printf("hx40_app: the message queues cannot be created\n");
        sys_exit(1);
    }
    LoadLinuxNetworkParam();
    board::fpga::resetRegisters();
    if (opt.eeprom) {
        std::printf("hx40_app: erasing the EEPROM\n");
        int rc = eepromErase();
        std::printf("hx40_app: EEPROM %s\n", rc == 0 ? "erased" : "erase failed");
        sys_exit(0);
    }
    if (opt.factory) factoryResetInitEeprom(1);
    loadParameterMemory();
    writeUserMessageFiles();
    scalerBringUp();
    DSP_ADAU1442_init();
    init_timers();
    audioInit();
    frontEnd_init();
    backEnd_init();
    initOutputResolutions();
    iEBsetLVDS();
    parameterSanityCheck();
    audioUnmute();
    stInit();
    menuValuesRegisterSimCtl();
    osd_debug_test_screen();
    pulseInputHotPlug();
    g_dsp_restart_option = opt.dsp;
    g_phy_reset_option = opt.phyReset;

    for (int row = 0; row < kThreadRows; ++row)
        if (startTableThread(row) != 0) std::printf("hx40_app: thread %s not started\n", thread_cb[row].name);
    create_t_bar_thread();
    if (opt.wdt) {
        WDT_setAllTimeouts(opt.wdtMs);
        WDT_Enable();
    }
    board::sim::setReady();
    std::printf("hx40_app: running on the board at %s\n", board::root().c_str());
    pthread_join(thread_cb[THREAD_FPNL].handle, nullptr);
    sys_exit(0);
}
