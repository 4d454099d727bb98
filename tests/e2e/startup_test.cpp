#include "support/sim_device.h"
#include "support/temp_board.h"
#include "unit/protocol/loopback.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using hx40test::SimDevice;

TEST(Startup, RefusesAnUnpreparedBoardRoot) {
    std::string dir = hx40test::makeTempDir("hx40-unprepared-");
    std::string cmd = std::string(HX40_BIN_DIR) + "/hx40_app --board-root " + dir + " > " + dir + "/out 2>&1";
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 2);
    std::string out = hx40test::readFile(dir + "/out");
    EXPECT_NE(out.find("is not prepared"), std::string::npos) << out;
    fs::remove_all(dir);
    // Neither an option nor the environment: no fallback to the real paths.
    cmd = "env -u HX40_BOARD_ROOT " + std::string(HX40_BIN_DIR) + "/hx40_app > /dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 2);
}

TEST(Startup, RunsUntilStoppedAndLeavesNothingBehind) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_TRUE(fs::exists(dev.file("run/app.pid")));
    EXPECT_TRUE(fs::is_symlink(dev.file("dev/ttyS0")));
    EXPECT_TRUE(fs::is_symlink(dev.file("term/ttyS3")));
    EXPECT_EQ(dev.ctl("nonsense"), "ERR unknown command 'nonsense' (try: help)\n");
    EXPECT_EQ(dev.stop(), 0);
    EXPECT_FALSE(fs::exists(dev.file("run/app.pid")));
    EXPECT_FALSE(fs::exists(dev.file("run/simctl.sock")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dev.file("dev/ttyS0"))));
    EXPECT_FALSE(fs::exists(dev.file("run/msgq.ids")));
}

TEST(Startup, QuitOverTheControlSocketStopsCleanly) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_EQ(dev.ctl("quit"), "OK stopping\n");
    EXPECT_EQ(dev.waitExit(10000), 0);
}

TEST(Startup, TheRunLoopStartsTheDeviceAgainUnlessItWasAskedToStop) {
    constexpr int kWaitMs = 20000;
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.startUnderRunLoop(&why)) << why;
    // Power saving, then power on: the program ends with status 0 and the
    // device starts anew.
    const pid_t first = dev.appPid();
    {
        hx40test::LoopbackTcp tcp;
        ASSERT_TRUE(dev.waitFor([&] { return tcp.connect(dev.tcpPort); }, kWaitMs));
        ASSERT_TRUE(tcp.send("#POWER 0\r"));
        EXPECT_EQ(tcp.until("\r\n", kWaitMs), "~01@POWER 0 OK\r\n");
        ASSERT_TRUE(dev.waitJournal("powerDownMode DSP and clocks down", kWaitMs)) << dev.journal();
        ASSERT_TRUE(tcp.send("#POWER 1\r"));
        EXPECT_EQ(tcp.until("\r\n", kWaitMs), "~01@POWER 1 OK\r\n");
    }
    EXPECT_TRUE(dev.waitFor([&] { return dev.appPid() > 0 && dev.appPid() != first && dev.ctl("ping") == "OK ready\n"; },
                            kWaitMs))
        << dev.log();
    EXPECT_TRUE(dev.running());
    EXPECT_NE(dev.log().find("hx40-sim: the device was switched on; starting it again\n"), std::string::npos);

    // Each way of asking it to stop, and a death it did not ask for.
    struct Case {
        const char* what;
        std::function<void()> end;
        int status;
        const char* said;
    } cases[] = {
        {"quit", [&] { EXPECT_EQ(dev.ctl("quit"), "OK stopping\n"); }, 0, "hx40_app ended with status 0\n"},
        {"Ctrl-C", [&] { EXPECT_EQ(::kill(dev.pid(), SIGINT), 0); }, 0, "hx40_app ended with status 0\n"},
        {"SIGTERM", [&] { EXPECT_EQ(::kill(dev.pid(), SIGTERM), 0); }, 0, "hx40_app ended with status 0\n"},
        {"killed", [&] { EXPECT_EQ(::kill(dev.appPid(), SIGKILL), 0); }, 128 + SIGKILL,
         "hx40_app was killed by signal 9 (Killed); stopping\n"},
    };
    for (const Case& c : cases) {
        if (!dev.running()) {
            ASSERT_TRUE(dev.startUnderRunLoop(&why)) << why;
        }
        const size_t from = dev.log().size();
        c.end();
        EXPECT_EQ(dev.waitExit(kWaitMs), c.status) << c.what;
        EXPECT_NE(dev.log().find(c.said, from), std::string::npos) << c.what << "\n" << dev.log().substr(from);
        EXPECT_EQ(dev.log().find("starting it again", from), std::string::npos) << c.what;
    }

    // A program that cannot be started: said once, no loop.
    const std::string alone = hx40test::makeTempDir("hx40-run-");
    fs::copy_file(std::string(HX40_BIN_DIR) + "/hx40-sim", alone + "/hx40-sim");
    const std::string cmd = "timeout 20 " + alone + "/hx40-sim run " + dev.root() + " > " + alone + "/out 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 127);
    EXPECT_EQ(hx40test::readFile(alone + "/out"),
              "hx40-sim run: cannot start hx40_app: No such file or directory\n"
              "hx40-sim: hx40_app could not be started; stopping\n");
    fs::remove_all(alone);
}

// A second program on a board where one runs would take over its control
// socket, pid file and serial ports, and delete them when it ends.
TEST(Startup, ASecondProgramOnTheSameBoardRefusesToStart) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    const std::string pid = hx40test::readFile(dev.file("run/app.pid"));
    const std::string tty = fs::read_symlink(dev.file("dev/ttyS0")).string();
    const std::string out = dev.file("tmp/second.out");
    std::string cmd = std::string(HX40_BIN_DIR) + "/hx40_app --board-root " + dev.root() + " > " + out + " 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 2);
    EXPECT_EQ(hx40test::readFile(out),
              "hx40_app: another hx40_app runs on the board at " + dev.root() + " (pid " + pid.substr(0, pid.size() - 1) +
                  ")\n");
    EXPECT_EQ(dev.ctl("ping"), "OK ready\n");
    EXPECT_EQ(hx40test::readFile(dev.file("run/app.pid")), pid);
    EXPECT_EQ(fs::read_symlink(dev.file("dev/ttyS0")).string(), tty);
    EXPECT_EQ(dev.stop(), 0);
}
