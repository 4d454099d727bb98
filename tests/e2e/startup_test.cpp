#include "support/sim_device.h"
#include "support/temp_board.h"

#include <filesystem>
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
