#include "platform/board.h"
#include "platform/exec.h"
#include "support/temp_board.h"
#include "sys/mydosystem.h"

#include <filesystem>
#include <gtest/gtest.h>

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

}  // namespace

TEST(ExecPolicy, ProgramsResolveOnlyAmongTheStandins) {
    TempBoard b;
    const std::string standins = b.root() + "/sim-bin/";
    struct Case {
        std::vector<std::string> argv;
        std::string program;  // "" = refused
    } cases[] = {
        {{"reboot"}, standins + "reboot"},
        {{"/sbin/reboot"}, standins + "reboot"},
        {{"/bin/sh", "-c", "reboot"}, standins + "sh"},
        {{"/usr/bin/md5sum", "x"}, standins + "md5sum"},
        {{"../../../../sbin/ifconfig"}, ""},
        {{"python3"}, ""},
        {{"/usr/bin/python3"}, ""},
        {{"/root/persist/missing-script"}, ""},
        {{"cat", "../../../../../etc/passwd"}, ""},
        {{""}, ""},
    };
    for (const auto& c : cases) {
        board::exec::Plan p = board::exec::plan(c.argv);
        if (c.program.empty()) {
            EXPECT_FALSE(p.ok) << c.argv[0];
            EXPECT_FALSE(p.error.empty()) << c.argv[0];
        } else {
            EXPECT_TRUE(p.ok) << c.argv[0] << ": " << p.error;
            EXPECT_EQ(p.program, c.program);
        }
    }
}

TEST(ExecPolicy, ArgumentPathsAreMappedUnderTheRoot) {
    TempBoard b;
    const std::string& r = b.root();
    board::exec::Plan p =
        board::exec::plan({"dd", "if=/dev/zero", "of=/dev/mtd1", "bs=1", ">/dev/null", "../memfiles/x", "-v"});
    ASSERT_TRUE(p.ok) << p.error;
    std::vector<std::string> want = {"dd", "if=" + r + "/dev/zero", "of=" + r + "/dev/mtd1", "bs=1",
                                     ">" + r + "/dev/null", "../memfiles/x", "-v"};
    EXPECT_EQ(p.argv, want);
}

TEST(ExecPolicy, TranslatesScriptText) {
    const std::string r = "/tmp/board";
    struct {
        const char* in;
        std::string want;
    } cases[] = {
        {"/sbin/route add default gw 10.0.0.1", r + "/sbin/route add default gw 10.0.0.1"},
        {"cat > /root/persist/x <<EOF", "cat > " + r + "/root/persist/x <<EOF"},
        {"[ -f /root/persist/y ] && echo", "[ -f " + r + "/root/persist/y ] && echo"},
        {". /root/persist/z", ". " + r + "/root/persist/z"},
        {"echo hi >>/root/persist/debug.log 2>/dev/null", "echo hi >>" + r + "/root/persist/debug.log 2>" + r + "/dev/null"},
        {"PATH=/bin:/sbin", "PATH=" + r + "/bin:" + r + "/sbin"},
        {"find /root -name \\*.old | xargs rm", "find " + r + "/root -name \\*.old | xargs rm"},
        {"cd /", "cd " + r + "/"},
        {"x=\"/tmp/$name\"", "x=\"" + r + "/tmp/$name\""},
        {"sed 's/a/b/' f", "sed 's/a/b/' f"},
        {"awk '/^default/ {print}'", "awk '/^default/ {print}'"},
        {"wget http://host/path", "wget http://host/path"},
        {"ls ../memfiles/web", "ls ../memfiles/web"},
        {"cat /root/../../etc/passwd", "cat " + r + "/etc/passwd"},
        {"already /tmp/board/root/x", "already /tmp/board/root/x"},
    };
    for (const auto& c : cases) EXPECT_EQ(board::exec::translateText(c.in, r), c.want) << c.in;
}

TEST(ExecPolicy, HereDocumentBodiesAreData) {
    const std::string r = "/b";
    std::string in = "cat > /root/persist/httpd.conf <<EOF\n/:admin:pw\n/cgi-bin:x\nEOF\n/sbin/httpd -h /var/www\n"
                     "cat <<-'END'\n\t/dev/x\n\tEND\nrm /tmp/y\n";
    std::string want = "cat > /b/root/persist/httpd.conf <<EOF\n/:admin:pw\n/cgi-bin:x\nEOF\n/b/sbin/httpd -h /b/var/www\n"
                       "cat <<-'END'\n\t/dev/x\n\tEND\nrm /b/tmp/y\n";
    EXPECT_EQ(board::exec::translateText(in, r), want);
}

// The cases a control system's commands and our generated scripts produce.
TEST(ExecPolicy, RunsStandinsAndKeepsEveryFileInsideTheRoot) {
    TempBoard b;
    ASSERT_FALSE(fs::exists("/root/persist/hx40-exec-test-x"));
    EXPECT_EQ(MyDoSystem("/sbin/reboot"), 0);
    EXPECT_EQ(MyDoSystem("reboot >/dev/null 2>&1"), 0);
    EXPECT_EQ(MyDoSystem("/bin/sh -c reboot"), 0);
    EXPECT_EQ(MyDoSystem("../../../../sbin/ifconfig eth0 down"), -1);

    b.write("root/persist/y", "");
    b.write("root/persist/z", "ZRAN=1\necho sourced > /tmp/hx40-exec-test-z\n");
    b.write("root/persist/net.sh",
            "/sbin/route add default gw 192.168.1.1\n"
            "cat > /root/persist/hx40-exec-test-x <<EOF\n/:admin:secret\nEOF\n"
            "[ -f /root/persist/y ] && echo seen > /root/persist/y-seen\n"
            ". /root/persist/z\n"
            "[ $ZRAN == 1 ] && exit 7\n");
    EXPECT_EQ(MyDoSystem("/root/persist/net.sh"), 7);

    EXPECT_EQ(b.read("root/persist/hx40-exec-test-x"), "/:admin:secret\n");
    EXPECT_EQ(b.read("root/persist/y-seen"), "seen\n");
    EXPECT_EQ(b.read("tmp/hx40-exec-test-z"), "sourced\n");
    const std::string& r = b.root();
    std::vector<std::string> want = {"reboot",
                                     "reboot >" + r + "/dev/null 2>&1",
                                     "sh -c reboot",
                                     "reboot",
                                     "sh " + r + "/root/persist/net.sh",
                                     "route add default gw 192.168.1.1"};
    EXPECT_EQ(lines(b.read("sim/tools.log")), want);
    EXPECT_EQ(lines(b.read("sim/reboot.log")).size(), 3u);
    EXPECT_FALSE(fs::exists("/root/persist/hx40-exec-test-x"));
    EXPECT_FALSE(fs::exists("/root/persist/y-seen"));
    EXPECT_FALSE(fs::exists("/tmp/hx40-exec-test-z"));
}

TEST(ExecPolicy, RefusesBinariesOutsideTheStandinFolderAndLongLines) {
    TempBoard b;
    fs::copy_file("/bin/true", b.file("tmp/true"));
    EXPECT_EQ(MyDoSystem("/tmp/true"), -1);
    EXPECT_EQ(MyDoSystem("echo 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15"), -1);  // 16 words
    EXPECT_EQ(MyDoSystem("true 1 2 3 4 5 6 7 8 9 10 11 12 13 14"), 0);      // 15 words
    EXPECT_EQ(MyDoSystem(""), -1);
}

TEST(ExecPolicy, StandinFaultSwitches) {
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

TEST(ExecPolicy, StandinsRefuseToRunOffTheBoard) {
    TempBoard b;
    std::string cmd = "env -u HX40_BOARD_ROOT " + b.root() + "/sim-bin/reboot 2>/dev/null";
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 126);
}
