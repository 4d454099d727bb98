#include "protocol/sockets.h"

#include "platform/board.h"
#include "platform/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace NetworkLinux {
namespace {

sockaddr_in serverAddress(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = board::net::serverBindAddress();
    return a;
}

Network::IPeer peerOf(const sockaddr_in& a) {
    Network::IPeer peer;
    peer.address = a.sin_addr.s_addr;
    peer.port = a.sin_port;
    Network::BuildString(peer);
    return peer;
}

// Opens a socket of the type and binds it to the board's server address.
int boundSocket(int type, uint16_t port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    int one = 1;
    if (type == SOCK_STREAM) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = serverAddress(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || (type == SOCK_STREAM && ::listen(fd, 5) != 0)) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace

template <typename Interface>
void SocketOf<Interface>::closeHandle() {
    if (fd_ != -1) {
        Selector::forgetEverywhere(fd_);
        ::close(fd_);
    }
    fd_ = -1;
}

template class SocketOf<Network::ISocket>;
template class SocketOf<Network::ITCPClientSocket>;

bool WakeCounter::bind() {
    closeHandle();
    fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | (oneAtATime_ ? EFD_SEMAPHORE : 0));
    return fd_ >= 0;
}

bool WakeCounter::write(const char*, int size) {
    const uint64_t counts = static_cast<uint64_t>(size);
    (void)!::write(fd_, &counts, sizeof counts);
    return true;
}

void WakeCounter::take(int count) {
    if (!oneAtATime_) count = std::min(count, 1);  // one read takes every count
    uint64_t taken;
    for (int i = 0; i < count && ::read(fd_, &taken, sizeof taken) == sizeof taken; ++i) {
    }
}

int PipeSocket::read(char*, int size) {
    take(size);
    return -1;
}

int WebsocketSocket::read(char*, int size) {
    take(size);
    return 1;
}

bool SerialSocket::bind(Network::Baudrate code, const char* device) {
    closeHandle();  // a re-bind (new speed) must not leak the old descriptor
    fd_ = ::open(board::path(device).c_str(), O_RDWR | O_NOCTTY | O_SYNC | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        std::printf("*** Error ***SerialListenr Unable to open %s %s\n", device, std::strerror(errno));
        return false;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        std::printf("*** Error ***SerialListenr failed to get attr: %d, %s", fd_, std::strerror(errno));
        return false;
    }
    speed_t speed = B0;
    switch (code) {
    case Network::BAUD_19200: speed = B19200; break;
    case Network::BAUD_115200: speed = B115200; break;
    default: return false;
    }
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_iflag = 0;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        std::printf("*** Error ***SerialListenr failed to set attr: %d, %s", fd_, std::strerror(errno));
        return false;
    }
    return true;
}

int SerialSocket::read(char* buffer, int size) {
    ssize_t n = ::read(fd_, buffer, static_cast<size_t>(size));
    for (ssize_t i = 0; i < n; ++i)
        if (buffer[i] == '\n') buffer[i] = '\r';
    return static_cast<int>(n);
}

int SerialSocket::write(const char* data, int size) {
    return static_cast<int>(::write(fd_, data, static_cast<size_t>(size)));
}

TCPClientSocket::TCPClientSocket(int fd, const Network::IPeer& peer)
    : SocketOf(std::string("TCPClientSocket ") + peer.text, fd), peer_(peer) {}

int TCPClientSocket::read(char* buffer, int size) {
    return static_cast<int>(::recv(fd_, buffer, static_cast<size_t>(size), 0));
}

int TCPClientSocket::write(const char* data, int size) {
    return static_cast<int>(::send(fd_, data, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT));
}

bool TCPServerSocket::bind(uint16_t port) {
    closeHandle();
    fd_ = boundSocket(SOCK_STREAM, port);
    name_ = fd_ < 0 ? "TCPServerSocket" : "TCPServerSocket bind to " + std::to_string(port);
    return fd_ >= 0;
}

std::unique_ptr<Network::ITCPClientSocket> TCPServerSocket::accept() {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    // Descriptor 0 is a valid connection when the program runs without stdin.
    int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return nullptr;
    return std::make_unique<TCPClientSocket>(fd, peerOf(a));
}

bool UDPServerSocket::bind(uint16_t port) {
    closeHandle();
    fd_ = boundSocket(SOCK_DGRAM, port);
    return fd_ >= 0;
}

int UDPServerSocket::read(char* buffer, int size, Network::IPeer& peer) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ssize_t n = ::recvfrom(fd_, buffer, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&a), &length);
    if (n >= 1) peer = peerOf(a);
    return static_cast<int>(n);
}

int UDPServerSocket::write(const char* data, int size, const Network::IPeer& peer) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = peer.address;
    a.sin_port = peer.port;
    return static_cast<int>(::sendto(fd_, data, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&a), sizeof a));
}

struct Selector::State {
    int epoll = -1;
    std::mutex mutex;                 // the registrations (forget comes from any thread)
    std::vector<uint32_t> events;     // by descriptor: the epoll events registered, 0 for none
    std::vector<int> registered;      // the descriptors registered
    // By descriptor: the round that last asked for it. Rounds never wrap: a
    // descriptor last asked exactly 2^32 rounds ago would otherwise keep
    // that round's entries.
    std::vector<uint64_t> lastAsked;
    std::vector<uint32_t> asked;      // by descriptor: the events asked for in that round
    std::vector<int> first;           // by descriptor: its first entry in that round's request
    uint64_t round = 0;
};

namespace {
uint32_t epollEvents(uint32_t wanted) {
    return ((wanted & Network::SOCKET_READABLE) ? EPOLLIN : 0u) | ((wanted & Network::SOCKET_WRITABLE) ? EPOLLOUT : 0u);
}

std::mutex gSelectorsMutex;
std::vector<Selector*> gSelectors;
}  // namespace

Selector::Selector() : state_(std::make_unique<State>()) {
    state_->epoll = ::epoll_create1(EPOLL_CLOEXEC);
    std::lock_guard lock(gSelectorsMutex);
    gSelectors.push_back(this);
}

Selector::~Selector() {
    {
        std::lock_guard lock(gSelectorsMutex);
        gSelectors.erase(std::find(gSelectors.begin(), gSelectors.end(), this));
    }
    if (state_->epoll >= 0) ::close(state_->epoll);
}

void Selector::forgetEverywhere(int fd) {
    std::lock_guard lock(gSelectorsMutex);
    for (Selector* selector : gSelectors) selector->forget(fd);
}

void Selector::forget(int fd) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (fd < 0 || static_cast<size_t>(fd) >= s.events.size() || s.events[static_cast<size_t>(fd)] == 0) return;
    // Closing the descriptor is not enough: the kernel keeps watching the
    // socket while a copy of it lives on (in a child between fork and exec),
    // and its hang-up would then wake the wait, or fail a socket that reuses
    // the number.
    ::epoll_ctl(s.epoll, EPOLL_CTL_DEL, fd, nullptr);
    s.events[static_cast<size_t>(fd)] = 0;
    auto it = std::find(s.registered.begin(), s.registered.end(), fd);
    if (it != s.registered.end()) s.registered.erase(it);
}

int Selector::poll(Network::ISocketEvents* events, int count, int timeoutMs) {
    if (count < 0 || count > kMaxSockets) return -1;
    State& s = *state_;
    if (s.epoll < 0) return -1;
    int next[kMaxSockets];  // the next entry with the same descriptor, -1 at the end
    int ready = 0;
    std::unique_lock lock(s.mutex);
    const uint64_t round = ++s.round;
    for (int i = 0; i < count; ++i) {
        events[i].returned = 0;
        next[i] = -1;
        const int fd = *events[i].socket->GetHandle();
        if (fd < 0) continue;  // as poll(2) skips it
        const size_t at = static_cast<size_t>(fd);
        if (at >= s.events.size()) {
            s.events.resize(at + 1, 0);
            s.lastAsked.resize(at + 1, 0);
            s.asked.resize(at + 1, 0);
            s.first.resize(at + 1, -1);
        }
        if (s.lastAsked[at] != round) {
            s.lastAsked[at] = round;
            s.asked[at] = 0;
            s.first[at] = -1;
        }
        next[i] = s.first[at];
        s.first[at] = i;
        s.asked[at] |= epollEvents(events[i].wanted);
    }
    for (int i = 0; i < count; ++i) {
        const int fd = *events[i].socket->GetHandle();
        if (fd < 0 || s.first[static_cast<size_t>(fd)] != i) continue;  // once a descriptor
        const size_t at = static_cast<size_t>(fd);
        // Registered with no events, a descriptor still reports errors and hang-ups.
        const uint32_t wanted = s.asked[at] | EPOLLERR | EPOLLHUP;
        if (s.events[at] == wanted) continue;
        epoll_event e{};
        e.events = wanted;
        e.data.fd = fd;
        int rc = ::epoll_ctl(s.epoll, s.events[at] == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &e);
        if (rc != 0 && errno == EEXIST) rc = ::epoll_ctl(s.epoll, EPOLL_CTL_MOD, fd, &e);
        if (rc != 0 && errno == ENOENT) rc = ::epoll_ctl(s.epoll, EPOLL_CTL_ADD, fd, &e);
        if (rc != 0) {
            // As poll(2) answers a descriptor that is not open.
            for (int k = i; k >= 0; k = next[k]) events[k].returned = Network::SOCKET_ERROR;
            for (int k = i; k >= 0; k = next[k]) ++ready;
            continue;
        }
        if (s.events[at] == 0) s.registered.push_back(fd);
        s.events[at] = wanted;
    }
    // Descriptors no longer asked for must not wake the wait.
    for (size_t k = 0; k < s.registered.size();) {
        const int fd = s.registered[k];
        if (s.lastAsked[static_cast<size_t>(fd)] == round) {
            ++k;
            continue;
        }
        ::epoll_ctl(s.epoll, EPOLL_CTL_DEL, fd, nullptr);
        s.events[static_cast<size_t>(fd)] = 0;
        s.registered[k] = s.registered.back();
        s.registered.pop_back();
    }
    lock.unlock();

    epoll_event fired[kMaxSockets];
    const int n = ::epoll_wait(s.epoll, fired, kMaxSockets, ready > 0 ? 0 : timeoutMs);
    if (n < 0) return errno == EINTR ? ready : -1;
    lock.lock();
    for (int j = 0; j < n; ++j) {
        const size_t at = static_cast<size_t>(fired[j].data.fd);
        if (at >= s.first.size() || s.lastAsked[at] != round) continue;
        const uint32_t r = fired[j].events;
        for (int k = s.first[at]; k >= 0; k = next[k]) {
            Network::ISocketEvents& e = events[k];
            const uint32_t was = e.returned;
            e.returned |= ((r & EPOLLIN) && (e.wanted & Network::SOCKET_READABLE) ? Network::SOCKET_READABLE : 0) |
                          ((r & EPOLLOUT) && (e.wanted & Network::SOCKET_WRITABLE) ? Network::SOCKET_WRITABLE : 0) |
                          ((r & (EPOLLERR | EPOLLHUP)) ? Network::SOCKET_ERROR : 0);
            if (was == 0 && e.returned != 0) ++ready;
        }
    }
    return ready;
}

std::unique_ptr<TCPServerSocket> Factory::CreateTCPServerSocket() { return std::make_unique<TCPServerSocket>(); }
std::unique_ptr<UDPServerSocket> Factory::CreateUDPServerSocket() { return std::make_unique<UDPServerSocket>(); }
std::unique_ptr<SerialSocket> Factory::CreateSerialSocket() { return std::make_unique<SerialSocket>(); }
std::unique_ptr<WebsocketSocket> Factory::CreateWebsocketSocket() { return std::make_unique<WebsocketSocket>(); }

Selector& Factory::GetSelector() {
    static Selector* selector = new Selector();
    return *selector;
}

}  // namespace NetworkLinux

NetworkLinux::Factory& GetNetworkFactory() {
    static NetworkLinux::Factory* factory = new NetworkLinux::Factory();
    return *factory;
}
