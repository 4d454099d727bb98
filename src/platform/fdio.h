// Whole writes to a descriptor.
#pragma once

#include <cerrno>
#include <cstddef>
#include <sys/socket.h>
#include <unistd.h>

namespace board {

namespace fdio_detail {
// Calls put(bytes, count) until everything went, going on after a signal or
// a short write; returns what went.
template <class Put>
size_t whole(const void* data, size_t n, Put put) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = put(p + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += static_cast<size_t>(w);
    }
    return done;
}
}  // namespace fdio_detail

// Writes n bytes; returns what was written (fewer than n when the
// descriptor failed or took nothing).
inline size_t writeFully(int fd, const void* data, size_t n) {
    return fdio_detail::whole(data, n, [fd](const char* p, size_t k) { return ::write(fd, p, k); });
}

// The same on a socket, where a peer that went away is an error rather than
// a SIGPIPE.
inline size_t sendFully(int fd, const void* data, size_t n) {
    return fdio_detail::whole(data, n, [fd](const char* p, size_t k) { return ::send(fd, p, k, MSG_NOSIGNAL); });
}

}  // namespace board
