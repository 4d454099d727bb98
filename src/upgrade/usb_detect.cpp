// Finding the USB key: the partition and mount checks, the watch on /dev for
// a key being plugged in, and the package listing. Every test on a path is
// made on the device's path: paths that come back from the board are turned
// into the device's view first.
#include "upgrade/firmware_upgrade.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/storage.h"
#include "sys/mydosystem.h"
#include "sys/print.h"
#include "sys/watchdog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <ftw.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FirmwareUpgradeT;

namespace {

constexpr uint32_t kMountFolderEvents = 0xFFF;
constexpr uint32_t kDeviceFolderEvents = 0xFFE;
constexpr int kWaitMs = 100;
constexpr size_t kEventBuffer = 2720;
constexpr size_t kMaxLine = 255;
constexpr size_t kMaxChildPath = 1023;
constexpr const char* kDeviceFolder = board::deviceText("/dev/");
constexpr const char* kPackageBase = board::deviceText("/mnt/usb/Selka/");

// Reads a board file line by line (at most kMaxLine characters a line),
// clearing the watchdog once per line, until f returns true: true then.
template <class F>
bool anyLine(const char* devicePath, F f) {
    std::ifstream in(board::path(devicePath));
    for (std::string line; std::getline(in, line);) {
        WDT_Clear();
        if (line.size() > kMaxLine) line.resize(kMaxLine);
        if (f(line)) return true;
    }
    return false;
}

bool isFolder(const std::string& mappedParent, const dirent* e) {
    if (e->d_type == DT_DIR) return true;
    if (e->d_type != DT_UNKNOWN) return false;
    struct stat st;
    return ::stat((mappedParent + "/" + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// nftw's callback reaches the list being built through this pair.
FileSystemList* gCurrentList = nullptr;
size_t gMappedFolderLength = 0;
std::string gFolder;

int addPackageFile(const char* path, const struct stat*, int type, struct FTW*) {
    if (type != FTW_F || gCurrentList == nullptr) return 0;
    // The device's view of the path.
    const std::string p = gFolder + (path + gMappedFolderLength);
    if (p.find(std::string("/") + S_PackageFolder + "/") == std::string::npos) return 0;
    if (gCurrentList->GetBase().empty()) gCurrentList->SetBase(kPackageBase);
    const size_t cut = gCurrentList->GetBase().size();
    if (p.size() > cut) gCurrentList->Add(p.substr(cut));
    return 0;
}

}  // namespace

bool usbDiskLine(const std::string& line, std::string& name) {
    if (line.find("sd") == std::string::npos) return false;
    int major = 0, minor = 0, blocks = 0;
    char text[kMaxLine + 1] = {};
    if (std::sscanf(line.c_str(), "%d %d %d %255s", &major, &minor, &blocks, text) != 4) return false;
    if (major != 8 || std::strlen(text) < 3 || text[2] < 'a' || text[2] > 'z') return false;
    name = text;
    return true;
}

void mountUsbDisk(const std::string& folder) {
    std::string name;
    anyLine(board::deviceText("/proc/partitions"), [&](const std::string& l) {
        return usbDiskLine(l, name) &&
               board::storage::mount(kDeviceFolder + name, folder, "vfat", board::storage::kNoAccessTime) == 0;
    });
}

int checkProcPartitions() {
    std::string name;
    return anyLine(board::deviceText("/proc/partitions"), [&](const std::string& l) { return usbDiskLine(l, name); })
               ? 1
               : 0;
}

int checkMounts(const std::string& folder) {
    const bool listed = anyLine(board::deviceText("/proc/mounts"),
                                [&](const std::string& l) { return l.find(folder) != std::string::npos; });
    struct stat st;
    return listed && ::stat(board::path(folder).c_str(), &st) == 0 ? 1 : 0;
}

int listdir(const std::string& path, int depth, int count) {
    const std::string mapped = board::path(path);
    DIR* dir = ::opendir(mapped.c_str());
    if (dir == nullptr) return count;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0 || !isFolder(mapped, e)) continue;
        const std::string child = path + "/" + e->d_name;
        if (child.size() > kMaxChildPath) continue;
        if (std::strcmp(e->d_name, S_PackageFolder) == 0) ++count;
        count = listdir(child, depth + 2, count);
    }
    ::closedir(dir);
    return count;
}

int dirok(const std::string& path) {
    DIR* dir = ::opendir(board::path(path).c_str());
    if (dir == nullptr) return 0;
    errno = 0;
    while (::readdir(dir) != nullptr) {
    }
    const bool ok = errno == 0;
    ::closedir(dir);
    return ok ? 1 : 0;
}

FileSystemList::FileSystemList(const std::string& folder) {
    gCurrentList = this;
    const std::string mapped = board::path(folder);
    gFolder = folder;
    gMappedFolderLength = mapped.size();
    ::nftw(mapped.c_str(), addPackageFile, 20, 0);
    gCurrentList = nullptr;
}

FileSystemList* FileSystemList::GetInstance() { return gCurrentList; }

int FirmwareUpgrade::WatchUsbDeviceInit() {
    if (watching_) return 0;
    if (inotifyFd_ == -1) inotifyFd_ = ::inotify_init1(IN_CLOEXEC);
    mountWatch_ = ::inotify_add_watch(inotifyFd_, board::path(mountFolder_).c_str(), kMountFolderEvents);
    if (mountWatch_ < 0) return -1;
    deviceWatch_ = ::inotify_add_watch(inotifyFd_, board::path(kDeviceFolder).c_str(), kDeviceFolderEvents);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = inotifyFd_;
    if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, inotifyFd_, &ev) != 0) return -2;
    watching_ = true;
    board::journal("usb.watch", "%s %s", mountFolder_.c_str(), kDeviceFolder);
    return 0;
}

int FirmwareUpgrade::WatchUsbDevice() {
    WatchUsbDeviceInit();
    epoll_event events[5];
    const int n = ::epoll_wait(epollFd_, events, 5, kWaitMs);
    if (n < 0) return errno == EINTR ? -1 : -2;
    if (n == 0) return 0;
    alignas(inotify_event) char buffer[kEventBuffer];
    const ssize_t got = ::read(inotifyFd_, buffer, sizeof buffer);
    if (got <= 0) return -1;
    return HandleUsbEvents(buffer, static_cast<size_t>(got));
}

int FirmwareUpgrade::HandleUsbEvents(const char* events, size_t length) {
    auto run = [](const std::string& line) { MyDoSystem(line.c_str()); };
    for (size_t at = 0; at + sizeof(inotify_event) <= length;) {
        inotify_event ev;
        std::memcpy(&ev, events + at, sizeof ev);
        const char* raw = events + at + sizeof ev;
        at += sizeof ev + ev.len;
        if (at > length) break;
        const std::string name = ev.len > 0 ? std::string(raw, strnlen(raw, ev.len)) : std::string();
        if ((ev.mask & IN_CREATE) && ev.wd == deviceWatch_ && name.size() == 4 && name.rfind("sd", 0) == 0) {
            board::journal("usb.event", "create %s", name.c_str());
            run(std::string(board::deviceText("mount /dev/")) + name + " " + mountFolder_);
            deviceName_ = name;
            return CheckUsbDevice() > 0 ? 1 : 0;
        }
        if ((ev.mask & IN_UNMOUNT) && ev.wd == mountWatch_) {
            board::journal("usb.event", "unmount %s", name.c_str());
            // The event names nothing: unmount the folder alone, never "/dev/".
            run(name.empty() ? "umount " + mountFolder_
                             : std::string(board::deviceText("umount /dev/")) + name + " " + mountFolder_);
        } else if ((ev.mask & IN_DELETE) && ev.wd == deviceWatch_ && !deviceName_.empty() && name == deviceName_) {
            board::journal("usb.event", "delete %s", name.c_str());
            run(std::string(board::deviceText("umount /dev/")) + name + " " + mountFolder_);
        }
    }
    return 0;
}

int FirmwareUpgrade::CheckUsbDevice() {
    const FileSystemList files(mountFolder_);
    if (files.Entries().empty()) return 0;
    if (listdir(mountFolder_, 0, 0) >= 2) return -1;
    items_.clear();
    // A key looked at earlier in this dialogue leaves nothing to write.
    list_.files().clear();
    int count = static_cast<int>(files.Entries().size());
    bool webTaken = false;
    const std::string base = files.GetBase();
    const std::string versionFile = base + "/version.md5sum";
    for (const std::string& s : files.Entries()) {
        WDT_Clear();
        const size_t web = s.find("web");
        const bool isScript = IsPackageScript(s);
        std::string key = s;
        if (web != std::string::npos && !webTaken) key = s.substr(0, web + 3);
        FileVerInfo entry = GetFileVerInfo(versionFile, key);
        const std::string fullPath = base + "/" + s;
        PRINT(PRINT_GENERAL, "fullpath =%s\n", fullPath.c_str());
        if ((entry.version.empty() || entry.md5.empty()) && !isScript && (webTaken || web == std::string::npos)) {
            --count;
            continue;
        }
        items_.push_back(key);
        if (web != std::string::npos) webTaken = true;
        bool recognised = false;
        entry.action = MakePackageAction(s, fullPath, &recognised);
        entry.action->SetMD5(entry.md5);
        list_.files()[key] = entry;
        if (!recognised) --count;
    }
    return count;
}
