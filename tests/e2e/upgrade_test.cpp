// The firmware upgrade and rollback as a person does them on the running
// program: a key with a package made by hx40-package plugged in with
// "hx40-sim ctl usb insert", the menu opened to page 54 with the panel's
// keys, the dialogue read off the OSD, and what lands in the flash
// partitions, the application folder and the version lists.
#include "e2e/escapes.h"
#include "support/menu_keys.h"
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace hx40test;

namespace {

constexpr int kWaitMs = 20000;

void startAndSettle(SimDevice& dev) {
    hx40test::startAndSettle(dev, kWaitMs);
    if (::testing::Test::HasFatalFailure()) return;
    // The menu stays open however long a test looks at a screen.
    ASSERT_EQ(dev.ctl("pm set PM.OSDTM 0"), "OK\n");
}
bool press(SimDevice& dev, const std::string& key, int node) { return pressMenuKey(dev, key, node, kWaitMs); }

// MENU, UP to Misc, ENTER, DOWN three times to Upgrade, ENTER: page 54.
void openPage54(SimDevice& dev) {
    ASSERT_TRUE(press(dev, "MENU", 0)) << dev.journal();
    ASSERT_TRUE(press(dev, "UP", 0));
    ASSERT_TRUE(press(dev, "ENTER", 5));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(press(dev, "DOWN", 5));
    ASSERT_TRUE(press(dev, "ENTER", 54));
}

// What the menu windows show (the channels' part of the board's OSD state).
std::string shown(SimDevice& dev) {
    const std::string state = dev.ctl("state");
    const size_t planes = state.find("\nplane 0\n");
    return state.substr(0, planes);
}
bool shows(SimDevice& dev, const std::string& text) { return shown(dev).find("\"" + text + "\"") != std::string::npos; }
bool waitShown(SimDevice& dev, const std::string& text) {
    return dev.waitFor([&] { return shows(dev, text); }, kWaitMs);
}
// Taps a key without waiting for a menu step (the dialogue reads it).
void tap(SimDevice& dev, const std::string& key) { ASSERT_EQ(dev.ctl("key tap " + key).substr(0, 2), "OK"); }

std::string ask(LoopbackTcp& tcp, const std::string& line) {
    if (!tcp.send(line)) return "(not sent)";
    return tcp.until("\r\n", kWaitMs);
}

// Bytes that show a misplaced or cut write.
std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return s;
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

struct Sources {
    std::string zImage = pattern(3000, 1);
    std::string size = std::string("\x00\x10\x00\x00", 4);
    std::string bootloader = pattern(2000, 2);
    std::string cramfs = std::string("\x45\x3d\xcd\x28", 4) + pattern(5000, 3);
    std::string jffs2 = pattern(6000, 4);
    std::string parts = "1,0,0,8,8\n2,0,0,9,9\n";
    std::string index = "<html>new</html>\n";
};

// Makes the package folder <root>/<dir> (holding Selka) from s.
std::string makePackage(SimDevice& dev, const std::string& dir, const Sources& s, const std::string& more = "") {
    const std::string src = dev.file(dir + "-src");
    writeFile(src + "/zImage", s.zImage);
    writeFile(src + "/size", s.size);
    writeFile(src + "/bootloader", s.bootloader);
    writeFile(src + "/cramfs", s.cramfs);
    writeFile(src + "/jffs2", s.jffs2);
    writeFile(src + "/parts.csv", s.parts);
    writeFile(src + "/web/index.html", s.index);
    const std::string cmd = std::string(HX40_BIN_DIR) + "/hx40-package make " + dev.file(dir) +
                            " --version 2.0.0 zImage=" + src + "/zImage bootloader=" + src + "/bootloader cramfs=" +
                            src + "/cramfs jffs2=" + src + "/jffs2 memfiles/parts.csv=" + src +
                            "/parts.csv memfiles/web=" + src + "/web --extra zimagesize.bin=" + src + "/size " + more;
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return dev.file(dir);
}

}  // namespace

TEST(Upgrade, AConfirmedUpgradeWritesEveryItemAndRebootsThenTheRollbackPutsTheFilesBack) {
    SimDevice dev;
    const Sources s;
    const std::string pkg = makePackage(dev, "sim/pkg", s);
    const std::string oldParts = dev.read("root/app/memfiles/parts.csv");
    const std::string oldIndex = dev.read("root/app/memfiles/web/index.html");
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("usb insert sdb " + pkg), "OK insert sdb\n");
    LoopbackTcp tcp(dev.tcpPort);
    ASSERT_EQ(ask(tcp, "#NAME?\r").substr(0, 9), "~01@NAME ");

    openPage54(dev);
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "MENU or LEFT to cancel")) << shown(dev);
    for (const char* item : {" [B] bootloader - 2.0.0", " [C] cramfs - 2.0.0", " [J] jffs2 - 2.0.0",
                             " [M] parts.csv - 2.0.0", " [M] web - 2.0.0", " [K] zImage - 2.0.0"})
        EXPECT_TRUE(shows(dev, item)) << item << "\n" << shown(dev);
    EXPECT_EQ(ask(tcp, "#NAME?\r"), "~01@NAME? ERR 004\r\n") << "the older engine is blocked meanwhile";
    EXPECT_EQ(dev.read("root/app/memfiles/parts.csv"), oldParts) << "nothing is written before ENTER";

    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "Please remove USB key.")) << shown(dev) << dev.log();
    for (const char* line : {"[B] bootloader ... done.", "[C] cramfs ... done.", "[J] jffs2 ... done.",
                             "[M] parts.csv ... done.", "[M] web ... done.", "[K] zImage ... done."})
        EXPECT_TRUE(shows(dev, line)) << line << "\n" << shown(dev);
    const std::string mtd2 = dev.read("dev/mtd2"), mtd3 = dev.read("dev/mtd3");
    EXPECT_EQ(mtd3.substr(0, 65536), s.zImage + std::string(65536 - 3000, '\xff'));
    EXPECT_EQ(mtd2.substr(0, 2000), s.bootloader);
    EXPECT_EQ(mtd2.substr(65536, 4), s.size) << "the package's kernel size";
    EXPECT_EQ(dev.read("dev/mtd1").substr(0, 5004), s.cramfs) << "the bank that does not run";
    EXPECT_EQ(dev.read("dev/mtd0").substr(0, 4), "\x45\x3d\xcd\x28") << "the running bank stays";
    EXPECT_EQ(dev.read("dev/mtd5").substr(0, 6000), s.jffs2) << "the spare application partition";
    EXPECT_NE(dev.read("root/persist/fstab").find("/dev/mtdblock5\t/root/app\tjffs2"), std::string::npos);
    EXPECT_EQ(dev.read("root/app/memfiles/parts.csv"), s.parts);
    EXPECT_EQ(dev.read("root/app/memfiles/web/index.html"), s.index);
    const std::string list = dev.read("root/app/version.md5sum");
    for (const char* name : {"bootloader", "cramfs", "jffs2", "memfiles/parts.csv", "memfiles/web", "zImage"})
        EXPECT_NE(list.find(std::string(" ") + name + "\n"), std::string::npos) << name << "\n" << list;
    EXPECT_EQ(list.find("1.0.0 cf2a5e210897049e2a7c6ff43a32b7af memfiles/parts.csv"), std::string::npos);

    // ENTER reboots: the stand-in's reboot, then the program ends with 1.
    tap(dev, "ENTER");
    EXPECT_EQ(dev.waitExit(kWaitMs), 1);
    EXPECT_NE(dev.read("sim/reboot.log").find("reboot"), std::string::npos);

    // After the restart the rollback puts back what the upgrade replaced.
    startAndSettle(dev);
    openPage54(dev);
    ASSERT_TRUE(press(dev, "DOWN", 54));
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "ENTER or RIGHT to rollback")) << shown(dev);
    EXPECT_TRUE(shows(dev, " [M] parts.csv - 1.0.0")) << shown(dev);
    EXPECT_TRUE(shows(dev, " [M] web - 1.0.0")) << shown(dev);
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "reboot is needed to validate.")) << shown(dev);
    EXPECT_EQ(dev.read("root/app/memfiles/parts.csv"), oldParts);
    EXPECT_EQ(dev.read("root/app/memfiles/web/index.html"), oldIndex);
    const std::string restored = dev.read("root/app/version.md5sum");
    EXPECT_NE(restored.find("1.0.0 cf2a5e210897049e2a7c6ff43a32b7af memfiles/parts.csv\n"), std::string::npos)
        << restored;
    EXPECT_NE(restored.find(" zImage\n"), std::string::npos) << "the kernel is never rolled back";
    EXPECT_FALSE(std::filesystem::exists(dev.file("root/app/version.md5sum.bk")));

    // Later: page 5 again, and the protocol answers.
    const size_t from = dev.journal().size();
    tap(dev, "MENU");
    ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("menu.step key=1 node=5\n", from) != std::string::npos; },
                            kWaitMs));
    EXPECT_TRUE(waitShown(dev, "Factory Reset")) << shown(dev);
    LoopbackTcp again(dev.tcpPort);
    EXPECT_EQ(ask(again, "#NAME?\r").substr(0, 9), "~01@NAME ");
    EXPECT_EQ(dev.stop(), 0);
}

TEST(Upgrade, ABadPackageWritesNothingAndAKeyPulledOutMidwayStopsTheRest) {
    SimDevice dev;
    Sources s;
    const std::string bad = makePackage(dev, "sim/bad", s);
    writeFile(bad + "/Selka/zImage", s.zImage.substr(0, 1000));  // cut short after its list was made
    writeFile(dev.file("sim/late-src/aapre"),
              "#!/bin/sh\ntouch /tmp/started\n"
              "n=0; while [ ! -f /tmp/go ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done\n");
    s.parts = "3,0,0,1,1\n";
    const std::string late = makePackage(dev, "sim/late", s, "--extra aapre=" + dev.file("sim/late-src/aapre"));
    const std::string before[] = {dev.read("dev/mtd1"), dev.read("dev/mtd2"), dev.read("dev/mtd3"),
                                  dev.read("dev/mtd5"), dev.read("root/persist/fstab"),
                                  dev.read("root/app/memfiles/parts.csv"), dev.read("root/app/version.md5sum")};
    auto unchanged = [&] {
        const std::string now[] = {dev.read("dev/mtd1"), dev.read("dev/mtd2"), dev.read("dev/mtd3"),
                                   dev.read("dev/mtd5"), dev.read("root/persist/fstab"),
                                   dev.read("root/app/memfiles/parts.csv"), dev.read("root/app/version.md5sum")};
        return std::equal(std::begin(now), std::end(now), std::begin(before)) &&
               !std::filesystem::exists(dev.file("root/app/version.md5sum.bk"));
    };
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("usb insert sdb " + bad), "OK insert sdb\n");
    openPage54(dev);
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "MENU or LEFT to cancel")) << shown(dev);
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "An error has occured. ")) << shown(dev);
    EXPECT_NE(shown(dev).find("[K] zImage ... source checksum"), std::string::npos) << shown(dev);
    EXPECT_EQ(shown(dev).find("done."), std::string::npos) << "nothing written\n" << shown(dev);
    EXPECT_TRUE(unchanged());
    tap(dev, "MENU");
    ASSERT_TRUE(waitShown(dev, "Factory Reset")) << shown(dev);

    // The key goes; the upgrade entry, started by the protocol this time,
    // asks for a key and sees the next one plugged in.
    ASSERT_EQ(dev.ctl("usb remove sdb"), "OK remove sdb\n");
    LoopbackTcp tcp(dev.tcpPort);
    const size_t from = dev.journal().size();
    EXPECT_EQ(ask(tcp, "#Y 0,541,0\r"), "~01@Y 0,541,0 OK\r\n");
    ASSERT_TRUE(waitShown(dev, "Please insert USB Key or press")) << shown(dev);
    ASSERT_TRUE(dev.waitJournal("usb.watch /mnt/usb /dev/", kWaitMs));
    EXPECT_NE(dev.read("sim/tools.log").find("umount /mnt/usb\n"), std::string::npos) << "the pulled key's mount";
    ASSERT_EQ(dev.ctl("usb insert sdc " + late), "OK insert sdc\n");
    ASSERT_TRUE(waitShown(dev, "MENU or LEFT to cancel")) << shown(dev);
    EXPECT_NE(dev.journal().find("usb.event create sdc1", from), std::string::npos);
    EXPECT_NE(dev.read("sim/tools.log").find("mount /dev/sdc1 /mnt/usb\n"), std::string::npos);

    // Pulled out while the first item runs: the rest cannot be read.
    tap(dev, "ENTER");
    ASSERT_TRUE(dev.waitFor([&] { return std::filesystem::exists(dev.file("tmp/started")); }, kWaitMs));
    ASSERT_EQ(dev.ctl("usb remove sdc"), "OK remove sdc\n");
    writeFile(dev.file("tmp/go"), "");
    ASSERT_TRUE(waitShown(dev, "An error has occured. ")) << shown(dev);
    EXPECT_TRUE(shows(dev, "[Pr] aapre ... done.")) << shown(dev);
    EXPECT_NE(shown(dev).find("[M] parts.csv ... source checksum"), std::string::npos) << shown(dev);
    EXPECT_TRUE(unchanged());
    tap(dev, "MENU");
    ASSERT_TRUE(waitShown(dev, "Factory Reset")) << shown(dev);
    EXPECT_EQ(ask(tcp, "#NAME?\r").substr(0, 9), "~01@NAME ");
    EXPECT_EQ(dev.stop(), 0);
}

// A key holding only a pre-upgrade script runs it after one ENTER, as the
// package's own: in the sandbox, where none of the ways out leads out.
TEST(Upgrade, APackageScriptRunsInsideTheBoard) {
    const std::string host = hostName();
    SimDevice dev;
    writeFile(dev.file("sim/key/Selka/aapre"), "echo x > ../../../../escape_marker\n" + escapeScript(dev));
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("usb insert sdb " + dev.file("sim/key")), "OK insert sdb\n");
    openPage54(dev);
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "MENU or LEFT to cancel")) << shown(dev);
    tap(dev, "ENTER");
    ASSERT_TRUE(waitShown(dev, "[Pr] aapre ... done.")) << shown(dev);
    expectEscapesStayedInside(dev, host);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(Upgrade, ADialogueStartedWithTheMenuClosedEndsOnPageFiveOfAnOpenMenu) {
    SimDevice dev;
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("pm set PM.OSDTM 1"), "OK\n");  // 30 s
    LoopbackTcp tcp(dev.tcpPort);
    // The protocol thread runs the dialogue: the reply comes at its end.
    ASSERT_TRUE(tcp.send("#Y 0,541,0\r"));
    ASSERT_TRUE(waitShown(dev, "Please insert USB Key or press")) << shown(dev);
    tap(dev, "MENU");
    EXPECT_EQ(tcp.until("\r\n", kWaitMs), "~01@Y 0,541,0 OK\r\n");
    ASSERT_TRUE(waitShown(dev, "Factory Reset")) << shown(dev);
    EXPECT_NE(dev.ctl("state").find("gflags 0x0001"), std::string::npos) << dev.ctl("state");

    // DOWN moves on the page (not the volume shortcut of a closed menu).
    const size_t from = dev.journal().size();
    ASSERT_TRUE(press(dev, "DOWN", 5)) << dev.journal().substr(from);
    EXPECT_EQ(dev.journal().find("main_task.shortcut", from), std::string::npos);
    // And the page goes with the menu's time-out.
    EXPECT_TRUE(dev.waitJournal("exitOsdMenu menu closed", 45000));
    EXPECT_TRUE(dev.waitFor([&] { return dev.ctl("state").find(" window on plane ") == std::string::npos; }, kWaitMs));
    EXPECT_EQ(dev.stop(), 0);
}
