// The upgrade actions: one class per kind of item, each writing its item to
// the device (DoUpgrade) or putting the previous one back (UnDoUpgrade), and
// the flash layout they write to.
//
// Flash partitions:  /dev/mtd0, mtd1  operating-system image (cramfs), banks 0, 1
//                    /dev/mtd2        bootloader; the kernel size (4 bytes) at 65536
//                    /dev/mtd3        kernel
//                    /dev/mtd4, mtd5  application file system A, B (one is /root/app)
//                    /dev/mtd6        persistent settings (/root/persist)
// The running bank is the digit after "mtdblock" on the kernel command line;
// /root/persist/fstab says which application partition is main.
//
// Every path is the device's; every command runs through MyDoSystem. Each
// action returns 1 for success and 0 for failure, and a failure is reported:
// file items are installed beside the old file and renamed into place only
// once their copy checks, a flashing step that fails never switches fstab,
// and the kernel and bootloader items fail when their tools fail.
#pragma once

#include "platform/board.h"

#include <memory>
#include <string>

class FirmwareUpgradeAction {
public:
    explicit FirmwareUpgradeAction(std::string path) : path_(std::move(path)) {}
    virtual ~FirmwareUpgradeAction() = default;
    FirmwareUpgradeAction(const FirmwareUpgradeAction&) = delete;
    FirmwareUpgradeAction& operator=(const FirmwareUpgradeAction&) = delete;

    // 1 when the saved previous copy (path + ".old") has the expected MD5.
    virtual int validateRollbackMD5();
    virtual int DoUpgrade() = 0;
    virtual int UnDoUpgrade() = 0;
    virtual std::string GetPrettyPrintPrefix() const = 0;

    // 1 when the item itself (path) has the expected MD5.
    int validateMD5();

    const std::string& GetPath() const { return path_; }
    const std::string& GetMD5() const { return md5_; }
    void SetMD5(const std::string& md5) { md5_ = md5; }

protected:
    std::string path_;  // the item's file or folder
    std::string md5_;   // expected MD5, set by the creator from the version list
};

// Not recognised: does nothing and succeeds.
class NoAction : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int DoUpgrade() override { return 1; }
    int UnDoUpgrade() override { return 1; }
    std::string GetPrettyPrintPrefix() const override { return "None"; }
};

// "zImage": flashes mtd3 and writes the package's zimagesize.bin at 65536 of mtd2.
class LinuxKernel : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[K]"; }
};

// "bootloader": flashes mtd2, keeping the kernel size at 65536.
class Bootloader : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[B]"; }
};

// Operating-system image: flashes the bank not running; undo erases the head
// of the running bank so that the next start takes the other one.
class Cramfs : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int validateRollbackMD5() override { return 1; }
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[C]"; }
};

// Application file-system image: flashes the spare partition and makes it main.
class Jffs2 : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int validateRollbackMD5() override { return 1; }
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[J]"; }
    // 1 when fstab mounts mtdblock4 at /root/app.bk (mtd5 is main), else 0;
    // notes the older partition naming.
    virtual int GetFstabMainMtd();
    // Rewrites fstab whole with mtd4 (0) or mtd5 (non-zero) as main: true
    // when the new fstab is in place.
    virtual bool SetFstabMainMtd(int main);
    bool OlderNaming() const { return olderNaming_ != 0; }

private:
    unsigned char olderNaming_ = 0;
};

// The application program "selka", copied into bin.
class ApplicationFile : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[A]"; }
};

// An FPGA image (".rbf"), copied into memfiles.
class RBFFile : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[F]"; }
};

// A memory file, copied into memfiles, or the web folder, copied into the
// application folder.
class MemoryFile : public FirmwareUpgradeAction {
public:
    explicit MemoryFile(std::string path);
    int DoUpgrade() override;
    int UnDoUpgrade() override;
    std::string GetPrettyPrintPrefix() const override { return "[M]"; }
};

// The package's scripts "aapre" and "zzpost": run, and succeed whatever they return.
class PreUpgrade : public FirmwareUpgradeAction {
public:
    using FirmwareUpgradeAction::FirmwareUpgradeAction;
    int DoUpgrade() override;
    int UnDoUpgrade() override { return 1; }
    std::string GetPrettyPrintPrefix() const override { return "[Pr]"; }
};

class PostUpgrade : public PreUpgrade {
public:
    using PreUpgrade::PreUpgrade;
    std::string GetPrettyPrintPrefix() const override { return "[Ps]"; }
};

// Whether a package item is one of the scripts "aapre" and "zzpost": they
// carry no checksum worth checking.
bool IsPackageScript(const std::string& name);

// The item of a package (name relative to the package folder, full path on
// the key) with the action of its kind, by the recognition table: "zImage",
// *jffs2*, *.rbf*, *memfiles* (the web folder when the name also holds
// "web": the action works on the path up to its first "web"), "bootloader",
// *cramfs*, "selka", "zzpost", "aapre". Anything else: NoAction with an empty
// path and recognised false.
std::shared_ptr<FirmwareUpgradeAction> MakePackageAction(const std::string& name, const std::string& fullPath,
                                                         bool* recognised = nullptr);

// The restoring action of a rollback list item, built on appFolder + "/" +
// name: "jffs2", *.rbf*, *memfiles*, "cramfs", and "norva" or "selka" (on
// appFolder + "/bin/" + name). Anything else: NoAction with an empty path.
std::shared_ptr<FirmwareUpgradeAction> MakeRollbackAction(const std::string& name, const std::string& appFolder);

// Application folder targets, as the device names them.
namespace FirmwareUpgradeActionT {
inline constexpr const char* S_BinFolder = board::deviceText("/root/app//bin");
inline constexpr const char* S_MemfilesFolder = board::deviceText("/root/app//memfiles");
inline constexpr const char* S_AppFolder = board::deviceText("/root/app/");
inline constexpr const char* S_Fstab = board::deviceText("/root/persist/fstab");
}  // namespace FirmwareUpgradeActionT

// Moves the installed copy of an item (folder + "/" + its last path
// component; for a web folder, folder + "/" + its name after the first "//")
// to its backup ".old", and back. 1 for success, 0 for failure.
int RenameToOld(const std::string& source, const std::string& folder);
int RenameFromOld(const std::string& source, const std::string& folder);
// "/bin/cp [-r ]source folder[memfiles/]": 1 when cp succeeded, 0 otherwise
// (also when source does not exist).
int CopyToApplicationFolder(const std::string& source, const std::string& folder, bool recursive);
// 1 with the running operating-system bank (0 or 1) in bank, else 0.
int getActualCramfsBank(int& bank);
// Deletes every backup "*.old" under /root: 1 when the command failed, else 0.
int DoRemoveAllOldFiles();
// MyDoSystem: the command's exit status.
int DoSystem(const std::string& line);
