#include "upgrade/atomic_file.h"

#include "platform/board.h"
#include "sys/fileutil.h"

#include <fcntl.h>
#include <unistd.h>

bool writeFileAtomically(const std::string& path, const std::string& text) {
    return fl_save(path.c_str(), text.data(), text.size()) == 0;
}

bool syncFile(const std::string& path) {
    const int fd = ::open(board::path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
