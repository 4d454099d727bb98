// The rollback dialogue: puts back the items that the last upgrade replaced,
// from their saved copies (".old") and the backup version list, records the
// restored versions and offers a reboot. The kernel and the bootloader are
// never rolled back. Everything runs in the thread of the menu action.
#pragma once

#include "upgrade/basic_fsm.h"
#include "upgrade/firmware_upgrade.h"
#include "upgrade/firmware_version.h"

#include <list>
#include <string>

namespace FirmwareRollbackT {
// The names both dialogues share, and the rollback's own.
using FirmwareUpgradeT::E_FirmwareFilesFound;
using FirmwareUpgradeT::E_FirmwareFilesNotFound;
using FirmwareUpgradeT::E_OsdConfirmOk;
using FirmwareUpgradeT::S_CheckQxFirmwareFiles;
using FirmwareUpgradeT::S_DoRebootAction;
using FirmwareUpgradeT::S_Idle;
using FirmwareUpgradeT::S_OsdMenuUpgrade;
inline constexpr const char* S_DoRollbackAction = "S_DoRollbackAction";
inline constexpr const char* E_ReadBkFiles = "E_ReadBkFiles";
}  // namespace FirmwareRollbackT

class FirmwareRollback : public BasicFsm {
public:
    // The console is the creator's.
    explicit FirmwareRollback(Osd* console);
    ~FirmwareRollback() override = default;

    void InitFsm();
    // Runs the dialogue to its end: back to the menu, or the process ends in
    // the reboot (or with status 255 when the installed version list cannot
    // be read after the restore).
    void Init();
    // Fills the rollback list and the file list from the backup version
    // list: the number of items.
    int CheckRollbackFs();
    // Merges the restored versions into "../version.md5sum" and removes both
    // backup lists.
    void UpdateFirmwareVersionInfo();

    const std::list<std::string>& GetFileList() const { return files_; }
    FirmwareVersion& GetRollbackList() { return list_; }
    Osd& GetOsd() { return *console_; }

private:
    Osd* console_;
    FirmwareVersion list_;
    std::list<std::string> files_;
    std::string appFolder_;
};
