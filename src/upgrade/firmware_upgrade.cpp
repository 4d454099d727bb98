#include "upgrade/firmware_upgrade.h"

#include "platform/board.h"
#include "sys/fpga.h"
#include "sys/mydosystem.h"
#include "sys/timeutil.h"
#include "sys/warm_boot.h"
#include "sys/watchdog.h"
#include "upgrade/osd_console.h"
#include "upgrade/valens.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

using namespace FirmwareUpgradeT;
using namespace console;

namespace {

constexpr int kUnmountTries = 27;
constexpr int kBack = 1, kConfirm = 2;
constexpr uint32_t kLongJobMs = 3600000;
constexpr uint32_t kKeyPollMs = 5;
constexpr uint32_t kRebootPauseMs = 2000;

FirmwareUpgrade& self(BasicFsm* m) { return *static_cast<FirmwareUpgrade*>(m); }

// Mount attempt: the first USB disk that mounts, then the package list when
// a key is mounted, else the insert prompt until a key comes or the user
// goes back.
int FirmwareFilesNotFound_At_CheckQxFirmwareFiles(BasicFsm* m, std::string e, int) {
    FirmwareUpgrade& u = self(m);
    const std::string& folder = u.GetMountName();
    mountUsbDisk(folder);
    for (;;) {
        if (checkMounts(folder) && checkProcPartitions()) {
            u.Fsm(E_FsMountOk, 0);
            break;
        }
        for (int i = 0; i < kUnmountTries && checkMounts(folder); ++i) MyDoSystem(("umount " + folder).c_str());
        u.Fsm(E_FsNotMounted, 0);
        if (u.GetState() == S_OsdMenuUpgrade) break;
        WDT_Clear();
    }
    u.SetPreviousEvent(e);
    return 0;
}

// Insert prompt.
int FsNotMounted_At_CheckQxFirmwareFiles(BasicFsm* m, std::string e, int) {
    FirmwareUpgrade& u = self(m);
    Osd& c = u.GetOsd();
    c.clrscr();
    c.Refresh();
    c << endl << endl << center << "Please insert USB Key or press" << endl << center << "MENU or LEFT to return" << endl;
    for (bool done = false; !done;) {
        if (u.WatchUsbDevice() == 1) {
            u.TransitionToState(S_CheckQxFirmwareFiles);
            done = true;
        } else if (c.OsdWaitEvent() == kBack) {
            u.TransitionToState(S_OsdMenuUpgrade);
            done = true;
        }
        Sleep(1);
        WDT_Clear();
    }
    u.SetPreviousEvent(e);
    return 0;
}

// The package list and the confirmation.
int FirmwareFilesFound_At_CheckQxFirmwareFiles(BasicFsm* m, std::string e, int) {
    FirmwareUpgrade& u = self(m);
    Osd& c = u.GetOsd();
    auto wait = [&u] { return u.OsdWait(); };
    c.clrscr();
    c.Refresh();
    c << endl << separator << endl;
    const int n = u.CheckUsbDevice();
    if (n <= 0) {
        if (n == 0) {
            c << "No firmware found. " << endl;
        } else {
            c << "   Ambiguous folder detection:" << endl
              << "     make sure that " << S_PackageFolder << endl
              << "     is a single root folder. " << endl;
        }
        c << separator << endl << center << "Press MENU or LEFT to return";
        dialogue::WaitFor(wait, kBack);
        u.TransitionToState(S_OsdMenuUpgrade);
    } else {
        c << "Found: " << endl;
        FirmwareVersion::Files& files = u.GetVersionList().files();
        for (const std::string& name : u.GetFileList()) {
            files[name];
            const auto& item = *files.find(name);
            if (item.second.version.empty()) continue;
            c << " " << clip << PrettyPrint(item) << endclip << " - " << item.second.version << endl;
        }
        c << endl << separator << endl << center << "ENTER or RIGHT to upgrade" << endl << center
          << "MENU or LEFT to cancel" << endl;
        if (dialogue::WaitFor(wait, kBack, kConfirm) == kConfirm) {
            dialogue::RenameImagesToPlain();
            u.TransitionToState(S_DoUpgradeAction);
        } else {
            u.TransitionToState(S_OsdMenuUpgrade);
        }
    }
    u.SetPreviousEvent(e);
    return 0;
}

// Writing: every item is checked before anything is deleted or written, so
// a bad package (or a key pulled out) leaves the device and its backups as
// they were.
int OsdConfirmOk_At_DoUpgradeAction(BasicFsm* m, std::string e, int) {
    FirmwareUpgrade& u = self(m);
    Osd& c = u.GetOsd();
    FirmwareVersion& list = u.GetVersionList();
    c.clrscr();
    c.Refresh();
    c << endl << separator << endl << "Upgrading: " << endl;
    bool ok = false;
    {
        dialogue::LongJob job;
        c.StartHourGlass();
        const std::vector<std::string> failing = ChecksumFailures(list);
        for (const std::string& name : failing) {
            dialogue::ItemLine(c, *list.files().find(name));
            c << " source checksum error." << endl;
        }
        if (failing.empty()) {
            DoRemoveAllOldFiles();
            ok = dialogue::WalkItems(c, list, false);
        }
        c.StopHourGlass();
    }
    auto wait = [&u] { return u.OsdWait(); };
    if (!ok) {
        c << "An error has occured. " << endl << "Press MENU or LEFT to return.";
        dialogue::WaitFor(wait, kBack);
        u.TransitionToState(S_OsdMenuUpgrade);
    } else {
        u.UpdateFirmwareVersionInfo();
        c << endl << separator << center << "Please remove USB key." << endl << "Press ENTER or RIGHT to reboot"
          << endl << center << "MENU or LEFT to reboot later" << endl;
        if (dialogue::WaitFor(wait, kBack, kConfirm) == kConfirm) {
            c.clrscr();
            u.TransitionToState(S_DoRebootAction);
        } else {
            u.TransitionToState(S_OsdMenuUpgrade);
        }
    }
    u.SetPreviousEvent(e);
    return 0;
}

int OsdConfirmOk_At_DoRebootAction(BasicFsm* m, std::string, int) { dialogue::Reboot(self(m).GetOsd()); }

// The file systems of the board flushed to their media.
void flushFileSystems() {
    const int fd = ::open(board::root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

}  // namespace

FirmwareUpgrade::FirmwareUpgrade(Osd* console, const std::string& name, const std::string& mountFolder,
                                 const std::string& deviceName, const FirmwareVersion& list, int epollFd)
    : BasicFsm(name), epollFd_(epollFd), mountFolder_(mountFolder), console_(console), deviceName_(deviceName),
      list_(list) {}

FirmwareUpgrade::~FirmwareUpgrade() {
    if (inotifyFd_ >= 0) ::close(inotifyFd_);
    if (epollFd_ >= 0) ::close(epollFd_);
}

void FirmwareUpgrade::InitFsm() {
    AddState(S_OsdMenuUpgrade);
    AddStateEventMethod(S_CheckQxFirmwareFiles, E_FirmwareFilesNotFound, FirmwareFilesNotFound_At_CheckQxFirmwareFiles);
    AddStateEventMethod(S_CheckQxFirmwareFiles, E_FsNotMounted, FsNotMounted_At_CheckQxFirmwareFiles);
    AddStateEventMethod(S_CheckQxFirmwareFiles, E_FirmwareFilesFound, FirmwareFilesFound_At_CheckQxFirmwareFiles);
    AddStateEventMethod(S_CheckQxFirmwareFiles, E_FsMountOk, FirmwareFilesFound_At_CheckQxFirmwareFiles);
    AddStateEventMethod(S_DoUpgradeAction, E_OsdConfirmOk, OsdConfirmOk_At_DoUpgradeAction);
    AddStateEventMethod(S_DoRebootAction, E_OsdConfirmOk, OsdConfirmOk_At_DoRebootAction);
}

void FirmwareUpgrade::Init() {
    TransitionToState(S_CheckQxFirmwareFiles);
    for (;;) {
        if (GetState() == S_OsdMenuUpgrade) return;
        if (GetState() == S_CheckQxFirmwareFiles) Fsm(E_FirmwareFilesNotFound, 0);
        if (GetState() == S_DoUpgradeAction) Fsm(E_OsdConfirmOk, 0);
        if (GetState() == S_DoRebootAction) Fsm(E_OsdConfirmOk, 0);
        WDT_Clear();
    }
}

void FirmwareUpgrade::UpdateFirmwareVersionInfo() {
    FirmwareVersion installed, replaced;
    installed.Load(S_UpdateFirmwareVersionInfo);
    installed.Merge(list_, replaced);
    installed.Save(S_UpdateFirmwareVersionInfo);
    replaced.Save(S_UpdateFirmwareVersionInfoPrev);
}

int FirmwareUpgrade::OsdWait() {
    for (;;) {
        const int r = console_->OsdWaitEvent();
        WDT_Clear();
        if (r != 0) return r;
        Sleep(kKeyPollMs);
    }
}

// ---- what both dialogues share ----------------------------------------------------

namespace dialogue {

void RenameImagesToPlain() {
    rename_valens_files(0, 1);
    rename_valens_files(1, 1);
    rename_rbf_file(1);
}

void ItemLine(Osd& console, const std::pair<const std::string, FileVerInfo>& item) {
    console << clip << PrettyPrint(item) << endclip << " ...";
}

bool WalkItems(Osd& console, FirmwareVersion& list, bool rollback) {
    bool ok = true;
    for (const auto& item : list.files()) {
        WDT_Clear();
        const FileVerInfo& entry = item.second;
        ItemLine(console, item);
        const bool script = IsPackageScript(item.first);
        const int checked = rollback ? entry.action->validateRollbackMD5() : entry.action->validateMD5();
        if (checked != 1 && (rollback || !script)) {
            console << " source checksum error." << endl;
            ok = false;
            continue;
        }
        const int done = rollback ? entry.UnDoAction() : entry.DoAction();
        console << (done != 0 ? " done." : " error !!!") << endl;
        ok = ok && done != 0;
    }
    return ok;
}

LongJob::LongJob() : row_(pthread_get_cb()), saved_(WDT_getTimeout(row_)) {
    WDT_setTimeout(row_, static_cast<int>(kLongJobMs));
}

LongJob::~LongJob() { WDT_setTimeout(row_, static_cast<int>(saved_)); }

void Reboot(Osd& console) {
    console.clrscr();
    console.Refresh();
    console << endl << separator << endl << endl;
    flushFileSystems();
    flushFileSystems();
    console << "Rebooting... " << endl;
    Sleep(kRebootPauseMs);
    console.OsdOff();
    warm_boot();
}

}  // namespace dialogue
