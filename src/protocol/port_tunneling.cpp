#include "protocol/port_tunneling.h"

#include "core/pm.h"
#include "platform/board.h"
#include "platform/fdio.h"
#include "platform/journal.h"
#include "platform/net.h"
#include "protocol/network.h"
#include "sys/locks.h"
#include "sys/print.h"
#include "sys/sys_exit.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 300;      // bytes moved per read, each way
constexpr int kRetryMs = 1000;      // idle socket, and a TCP wait's look at PM
constexpr int kListenBacklog = 32;

struct Config {
    bool tcp;
    uint16_t port;
    bool operator==(const Config&) const = default;
};

Config storedConfig() {
    MutexLock lock(PM_mutex);
    return {PM.PORT_TUNNELING_MODE == 1, static_cast<uint16_t>(PM.PORT_TUNNELING_PORT_NUMBER & 0xFFFF)};
}

// Requests of other threads; the bridge takes them at its next wake-up.
std::atomic<bool> connection_configuration_changed{false};
std::atomic<bool> gSerialChanged{false};
std::atomic<bool> gStop{false};

int wakeFd() {
    static const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd;
}

void wake() {
    const uint64_t one = 1;
    (void)!::write(wakeFd(), &one, sizeof one);
}

// Only the bridge thread touches these.
int ttyOut = -1;  // write-only
int ttyIn = -1;   // read-only, non-blocking
bool ttyInUsable = false;
int listen_sd = -1;
std::atomic<int> gListenShown{-1};  // listen_sd, for the diagnostics of other threads
Config listening{};
int client = -1;
sockaddr_in peer{};
bool peerKnown = false;
bool gFailureShown = false;  // a socket failure is printed once per setting, not every retry

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string addressText(const sockaddr_in& a) {
    Network::IPeer p{a.sin_addr.s_addr, a.sin_port, {}};
    return Network::BuildString(p);
}

tcflag_t speedFlag(int baudIndex) {
    static constexpr speed_t kSpeeds[8] = {B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};
    return kSpeeds[baudIndex];
}

tcflag_t sizeFlag(int dataBits) {
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

tcflag_t parityFlags(int parity) {
    switch (parity) {
    case 1: return PARENB | PARODD;
    case 2: return PARENB;
    case 3: return PARENB | PARODD | CMSPAR;
    case 4: return PARENB | CMSPAR;
    default: return 0;
    }
}

[[noreturn]] void cannotOpenPort() {
    std::fprintf(stderr, "%s: %s\n", board::deviceText("/dev/ttyS2"), std::strerror(errno));
    sys_exit(1);
}

void applySerial() {
    closeFd(ttyOut);
    closeFd(ttyIn);
    const std::string path = board::path("/dev/ttyS2");
    ttyOut = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (ttyOut < 0) cannotOpenPort();
    ttyIn = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (ttyIn < 0) cannotOpenPort();
    ttyInUsable = true;
    const TunnelLine line = tunnelLine();
    const termios t = tunnelTermios(line);
    for (int fd : {ttyOut, ttyIn}) {
        ::tcflush(fd, TCIFLUSH);
        ::tcsetattr(fd, TCSADRAIN, &t);
    }
    board::journal("ptnl.tty", "baud=%d bits=%d parity=%s stop=%d", baudrates[line.baudIndex], line.dataBits,
                   parity_string_const[line.parity], line.stopBits);
}

void socketFailure(const char* what, const Config& c) {
    if (gFailureShown) return;
    gFailureShown = true;
    std::printf("%s: %s\n", what, std::strerror(errno));
    board::journal("ptnl.idle", "%s port=%u", c.tcp ? "tcp" : "udp", c.port);
}

// Opens the listening socket of the stored mode and port; false (tunnel
// idle) when the system refuses it.
bool open_listen_socket() {
    closeFd(listen_sd);
    gListenShown = -1;
    const Config c = storedConfig();
    if (!(c == listening)) gFailureShown = false;
    listening = c;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = board::net::serverBindAddress();
    a.sin_port = htons(c.port);
    listen_sd = ::socket(AF_INET, (c.tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_sd < 0) {
        socketFailure("socket() failed", c);
        return false;
    }
    const int one = 1;
    if (c.tcp && ::setsockopt(listen_sd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) {
        socketFailure("setsockopt() failed", c);
    } else if (::bind(listen_sd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        socketFailure("bind() failed", c);
    } else if (c.tcp && ::listen(listen_sd, kListenBacklog) != 0) {
        socketFailure("listen() failed", c);
    } else {
        gFailureShown = false;
        gListenShown = listen_sd;
        PRINT(PRINT_GENERAL, c.tcp ? "Start TCP server\r" : "Start UDP server\r");
        board::journal("ptnl.listen", "%s port=%u", c.tcp ? "tcp" : "udp", c.port);
        return true;
    }
    closeFd(listen_sd);
    return false;
}

enum class Wake { Nothing, Stop, Reopen };

// Takes the other threads' requests: a new line setting is applied here;
// a stop or a socket reconfiguration is for the caller.
Wake takeRequests() {
    uint64_t count = 0;
    (void)!::read(wakeFd(), &count, sizeof count);
    if (gStop) return Wake::Stop;
    if (gSerialChanged.exchange(false)) applySerial();
    if (connection_configuration_changed.exchange(false)) return Wake::Reopen;
    return Wake::Nothing;
}

// Waits for a request for at most ms.
Wake idle(int ms) {
    pollfd p{wakeFd(), POLLIN, 0};
    if (::poll(&p, 1, ms) > 0) return takeRequests();
    return Wake::Nothing;
}

enum class Client { Accepted, Reopen, Stop };

Client open_tcp_port() {
    for (;;) {
        pollfd fds[2] = {{wakeFd(), POLLIN, 0}, {listen_sd, POLLIN, 0}};
        const int r = ::poll(fds, 2, kRetryMs);
        if (r > 0 && (fds[0].revents & POLLIN)) {
            const Wake w = takeRequests();
            if (w == Wake::Stop) return Client::Stop;
            if (w == Wake::Reopen) return Client::Reopen;
        }
        if (r > 0 && (fds[1].revents & POLLIN)) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            client = ::accept4(listen_sd, reinterpret_cast<sockaddr*>(&from), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (client >= 0) {
                print_IP_address(client, "Incoming TCP connection from ");
                board::journal("ptnl.client", "%s", addressText(from).c_str());
                return Client::Accepted;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) PRINT(PRINT_GENERAL, "  accept() failed\n");
        }
        // A new mode or port takes effect while nobody is connected.
        if (!(storedConfig() == listening)) return Client::Reopen;
    }
}

void toNetwork(const char* bytes, size_t n) {
    PRINT(PRINT_GENERAL, "TTY success reception : %zu bytes received - input_buffer:\r\n", n);
    ssize_t rc = 0;
    if (listening.tcp) {
        print_IP_address(client, "Send TCP packet to ");
        rc = ::send(client, bytes, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    } else if (peerKnown) {
        PRINT(PRINT_GENERAL, "Send UDP packet to %s\n", addressText(peer).c_str());
        rc = ::sendto(listen_sd, bytes, n, MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&peer),
                      sizeof peer);
    } else {
        board::journal("ptnl.drop", "bytes=%zu", n);  // no peer yet
        return;
    }
    if (rc < 0) {
        PRINT(PRINT_GENERAL, "rc=%zd\r\n", rc);
        PRINT(PRINT_GENERAL, "  send() failed\n");
    }
}

bool writeTty(const char* bytes, size_t n) { return board::writeFully(ttyOut, bytes, n) == n; }

enum class Bridge { Closed, Reconfigured, Stop };

// Moves bytes both ways until the connection closes or a request ends it.
Bridge bridge() {
    char buf[kChunk];
    for (;;) {
        const int net = listening.tcp ? client : listen_sd;
        pollfd fds[3] = {{wakeFd(), POLLIN, 0}, {net, POLLIN, 0}, {ttyInUsable ? ttyIn : -1, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            return Bridge::Closed;
        }
        if (fds[0].revents & POLLIN) {
            const Wake w = takeRequests();
            if (w == Wake::Stop) return Bridge::Stop;
            if (w == Wake::Reopen) {
                PRINT(PRINT_GENERAL, "CLIENT= %s\n", peerKnown ? addressText(peer).c_str() : "none");
                return Bridge::Reconfigured;
            }
            continue;  // the port may have been reopened
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(ttyIn, buf, sizeof buf);
            if (n > 0) {
                toNetwork(buf, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                PRINT(PRINT_GENERAL, "TTY read failed: %s\n", n == 0 ? "hang-up" : std::strerror(errno));
                ttyInUsable = false;  // until the port is reopened
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = listening.tcp ? ::recv(client, buf, sizeof buf, MSG_DONTWAIT)
                                            : ::recvfrom(listen_sd, buf, sizeof buf, MSG_DONTWAIT,
                                                         reinterpret_cast<sockaddr*>(&from), &len);
            if (!listening.tcp && n >= 0) {
                peer = from;
                peerKnown = true;
            }
            if (n > 0) {
                if (listening.tcp) print_IP_address(client, "Received TCP packet from ");
                else PRINT(PRINT_GENERAL, "Received UDP packet from %s\n", addressText(peer).c_str());
                PRINT(PRINT_GENERAL, "\033[33mSend to TTY  %zd bytes received\n\033[0m\n", n);
                if (!writeTty(buf, static_cast<size_t>(n))) {
                    PRINT(PRINT_GENERAL, "  send() failed\n");
                    return Bridge::Closed;
                }
            } else if (n == 0) {
                PRINT(PRINT_GENERAL, "  Connection closed\n");
                return Bridge::Closed;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                PRINT(PRINT_GENERAL, "  recv() failed\n");
                // A failed stream does not recover; a datagram socket goes on.
                if (listening.tcp) return Bridge::Closed;
            }
        }
    }
}

}  // namespace

TunnelLine tunnelLine() {
    MutexLock lock(PM_mutex);
    const int baud = PM.PORT_TUNNELING_BAUD < 8 ? PM.PORT_TUNNELING_BAUD : 3;
    const int bits = PM.PORT_TUNNELING_DATA_BITS < 3 ? PM.PORT_TUNNELING_DATA_BITS + 5 : 8;
    const int parity = PM.PORT_TUNNELING_PARITY < 5 ? PM.PORT_TUNNELING_PARITY : 0;
    return {baud, bits, parity, PM.PORT_TUNNELING_STOP_BITS == 1 ? 2 : 1};
}

termios tunnelTermios(const TunnelLine& line) {
    termios t{};
    t.c_iflag = IGNPAR;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = speedFlag(line.baudIndex) | CLOCAL | CREAD | sizeFlag(line.dataBits) |
                (line.stopBits == 2 ? CSTOPB : 0) | parityFlags(line.parity);
    cfsetispeed(&t, speedFlag(line.baudIndex));
    cfsetospeed(&t, speedFlag(line.baudIndex));
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return t;
}

void* port_tunneling_thread(void*) {
    std::printf("port_tunneling_thread: start\n");
    // It starts from the settings as they are now: a change asked for
    // before is in them already.
    gSerialChanged = false;
    connection_configuration_changed = false;
    applySerial();
    while (!gStop) {
        if (!open_listen_socket()) {
            if (idle(kRetryMs) == Wake::Stop) break;
            continue;
        }
        if (listening.tcp) {
            const Client c = open_tcp_port();
            if (c == Client::Stop) break;
            if (c == Client::Reopen) continue;
        }
        const Bridge b = bridge();
        if (b == Bridge::Stop) break;
        // The client never outlives its socket's setting.
        closeFd(client);
        if (b == Bridge::Closed) closeFd(listen_sd);
        else PRINT(PRINT_GENERAL, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r");
    }
    closeFd(client);
    closeFd(listen_sd);
    gListenShown = -1;
    closeFd(ttyOut);
    closeFd(ttyIn);
    gStop = false;
    return nullptr;
}

void port_tunneling_rs232_configuration() {
    board::journal("ptnl.reconfigure", "serial");
    gSerialChanged = true;
    wake();
}

void reconfigure_socket() {
    board::journal("ptnl.reconfigure", "socket");
    connection_configuration_changed = true;
    PRINT(PRINT_GENERAL, "Reconfigure server - PORT NUMBER=%u  listen_sd=%d\r\n",
          static_cast<unsigned>(storedConfig().port), gListenShown.load());
    wake();
}

void print_IP_address(int socket, const char* prefix) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&a), &len) != 0) return;
    PRINT(PRINT_GENERAL, "%s %s\n", prefix, addressText(a).c_str());
}

void port_tunneling_stop() {
    gStop = true;
    wake();
}
