// Whole writes to a descriptor.
#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>

namespace board {

// Writes n bytes, going on after a signal or a short write; returns what
// was written (fewer than n when the descriptor failed or took nothing).
inline size_t writeFully(int fd, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, p + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += static_cast<size_t>(w);
    }
    return done;
}

}  // namespace board
