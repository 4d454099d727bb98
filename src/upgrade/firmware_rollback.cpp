#include "upgrade/firmware_rollback.h"

#include "sys/print.h"
#include "sys/sys_exit.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"
#include "upgrade/osd_console.h"

#include <cstdio>
#include <exception>

using namespace FirmwareRollbackT;
using FirmwareUpgradeT::S_UpdateFirmwareVersionInfo;
using FirmwareUpgradeT::S_UpdateFirmwareVersionInfoPrev;
using FirmwareUpgradeT::S_UpdateFirmwareVersionInfoPrevFull;
using namespace console;

namespace {

constexpr int kBack = 1, kConfirm = 2;
constexpr int kVersionReadTries = 4;
constexpr uint32_t kVersionRetryMs = 1000;

// A handler's work; a standard exception ends it with nothing shown and the
// event not recorded, and the dialogue goes on from the state it reached.
template <void (*Work)(FirmwareRollback&)>
int guarded(BasicFsm* m, std::string e, int) {
    auto& r = *static_cast<FirmwareRollback*>(m);
    try {
        Work(r);
        r.SetPreviousEvent(e);
    } catch (const std::exception&) {
    }
    return 0;
}

// The rollback list and the confirmation.
void readBkFiles(FirmwareRollback& r) {
    Osd& c = r.GetOsd();
    auto wait = [&c] { return c.OsdWait(); };
    c.clrscr();
    c.Refresh();
    c << endl << endl << "Rollback firmware: " << endl;
    if (r.CheckRollbackFs() == 0) {
        c << "No rollback info found. " << endl << separator << endl << "MENU or LEFT to return";
        dialogue::WaitFor(wait, kBack);
        r.TransitionToState(S_OsdMenuUpgrade);
        return;
    }
    c << "Found: " << endl;
    bool invalid = false;
    FirmwareVersion::Files& files = r.GetRollbackList().files();
    for (const std::string& name : r.GetFileList()) {
        WDT_Clear();
        const auto& item = *files.find(name);
        if (item.second.version.empty()) continue;
        c << " " << clip << PrettyPrint(item) << endclip << " - ";
        if (item.second.action->validateRollbackMD5() == 1) {
            c << item.second.version;
        } else {
            c << red << "not valid";
            invalid = true;
        }
        c << endl << normal;
    }
    c << endl;
    if (invalid) c << red << "Warning: rollback to invalid" << endl << red << "file(s) is not possible" << endl << normal << separator;
    else c << separator << endl;
    c << "ENTER or RIGHT to rollback" << endl << "MENU or LEFT to cancel" << endl;
    if (dialogue::WaitFor(wait, kBack, kConfirm) == kConfirm) {
        dialogue::RenameImagesToPlain();
        r.TransitionToState(S_DoRollbackAction);
    } else {
        r.TransitionToState(S_OsdMenuUpgrade);
    }
}

// Restoring.
void restore(FirmwareRollback& r) {
    Osd& c = r.GetOsd();
    auto wait = [&c] { return c.OsdWait(); };
    bool ok = false;
    {
        dialogue::LongJob job;
        c.clrscr();
        c.Refresh();
        c << endl << separator << endl << "Rollback: " << endl;
        ok = dialogue::WalkItems(c, r.GetRollbackList(), true);
    }
    if (!ok) {
        c << "An error has occured." << endl << "Can't rollback previous firmware." << endl << separator
          << "MENU or LEFT to return.";
        dialogue::WaitFor(wait, kBack);
        r.TransitionToState(S_OsdMenuUpgrade);
        return;
    }
    r.UpdateFirmwareVersionInfo();
    c << endl << separator << "reboot is needed to validate." << endl << "Press ENTER or RIGHT to reboot" << endl
      << "MENU or LEFT to do it later" << endl;
    if (dialogue::WaitFor(wait, kBack, kConfirm) == kConfirm) {
        c.clrscr();
        r.TransitionToState(S_DoRebootAction);
    } else {
        r.TransitionToState(S_OsdMenuUpgrade);
    }
}

void rebootDevice(FirmwareRollback& r) { dialogue::Reboot(r.GetOsd()); }

}  // namespace

FirmwareRollback::FirmwareRollback(Osd* console)
    : BasicFsm(""), console_(console), appFolder_(board::deviceText("/root/app/")) {
    InitFsm();
}

void FirmwareRollback::InitFsm() {
    AddState(S_OsdMenuUpgrade);
    AddStateEventMethod(S_CheckQxFirmwareFiles, E_ReadBkFiles, guarded<readBkFiles>);
    AddStateEventMethod(S_DoRollbackAction, E_OsdConfirmOk, guarded<restore>);
    AddStateEventMethod(S_DoRebootAction, E_OsdConfirmOk, guarded<rebootDevice>);
}

void FirmwareRollback::Init() {
    TransitionToState(S_CheckQxFirmwareFiles);
    for (;;) {
        if (GetState() == S_OsdMenuUpgrade) return;
        WDT_Clear();
        if (GetState() == S_CheckQxFirmwareFiles) Fsm(E_ReadBkFiles, 0);
        if (GetState() == S_DoRollbackAction) Fsm(E_OsdConfirmOk, 0);
        if (GetState() == S_DoRebootAction) Fsm(E_OsdConfirmOk, 0);
    }
}

int FirmwareRollback::CheckRollbackFs() {
    FirmwareVersion backup;
    if (backup.Load(S_UpdateFirmwareVersionInfoPrev) != 0) backup.Load(S_UpdateFirmwareVersionInfoPrevFull);
    files_.clear();
    int count = 0;
    for (auto& [name, entry] : backup.files()) {
        if (entry.version.empty() || entry.md5.empty()) continue;
        if (name == FirmwareVersionT::S_zImage || name == FirmwareVersionT::S_bootloader) continue;
        entry.action = MakeRollbackAction(name, appFolder_);
        entry.action->SetMD5(entry.md5);
        files_.push_back(name);
        list_.files()[name] = entry;
        ++count;
    }
    return count;
}

void FirmwareRollback::UpdateFirmwareVersionInfo() {
    FirmwareVersion installed;
    for (int tries = 1; installed.Load(S_UpdateFirmwareVersionInfo) != 0; ++tries) {
        if (tries >= kVersionReadTries) {
            std::printf("failed to read version, device is restarting, if error repeats itself try re install the "
                        "full version");
            std::fflush(stdout);
            sys_exit(-1);
        }
        Sleep(kVersionRetryMs);
    }
    FirmwareVersion discarded;
    installed.Merge(list_, discarded);
    installed.Save(S_UpdateFirmwareVersionInfo);
    FirmwareVersion::Remove(S_UpdateFirmwareVersionInfoPrevFull);
    FirmwareVersion::Remove(S_UpdateFirmwareVersionInfoPrev);
}
