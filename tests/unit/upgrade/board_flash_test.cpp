// What the upgrade writes to and reads from on the simulated board: the
// flash partitions and the tools that write them, the USB key's mounting,
// and packages made by hx40-package.
#include "unit/upgrade/upgrade_fixture.h"

#include "platform/sim/ctl.h"
#include "platform/sim/usb_key.h"
#include "platform/storage.h"
#include "sys/mydosystem.h"
#include "upgrade/firmware_version.h"
#include "upgrade/md5.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace hx40test {
namespace {

namespace fs = std::filesystem;

class BoardFlash : public UpgradeTest {};

TEST_F(BoardFlash, ANewBoardHasThePartitionsMountsAndFstabOfARunningDevice) {
    struct Case {
        const char* name;
        size_t size;
        bool blockDevice;
    } cases[] = {{"mtd0", 131072, true}, {"mtd1", 131072, true}, {"mtd2", 131072, true}, {"mtd3", 131072, false},
                 {"mtd4", 131072, true}, {"mtd5", 131072, true}, {"mtd6", 65536, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(read(std::string("dev/") + c.name).size(), c.size) << c.name;
        const std::string block = std::string("dev/mtdblock") + (c.name + 3);
        EXPECT_EQ(fs::is_symlink(board_->file(block)), c.blockDevice) << block;
    }
    EXPECT_EQ(read("dev/mtd0").substr(0, 4), "\x45\x3d\xcd\x28") << "an operating-system image in the running bank";
    EXPECT_EQ(read("dev/mtd1"), std::string(131072, '\xff'));
    EXPECT_EQ(read("dev/mtd2").substr(65536, 4), std::string("\x00\x00\x20\x00", 4));
    EXPECT_EQ(read("proc/mounts"),
              "/dev/mtdblock4 /root/app jffs2 rw,relatime 0 0\n"
              "/dev/mtdblock5 /root/app.bk jffs2 rw,relatime 0 0\n"
              "/dev/mtdblock6 /root/persist jffs2 rw,relatime 0 0\n");
    EXPECT_EQ(read("root/persist/fstab"), kFstabMtd4Main);
}

TEST_F(BoardFlash, DdOntoAPartitionNeitherTruncatesNorGrowsIt) {
    write("tmp/four", "ABCD");
    // Through the block device name, seen in the partition.
    EXPECT_EQ(MyDoSystem("dd if=/tmp/four of=/dev/mtdblock2 bs=1 seek=65536"), 0);
    EXPECT_EQ(read("dev/mtd2").size(), 131072u);
    EXPECT_EQ(read("dev/mtd2").substr(65530, 12), std::string(6, '\xff') + "ABCD" + std::string(2, '\xff'));
    // Past the end: what fits is written, the rest is an error.
    EXPECT_EQ(MyDoSystem("dd if=/tmp/four of=/dev/mtd6 bs=1 seek=65534"), 1);
    EXPECT_EQ(read("dev/mtd6").size(), 65536u);
    EXPECT_EQ(read("dev/mtd6").substr(65532), std::string(2, '\xff') + "AB");
    // Zeroing a head, as the rollback of an operating-system image does.
    EXPECT_EQ(MyDoSystem("dd if=/dev/zero of=/dev/mtd0 bs=1 count=512"), 0);
    EXPECT_EQ(read("dev/mtd0").substr(0, 513), std::string(512, '\0') + '\xff');
    // Reading a piece out into a file.
    EXPECT_EQ(MyDoSystem("dd if=/dev/mtdblock2 bs=1 skip=65536 count=4 of=/tmp/size"), 0);
    EXPECT_EQ(read("tmp/size"), "ABCD");
}

TEST_F(BoardFlash, FlashcpErasesTheBlocksItsImageCovers) {
    const std::string before = pattern(131072, 9);
    write("dev/mtd4", before);
    write("tmp/image", "0123456789");
    EXPECT_EQ(MyDoSystem("flashcp -v /tmp/image /dev/mtd4"), 0);
    EXPECT_EQ(read("dev/mtd4"), "0123456789" + std::string(65526, '\xff') + before.substr(65536));
    write("tmp/big", std::string(131073, 'x'));
    EXPECT_NE(MyDoSystem("flashcp -v /tmp/big /dev/mtd4"), 0);
    EXPECT_EQ(read("dev/mtd4").substr(0, 10), "0123456789");
}

TEST_F(BoardFlash, AUsbKeyMountsWithTheDevicesPathsAndUnmountsAlone) {
    EXPECT_EQ(board::storage::mount("/dev/sdb1", "/mnt/usb", "vfat", board::storage::kNoAccessTime), ENODEV);
    write("sim/key/Selka/version.md5sum", "1.0.0 0123456789abcdef0123456789abcdef zImage\n");
    board::sim::registerUsbControl();
    EXPECT_EQ(board::sim::ctl::dispatch("usb insert sdb " + board_->file("sim/key")), "OK insert sdb");
    EXPECT_EQ(board::sim::ctl::dispatch("usb insert sdb " + board_->file("sim/key")), "ERR sdb is plugged in already");
    EXPECT_EQ(read("proc/partitions"),
              "major minor  #blocks  name\n\n"
              "   8      16    7823360 sdb\n"
              "   8      17    7822336 sdb1\n");
    EXPECT_TRUE(exists("dev/sdb") && exists("dev/sdb1"));
    EXPECT_EQ(board::storage::mount("/dev/sdb1", "/mnt/usb", "vfat", board::storage::kNoAccessTime), 0);
    EXPECT_EQ(read("mnt/usb/Selka/version.md5sum"), "1.0.0 0123456789abcdef0123456789abcdef zImage\n");
    EXPECT_EQ(board::storage::mount("/dev/sdb1", "/mnt/usb", "vfat", 0), EBUSY);
    const std::string partitions = "/dev/mtdblock4 /root/app jffs2 rw,relatime 0 0\n"
                                   "/dev/mtdblock5 /root/app.bk jffs2 rw,relatime 0 0\n"
                                   "/dev/mtdblock6 /root/persist jffs2 rw,relatime 0 0\n";
    EXPECT_EQ(read("proc/mounts"), partitions + "/dev/sdb1 /mnt/usb vfat rw,noatime 0 0\n");
    EXPECT_EQ(MyDoSystem("umount /mnt/usb"), 0);
    EXPECT_TRUE(fs::is_empty(board_->file("mnt/usb")));
    EXPECT_EQ(read("proc/mounts"), partitions);
    EXPECT_EQ(MyDoSystem("umount /mnt/usb"), 1);
    // The mount tool, and an unmount by the device's name.
    EXPECT_EQ(MyDoSystem("mount /dev/sdb1 /mnt/usb"), 0);
    EXPECT_EQ(read("proc/mounts"), partitions + "/dev/sdb1 /mnt/usb vfat rw,relatime 0 0\n");
    EXPECT_EQ(MyDoSystem("umount /dev/sdb1 /mnt/usb"), 0);
    EXPECT_EQ(read("proc/mounts"), partitions);
    // The board's own partitions are not the tools' to unmount.
    EXPECT_EQ(MyDoSystem("umount /root/app"), 1);
    EXPECT_TRUE(exists("root/app/version.md5sum"));
    // Pulling the key out.
    EXPECT_EQ(board::sim::ctl::dispatch("usb remove sdb"), "OK remove sdb");
    EXPECT_EQ(read("proc/partitions"), "major minor  #blocks  name\n\n");
    EXPECT_FALSE(exists("dev/sdb") || exists("dev/sdb1") || exists("sim/usb/sdb1"));
    EXPECT_EQ(board::storage::mount("/dev/sdb1", "/mnt/usb", "vfat", 0), ENODEV);
}

TEST_F(BoardFlash, APackageMadeByTheToolChecksOnTheDevice) {
    write("sim/src/zImage", pattern(3000, 1));
    write("sim/src/size", std::string("\x00\x10\x00\x00", 4));
    write("sim/src/web/index.html", "<html>new</html>\n");
    write("sim/src/web/Zed.css", "body{}\n");
    write("sim/src/web/js/app.js", "var a = 1;\n");
    write("sim/src/parts.csv", "1,0,0,8,8\n");
    const std::string tool = std::string(HX40_BIN_DIR) + "/hx40-package";
    const std::string src = board_->file("sim/src");
    const std::string cmd = tool + " make " + board_->file("sim/usb/sdb1") + " --version 2.0.0 zImage=" + src +
                            "/zImage memfiles/web:2.1.0=" + src + "/web memfiles/parts.csv=" + src +
                            "/parts.csv --extra zimagesize.bin=" + src + "/size";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::string list = read("sim/usb/sdb1/Selka/version.md5sum");
    EXPECT_EQ(list.substr(0, 46), "2.0.0 " + md5sumOf(board_->file("sim/src/zImage")) + " zImage\n");
    EXPECT_NE(list.find(" memfiles/web\n"), std::string::npos) << list;
    EXPECT_EQ(list.find("zimagesize"), std::string::npos) << list;
    EXPECT_EQ(read("sim/usb/sdb1/Selka/zimagesize.bin"), std::string("\x00\x10\x00\x00", 4));

    write("dev/sdb1", "");
    ASSERT_EQ(board::storage::mount("/dev/sdb1", "/mnt/usb", "vfat", 0), 0);
    const std::string listPath = "/mnt/usb/Selka//version.md5sum";
    for (const char* name : {"zImage", "memfiles/web", "memfiles/parts.csv"}) {
        FileVerInfo e = GetFileVerInfo(listPath, name);
        EXPECT_EQ(e.version, std::string(name) == "memfiles/web" ? "2.1.0" : "2.0.0") << name;
        EXPECT_EQ(MD5Validator(std::string("/mnt/usb/Selka//") + name, e.md5).validate(), 1) << name;
    }
}

}  // namespace
}  // namespace hx40test
