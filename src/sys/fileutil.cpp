#include "sys/fileutil.h"

#include "platform/board.h"
#include "platform/fdio.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::atomic<int> gInjectedSaveFailures{0};

void syncFolderOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

FILE* fl_open(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return std::fopen(board::path(path).c_str(), mode);
}

char* fl_gets(char* buffer, int size, FILE* file) {
    if (buffer == nullptr || file == nullptr || size <= 0) return nullptr;
    return std::fgets(buffer, size, file);
}

int fl_close(FILE* file) { return file ? std::fclose(file) : -1; }

int fl_save(const char* path, const void* buffer, size_t length) {
    if (path == nullptr || (buffer == nullptr && length != 0)) return -1;
    int injected = gInjectedSaveFailures.load();
    while (injected > 0 && !gInjectedSaveFailures.compare_exchange_weak(injected, injected - 1)) {
    }
    if (injected > 0) {
        errno = ENOSPC;
        return -1;
    }
    const std::string target = board::path(path);
    const std::string temp = target + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    bool ok = board::writeFully(fd, buffer, length) == length && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return -1;
    }
    syncFolderOf(target);
    return 0;
}

void fl_inject_save_failures(int count) { gInjectedSaveFailures = count; }

int setInputsLabels(const char* labels) {
    if (labels == nullptr) return -1;
    std::string line = labels;
    if (line.empty() || line.back() != '\n') line += '\n';
    return fl_save(board::deviceText("/root/app/conf/input_labels"), line.data(), line.size());
}
