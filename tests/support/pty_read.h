// Reading what the program sends on a serial port's user end.
#pragma once

#include <poll.h>
#include <string>
#include <unistd.h>

namespace hx40test {

// Up to want bytes from fd, waiting at most timeoutMs for each piece.
inline std::string readFor(int fd, size_t want, int timeoutMs) {
    std::string got;
    char buf[256];
    while (got.size() < want) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) break;
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace hx40test
