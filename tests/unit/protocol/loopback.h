// Loopback clients of the control ports, as a control system uses them:
// a TCP connection and a UDP peer that send text and wait for replies with
// a time-out, and the user's end of a simulated serial port; and a
// listening socket for the servers of the tests. Header-only:
// the unit tests, the end-to-end tests and the benchmarks share it.
#pragma once

#include "platform/fdio.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace hx40test {

// Text over one descriptor: what arrives is kept until a caller takes it.
class TextStream {
public:
    TextStream() = default;
    virtual ~TextStream();
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    bool send(const std::string& text);
    // Reads until the received text holds needle; returns the text up to
    // and including it (taken from what was received), or "" on time-out.
    std::string until(const std::string& needle, int timeoutMs = 3000);
    // Everything received so far plus what arrives within waitMs.
    std::string drain(int waitMs);
    // The next count bytes received ("" when they do not come in time).
    std::string take(size_t count, int timeoutMs = 3000);
    int fd() const { return fd_; }

protected:
    // Bytes appended, 0 when the other end closed, -1 on time-out or error.
    int readSome(int timeoutMs);

    int fd_ = -1;
    std::string received_;
};

class LoopbackTcp : public TextStream {
public:
    LoopbackTcp() = default;
    // receiveBuffer > 0 shrinks the socket's receive buffer first.
    explicit LoopbackTcp(int port, int receiveBuffer = 0) { connect(port, receiveBuffer); }
    bool connect(int port, int receiveBuffer = 0);
    // True when the server closed the connection within timeoutMs (what
    // arrived before is discarded).
    bool closedByPeer(int timeoutMs = 3000);
    // Closes with a reset, as a client that vanishes.
    void reset();
};

// The user's end <root>/term/<port> of a simulated serial port.
class SerialTerminal : public TextStream {
public:
    SerialTerminal(const std::string& root, const std::string& port);
    bool ok() const { return fd_ >= 0; }
};

// A listening TCP socket on a loopback port, as another program holding
// the port or a small server of a test has it; closed with the object.
class LoopbackListener {
public:
    explicit LoopbackListener(int port, int backlog = 16);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

class LoopbackUdp {
public:
    LoopbackUdp();
    ~LoopbackUdp();
    LoopbackUdp(const LoopbackUdp&) = delete;
    LoopbackUdp& operator=(const LoopbackUdp&) = delete;

    bool send(int port, const std::string& text);
    // The next datagram's text, or "" when none comes within timeoutMs.
    std::string receive(int timeoutMs = 3000);

private:
    int fd_ = -1;
};

namespace loopback_detail {

inline sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

inline bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace loopback_detail

inline TextStream::~TextStream() {
    if (fd_ >= 0) ::close(fd_);
}

inline bool TextStream::send(const std::string& text) {
    size_t done = board::sendFully(fd_, text.data(), text.size());
    if (done == 0 && errno == ENOTSOCK) done = board::writeFully(fd_, text.data(), text.size());  // a pty
    return done == text.size();
}

inline int TextStream::readSome(int timeoutMs) {
    if (fd_ < 0 || !loopback_detail::readable(fd_, timeoutMs)) return -1;
    char buf[65536];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) received_.append(buf, static_cast<size_t>(n));
    return n < 0 ? -1 : static_cast<int>(n);
}

inline std::string TextStream::until(const std::string& needle, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t at = received_.find(needle);
        if (at != std::string::npos) {
            std::string out = received_.substr(0, at + needle.size());
            received_.erase(0, at + needle.size());
            return out;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || readSome(static_cast<int>(left.count())) <= 0) return "";
    }
}

inline std::string TextStream::take(size_t count, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received_.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || readSome(static_cast<int>(left.count())) <= 0) return "";
    }
    std::string out = received_.substr(0, count);
    received_.erase(0, count);
    return out;
}

inline std::string TextStream::drain(int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || readSome(static_cast<int>(left.count())) <= 0) break;
    }
    std::string out;
    out.swap(received_);
    return out;
}

inline bool LoopbackTcp::connect(int port, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a = loopback_detail::loopback(port);
    return ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

inline bool LoopbackTcp::closedByPeer(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        received_.clear();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !loopback_detail::readable(fd_, static_cast<int>(left.count()))) return false;
        char buf[65536];
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (n < 0) return false;
    }
}

inline void LoopbackTcp::reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

inline SerialTerminal::SerialTerminal(const std::string& root, const std::string& port) {
    fd_ = ::open((root + "/term/" + port).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

inline LoopbackListener::LoopbackListener(int port, int backlog) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = loopback_detail::loopback(port);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, backlog) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

inline LoopbackListener::~LoopbackListener() {
    if (fd_ >= 0) ::close(fd_);
}

inline LoopbackUdp::LoopbackUdp() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback_detail::loopback(0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

inline LoopbackUdp::~LoopbackUdp() {
    if (fd_ >= 0) ::close(fd_);
}

inline bool LoopbackUdp::send(int port, const std::string& text) {
    sockaddr_in a = loopback_detail::loopback(port);
    return ::sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(text.size());
}

inline std::string LoopbackUdp::receive(int timeoutMs) {
    if (!loopback_detail::readable(fd_, timeoutMs)) return "";
    char buf[65536];
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace hx40test
