// Finding the key: the partition lines that count as a USB disk, the
// package listing of a key's content, and the device watch on /dev with the
// mounts and unmounts it runs.
#include "unit/upgrade/upgrade_fixture.h"

#include "platform/sim/usb_key.h"
#include "upgrade/firmware_upgrade.h"
#include "upgrade/osd_console.h"

#include <cstring>
#include <functional>
#include <set>
#include <sys/epoll.h>
#include <sys/inotify.h>

namespace hx40test {
namespace {

class UsbDetect : public UpgradeTest {
protected:
    FirmwareUpgrade machine() {
        return FirmwareUpgrade(&console_, "", "/mnt/usb", "", FirmwareVersion(), ::epoll_create1(EPOLL_CLOEXEC));
    }
    Osd console_;
};

constexpr const char* kMd5 = "0123456789abcdef0123456789abcdef";

TEST(UsbDiskLine, MajorEightAndASdNameWithALetterThird) {
    struct Case {
        const char* line;
        bool usb;
    } cases[] = {
        {"   8       16    7823360 sdb", true},      {"   8       17    7822336 sdb1", true},
        {"   8        0     500000 sda", true},      {"  65        0     500000 sdq", false},
        {"   8       32        100 sd1", false},     {"   8       32        100 sd", false},
        {" 179        0    3872256 mmcblk0", false}, {"  31        4       1024 mtdblock4", false},
        {"major minor  #blocks  name", false},       {"", false},
    };
    for (const Case& c : cases) {
        std::string name;
        EXPECT_EQ(usbDiskLine(c.line, name), c.usb) << c.line;
    }
}

TEST_F(UsbDetect, AKeysContentBecomesTheItemAndVersionLists) {
    struct Case {
        const char* note;
        std::vector<std::pair<std::string, std::string>> files;  // below mnt/usb
        int count;
        std::set<std::string> items;  // "name prefix path version"
    } cases[] = {
        {"a package folder with its list alone", {{"Selka/version.md5sum", "1.0.0 " + std::string(kMd5) + " zImage\n"}},
         0, {}},
        {"the web pages are one item, the folder",
         {{"Selka/version.md5sum", "2.1.0 " + std::string(kMd5) + " memfiles/web\n"},
          {"Selka/memfiles/web/index.html", "a"},
          {"Selka/memfiles/web/js/app.js", "b"}},
         1, {"memfiles/web [M] /mnt/usb/Selka//memfiles/web 2.1.0"}},
        {"the scripts need no entry",
         {{"Selka/version.md5sum", ""}, {"Selka/aapre", "#!/bin/sh\n"}, {"Selka/zzpost", "#!/bin/sh\n"}},
         2, {"aapre [Pr] /mnt/usb/Selka//aapre ", "zzpost [Ps] /mnt/usb/Selka//zzpost "}},
        {"a listed file of no known kind stays listed but is not counted; an unlisted one goes",
         {{"Selka/version.md5sum",
           "1.0.0 " + std::string(kMd5) + " docs/readme\n2.0.0 " + std::string(kMd5) + " memfiles\n"},
          {"Selka/docs/readme", "x"},
          {"Selka/notes.txt", "y"},
          {"Selka/memfiles/parts.csv", "z"}},
         1, {"docs/readme None  1.0.0", "memfiles/parts.csv [M] /mnt/usb/Selka//memfiles/parts.csv 2.0.0"}},
        {"a package folder inside another is ambiguous",
         {{"Selka/version.md5sum", "1.0.0 " + std::string(kMd5) + " zImage\n"}, {"Selka/x/Selka/zImage", "k"}},
         -1, {}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(board_->file("mnt/usb"));
        for (const auto& [rel, text] : c.files) write("mnt/usb/" + rel, text);
        FirmwareUpgrade u = machine();
        EXPECT_EQ(u.CheckUsbDevice(), c.count) << c.note;
        std::set<std::string> items;
        for (const std::string& name : u.GetFileList()) {
            const FileVerInfo& e = u.GetVersionList().files().at(name);
            items.insert(name + " " + e.action->GetPrettyPrintPrefix() + " " + e.action->GetPath() + " " + e.version);
            EXPECT_EQ(e.action->GetMD5(), e.md5) << c.note;
        }
        EXPECT_EQ(items, c.items) << c.note;
    }
}

TEST_F(UsbDetect, TheDeviceWatchMountsAPluggedPartitionAndUnmountsItWhenPulled) {
    write("sim/key/Selka/version.md5sum", "1.0.0 " + std::string(kMd5) + " zImage\n");
    write("sim/key/Selka/zImage", "kernel");
    FirmwareUpgrade u = machine();
    ASSERT_EQ(u.WatchUsbDeviceInit(), 0);
    // Nodes that are not a partition of a USB disk are left alone.
    write("dev/sg10", "");
    write("dev/sdc", "");
    // Watching, 100 ms a pass, until done says so.
    int last = 0;
    auto watchUntil = [&](const std::function<bool()>& done, int passes = 30) {
        for (int i = 0; i < passes && !done(); ++i) last = u.WatchUsbDevice();
    };
    watchUntil([&] { return last == 1; }, 5);
    EXPECT_EQ(tools(), "");
    ASSERT_EQ(board::sim::insertKey(root(), "sdb", board_->file("sim/key")), "");
    watchUntil([&] { return last == 1; });
    EXPECT_EQ(last, 1) << "a key with a package";
    EXPECT_EQ(tools(), "mount /dev/sdb1 /mnt/usb\n");
    EXPECT_EQ(read("mnt/usb/Selka/zImage"), "kernel");
    ASSERT_EQ(board::sim::removeKey(root(), "sdb"), "");
    watchUntil([&] { return tools().find("umount") != std::string::npos; });
    EXPECT_EQ(tools(), "mount /dev/sdb1 /mnt/usb\numount /dev/sdb1 /mnt/usb\n");
    EXPECT_EQ(read("proc/mounts").find("/mnt/usb"), std::string::npos);
}

TEST_F(UsbDetect, AnUnmountEventWithoutANameUnmountsTheFolderOnly) {
    FirmwareUpgrade u = machine();
    ASSERT_EQ(u.WatchUsbDeviceInit(), 0);
    inotify_event ev{};
    ev.wd = 1;  // the mount folder's watch, the first one
    ev.mask = IN_UNMOUNT;
    char buffer[sizeof ev];
    std::memcpy(buffer, &ev, sizeof ev);
    EXPECT_EQ(u.HandleUsbEvents(buffer, sizeof buffer), 0);
    EXPECT_EQ(tools(), "umount /mnt/usb\n");
}

}  // namespace
}  // namespace hx40test
