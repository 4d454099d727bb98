#include "loopback.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hx40test {
namespace {

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

TextStream::~TextStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool TextStream::send(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int TextStream::readSome(int timeoutMs) {
    if (fd_ < 0 || !readable(fd_, timeoutMs)) return -1;
    char buf[65536];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) received_.append(buf, static_cast<size_t>(n));
    return n < 0 ? -1 : static_cast<int>(n);
}

std::string TextStream::until(const std::string& needle, int timeoutMs) {
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

std::string TextStream::drain(int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || readSome(static_cast<int>(left.count())) <= 0) break;
    }
    std::string out;
    out.swap(received_);
    return out;
}

bool LoopbackTcp::connect(int port, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a = loopback(port);
    return ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool LoopbackTcp::closedByPeer(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        received_.clear();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readable(fd_, static_cast<int>(left.count()))) return false;
        char buf[65536];
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (n < 0) return false;
    }
}

void LoopbackTcp::reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

SerialTerminal::SerialTerminal(const std::string& root, const std::string& port) {
    fd_ = ::open((root + "/term/" + port).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

LoopbackUdp::LoopbackUdp() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

LoopbackUdp::~LoopbackUdp() {
    if (fd_ >= 0) ::close(fd_);
}

bool LoopbackUdp::send(int port, const std::string& text) {
    sockaddr_in a = loopback(port);
    return ::sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(text.size());
}

std::string LoopbackUdp::receive(int timeoutMs) {
    if (!readable(fd_, timeoutMs)) return "";
    char buf[65536];
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace hx40test
