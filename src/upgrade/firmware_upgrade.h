// The USB-key upgrade dialogue: waits for a key, mounts it, lists the items
// of the package found on it, asks for confirmation, checks every item and
// then writes them one by one, records the new versions and offers a reboot.
//
// The package lives in one folder "Selka" at the key's root, seen as
// "/mnt/usb/Selka/", with its version list "version.md5sum" and the items
// named by their path relative to the folder. Everything runs in the thread
// of the menu action; keys come straight from the KEYPAD queue.
#pragma once

#include "upgrade/basic_fsm.h"
#include "upgrade/firmware_version.h"

#include <cstddef>
#include <list>
#include <string>

class Osd;

namespace FirmwareUpgradeT {
inline constexpr const char* S_CheckQxFirmwareFiles = "S_CheckQxFirmwareFiles";
inline constexpr const char* S_DoUpgradeAction = "S_DoUpgradeAction";
inline constexpr const char* S_DoRebootAction = "S_DoRebootAction";
inline constexpr const char* S_OsdMenuUpgrade = "S_OsdMenuUpgrade";
inline constexpr const char* S_Idle = "S_Idle";
inline constexpr const char* E_FirmwareFilesNotFound = "E_FirmwareFilesNotFound";
inline constexpr const char* E_FsMountOk = "E_FsMountOk";
inline constexpr const char* E_FsNotMounted = "E_FsNotMounted";
inline constexpr const char* E_FirmwareFilesFound = "E_FirmwareFilesFound";
inline constexpr const char* E_OsdConfirmOk = "E_OsdConfirmOk";
inline constexpr const char* E_CheckFsMount = "E_CheckFsMount";
inline constexpr const char* E_NewSdxDevice = "E_NewSdxDevice";
inline constexpr const char* E_FsMounted = "E_FsMounted";
// The package folder's name on the key.
inline constexpr const char* S_PackageFolder = "Selka";
}  // namespace FirmwareUpgradeT

class FirmwareUpgrade : public BasicFsm {
public:
    // The console is the creator's. epollFd is the creator's epoll_create(10);
    // the dialogue closes it, and its inotify descriptor, when destroyed
    // (the key stays mounted).
    FirmwareUpgrade(Osd* console, const std::string& name, const std::string& mountFolder,
                    const std::string& deviceName, const FirmwareVersion& list, int epollFd);
    ~FirmwareUpgrade() override;

    void InitFsm();
    // Runs the dialogue to its end: back to the menu, or the process ends in
    // the reboot.
    void Init();
    // Merges the key's list into "../version.md5sum" and saves the entries
    // it replaced as "../version.md5sum.bk".
    void UpdateFirmwareVersionInfo();
    // The console's key, clearing the watchdog between polls: 1 back,
    // 2 confirm, 3, 4.
    int OsdWait();

    // Key detection and package listing.
    // 0 when the watches on the mount folder and /dev are in place, -1 when
    // the mount folder cannot be watched, -2 when epoll refuses the descriptor.
    int WatchUsbDeviceInit();
    // Waits up to 100 ms for device events: 1 when a key was plugged in,
    // mounted and holds a package with recognised items; 0 otherwise; -1 on
    // an interrupted wait or a failed read; -2 when the wait failed.
    int WatchUsbDevice();
    // Acts on a buffer of inotify events as WatchUsbDevice does.
    int HandleUsbEvents(const char* events, size_t length);
    // Fills the item list and the version list from the key: the number of
    // recognised items, 0 without a package, -1 for two package folders.
    int CheckUsbDevice();

    const std::string& GetMountName() const { return mountFolder_; }
    const std::list<std::string>& GetFileList() const { return items_; }
    FirmwareVersion& GetVersionList() { return list_; }
    Osd& GetOsd() { return *console_; }

private:
    int epollFd_;
    bool watching_ = false;
    int inotifyFd_ = -1;
    int mountWatch_ = -1;
    int deviceWatch_ = -1;
    std::string mountFolder_;
    Osd* console_;
    std::string deviceName_;
    std::list<std::string> items_;
    FirmwareVersion list_;
};

// A line of "/proc/partitions" that names a USB disk or partition: it holds
// "sd", reads as "major minor blocks name", major 8, and the name's third
// character is a lower-case letter. The name goes to name.
bool usbDiskLine(const std::string& line, std::string& name);
// Mounts the first USB disk of "/proc/partitions" that mounts on folder
// (vfat, no access times).
void mountUsbDisk(const std::string& folder);
// 1 when "/proc/partitions" lists a USB disk or partition (major 8, a name
// "sdX..."), else 0.
int checkProcPartitions();
// 1 when a line of "/proc/mounts" holds folder and folder exists, else 0.
int checkMounts(const std::string& folder);
// count + the folders named "Selka" at any depth below path.
int listdir(const std::string& path, int depth, int count);
// 1 when the folder opens and reads to its end.
int dirok(const std::string& path);

// The regular files of a key below its package folder, as paths relative to
// the base "/mnt/usb/Selka/", in walk order.
class FileSystemList {
public:
    explicit FileSystemList(const std::string& folder);
    static FileSystemList* GetInstance();
    const std::string& GetBase() const { return base_; }
    void SetBase(const std::string& base) { base_ = base; }
    const std::list<std::string>& Entries() const { return entries_; }
    void Add(const std::string& entry) { entries_.push_back(entry); }

private:
    std::list<std::string> entries_;
    std::string base_;
};

// What both dialogues share: the writing or restoring walk, the end
// screens' key waits and the reboot.
namespace dialogue {
// Walks a list in key order: each item's line, its check and its action
// (rollback: the saved copies and the undo). False when any item failed;
// the walk always goes to the end.
bool WalkItems(Osd& console, FirmwareVersion& list, bool rollback);
// The images of the HDBaseT chips and the FPGA back to their plain names, so
// that the next start programs them from what is installed then.
void RenameImagesToPlain();
// The item's line up to " ...": the clipped pretty name.
void ItemLine(Osd& console, const std::pair<const std::string, FileVerInfo>& item);
// Waits with wait until it returns one of the two results (or the first
// when second is 0).
template <class Wait>
int WaitFor(Wait wait, int first, int second = 0) {
    for (;;) {
        const int r = wait();
        if (r == first || (second != 0 && r == second)) return r;
    }
}
// Raises the calling thread's watchdog time-out for a long job and puts it
// back when it goes out of scope.
class LongJob {
public:
    LongJob();
    ~LongJob();
    LongJob(const LongJob&) = delete;
    LongJob& operator=(const LongJob&) = delete;

private:
    int row_;
    unsigned saved_;
};
// The reboot screen, the file systems flushed, the OSD off and warm_boot.
[[noreturn]] void Reboot(Osd& console);
}  // namespace dialogue
