// The upgrade actions on a prepared board: the flash partitions' bytes,
// fstab, the installed files and their backups, and the tools they ran.
#include "unit/upgrade/upgrade_fixture.h"

#include "upgrade/firmware_version.h"
#include "upgrade/md5.h"
#include "upgrade/upgrade_actions.h"

#include <functional>

namespace hx40test {
namespace {

constexpr size_t kPartition = 128 * 1024;
const std::string kErased(kPartition, '\xff');
const std::string kKernelSize("\x00\x00\x20\x00", 4);  // what the new board's bootloader partition holds

const char* const kFstabMtd5Main =
    "proc\t\t/proc\t\tproc\tdefaults\t0\t0\n"
    "sysfs\t\t/sys\t\tsysfs\tdefaults\t0\t0\n"
    "tmpfs\t\t/dev/shm\ttmpfs\tdefaults\t0\t0\n"
    "none\t\t/proc/bus/usb\tusbfs\tdefaults\t0\t0\n"
    "/dev/mtdblock6\t/root/persist\tjffs2\tdefaults\t0\t0\n"
    "/dev/mtdblock4\t/root/app.bk\tjffs2\tdefaults\t0\t0\n"
    "/dev/mtdblock5\t/root/app\tjffs2\tdefaults\t0\t0\n";

class Actions : public UpgradeTest {
protected:
    // A package item on the key: its device path, with the action's MD5 set.
    std::string item(const std::string& name, const std::string& content) {
        write("mnt/usb/Selka/" + name, content);
        return "/mnt/usb/Selka//" + name;
    }
    std::string digest(const std::string& content) const { return md5Text(content.data(), content.size()); }
    template <class A>
    std::shared_ptr<A> made(const std::string& path, const std::string& content) {
        auto a = std::make_shared<A>(path);
        a->SetMD5(digest(content));
        return a;
    }
    void mounts(const std::string& text) const { write("proc/mounts", text); }
};

// ---- kernel and bootloader ------------------------------------------------------

TEST_F(Actions, TheKernelGoesToMtd3AndItsSizeInsideTheBootloaderPartition) {
    const std::string image = pattern(70000, 1), size("\x70\x11\x01\x00", 4);
    write("root/app/bin/zImage", "installed kernel");
    LinuxKernel k(item("zImage", image));
    k.SetMD5(digest(image));
    item("zimagesize.bin", size);
    const std::string mtd2 = read("dev/mtd2");
    ASSERT_EQ(k.DoUpgrade(), 1);
    EXPECT_EQ(read("dev/mtd3"), image + std::string(kPartition - image.size(), '\xff'));
    EXPECT_EQ(read("dev/mtd2"), mtd2.substr(0, 65536) + size + mtd2.substr(65540));
    EXPECT_EQ(tools(),
              "flashcp -v /mnt/usb/Selka//zImage /dev/mtd3\n"
              "dd if=/mnt/usb/Selka//zimagesize.bin of=/dev/mtdblock2 bs=1 seek=65536\n");
    // The installed copy in bin is kept as a backup and replaced.
    EXPECT_EQ(read("root/app/bin/zImage.old"), "installed kernel");
    EXPECT_EQ(read("root/app/bin/zImage"), image);
}

TEST_F(Actions, AKernelItemFailsWhenItsToolsFailOrItsSizeIsMissing) {
    struct Case {
        const char* what;
        std::string size;
        const char* fault;
        const char* log;
    } cases[] = {
        {"no size file", "", nullptr, ""},
        {"size file of 3 bytes", std::string("\x01\x02\x03", 3), nullptr, ""},
        {"flashcp fails", kKernelSize, "fault.flashcp = 1",
         "flashcp -v /mnt/usb/Selka//zImage /dev/mtd3\n"
         "dd if=/mnt/usb/Selka//zimagesize.bin of=/dev/mtdblock2 bs=1 seek=65536\n"},
        {"dd fails", kKernelSize, "fault.dd = 1",
         "flashcp -v /mnt/usb/Selka//zImage /dev/mtd3\n"
         "dd if=/mnt/usb/Selka//zimagesize.bin of=/dev/mtdblock2 bs=1 seek=65536\n"},
    };
    const std::string conf = read("sim/board.conf");
    for (const Case& c : cases) {
        board_->write("sim/board.conf", conf + (c.fault ? std::string(c.fault) + "\n" : ""));
        std::remove(board_->file("mnt/usb/Selka/zimagesize.bin").c_str());
        if (!c.size.empty()) item("zimagesize.bin", c.size);
        clearTools();
        auto k = made<LinuxKernel>(item("zImage", "kernel"), "kernel");
        testing::internal::CaptureStderr();
        EXPECT_EQ(k->DoUpgrade(), 0) << c.what;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(tools(), c.log) << c.what;
        if (!c.fault) {
            EXPECT_EQ(read("dev/mtd3"), kErased) << c.what;
        }
    }
}

TEST_F(Actions, TheBootloaderKeepsTheKernelSizeItCovers) {
    // An image long enough to cover offset 65536: flashing erases the size,
    // the action puts it back.
    const std::string image = pattern(70000, 2);
    auto b = made<Bootloader>(item("bootloader", image), image);
    ASSERT_EQ(b->DoUpgrade(), 1);
    EXPECT_EQ(read("dev/mtd2"), image.substr(0, 65536) + kKernelSize + image.substr(65540) +
                                    std::string(kPartition - image.size(), '\xff'));
    EXPECT_EQ(tools(),
              "dd if=/dev/mtdblock2 bs=1 skip=65536 count=4 of=/tmp/zimagesize.bin\n"
              "flashcp -v /mnt/usb/Selka//bootloader /dev/mtd2\n"
              "dd if=/tmp/zimagesize.bin of=/dev/mtdblock2 bs=1 seek=65536\n");
}

TEST_F(Actions, ABootloaderWhoseKernelSizeCannotBeSavedWritesNothing) {
    conf("fault.dd = 1");
    const std::string mtd2 = read("dev/mtd2");
    auto b = made<Bootloader>(item("bootloader", "boot"), "boot");
    testing::internal::CaptureStderr();
    EXPECT_EQ(b->DoUpgrade(), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(read("dev/mtd2"), mtd2);
    EXPECT_EQ(tools(), "dd if=/dev/mtdblock2 bs=1 skip=65536 count=4 of=/tmp/zimagesize.bin\n");
}

// ---- operating-system image ------------------------------------------------------------

TEST_F(Actions, TheRunningBankIsTheDigitAfterMtdblock) {
    struct Case {
        const char* cmdline;
        int found;
        int bank;
    } cases[] = {
        {"console=ttyS1,115200 root=/dev/mtdblock0 rootfstype=cramfs\n", 1, 0},
        {"console=ttyS1,115200\nroot=/dev/mtdblock1 rootfstype=cramfs\n", 1, 1},
        {"root=/dev/mtdblock4\n", 0, -1},
        {"root=/dev/mtdblockX\n", 0, -1},
        {"root=/dev/mtdblock", 0, -1},
        {"console=ttyS1,115200 root=/dev/sda1\n", 0, -1},
    };
    for (const Case& c : cases) {
        write("proc/cmdline", c.cmdline);
        int bank = -1;
        testing::internal::CaptureStdout();
        EXPECT_EQ(getActualCramfsBank(bank), c.found) << c.cmdline;
        testing::internal::GetCapturedStdout();
        if (c.found) {
            EXPECT_EQ(bank, c.bank) << c.cmdline;
        }
    }
    std::remove(board_->file("proc/cmdline").c_str());
    int bank = -1;
    EXPECT_EQ(getActualCramfsBank(bank), 0);
}

TEST_F(Actions, AnOsImageGoesToTheOtherBankAndItsRollbackErasesTheRunningOne) {
    write("proc/cmdline", "console=ttyS1,115200 root=/dev/mtdblock1 rootfstype=cramfs\n");
    const std::string image = std::string("\x45\x3d\xcd\x28", 4) + pattern(5000, 5);
    const std::string mtd1 = read("dev/mtd1");
    auto c = made<Cramfs>(item("cramfs", image), image);
    ASSERT_EQ(c->DoUpgrade(), 1);
    EXPECT_EQ(read("dev/mtd0"), image + std::string(kPartition - image.size(), '\xff'));
    EXPECT_EQ(read("dev/mtd1"), mtd1);
    EXPECT_EQ(c->validateRollbackMD5(), 1);
    testing::internal::CaptureStdout();
    ASSERT_EQ(c->UnDoUpgrade(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "console=ttyS1,115200 root=/dev/mtdblock1 rootfstype=cramfs\n"
              "Actual mtd to delete 1\n"
              "dd if=/dev/zero of=/dev/mtd1 bs=1 count=512\n");
    EXPECT_EQ(read("dev/mtd1"), std::string(512, '\0') + mtd1.substr(512));
    EXPECT_EQ(read("dev/mtd1").size(), kPartition);
    EXPECT_EQ(tools(),
              "flashcp -v /mnt/usb/Selka//cramfs /dev/mtd0\n"
              "dd if=/dev/zero of=/dev/mtd1 bs=1 count=512\n");
}

TEST_F(Actions, TheRunningBankIsNeverErasedWhenTheOtherHoldsNoImage) {
    // The new board runs bank 0; bank 1 is blank.
    const std::string mtd0 = read("dev/mtd0");
    Cramfs c("/root/app//cramfs");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.UnDoUpgrade(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Cramfs: /dev/mtd1 holds no operating-system image, nothing erased\n");
    EXPECT_EQ(read("dev/mtd0"), mtd0);
    EXPECT_EQ(tools(), "");
}

// ---- application file system -----------------------------------------------------------------

TEST_F(Actions, TheApplicationImageGoesToTheSparePartitionWhichBecomesMain) {
    struct Case {
        const char* what;
        std::string fstab;
        std::string mounted;  // what /proc/mounts shows at /root/app
        bool norva;
        int spare;
        std::string after;
    } cases[] = {
        {"mtd4 main", kFstabMtd4Main, "mtdblock4", false, 5, kFstabMtd5Main},
        {"mtd5 main", kFstabMtd5Main, "mtdblock5", false, 4, kFstabMtd4Main},
        {"a comment names mtdblock4 at /root/app.bk",
         "#/dev/mtdblock4\t/root/app.bk\tjffs2\tdefaults\t0\t0\n" + std::string(kFstabMtd4Main), "mtdblock4", false, 5,
         kFstabMtd5Main},
        {"no fstab", "", "mtdblock4", false, 5, kFstabMtd5Main},
        {"older naming", kFstabMtd4Main, "mtdblock4", true, 5,
         "proc\t\t/proc\t\tproc\tdefaults\t0\t0\n"
         "sysfs\t\t/sys\t\tsysfs\tdefaults\t0\t0\n"
         "tmpfs\t\t/dev/shm\ttmpfs\tdefaults\t0\t0\n"
         "none\t\t/proc/bus/usb\tusbfs\tdefaults\t0\t0\n"
         "/dev/mtdblock6\t/root/persist\tjffs2\tdefaults\t0\t0\n"
         "/dev/mtdblock4\t/root/Norva.bk\tjffs2\tdefaults\t0\t0\n"
         "/dev/mtdblock5\t/root/Norva\tjffs2\tdefaults\t0\t0\n"},
    };
    const std::string image = pattern(90000, 4);
    for (const Case& c : cases) {
        board_->write("dev/mtd4", kErased);
        board_->write("dev/mtd5", kErased);
        if (c.fstab.empty()) std::remove(board_->file("root/persist/fstab").c_str());
        else write("root/persist/fstab", c.fstab);
        if (c.norva) write("root/app.bk/bin/norva.sh", "");
        else std::remove(board_->file("root/app.bk/bin/norva.sh").c_str());
        mounts("/dev/" + c.mounted + " /root/app jffs2 rw,relatime 0 0\n");
        clearTools();
        auto j = made<Jffs2>(item("jffs2", image), image);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(j->DoUpgrade(), 1) << c.what;
        testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, c.fstab.empty() ? "Unable to open /root/persist/fstab file\n" : "") << c.what;
        const std::string spare = std::to_string(c.spare);
        EXPECT_EQ(tools(),
                  "flash_eraseall -j /dev/mtd" + spare + "\nflashcp -v /mnt/usb/Selka//jffs2 /dev/mtd" + spare + "\n")
            << c.what;
        EXPECT_EQ(read("dev/mtd" + spare), image + std::string(kPartition - image.size(), '\xff')) << c.what;
        EXPECT_EQ(read("dev/mtd" + std::to_string(9 - c.spare)), kErased) << c.what;
        EXPECT_EQ(read("root/persist/fstab"), c.after) << c.what;
        EXPECT_FALSE(exists("root/persist/fstab.tmp")) << c.what;
    }
}

TEST_F(Actions, AFailedOrUnsafeApplicationImageNeverSwitchesFstab) {
    struct Case {
        const char* what;
        const char* fault;
        const char* fstab;
        const char* mounted;
        const char* log;
    } cases[] = {
        {"flashcp fails", "fault.flashcp = 1", kFstabMtd4Main, "mtdblock4",
         "flash_eraseall -j /dev/mtd5\nflashcp -v /mnt/usb/Selka//jffs2 /dev/mtd5\n"},
        {"flash_eraseall fails", "fault.flash_eraseall = 1", kFstabMtd4Main, "mtdblock4",
         "flash_eraseall -j /dev/mtd5\nflashcp -v /mnt/usb/Selka//jffs2 /dev/mtd5\n"},
        // An earlier upgrade switched fstab and the device was not restarted:
        // the spare partition by fstab is the one running.
        {"spare is running", nullptr, kFstabMtd5Main, "mtdblock4", ""},
    };
    const std::string conf = read("sim/board.conf");
    for (const Case& c : cases) {
        board_->write("sim/board.conf", conf + (c.fault ? std::string(c.fault) + "\n" : ""));
        write("root/persist/fstab", c.fstab);
        mounts(std::string("/dev/") + c.mounted + " /root/app jffs2 rw,relatime 0 0\n");
        board_->write("dev/mtd4", kErased);
        clearTools();
        auto j = made<Jffs2>(item("jffs2", "image"), "image");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(j->DoUpgrade(), 0) << c.what;
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(read("root/persist/fstab"), c.fstab) << c.what;
        EXPECT_EQ(tools(), c.log) << c.what;
        EXPECT_EQ(read("dev/mtd4"), kErased) << c.what;
    }
}

TEST_F(Actions, RollingTheApplicationBackMakesTheOtherPartitionMain) {
    write("root/persist/fstab", kFstabMtd5Main);
    Jffs2 j("/root/app//jffs2");
    testing::internal::CaptureStdout();
    EXPECT_EQ(j.validateRollbackMD5(), 1);
    EXPECT_EQ(j.UnDoUpgrade(), 1);
    EXPECT_EQ(read("root/persist/fstab"), kFstabMtd4Main);
    EXPECT_EQ(j.UnDoUpgrade(), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read("root/persist/fstab"), kFstabMtd5Main);
    EXPECT_EQ(tools(), "");
}

// ---- files -------------------------------------------------------------------------------------

struct FileKind {
    const char* what;
    std::function<std::shared_ptr<FirmwareUpgradeAction>(const std::string&)> make;
    const char* name;       // in the package
    const char* installed;  // in the board root
};

const FileKind kFileKinds[] = {
    {"program", [](const std::string& p) { return std::make_shared<ApplicationFile>(p); }, "selka",
     "root/app/bin/selka"},
    {"FPGA image", [](const std::string& p) { return std::make_shared<RBFFile>(p); }, "memfiles/selka.rbf",
     "root/app/memfiles/selka.rbf"},
    {"memory file", [](const std::string& p) { return std::make_shared<MemoryFile>(p); }, "memfiles/parts.csv",
     "root/app/memfiles/parts.csv"},
};

TEST_F(Actions, AFileItemReplacesTheInstalledFileAndKeepsItAsBackup) {
    for (const FileKind& k : kFileKinds) {
        write(k.installed, "installed");
        const std::string fresh = pattern(5000, 6);
        auto a = k.make(item(k.name, fresh));
        a->SetMD5(digest(fresh));
        ASSERT_EQ(a->DoUpgrade(), 1) << k.what;
        const std::string installed = k.installed;
        EXPECT_EQ(read(installed), fresh) << k.what;
        EXPECT_EQ(read(installed + ".old"), "installed") << k.what;
        EXPECT_FALSE(exists(installed + ".new")) << k.what;
        // Its rollback puts the backup back.
        auto back = MakeRollbackAction(k.name, "/root/app/");
        back->SetMD5(digest("installed"));
        EXPECT_EQ(back->validateRollbackMD5(), 1) << k.what;
        ASSERT_EQ(back->UnDoUpgrade(), 1) << k.what;
        EXPECT_EQ(read(installed), "installed") << k.what;
        EXPECT_FALSE(exists(installed + ".old")) << k.what;
    }
    EXPECT_EQ(tools(), "");
}

TEST_F(Actions, AFileItemThatDoesNotCheckOrHasNothingToReplaceWritesNothing) {
    for (const FileKind& k : kFileKinds) {
        const std::string installed = k.installed;
        // The copy does not match its MD5.
        write(installed, "installed");
        auto a = k.make(item(k.name, "new content"));
        a->SetMD5(digest("other content"));
        EXPECT_EQ(a->DoUpgrade(), 0) << k.what;
        EXPECT_EQ(read(installed), "installed") << k.what;
        EXPECT_FALSE(exists(installed + ".old")) << k.what;
        EXPECT_FALSE(exists(installed + ".new")) << k.what;
        // No installed copy to keep.
        std::remove(board_->file(installed).c_str());
        a->SetMD5(digest("new content"));
        EXPECT_EQ(a->DoUpgrade(), 0) << k.what;
        EXPECT_FALSE(exists(installed)) << k.what;
        EXPECT_FALSE(exists(installed + ".new")) << k.what;
        // No source.
        write(installed, "installed");
        auto missing = k.make("/mnt/usb/Selka//memfiles/none.csv");
        EXPECT_EQ(missing->DoUpgrade(), 0) << k.what;
        EXPECT_EQ(read(installed), "installed") << k.what;
    }
}

TEST_F(Actions, TheWebFolderIsReplacedWholeAndRolledBackWhole) {
    FirmwareVersion device;
    ASSERT_EQ(device.Load("../version.md5sum"), 0);
    const std::string installedDigest = device.files().at("memfiles/web").md5;
    const std::string installedIndex = read("root/app/memfiles/web/index.html");
    item("memfiles/web/index.html", "<html>new</html>\n");
    item("memfiles/web/js/app.js", "var a = 1;\n");
    // A backup left by an earlier upgrade.
    write("root/app/memfiles/web.old/stale.txt", "stale");
    bool recognised = false;
    auto a = MakePackageAction("memfiles/web/index.html", "/mnt/usb/Selka//memfiles/web/index.html", &recognised);
    ASSERT_TRUE(recognised);
    EXPECT_EQ(a->GetPath(), "/mnt/usb/Selka//memfiles/web");
    ASSERT_EQ(a->DoUpgrade(), 1);
    EXPECT_EQ(read("root/app/memfiles/web/index.html"), "<html>new</html>\n");
    EXPECT_EQ(read("root/app/memfiles/web/js/app.js"), "var a = 1;\n");
    EXPECT_EQ(read("root/app/memfiles/web.old/index.html"), installedIndex);
    EXPECT_FALSE(exists("root/app/memfiles/web.old/stale.txt"));
    EXPECT_FALSE(exists("root/app/memfiles/web/web"));

    auto back = MakeRollbackAction("memfiles/web", "/root/app/");
    EXPECT_EQ(back->GetPath(), "/root/app//memfiles/web");
    back->SetMD5(installedDigest);
    EXPECT_EQ(back->validateRollbackMD5(), 1);
    ASSERT_EQ(back->UnDoUpgrade(), 1);
    EXPECT_EQ(read("root/app/memfiles/web/index.html"), installedIndex);
    EXPECT_FALSE(exists("root/app/memfiles/web/js"));
    EXPECT_FALSE(exists("root/app/memfiles/web/web.old"));
    EXPECT_FALSE(exists("root/app/memfiles/web.old"));
    EXPECT_FALSE(exists("root/app/memfiles/web.rollback"));
    EXPECT_EQ(MD5Validator("/root/app//memfiles/web", installedDigest).validate(), 1);
    // Without a backup there is nothing to roll back to.
    EXPECT_EQ(back->UnDoUpgrade(), 0);
    EXPECT_EQ(read("root/app/memfiles/web/index.html"), installedIndex);
}

TEST_F(Actions, ScriptsRunAndSucceedWhateverTheyReturn) {
    executable("mnt/usb/Selka/aapre", "#!/bin/sh\necho pre >> /tmp/ran\nexit 3\n");
    executable("mnt/usb/Selka/zzpost", "#!/bin/sh\necho post >> /tmp/ran\nexit 0\n");
    PreUpgrade pre("/mnt/usb/Selka//aapre");
    PostUpgrade post("/mnt/usb/Selka//zzpost");
    EXPECT_EQ(pre.DoUpgrade(), 1);
    EXPECT_EQ(post.DoUpgrade(), 1);
    EXPECT_EQ(pre.UnDoUpgrade(), 1);
    EXPECT_EQ(read("tmp/ran"), "pre\npost\n");
    EXPECT_EQ(PreUpgrade("/mnt/usb/Selka//missing").DoUpgrade(), 1);
}

TEST_F(Actions, EveryBackupUnderRootIsDeletedBeforeAnUpgrade) {
    for (const char* f : {"root/app/bin/selka.old", "root/app/memfiles/parts.csv.old", "root/persist/x.old"})
        write(f, "backup");
    write("root/app/memfiles/keep.txt", "kept");
    write("tmp/outside.old", "kept");
    EXPECT_EQ(DoRemoveAllOldFiles(), 0);
    for (const char* f : {"root/app/bin/selka.old", "root/app/memfiles/parts.csv.old", "root/persist/x.old"})
        EXPECT_FALSE(exists(f)) << f;
    EXPECT_TRUE(exists("root/app/memfiles/keep.txt"));
    EXPECT_TRUE(exists("tmp/outside.old"));
}

// ---- choosing the action -----------------------------------------------------------------------------

TEST_F(Actions, APackageItemGetsTheActionOfItsKindByName) {
    struct Case {
        const char* name;
        const char* prefix;
        bool recognised;
        const char* path;
    } cases[] = {
        {"zImage", "[K]", true, "/mnt/usb/Selka//zImage"},
        {"app.jffs2", "[J]", true, "/mnt/usb/Selka//app.jffs2"},
        {"memfiles/selka.rbf", "[F]", true, "/mnt/usb/Selka//memfiles/selka.rbf"},
        {"memfiles/parts.csv", "[M]", true, "/mnt/usb/Selka//memfiles/parts.csv"},
        {"memfiles/web/js/app.js", "[M]", true, "/mnt/usb/Selka//memfiles/web"},
        {"bootloader", "[B]", true, "/mnt/usb/Selka//bootloader"},
        {"rootfs.cramfs", "[C]", true, "/mnt/usb/Selka//rootfs.cramfs"},
        {"selka", "[A]", true, "/mnt/usb/Selka//selka"},
        {"zzpost", "[Ps]", true, "/mnt/usb/Selka//zzpost"},
        {"aapre", "[Pr]", true, "/mnt/usb/Selka//aapre"},
        {"memfiles/x.jffs2", "[J]", true, "/mnt/usb/Selka//memfiles/x.jffs2"},
        {"zimagesize.bin", "None", false, ""},
        {"selka2", "None", false, ""},
        {"Bootloader", "None", false, ""},
    };
    for (const Case& c : cases) {
        bool recognised = !c.recognised;
        auto a = MakePackageAction(c.name, std::string("/mnt/usb/Selka//") + c.name, &recognised);
        EXPECT_EQ(a->GetPrettyPrintPrefix(), c.prefix) << c.name;
        EXPECT_EQ(recognised, c.recognised) << c.name;
        EXPECT_EQ(a->GetPath(), c.path) << c.name;
    }
}

TEST_F(Actions, ARollbackItemGetsItsRestoringActionByName) {
    struct Case {
        const char* name;
        const char* prefix;
        const char* path;
    } cases[] = {
        {"jffs2", "[J]", "/root/app//jffs2"},
        {"memfiles/selka.rbf", "[F]", "/root/app//memfiles/selka.rbf"},
        {"memfiles/parts.csv", "[M]", "/root/app//memfiles/parts.csv"},
        {"cramfs", "[C]", "/root/app//cramfs"},
        {"selka", "[A]", "/root/app//bin/selka"},
        {"norva", "[A]", "/root/app//bin/norva"},
        {"zImage", "None", ""},
        {"aapre", "None", ""},
        {"rootfs.cramfs", "None", ""},
    };
    for (const Case& c : cases) {
        auto a = MakeRollbackAction(c.name, "/root/app/");
        EXPECT_EQ(a->GetPrettyPrintPrefix(), c.prefix) << c.name;
        EXPECT_EQ(a->GetPath(), c.path) << c.name;
    }
}

TEST_F(Actions, PrettyNamesAndTheChecksBeforeAnythingIsWritten) {
    const std::string parts = "1,0,0,8,8\n";
    FirmwareVersion list;
    auto add = [&](const std::string& name, const std::string& md5) {
        FileVerInfo e(md5, "1.0.0");
        e.action = MakePackageAction(name, "/mnt/usb/Selka//" + name);
        e.action->SetMD5(md5);
        list.files()[name] = e;
    };
    item("memfiles/parts.csv", parts);
    item("selka", "program");
    item("aapre", "#!/bin/sh\n");
    add("memfiles/parts.csv", digest(parts));
    add("selka", digest("another program"));
    add("aapre", digest("no match"));
    add("zzpost", digest("not on the key"));
    add("readme.txt", digest("not recognised"));
    EXPECT_EQ(PrettyPrint(*list.files().find("memfiles/parts.csv")), "[M] parts.csv");
    EXPECT_EQ(PrettyPrint(*list.files().find("readme.txt")), "None readme.txt");
    EXPECT_EQ(ChecksumFailures(list), (std::vector<std::string>{"readme.txt", "selka"}));
}

}  // namespace
}  // namespace hx40test
