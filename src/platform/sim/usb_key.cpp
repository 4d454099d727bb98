#include "platform/sim/usb_key.h"

#include "platform/board.h"
#include "platform/exec.h"
#include "platform/sim/ctl.h"
#include "platform/storage.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace board::sim {
namespace {

// The device's name of a path of the board (paths elsewhere stay as they are).
std::string deviceName(const std::string& root, const std::string& p) {
    return root.empty() ? p : board::deviceView(root, p).value_or(p);
}

// A USB disk or partition as the device names it: "/dev/sd...".
bool isKeyDevice(const std::string& dev) { return dev.rfind("/dev/sd", 0) == 0; }

struct MountLine {
    std::string dev, dir, text;
};

// The lines of <root>/proc/mounts with their device and folder.
std::vector<MountLine> mountLines(const std::string& root) {
    std::vector<MountLine> lines;
    std::ifstream in(exec::boardProcFile(root, "mounts"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        MountLine m;
        fields >> m.dev >> m.dir;
        m.text = line;
        lines.push_back(std::move(m));
    }
    return lines;
}

// A mount's folder (the device's path, as a child may have written it into
// the mounts file) loses its files: on the board, never outside it.
void emptyFolder(const std::string& root, const std::string& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(root.empty() ? dir : board::path(dir), ec)) fs::remove_all(e.path(), ec);
}

}  // namespace

int mountKey(const std::string& root, const std::string& dev, const std::string& dir, const std::string& type,
             const std::string& options) {
    const fs::path name = fs::path(dev).filename();
    const fs::path key = root + "/sim/usb/" + name.string();
    if (name.empty() || !fs::exists(dev) || !fs::is_directory(key)) return ENODEV;
    const std::string target = deviceName(root, dir);
    for (const MountLine& m : mountLines(root))
        if (m.dir == target) return EBUSY;
    std::error_code ec;
    fs::create_directories(dir, ec);
    fs::copy(key, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return EIO;
    // A FAT file system shows every file as executable.
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file()) fs::permissions(e.path(), fs::perms(0755), ec);
    std::ofstream(exec::boardProcFile(root, "mounts"), std::ios::app) << deviceName(root, dev) << ' ' << target << ' ' << type << ' ' << options
                                         << " 0 0\n";
    return 0;
}

bool unmountKeys(const std::string& root, const std::vector<std::string>& targets) {
    std::string kept;
    bool found = false;
    for (const MountLine& m : mountLines(root)) {
        bool match = false;
        for (const auto& t : targets) match |= deviceName(root, t) == m.dev || deviceName(root, t) == m.dir;
        // Only keys are unmounted (also one pulled out already): the flash
        // partitions' folders are the board's own.
        const bool key = isKeyDevice(m.dev) && m.dir.size() > 1;
        if (!match || !key) {
            kept += m.text + "\n";
            continue;
        }
        found = true;
        emptyFolder(root, m.dir);
    }
    std::ofstream(exec::boardProcFile(root, "mounts"), std::ios::trunc) << kept;
    return found;
}

namespace {

bool validDisk(const std::string& disk) {
    return disk.size() == 3 && disk.rfind("sd", 0) == 0 && disk[2] > 'a' && disk[2] <= 'z';
}

// Rewrites <root>/proc/partitions without the lines of disk, then with add.
void partitionLines(const std::string& root, const std::string& disk, const std::string& add) {
    const std::string file = exec::boardProcFile(root, "partitions");
    std::ifstream in(file);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string major, minor, blocks, name;
        fields >> major >> minor >> blocks >> name;
        if (name.rfind(disk, 0) != 0) kept += line + "\n";
    }
    in.close();
    std::ofstream(file, std::ios::trunc) << kept << add;
}

}  // namespace

std::string insertKey(const std::string& root, const std::string& disk, const std::string& folder) {
    if (!validDisk(disk)) return "a disk is named sdb to sdz";
    // The program's working folder is not the caller's: a relative folder
    // would name some other folder.
    if (fs::path(folder).is_relative()) return "FOLDER must be an absolute path";
    const fs::path content = fs::path(root) / "sim/usb" / (disk + "1");
    std::error_code ec;
    if (!fs::is_directory(folder)) return "no folder " + folder;
    if (fs::exists(fs::path(root) / "dev" / disk)) return disk + " is plugged in already";
    fs::create_directories(content, ec);
    fs::copy(folder, content, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return "cannot copy " + folder + ": " + ec.message();
    const int minor = (disk[2] - 'a') * 16;
    char lines[160];
    std::snprintf(lines, sizeof lines, "   8 %7d    7823360 %s\n   8 %7d    7822336 %s1\n", minor, disk.c_str(),
                  minor + 1, disk.c_str());
    partitionLines(root, disk, lines);
    std::ofstream(fs::path(root) / "dev" / disk);
    std::ofstream(fs::path(root) / "dev" / (disk + "1"));
    return "";
}

std::string removeKey(const std::string& root, const std::string& disk) {
    if (!validDisk(disk)) return "a disk is named sdb to sdz";
    if (!fs::exists(fs::path(root) / "dev" / disk)) return disk + " is not plugged in";
    std::error_code ec;
    fs::remove(fs::path(root) / "dev" / (disk + "1"), ec);
    fs::remove(fs::path(root) / "dev" / disk, ec);
    partitionLines(root, disk, "");
    // A mount of the key stays until someone unmounts it, but its files
    // went with the key.
    for (const MountLine& m : mountLines(root))
        if (m.dev.rfind("/dev/" + disk, 0) == 0 && m.dir.size() >= 2) emptyFolder(root, m.dir);
    fs::remove_all(fs::path(root) / "sim/usb" / (disk + "1"), ec);
    return "";
}

void registerUsbControl() {
    ctl::add("usb", "usb insert DISK FOLDER    plug a USB key (sdb..sdz) holding a copy of FOLDER; usb remove DISK",
             [](const std::vector<std::string>& a) {
                 std::string why;
                 if (a.size() == 4 && a[1] == "insert") why = insertKey(board::root(), a[2], a[3]);
                 else if (a.size() == 3 && a[1] == "remove") why = removeKey(board::root(), a[2]);
                 else why = "usage: usb insert DISK FOLDER | usb remove DISK";
                 return why.empty() ? "OK " + a[1] + " " + a[2] : "ERR " + why;
             });
}

}  // namespace board::sim

namespace board::storage {

int mount(const std::string& source, const std::string& target, const std::string& type, unsigned long flags) {
    if (!board::isOpen()) return ENODEV;
    return sim::mountKey(board::root(), board::path(source), board::path(target), type,
                         (flags & kNoAccessTime) ? "rw,noatime" : "rw,relatime");
}

}  // namespace board::storage
