#include "upgrade/upgrade_actions.h"

#include "platform/board.h"
#include "platform/exec.h"
#include "sys/mydosystem.h"
#include "sys/print.h"
#include "upgrade/atomic_file.h"
#include "upgrade/md5.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace FirmwareUpgradeActionT;

namespace {

std::string lastComponent(const std::string& p) {
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool examine(const std::string& path, struct stat& st) { return ::stat(board::path(path).c_str(), &st) == 0; }

bool exists(const std::string& path) {
    struct stat st;
    return examine(path, st);
}

long long fileSize(const std::string& path) {
    struct stat st;
    return examine(path, st) && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
}

// Removes a file or a folder with its content, never outside the board.
void removeTree(const std::string& path) {
    const std::string mapped = board::path(path);
    if (!board::isInsideRoot(mapped)) return;
    std::error_code ec;
    fs::remove_all(mapped, ec);
}

std::string mtd(int n) { return std::string(board::deviceText("/dev/mtd")) + std::to_string(n); }

// The target and backup of a web folder: the item's name after the first
// "//" of its path (listings build paths as base folder + "/" + name).
void webNames(const std::string& source, const std::string& folder, std::string& target, std::string& backup) {
    const size_t pos = source.find("//");
    target = folder + "/" + (pos == std::string::npos ? lastComponent(source) : source.substr(pos + 2));
    backup = target + ".old";
}

// Installs a file item into folder: the copy is made beside the installed
// file and checked there, the installed file becomes the backup by a link,
// and the copy is renamed over it. Any failure leaves the installed file as
// it was; as before, an item that has no installed copy to keep fails.
int installFile(const std::string& source, const std::string& md5, const std::string& folder) {
    const std::string target = folder + "/" + lastComponent(source);
    const std::string backup = target + ".old";
    const std::string staged = target + ".new";
    if (!exists(source)) return 0;
    removeTree(staged);
    if (DoSystem(board::deviceText("/bin/cp ") + source + " " + staged) != 0 || !syncFile(staged) ||
        MD5Validator(staged, md5).validate() != 1) {
        PRINT(PRINT_GENERAL, "install %s: the copy does not check\n", target.c_str());
        removeTree(staged);
        return 0;
    }
    const std::string t = board::path(target), b = board::path(backup), s = board::path(staged);
    ::unlink(b.c_str());
    if (::link(t.c_str(), b.c_str()) != 0 || std::rename(s.c_str(), t.c_str()) != 0) {
        PRINT(PRINT_GENERAL, "install %s: no installed copy to keep\n", target.c_str());
        ::unlink(b.c_str());
        removeTree(staged);
        return 0;
    }
    syncFile(folder);
    return 1;
}

// The installed copy of the kernel and the bootloader, kept in bin; its
// outcome does not count.
void keepCopyInBin(const std::string& path, const std::string& md5) {
    if (RenameToOld(path, S_BinFolder) && CopyToApplicationFolder(path, S_BinFolder, false))
        CheckCopiedChecksum(md5, path, S_BinFolder);
}

// True when /dev/mtdblock<n> is mounted at /root/app: the running application.
bool mountedAsApplication(int n) {
    std::ifstream in(board::path("/proc/mounts"));
    const std::string device = std::string(board::deviceText("/dev/mtdblock")) + std::to_string(n);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string dev, dir;
        fields >> dev >> dir;
        if (dev == device && dir == board::deviceText("/root/app")) return true;
    }
    return false;
}

constexpr const char* kFstabFixed = board::deviceText(
    "proc\t\t/proc\t\tproc\tdefaults\t0\t0\n"
    "sysfs\t\t/sys\t\tsysfs\tdefaults\t0\t0\n"
    "tmpfs\t\t/dev/shm\ttmpfs\tdefaults\t0\t0\n"
    "none\t\t/proc/bus/usb\tusbfs\tdefaults\t0\t0\n"
    "/dev/mtdblock6\t/root/persist\tjffs2\tdefaults\t0\t0\n");

// The two application lines by [older naming][main partition is mtd5].
constexpr const char* kFstabApplication[2][2] = {
    {board::deviceText("/dev/mtdblock4\t/root/app\tjffs2\tdefaults\t0\t0\n"
                       "/dev/mtdblock5\t/root/app.bk\tjffs2\tdefaults\t0\t0\n"),
     board::deviceText("/dev/mtdblock4\t/root/app.bk\tjffs2\tdefaults\t0\t0\n"
                       "/dev/mtdblock5\t/root/app\tjffs2\tdefaults\t0\t0\n")},
    {board::deviceText("/dev/mtdblock4\t/root/Norva\tjffs2\tdefaults\t0\t0\n"
                       "/dev/mtdblock5\t/root/Norva.bk\tjffs2\tdefaults\t0\t0\n"),
     board::deviceText("/dev/mtdblock4\t/root/Norva.bk\tjffs2\tdefaults\t0\t0\n"
                       "/dev/mtdblock5\t/root/Norva\tjffs2\tdefaults\t0\t0\n")},
};

// The cramfs magic at the start of an operating-system image.
bool holdsOsImage(int bank) {
    std::ifstream in(board::path(mtd(bank)), std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && static_cast<unsigned char>(magic[0]) == 0x45 &&
           static_cast<unsigned char>(magic[1]) == 0x3D && static_cast<unsigned char>(magic[2]) == 0xCD &&
           static_cast<unsigned char>(magic[3]) == 0x28;
}

}  // namespace

// ---- base ------------------------------------------------------------------

int FirmwareUpgradeAction::validateRollbackMD5() { return MD5Validator(path_ + ".old", md5_).validate(); }

int FirmwareUpgradeAction::validateMD5() { return MD5Validator(path_, md5_).validate(); }

// ---- kernel and bootloader ---------------------------------------------------

int LinuxKernel::DoUpgrade() {
    // The package folder: the path without "zImage" and the character after it.
    std::string folder = path_;
    const size_t pos = folder.find("zImage");
    if (pos != std::string::npos) folder.erase(pos, std::min<size_t>(7, folder.size() - pos));
    const std::string sizeFile = folder + "zimagesize.bin";
    // Without the kernel's size the bootloader could not start the new kernel.
    if (fileSize(sizeFile) != 4) {
        std::cerr << "LinuxKernel: " << sizeFile << " missing or not 4 bytes, nothing written" << std::endl;
        return 0;
    }
    keepCopyInBin(path_, md5_);
    const int flashed = DoSystem("flashcp -v " + path_ + " " + mtd(3));
    const int sized = DoSystem("dd if=" + sizeFile + board::deviceText(" of=/dev/mtdblock2 bs=1 seek=65536"));
    return flashed == 0 && sized == 0 ? 1 : 0;
}

int LinuxKernel::UnDoUpgrade() {
    RenameFromOld(path_, S_BinFolder);
    return DoSystem("flashcp -v " + path_ + " " + mtd(3)) == 0 ? 1 : 0;
}

int Bootloader::DoUpgrade() {
    const std::string saved = board::deviceText("/tmp/zimagesize.bin");
    removeTree(saved);
    if (MyDoSystem("dd if=/dev/mtdblock2 bs=1 skip=65536 count=4 of=/tmp/zimagesize.bin") != 0 ||
        fileSize(saved) != 4) {
        std::cerr << "Bootloader: the kernel size could not be saved, nothing written" << std::endl;
        return 0;
    }
    keepCopyInBin(path_, md5_);
    const int flashed = DoSystem("flashcp -v " + path_ + " " + mtd(2));
    // Put back whatever the flashing did to it.
    const int restored = MyDoSystem("dd if=/tmp/zimagesize.bin of=/dev/mtdblock2 bs=1 seek=65536");
    return flashed == 0 && restored == 0 ? 1 : 0;
}

int Bootloader::UnDoUpgrade() {
    RenameFromOld(path_, S_BinFolder);
    return DoSystem("flashcp -v " + path_ + " " + mtd(2)) == 0 ? 1 : 0;
}

// ---- operating-system image ----------------------------------------------------

int getActualCramfsBank(int& bank) {
    std::ifstream in(board::path("/proc/cmdline"));
    if (!in) return 0;
    for (std::string line; std::getline(in, line);) {
        std::cout << line << std::endl;
        const size_t pos = line.find("mtdblock");
        if (pos == std::string::npos) continue;
        // Only the two banks: any other digit would name another partition.
        const char c = pos + 8 < line.size() ? line[pos + 8] : '\0';
        if (c != '0' && c != '1') return 0;
        bank = c - '0';
        return 1;
    }
    return 0;
}

int Cramfs::DoUpgrade() {
    int bank = 0;
    if (!getActualCramfsBank(bank)) return 0;
    return DoSystem("flashcp -v " + path_ + " " + mtd(1 - bank)) == 0 ? 1 : 0;
}

int Cramfs::UnDoUpgrade() {
    int bank = 0;
    if (!getActualCramfsBank(bank)) return 0;
    std::cout << "Actual mtd to delete " << bank << std::endl;
    // Erasing the running bank's head makes the next start take the other
    // bank, which must then hold an image.
    if (!holdsOsImage(1 - bank)) {
        std::cerr << "Cramfs: " << mtd(1 - bank) << " holds no operating-system image, nothing erased" << std::endl;
        return 0;
    }
    const std::string line = std::string(board::deviceText("dd if=/dev/zero of=")) + mtd(bank) + " bs=1 count=512";
    std::cout << line << std::endl;
    return DoSystem(line) == 0 ? 1 : 0;
}

// ---- application file system -------------------------------------------------------

int Jffs2::GetFstabMainMtd() {
    std::ifstream in(board::path(S_Fstab));
    if (!in) {
        std::cerr << board::deviceText("Unable to open /root/persist/fstab file") << std::endl;
        return 0;
    }
    int result = 0;
    for (std::string line; std::getline(in, line);) {
        std::cout << line << std::endl;
        if (!line.empty() && line[0] == '#') continue;
        if (line.find(board::deviceText("/dev/mtdblock4")) != std::string::npos &&
            line.find(board::deviceText("/root/app.bk")) != std::string::npos)
            result = 1;
    }
    if (std::ifstream(board::path("/root/app.bk/bin/norva.sh"))) {
        std::cout << "Found norva.sh" << std::endl;
        olderNaming_ = 1;
    }
    return result;
}

bool Jffs2::SetFstabMainMtd(int main) {
    return writeFileAtomically(S_Fstab,
                               std::string(kFstabFixed) + kFstabApplication[olderNaming_ ? 1 : 0][main ? 1 : 0]);
}

int Jffs2::DoUpgrade() {
    const int main = GetFstabMainMtd();
    const int spare = main ? 4 : 5;
    // After an upgrade without a restart fstab already names the running
    // partition as the spare one: never erase the running application.
    if (mountedAsApplication(spare)) {
        std::cerr << "Jffs2: " << mtd(spare) << " holds the running application, nothing written" << std::endl;
        return 0;
    }
    const int erased = DoSystem("flash_eraseall -j " + mtd(spare));
    const int flashed = DoSystem("flashcp -v " + path_ + " " + mtd(spare));
    if (erased != 0 || flashed != 0) return 0;
    return SetFstabMainMtd(main == 0 ? 1 : 0) ? 1 : 0;
}

int Jffs2::UnDoUpgrade() { return SetFstabMainMtd(GetFstabMainMtd() == 0 ? 1 : 0) ? 1 : 0; }

// ---- files ---------------------------------------------------------------------------

int ApplicationFile::DoUpgrade() { return installFile(path_, md5_, S_BinFolder); }

int ApplicationFile::UnDoUpgrade() { return RenameFromOld(path_, S_BinFolder); }

int RBFFile::DoUpgrade() { return installFile(path_, md5_, S_MemfilesFolder); }

int RBFFile::UnDoUpgrade() { return RenameFromOld(path_, S_MemfilesFolder); }

MemoryFile::MemoryFile(std::string path) : FirmwareUpgradeAction(std::move(path)) {
    PRINT(PRINT_GENERAL, "MemoryFile initializer filename = %s\n", path_.c_str());
}

int MemoryFile::DoUpgrade() {
    PRINT(PRINT_GENERAL, "cp1 filename = %s\n", path_.c_str());
    struct stat st;
    if (!examine(path_, st)) return 0;
    if (!S_ISDIR(st.st_mode)) {
        PRINT(PRINT_GENERAL, "cp3\n");
        return installFile(path_, md5_, S_MemfilesFolder);
    }
    PRINT(PRINT_GENERAL, "cp2\n");
    return RenameToOld(path_, S_AppFolder) && CopyToApplicationFolder(path_, S_AppFolder, false) ? 1 : 0;
}

int MemoryFile::UnDoUpgrade() {
    struct stat st;
    if (!examine(path_, st)) return 0;
    return RenameFromOld(path_, S_ISDIR(st.st_mode) ? S_AppFolder : S_MemfilesFolder);
}

int PreUpgrade::DoUpgrade() {
    DoSystem(path_);
    return 1;
}

// ---- helpers ---------------------------------------------------------------------------

int RenameToOld(const std::string& source, const std::string& folder) {
    if (source.find("web") != std::string::npos) {
        std::string target, backup;
        webNames(source, folder, target, backup);
        // A backup left by an earlier upgrade would take the folder inside it.
        removeTree(backup);
        DoSystem("mv " + target + " " + backup);
        return 1;
    }
    const std::string target = folder + "/" + lastComponent(source);
    const std::string backup = target + ".old";
    return std::rename(board::path(target).c_str(), board::path(backup).c_str()) == 0 ? 1 : 0;
}

int RenameFromOld(const std::string& source, const std::string& folder) {
    if (source.find("web") != std::string::npos) {
        // Moving the backup onto an existing folder would put it inside; the
        // current folder goes aside first and comes back if the move fails.
        std::string target, backup;
        webNames(source, folder, target, backup);
        if (!exists(backup)) return 0;
        const std::string aside = target + ".rollback";
        const bool hadTarget = exists(target);
        if (hadTarget) {
            removeTree(aside);
            if (DoSystem("mv " + target + " " + aside) != 0) return 0;
        }
        if (DoSystem("mv " + backup + " " + target) != 0) {
            if (hadTarget) DoSystem("mv " + aside + " " + target);
            return 0;
        }
        if (hadTarget) removeTree(aside);
        return 1;
    }
    const std::string target = folder + "/" + lastComponent(source);
    const std::string backup = target + ".old";
    return std::rename(board::path(backup).c_str(), board::path(target).c_str()) == 0 ? 1 : 0;
}

int CopyToApplicationFolder(const std::string& source, const std::string& folder, bool recursive) {
    struct stat st;
    if (!examine(source, st)) return 0;
    std::string line = board::deviceText("/bin/cp ");
    if (S_ISDIR(st.st_mode) || recursive) line += "-r ";
    line += source + " " + folder;
    if (source.find("web") != std::string::npos) line += "memfiles/";
    return DoSystem(line) == 0 ? 1 : 0;
}

int DoRemoveAllOldFiles() {
    const int status =
        board::exec::run({"ash", "-c", board::deviceText("find /root -name \\*.old | xargs rm 2>/dev/null")});
    return status > 0 ? 1 : 0;
}

int DoSystem(const std::string& line) { return MyDoSystem(line.c_str()); }

bool IsPackageScript(const std::string& name) { return name == "aapre" || name == "zzpost"; }

// ---- recognition -------------------------------------------------------------------------

namespace {

using ActionPtr = std::shared_ptr<FirmwareUpgradeAction>;

template <class Action>
ActionPtr make(const std::string& path) {
    return std::make_shared<Action>(path);
}

enum class Match { Equal, Contains };

bool matches(Match how, const std::string& name, const char* text) {
    return how == Match::Equal ? name == text : name.find(text) != std::string::npos;
}

// A package's items by their name relative to the package folder; the first
// row that matches decides.
struct PackageKind {
    Match match;
    const char* text;
    const char* diagnostic;  // printed under 0x200 when recognised; null: "s=<name>"
    ActionPtr (*make)(const std::string& path);
};

ActionPtr makeMemoryFile(const std::string& path) {
    // The web pages are one item: the folder up to the first "web".
    const size_t web = path.find("web");
    return std::make_shared<MemoryFile>(web == std::string::npos ? path : path.substr(0, web + 3));
}

constexpr PackageKind kPackageKinds[] = {
    {Match::Equal, "zImage", "zImage", make<LinuxKernel>},
    {Match::Contains, "jffs2", "jffs2", make<Jffs2>},
    {Match::Contains, ".rbf", "rbf", make<RBFFile>},
    {Match::Contains, "memfiles", nullptr, makeMemoryFile},
    {Match::Equal, "bootloader", "bootloader", make<Bootloader>},
    {Match::Contains, "cramfs", "cramfs", make<Cramfs>},
    {Match::Equal, "selka", "HW_NAME", make<ApplicationFile>},
    {Match::Equal, "zzpost", "zzpost", make<PostUpgrade>},
    {Match::Equal, "aapre", "aapre", make<PreUpgrade>},
};

// What a rollback list item is restored by; the path is the application
// folder + "/" + name, or + "/bin/" + name for the program.
struct RollbackKind {
    Match match;
    const char* text;
    bool inBin;
    ActionPtr (*make)(const std::string& path);
};

constexpr RollbackKind kRollbackKinds[] = {
    {Match::Equal, "jffs2", false, make<Jffs2>},
    {Match::Contains, ".rbf", false, make<RBFFile>},
    {Match::Contains, "memfiles", false, make<MemoryFile>},
    {Match::Equal, "cramfs", false, make<Cramfs>},
    {Match::Equal, "norva", true, make<ApplicationFile>},
    {Match::Equal, "selka", true, make<ApplicationFile>},
};

}  // namespace

ActionPtr MakePackageAction(const std::string& name, const std::string& fullPath, bool* recognised) {
    for (const PackageKind& kind : kPackageKinds) {
        if (!matches(kind.match, name, kind.text)) continue;
        if (kind.diagnostic) PRINT(PRINT_GENERAL, "%s\n", kind.diagnostic);
        else PRINT(PRINT_GENERAL, "s=%s\n", name.c_str());
        if (recognised) *recognised = true;
        return kind.make(fullPath);
    }
    if (recognised) *recognised = false;
    return std::make_shared<NoAction>("");
}

ActionPtr MakeRollbackAction(const std::string& name, const std::string& appFolder) {
    for (const RollbackKind& kind : kRollbackKinds)
        if (matches(kind.match, name, kind.text))
            return kind.make(appFolder + (kind.inBin ? board::deviceText("/bin/") : "/") + name);
    return std::make_shared<NoAction>("");
}
