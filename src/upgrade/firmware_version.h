// Version lists: for each firmware item, its version and the MD5 of its
// content, with the action that writes or restores it.
//
// File format (the device's list and a package's): one item a line,
// "version MD5 name" separated by single blanks, lines ending with a line
// feed; "#" starts a comment line; empty lines are ignored. The name is the
// item's path relative to the package folder, a folder for the web pages, or
// a kind name ("rbf", "memfiles", "cramfs") standing for every file of that
// kind.
#pragma once

#include "upgrade/upgrade_actions.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The shared handle of an item's action.
template <class T>
using SP = std::shared_ptr<T>;

struct FileVerInfo {
    std::string md5;          // as written in the list; compared as text
    std::string version;      // no blanks
    std::string description;  // the human name of the item kind; empty when unknown
    SP<FirmwareUpgradeAction> action;

    // A do-nothing action with an empty path; copies share the action.
    FileVerInfo();
    FileVerInfo(const std::string& md5, const std::string& version);

    // The action's DoUpgrade / UnDoUpgrade: 1 for success, 0 for failure.
    int DoAction() const { return action->DoUpgrade(); }
    int UnDoAction() const { return action->UnDoUpgrade(); }
};

class FirmwareVersion {
public:
    using Files = std::map<std::string, FileVerInfo>;  // byte-wise order of the names

    FirmwareVersion() = default;
    virtual ~FirmwareVersion() = default;
    FirmwareVersion(const FirmwareVersion&) = default;
    FirmwareVersion& operator=(const FirmwareVersion&) = default;

    // Replaces the list with the entries of a list file: lines whose name is
    // a kind name, or contains "rbf", "memfiles" or "web"; the last line of a
    // name wins. 0 when read, 1 (list unchanged) when it cannot be opened.
    int Load(const std::string& path);
    // Writes the entries that have a version and an MD5, replacing the file
    // atomically: false when the new file could not be put in place.
    bool Save(const std::string& path) const;
    // Every entry of source replaces this list's entry of the same name; the
    // entries so replaced go to replaced.
    void Merge(const FirmwareVersion& source, FirmwareVersion& replaced);
    static void Remove(const std::string& path);

    Files& files() { return files_; }
    const Files& files() const { return files_; }

private:
    Files files_;
};

// The entry a list file holds for an item name, without loading the whole
// list: the first line whose name equals it, or a line named exactly "rbf",
// "memfiles" or "cramfs" when the name contains that text. A default entry
// when none matches or the file cannot be opened.
FileVerInfo GetFileVerInfo(const std::string& path, const std::string& name);

// "<prefix> <last path component of the name>", the prefix from the entry's action.
std::string PrettyPrint(const std::pair<const std::string, FileVerInfo>& item);

// The items of a list whose MD5 check fails, in list order; the two scripts
// "aapre" and "zzpost" are exempt. An upgrade writes nothing unless this is
// empty.
std::vector<std::string> ChecksumFailures(const FirmwareVersion& list);

// Item kinds: kind name and description.
namespace FirmwareVersionT {
inline constexpr const char* S_zImage = "zImage";
inline constexpr const char* S_zImage_desc = "Kernel";
inline constexpr const char* S_jffs2 = "jffs2";
inline constexpr const char* S_jffs2_desc = "jffs2";
inline constexpr const char* S_bootloader = "bootloader";
inline constexpr const char* S_bootloader_desc = "Bootloader";
inline constexpr const char* S_cramfs = "cramfs";
inline constexpr const char* S_cramfs_desc = "OS image";
inline constexpr const char* S_application = "selka";
inline constexpr const char* S_application_desc = "Application";
inline constexpr const char* S_fpga = "rbf";
inline constexpr const char* S_fpga_desc = "FPGA";
inline constexpr const char* S_memfile = "memfiles";
inline constexpr const char* S_memfile_desc = "Memory File";
inline constexpr const char* S_web = "web";
inline constexpr const char* S_web_desc = "Web Page";
}  // namespace FirmwareVersionT

// The kind names in their fixed order: selka, jffs2, rbf, memfiles, web,
// bootloader, zImage, cramfs.
class FirmwareType : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;
    bool find(const std::string& name) const;
};
extern const FirmwareType FirmwareTypeList;

// Kind name to description.
class FirmwareDesc : public std::map<std::string, std::string> {
public:
    using std::map<std::string, std::string>::map;
};
extern const FirmwareDesc FirmwareDescList;

// The device's version files, relative to the working folder.
namespace FirmwareUpgradeT {
inline constexpr const char* S_UpdateFirmwareVersionInfo = "../version.md5sum";
inline constexpr const char* S_UpdateFirmwareVersionInfoPrev = "../version.md5sum.bk";
inline constexpr const char* S_UpdateFirmwareVersionInfoPrevFull = "../../app.bk/version.md5sum.bk";
}  // namespace FirmwareUpgradeT
