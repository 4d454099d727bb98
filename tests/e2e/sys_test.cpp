#include "platform/msgq.h"
#include "support/menu_keys.h"
#include "support/sim_device.h"
#include "support/temp_board.h"
#include "unit/protocol/loopback.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using hx40test::SimDevice;

namespace {

// Queue ids the program recorded in its journal.
std::vector<int> journalQueueIds(const SimDevice& dev) {
    std::vector<int> ids;
    std::string j = dev.journal();
    std::regex re(R"(msgq\.create type=\d+ id=(\d+))");
    for (auto it = std::sregex_iterator(j.begin(), j.end(), re); it != std::sregex_iterator(); ++it)
        ids.push_back(std::stoi((*it)[1]));
    return ids;
}

void expectNoQueueLeft(const SimDevice& dev, size_t created) {
    std::vector<int> ids = journalQueueIds(dev);
    EXPECT_EQ(ids.size(), created);
    for (int id : ids) EXPECT_FALSE(board::msgq::exists(id)) << "queue " << id << " left behind";
    EXPECT_FALSE(fs::exists(dev.file("run/msgq.ids")));
}

std::set<std::string> threadNames(const SimDevice& dev) {
    std::set<std::string> names;
    std::string pid = dev.read("run/app.pid");
    while (!pid.empty() && pid.back() == '\n') pid.pop_back();
    for (const auto& e : fs::directory_iterator("/proc/" + pid + "/task")) {
        std::ifstream in(e.path() / "comm");
        std::string n;
        std::getline(in, n);
        names.insert(n);
    }
    return names;
}

}  // namespace

TEST(SystemStart, TableThreadsRunUnderTheirNamesAndTheWatchdog) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({"wdt", "30000"}, &why)) << why;
    const char* const kLiving[] = {"FPNL", "IRRC", "FEND", "MAIN", "IOSD", "BGND", "TBAR"};
    EXPECT_TRUE(dev.waitFor(
        [&] {
            std::set<std::string> names = threadNames(dev);
            for (const char* n : kLiving)
                if (!names.count(n)) return false;
            return true;
        },
        10000));
    auto supervised = [](const std::string& state, const char* row) {
        return std::regex_search(state, std::regex(std::string(row) + " +timeout 30000 worst \\d+ supervised"));
    };
    std::string state;
    EXPECT_TRUE(dev.waitFor(
        [&] {
            state = dev.ctl("state");
            for (const char* row : {"FPNL", "IRRC", "FEND", "MAIN", "IOSD", "BGND"})
                if (!supervised(state, row)) return false;
            return true;
        },
        10000))
        << state;
    EXPECT_NE(state.find("watchdog on\n"), std::string::npos) << state;
    for (const char* row : {"P7KT", "WSCK", "PTNL", "USRS_MSG", "AUTO_SWITCH"})
        EXPECT_TRUE(std::regex_search(state, std::regex(std::string(row) + " +timeout 30000 worst 1 unsupervised")))
            << row;
    // MAIN took both channels' first reports (no source is connected).
    EXPECT_TRUE(dev.waitJournal("channelSignalLost channel=1", 10000)) << dev.journal();
    EXPECT_EQ(dev.stop(), 0);
    expectNoQueueLeft(dev, 14);
}

TEST(SystemStart, PanelAndRemoteKeysReachTheKeypadQueue) {
    SimDevice dev;
    hx40test::startAndSettle(dev, 20000);  // keys before that are dropped
    if (::testing::Test::HasFatalFailure()) return;
    EXPECT_EQ(dev.ctl("key tap IN1_1"), "OK key 15 tap\n");
    EXPECT_TRUE(dev.waitJournal("main_task.key key=15 mode=0 param=0 source=2", 10000)) << dev.journal();
    dev.ctl("key tap MODE");
    ASSERT_TRUE(dev.waitJournal("main_task.key key=10 mode=1", 10000));
    dev.ctl("key tap IN2_3");
    EXPECT_TRUE(dev.waitJournal("main_task.key key=25 mode=1 param=0 source=2", 10000));
    dev.ctl("key hold MENU 4000");
    EXPECT_TRUE(dev.waitJournal("main_task.key key=40 mode=1 param=0 source=2", 15000)) << dev.journal();
    EXPECT_EQ(dev.journal().find("main_task.key key=0 "), std::string::npos);
    EXPECT_EQ(dev.ctl("ir IN1_2"), "OK ir 0x619E1FE0\n");
    EXPECT_TRUE(dev.waitJournal("main_task.key key=16 mode=1 param=0 source=2", 10000));
    EXPECT_EQ(dev.ctl("key tap NOSUCH"), "ERR unknown key 'NOSUCH'\n");
    // The lock LED follows a held LOCK key.
    dev.ctl("key hold LOCK 4000");
    EXPECT_TRUE(dev.waitFor([&] { return dev.read("sim/leds.txt").find("\n27 7 0 0 0\n") != std::string::npos; },
                            15000));
    EXPECT_EQ(dev.stop(), 0);
}

TEST(SystemExits, AStalledThreadMakesTheWatchdogDumpAndReboot) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({"WDT", "5000"}, &why)) << why;
    EXPECT_EQ(dev.ctl("stall MAIN 60000"), "OK MAIN stalls 60000 ms\n");
    EXPECT_EQ(dev.waitExit(30000), 1) << dev.log();
    EXPECT_NE(dev.read("sim/reboot.log").find("reboot"), std::string::npos);
    EXPECT_TRUE(fs::exists(dev.file("root/app/logs/regs_dump000.log")));
    EXPECT_NE(dev.log().find("WDT: thread MAIN stuck"), std::string::npos) << dev.log();
    expectNoQueueLeft(dev, 14);
}

TEST(SystemExits, TheEepromOptionErasesTheEepromAndExitsZero) {
    SimDevice dev;
    std::ofstream(dev.file("sim/eeprom.bin"), std::ios::binary) << std::string(32768, '\x3C');
    dev.start({"EePrOm"}, nullptr, 60000);
    EXPECT_EQ(dev.waitExit(60000), 0) << dev.log();
    EXPECT_EQ(dev.read("sim/eeprom.bin"), std::string(32768, '\xff'));
    expectNoQueueLeft(dev, 14);
}

TEST(SystemExits, InterruptBeforeTheWebServerEndsWithZero) {
    SimDevice dev;
    // Another program holds the web port: the web server never starts.
    hx40test::LoopbackListener holder(dev.wsPort);
    ASSERT_TRUE(holder.ok());
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    ASSERT_TRUE(dev.waitFor([&] { return dev.log().find("libwebsocket init failed") != std::string::npos; }, 10000));
    std::string pid = dev.read("run/app.pid");
    ASSERT_EQ(::kill(std::stoi(pid), SIGINT), 0);
    EXPECT_EQ(dev.waitExit(20000), 0);
    expectNoQueueLeft(dev, 14);
}

TEST(SystemExits, AnFpgaThatIsNotReadyEndsWithOne) {
    SimDevice dev;
    std::ofstream(dev.file("sim/board.conf"), std::ios::app) << "fpga_ready = 0\n";
    dev.start({}, nullptr, 20000);
    EXPECT_EQ(dev.waitExit(20000), 1);
    EXPECT_NE(dev.log().find("FPGA: not ready"), std::string::npos) << dev.log();
    expectNoQueueLeft(dev, 0);  // it ends before the queues exist
}

TEST(SystemStart, StepsRunInTheDevicesOrderAndOptionsMatchInAnyCase) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({"Web_Enable", "fACTORY", "phy-reset"}, &why)) << why;
    std::string j = dev.journal();
    const char* const kOrder[] = {
        "scaler.factory_marker",           "pending switchWebIndexPages(enable)", "scaler.reset",
        "pending clocksInit",              "msgq.create type=0 ",                 "msgq.create type=13 ",
        "network.stat ip=",               "fpga.reset",                          "factoryResetInitEeprom withNetwork=1",
        "loadParameterMemory zones=",      "writeUserMessageFiles created=2",     "scaler.osd_init",
        "dsp.init",                        "audioInit muted",                     "frontEnd_init inputs=8",
        "backEnd_init sinks",              "initOutputResolutions formats",       "parameterSanityCheck ok",
        "audioUnmute stored settings",     "stInit st_num=999",                   "pulseInputHotPlug changed",
    };
    size_t at = 0;
    for (const char* step : kOrder) {
        size_t found = j.find(step, at);
        EXPECT_NE(found, std::string::npos) << step << " missing or out of order\n" << j;
        if (found != std::string::npos) at = found;
    }
    EXPECT_EQ(j.find("switchWebIndexPages(disable)"), std::string::npos);
    EXPECT_EQ(std::string(dev.read("proc/sys/net/ipv4/tcp_keepalive_time")), "60\n");
    EXPECT_EQ(dev.stop(), 0);
}
