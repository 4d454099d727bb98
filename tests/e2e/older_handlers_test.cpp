// The older engine's words whose effects reach past the process, as a
// control system uses them over TCP: the board's clock, programs run on the
// board, its chips, power saving, the delayed factory reset, and the serial
// settings of the tunnel and the user ports.
#include "e2e/escapes.h"
#include "e2e/settled_device.h"
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

using namespace hx40test;

namespace {

constexpr int kWaitMs = 15000;

// The journal time (ms) of the first line holding needle behind from; -1.
long long journalMs(const std::string& journal, const std::string& needle, size_t from = 0) {
    const size_t at = journal.find(needle, from);
    if (at == std::string::npos) return -1;
    const size_t line = journal.rfind('\n', at);
    return std::atoll(journal.c_str() + (line == std::string::npos ? 0 : line + 1));
}

termios settingsOf(const std::string& path) {
    termios t{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::tcgetattr(fd, &t);
        ::close(fd);
    }
    return t;
}

}  // namespace

TEST(OlderHandlers, TimeMovesOnlyTheBoardsClock) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp tcp(dev.tcpPort);
    EXPECT_EQ(ask(tcp, "#TIME Tue,29-02-2000,23:59:58\r"), "~01@TIME Tue,29-02-2000,23:59:58 OK\r\n");
    EXPECT_EQ(ask(tcp, "#TIME?\r").substr(0, 31), "~01@TIME Tue,29-02-2000,23:59:5");
    EXPECT_EQ(ask(tcp, "#TIME Wed,29-02-2100,00:00:00\r"), "~01@TIME Wed,29-02-2100,00:00:00 ERR 003\r\n");
    EXPECT_EQ(dev.read("sim/rtc"), "2000-02-29 23:59:58\n");
    EXPECT_LT(std::atoll(dev.read("sim/clock_offset").c_str()), -600000000LL);  // twenty years back
    EXPECT_GT(std::time(nullptr), 1700000000);  // the host's clock never moved
    EXPECT_EQ(dev.stop(), 0);
}

TEST(OlderHandlers, SystemRunsInASandboxWhoseRootIsTheBoard) {
    const std::string probe = "/tmp/hx40-e2e-probe-" + std::to_string(::getpid());
    const std::string host = hostName();
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp tcp(dev.tcpPort);
    // The board's own touch, on the board's /tmp.
    EXPECT_EQ(ask(tcp, "#SYSTEM /usr/bin/touch " + probe + "\r"), "~01@SYSTEM /usr/bin/touch " + probe + " OK\r\n");
    EXPECT_TRUE(std::filesystem::exists(dev.file(probe.substr(1))));
    EXPECT_FALSE(std::filesystem::exists(probe));
    EXPECT_EQ(ask(tcp, "#SYSTEM reboot\r"), "~01@SYSTEM reboot OK\r\n");  // the board's stand-in
    EXPECT_NE(dev.read("sim/tools.log").find("reboot"), std::string::npos);
    EXPECT_EQ(ask(tcp, "#SYSTEM hostname ESC-host\r"), "~01@SYSTEM hostname ESC-host OK\r\n");
    EXPECT_EQ(dev.read("sim/hostname"), "ESC-host\n") << "the board's name";
    EXPECT_EQ(ask(tcp, "#SYSTEM no-such-program\r"), "~01@SYSTEM no-such-program ERR 003\r\n");

    // Every way out answers OK: it ran, inside.
    for (const std::string& line : escapeAttempts(dev))
        EXPECT_EQ(ask(tcp, "#SYSTEM " + line + "\r"), "~01@SYSTEM " + line + " OK\r\n");
    // The same from a script that another script starts by its path.
    std::ofstream(dev.file("tmp/attempts.sh")) << escapeScript(dev);
    std::ofstream(dev.file("tmp/outer.sh")) << "/tmp/attempts.sh\n";
    std::filesystem::permissions(dev.file("tmp/attempts.sh"), std::filesystem::perms(0755));
    std::filesystem::permissions(dev.file("tmp/outer.sh"), std::filesystem::perms(0755));
    EXPECT_EQ(ask(tcp, "#SYSTEM /tmp/outer.sh\r"), "~01@SYSTEM /tmp/outer.sh OK\r\n");
    const std::string first = dev.read("tmp/first");
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2) << first;
    // A link a child leaves where the program writes: the program resolves
    // it on the board, as the child sees it.
    std::string parent = dev.parent();
    for (size_t at = 0; (at = parent.find('/', at)) != std::string::npos;) parent.replace(at, 1, "${P}");
    const std::string link = "sh -c P=${PWD:0:1};rm${IFS}-r${IFS}/root/app/conf;ln${IFS}-s${IFS}" + parent +
                             "${IFS}/root/app/conf";
    EXPECT_EQ(ask(tcp, "#SYSTEM " + link + "\r"), "~01@SYSTEM " + link + " OK\r\n");
    EXPECT_EQ(std::filesystem::read_symlink(dev.file("root/app/conf")), dev.parent());
    ask(tcp, "#LABELS a,b,c,d,e,f,g,h\r");
    // The board's state files, which the program writes without looking for
    // links, cannot be replaced by one.
    const std::string rtc = "sh -c P=${PWD:0:1};ln${IFS}-sf${IFS}" + parent + "${P}rtc${IFS}/sim/rtc";
    EXPECT_EQ(ask(tcp, "#SYSTEM " + rtc + "\r"), "~01@SYSTEM " + rtc + " OK\r\n");
    EXPECT_EQ(ask(tcp, "#TIME Tue,29-02-2000,23:59:58\r"), "~01@TIME Tue,29-02-2000,23:59:58 OK\r\n");
    expectEscapesStayedInside(dev, host);
    EXPECT_EQ(ask(tcp, "#POWER?\r"), "~01@POWER 1\r\n");  // still running
    EXPECT_EQ(dev.stop(), 0);
}

// On a machine where the sandbox cannot be made nothing runs on the host
// instead: SYSTEM answers its error, and the reason is said once.
TEST(OlderHandlers, WithoutASandboxSystemAnswersAnErrorAndRunsNothing) {
    SimDevice dev;
    ::setenv("HX40_TEST_WITHOUT_BUBBLEWRAP", "1", 1);
    startAndSettle(dev);
    ::unsetenv("HX40_TEST_WITHOUT_BUBBLEWRAP");
    LoopbackTcp tcp(dev.tcpPort);
    EXPECT_EQ(ask(tcp, "#SYSTEM touch /tmp/ran\r"), "~01@SYSTEM touch /tmp/ran ERR 003\r\n");
    EXPECT_EQ(ask(tcp, "#SYSTEM reboot\r"), "~01@SYSTEM reboot ERR 003\r\n");
    EXPECT_FALSE(std::filesystem::exists(dev.file("tmp/ran")));
    EXPECT_FALSE(std::filesystem::exists("/tmp/ran"));
    EXPECT_EQ(dev.read("sim/tools.log"), "");
    const std::string why = "child programs cannot run, the sandbox cannot be made: bubblewrap";
    const std::string log = dev.log(), journal = dev.journal();
    EXPECT_EQ(log.find(why), log.rfind(why)) << log;
    EXPECT_NE(log.find("hx40_app: " + why), std::string::npos) << log;
    EXPECT_EQ(journal.find("exec.sandbox " + why), journal.rfind("exec.sandbox ")) << journal;
    EXPECT_NE(journal.find("exec.refused touch /tmp/ran: no sandbox\n"), std::string::npos) << journal;
    EXPECT_EQ(ask(tcp, "#POWER?\r"), "~01@POWER 1\r\n");  // the device runs on
    EXPECT_EQ(dev.stop(), 0);
}

TEST(OlderHandlers, RawAccessReadsTheSimulatedChips) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp tcp(dev.tcpPort);
    EXPECT_EQ(ask(tcp, "#NAME Stage\r"), "~01@NAME Stage OK\r\n");
    // The device name as the EEPROM chip holds it, read over its bus.
    EXPECT_EQ(ask(tcp, "#I2C? 0,AC,7E8A,4\r"), "~01@I2C 0x00,0xAC,0x7E8A,0x53746167 OK\r\n");
    EXPECT_EQ(ask(tcp, "#I2C? 3,20,01\r"), "~01@I2C? 3,20,01 ERR 008\r\n");
    EXPECT_EQ(ask(tcp, "#IPC 5,10,AB\r"), "~01@IPC 5,10,AB OK\r\n");
    EXPECT_EQ(ask(tcp, "#IPC? 5,10\r"), "~01@IPC 0x05,0x0A,0xAB OK\r\n");
    EXPECT_EQ(dev.stop(), 0);
    // The scaler chip keeps its registers in sim/scaler.bin: bank 5, offset 10.
    EXPECT_EQ(static_cast<unsigned char>(dev.read("sim/scaler.bin").at(5 * 256 + 10)), 0xAB);
}

TEST(OlderHandlers, PowerSavesPowerAndPowerOnEndsTheProgram) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp tcp(dev.tcpPort);
    EXPECT_EQ(ask(tcp, "#POWER ON\r"), "~01@POWER ON OK\r\n");
    EXPECT_EQ(ask(tcp, "#POWER 0\r"), "~01@POWER 0 OK\r\n");
    ASSERT_TRUE(dev.waitJournal("powerDownMode DSP and clocks down", kWaitMs)) << dev.journal();
    EXPECT_EQ(ask(tcp, "#POWER?\r"), "~01@POWER 0\r\n");
    EXPECT_EQ(ask(tcp, "#POWER 1\r"), "~01@POWER 1 OK\r\n");
    EXPECT_EQ(dev.waitExit(kWaitMs), 0);
}

TEST(OlderHandlers, FactoryAnswersAtOnceAndRunsItsMenuRowTwoSecondsLater) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp tcp(dev.tcpPort);
    const size_t from = dev.journal().size();
    EXPECT_EQ(ask(tcp, "#FACTORY\r"), "~01@FACTORY  OK\r\n");  // the default command adds the blank
    // The menu's factory reset runs about two seconds later and restarts the device.
    EXPECT_EQ(dev.waitExit(kWaitMs), 1) << dev.journal().substr(from);
    const std::string j = dev.journal();
    const long long asked = journalMs(j, "p7k.delayed node=561", from);
    ASSERT_GE(asked, 0) << j.substr(from);
    const long long reset = journalMs(j, "factory_reset node=561", from);
    ASSERT_GE(reset, 0) << j.substr(from);
    EXPECT_GE(reset - asked, 1900);
    EXPECT_NE(dev.read("sim/reboot.log").find("reboot"), std::string::npos);
}

// When the reset's EEPROM writes fail, the device does not restart into
// its old settings as if reset: it says so and keeps running (FACTORY has
// answered OK already).
TEST(OlderHandlers, AFactoryResetTheEepromRefusesLeavesTheDeviceRunning) {
    SimDevice dev;
    startAndSettle(dev);
    LoopbackTcp tcp(dev.tcpPort);
    ASSERT_EQ(dev.ctl("i2c fail 0 1000000").substr(0, 2), "OK");
    EXPECT_EQ(ask(tcp, "#FACTORY\r"), "~01@FACTORY  OK\r\n");
    const bool failed = dev.waitJournal("factory_reset node=561 failed", kWaitMs);
    dev.ctl("i2c fail 0 0");
    ASSERT_TRUE(failed) << dev.journal();
    EXPECT_EQ(dev.waitExit(1000), -1);
    EXPECT_EQ(ask(tcp, "#POWER?\r"), "~01@POWER 1\r\n");
    EXPECT_NE(dev.log().find("factory reset (node 561) failed"), std::string::npos);
    EXPECT_EQ(dev.read("sim/reboot.log").find("reboot"), std::string::npos);
}

TEST(OlderHandlers, SerialSettingsReachTheirPorts) {
    SimDevice dev;
    startAndSettle(dev);
    {
        LoopbackTcp tcp(dev.tcpPort);
        // The tunnel's line is stored, kept across a restart and opened with it.
        const size_t before = dev.journal().size();
        EXPECT_EQ(ask(tcp, "#UART 115200,8,n,2\r"), "~01@UART 115200,8,n,2 OK\r\n");
        // The main task saves what the word marked.
        ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("eepromSaveFullPMData", before) != std::string::npos; },
                                kWaitMs));
        EXPECT_EQ(ask(tcp, "#UART?\r"), "~01@UART 115200,8,NONE,2\r\n");

        // The user port takes new settings before its next message.
        std::ofstream(dev.file("root/persist/user1_msg.txt"), std::ios::binary) << "hi";
        dev.ctl("key tap USR1");
        ASSERT_TRUE(dev.waitJournal("usrmsg.tty port=1 baud=9600", kWaitMs)) << dev.journal();
        EXPECT_EQ(ask(tcp, "#CBIN USR1,UART,1200,7,E,2,NONE\r"), "~01@CBIN USR1,UART,1200,7,E,2,NONE OK\r\n");
        dev.ctl("key tap USR1");
        ASSERT_TRUE(dev.waitJournal("usrmsg.tty port=1 baud=1200 bits=7 parity=E stop=2", kWaitMs)) << dev.journal();
        const termios user = settingsOf(dev.file("dev/ttyS3"));
        EXPECT_EQ(cfgetospeed(&user), static_cast<speed_t>(B1200));
        EXPECT_EQ(user.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    }
    EXPECT_EQ(dev.stop(), 0);
    startAndSettle(dev);
    ASSERT_TRUE(dev.waitJournal("ptnl.tty baud=115200 bits=8 parity=NONE stop=2", kWaitMs)) << dev.journal();
    const termios tunnel = settingsOf(dev.file("dev/ttyS2"));
    EXPECT_EQ(cfgetospeed(&tunnel), static_cast<speed_t>(B115200));
    EXPECT_EQ(tunnel.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(dev.stop(), 0);
}
