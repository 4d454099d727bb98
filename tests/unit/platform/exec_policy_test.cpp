#include "platform/board.h"
#include "platform/exec.h"
#include "support/temp_board.h"
#include "sys/mydosystem.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using hx40test::TempBoard;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> v;
    size_t i = 0;
    while (i < text.size()) {
        size_t e = text.find('\n', i);
        if (e == std::string::npos) e = text.size();
        v.push_back(text.substr(i, e - i));
        i = e + 1;
    }
    return v;
}

int sh(const std::string& text) { return board::exec::run({"sh", "-c", text}); }

}  // namespace

// The cases a control system's commands and our generated scripts produce:
// device paths as they are, a script started by another one by its path.
TEST(Sandbox, RunsStandinsAndScriptsOnTheDevicesPaths) {
    TempBoard b;
    ASSERT_EQ(board::exec::sandboxProblem(), "");
    ASSERT_FALSE(fs::exists("/root/persist/hx40-exec-test-x"));
    EXPECT_EQ(MyDoSystem("/sbin/reboot"), 0);
    EXPECT_EQ(MyDoSystem("reboot >/dev/null 2>&1"), 0);
    EXPECT_EQ(MyDoSystem("/bin/sh -c reboot"), 0);

    b.write("root/persist/y", "");
    b.write("root/persist/z", "ZRAN=1\necho sourced > /tmp/hx40-exec-test-z\n");
    b.write("root/persist/sub.sh", "echo \"$0 $1\" > /tmp/hx40-exec-test-sub\n");  // no "#!"
    ::chmod(b.file("root/persist/sub.sh").c_str(), 0755);
    b.write("root/persist/net.sh",
            "/sbin/route add default gw 192.168.1.1\n"
            "cat > /root/persist/hx40-exec-test-x <<EOF\n/:admin:secret\nEOF\n"
            "[ -f /root/persist/y ] && echo seen > /root/persist/y-seen\n"
            ". /root/persist/z\n"
            "/root/persist/sub.sh arg\n"
            "[ $ZRAN == 1 ] && exit 7\n");
    ::chmod(b.file("root/persist/net.sh").c_str(), 0755);
    EXPECT_EQ(MyDoSystem("/root/persist/net.sh"), 7);

    EXPECT_EQ(b.read("root/persist/hx40-exec-test-x"), "/:admin:secret\n");
    EXPECT_EQ(b.read("root/persist/y-seen"), "seen\n");
    EXPECT_EQ(b.read("tmp/hx40-exec-test-z"), "sourced\n");
    EXPECT_EQ(b.read("tmp/hx40-exec-test-sub"), "/root/persist/sub.sh arg\n");
    std::vector<std::string> want = {"reboot", "reboot >/dev/null 2>&1", "reboot", "route add default gw 192.168.1.1"};
    EXPECT_EQ(lines(b.read("sim/tools.log")), want);
    EXPECT_EQ(lines(b.read("sim/reboot.log")).size(), 3u);
    EXPECT_FALSE(fs::exists("/root/persist/hx40-exec-test-x"));
    EXPECT_FALSE(fs::exists("/root/persist/y-seen"));
    EXPECT_FALSE(fs::exists("/tmp/hx40-exec-test-z"));
}

// A child sees the board as "/", its own process numbers, and no way out.
TEST(Sandbox, ChildrenSeeOnlyTheBoard) {
    TempBoard b;
    EXPECT_EQ(sh("ls / > /tmp/top; echo $$ > /tmp/pid; pwd > /tmp/cwd; cd ../../../../..; touch out; "
                 "ln -s .. /tmp/up; touch /tmp/up/up/up/up/ESC-link; ls /sim/proc > /tmp/proc"),
              0);
    const std::vector<std::string> top = lines(b.read("tmp/top"));
    for (const char* folder : {"bin", "dev", "etc", "mnt", "proc", "root", "sbin", "sim", "tmp", "usr", "var"})
        EXPECT_NE(std::find(top.begin(), top.end(), folder), top.end()) << folder;
    for (const char* hidden : {"home", "work", "run", "term", "out", "ESC-link"})
        EXPECT_EQ(std::find(top.begin(), top.end(), hidden), top.end()) << hidden;
    EXPECT_EQ(b.read("tmp/pid"), "2\n");
    EXPECT_EQ(b.read("tmp/cwd"), "/root/app/bin\n");
    EXPECT_EQ(b.read("tmp/proc"), "cmdline\nmounts\nnet\npartitions\nsys\n");
    EXPECT_FALSE(fs::exists(fs::path(b.root()).parent_path() / "out"));
    EXPECT_FALSE(fs::exists(fs::path(b.root()).parent_path() / "ESC-link"));
}

TEST(Sandbox, ExitStatusesAndPrograms) {
    TempBoard b;
    std::string why;
    EXPECT_EQ(board::exec::run({"no-such-program"}, &why), -1);
    EXPECT_EQ(why, "did not start in the sandbox");
    EXPECT_EQ(sh("exit 3"), 3);
    EXPECT_EQ(sh("kill -9 $$"), 128 + 9);
    EXPECT_EQ(board::exec::run({""}), -1);
    EXPECT_EQ(MyDoSystem("echo 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15"), -1);  // 16 words
    EXPECT_EQ(MyDoSystem("true 1 2 3 4 5 6 7 8 9 10 11 12 13 14"), 0);      // 15 words
    EXPECT_EQ(MyDoSystem(""), -1);
}

TEST(Sandbox, StandinFaultSwitches) {
    TempBoard b;
    b.write("sim/board.conf", b.read("sim/board.conf") + "fault.flashcp = 3\n");
    b.write("tmp/img", "abc");
    b.write("dev/mtd1", std::string(16, '\xff'));
    EXPECT_EQ(MyDoSystem("flashcp -v /tmp/img /dev/mtd1"), 3);
    EXPECT_EQ(b.read("dev/mtd1"), std::string(16, '\xff'));
    b.write("sim/board.conf", "bind_address = 127.0.0.1\n");
    EXPECT_EQ(MyDoSystem("flashcp -v /tmp/img /dev/mtd1"), 0);
    EXPECT_EQ(b.read("dev/mtd1"), "abc" + std::string(13, '\xff'));
    EXPECT_EQ(MyDoSystem("flash_eraseall -j /dev/mtd1"), 0);
    EXPECT_EQ(b.read("dev/mtd1"), std::string(16, '\xff'));
}

TEST(Sandbox, StandinsRefuseToRunOffTheBoard) {
    TempBoard b;
    std::string cmd = "cd /tmp && exec -a reboot " HX40_BIN_DIR "/hx40-standin 2>/dev/null";
    int rc = std::system(("bash -c '" + cmd + "'").c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 126);
}
