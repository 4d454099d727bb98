// The control transports reach the operating system only through these
// sockets: one small interface over every kind of endpoint the poll loop
// waits on, their Linux implementations, a factory, and the selector that
// waits on many of them at once.
//
// Every descriptor is close-on-exec (children started by scripts must not
// keep the control ports) and non-blocking: the one loop thread that uses
// them may never wait on a single client.
#pragma once

#include "protocol/network.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Network {

// Serial speed codes; any other code is refused.
enum Baudrate : int32_t {
    BAUD_19200 = 0,
    BAUD_115200 = 1,
};

class ISocket {
public:
    virtual ~ISocket() = default;
    // The descriptor to poll; -1 when unbound.
    virtual int* GetHandle() = 0;
    virtual const char* Name() const = 0;
};

// An accepted TCP connection.
class ITCPClientSocket : public ISocket {
public:
    // The system results: bytes moved, 0 when the peer closed (read), -1
    // with errno set.
    virtual int read(char* buffer, int size) = 0;
    virtual int write(const char* data, int size) = 0;
    virtual const IPeer& GetPeer() const = 0;
};

// Event bits of a poll request.
inline constexpr uint32_t SOCKET_READABLE = 1;
inline constexpr uint32_t SOCKET_WRITABLE = 2;
inline constexpr uint32_t SOCKET_ERROR = 4;  // error, hang-up or a descriptor that is not open

struct ISocketEvents {
    ISocket* socket = nullptr;
    uint32_t wanted = 0;    // SOCKET_READABLE | SOCKET_WRITABLE
    uint32_t returned = 0;  // the sum of the bits that happened
};

}  // namespace Network

namespace NetworkLinux {

// The name and the polled descriptor every socket has; closes the
// descriptor with the object.
template <typename Interface>
class SocketOf : public Interface {
public:
    ~SocketOf() override { closeHandle(); }
    int* GetHandle() override { return &fd_; }
    const char* Name() const override { return name_.c_str(); }

protected:
    explicit SocketOf(std::string name, int fd = -1) : name_(std::move(name)), fd_(fd) {}
    void closeHandle();

    std::string name_;
    int fd_ = -1;
};

// Wakes the poll loop: other threads add counts, the loop takes them. A
// counter of the kernel's (one descriptor, not a pipe's two); it stays
// readable while counts remain.
class WakeCounter : public SocketOf<Network::ISocket> {
public:
    // Creates the counter (non-blocking: a writer never waits on a stalled
    // loop); true on success.
    bool bind();
    // Adds one count per byte of data; always true.
    bool write(const char* data, int size);

protected:
    // oneAtATime: a take removes single counts; otherwise all of them.
    WakeCounter(const char* name, bool oneAtATime) : SocketOf(name), oneAtATime_(oneAtATime) {}
    // Takes up to count counts (every count, for a counter not taken one at a time).
    void take(int count);

private:
    bool oneAtATime_;
};

// The listener registry's wake-up: one count per queued message, taken one
// at a time.
class PipeSocket : public WakeCounter {
public:
    PipeSocket() : WakeCounter("PipeSocket", true) {}
    // Takes up to size counts; always -1 (callers only drain it).
    int read(char* buffer, int size);
};

// The websocket listener's wake-up, counted by the websocket server thread
// when texts wait on queue 12.
class WebsocketSocket : public WakeCounter {
public:
    WebsocketSocket() : WakeCounter("WebsocketSocket", false) {}
    // Takes every count; always 1.
    int read(char* buffer, int size);
};

class SerialSocket : public SocketOf<Network::ISocket> {
public:
    SerialSocket() : SocketOf("SerialSocket") {}
    // Opens the device (a device path, mapped under the board root) and
    // sets raw 8-bit mode at the code's speed; the stop bits stay as the
    // port had them. A port bound before is closed first. False with a
    // message when the device cannot be opened or configured, and for a
    // code other than 0 or 1 (the device then stays open).
    bool bind(Network::Baudrate code, const char* device);
    // Reads up to size bytes; every LF becomes CR. The system result.
    int read(char* buffer, int size);
    int write(const char* data, int size);
};

class TCPClientSocket : public SocketOf<Network::ITCPClientSocket> {
public:
    TCPClientSocket(int fd, const Network::IPeer& peer);
    int read(char* buffer, int size) override;
    // Never blocks and never raises SIGPIPE: a full socket gives -1 with
    // EAGAIN, a closed peer -1 with EPIPE.
    int write(const char* data, int size) override;
    const Network::IPeer& GetPeer() const override { return peer_; }

private:
    Network::IPeer peer_;
};

class TCPServerSocket : public SocketOf<Network::ISocket> {
public:
    TCPServerSocket() : SocketOf("TCPServerSocket") {}
    // Listens on the board's server address; a socket bound before is
    // closed first. Named "TCPServerSocket bind to <port>" once bound.
    bool bind(uint16_t port);
    // The next waiting connection, or null when none can be taken.
    std::unique_ptr<Network::ITCPClientSocket> accept();
};

class UDPServerSocket : public SocketOf<Network::ISocket> {
public:
    UDPServerSocket() : SocketOf("UDPServerSocket") {}
    bool bind(uint16_t port);
    // One datagram of up to size bytes; peer is filled (with its text) when
    // at least one byte came. The system result.
    int read(char* buffer, int size, Network::IPeer& peer);
    // One datagram to the peer; never blocks. The system result.
    int write(const char* data, int size, const Network::IPeer& peer);
};

// Waits on many sockets at once, as poll(2) does. Used by the loop thread
// only. The descriptors stay registered with the kernel between waits, so
// a wait costs the same for 5 or for 70 sockets; only a descriptor whose
// wanted events changed is registered again.
class Selector {
public:
    static constexpr int kMaxSockets = 100;
    Selector();
    ~Selector();
    Selector(const Selector&) = delete;
    Selector& operator=(const Selector&) = delete;

    // Fills each entry's returned events; returns the number of ready
    // sockets, 0 on time-out or when a signal interrupted the wait, -1 on
    // failure and, at once, for more than kMaxSockets entries.
    int poll(Network::ISocketEvents* events, int count, int timeoutMs);
    // A socket closes fd (any thread): its registration goes with it in
    // every selector, and a later descriptor of the same number starts afresh.
    static void forgetEverywhere(int fd);

private:
    void forget(int fd);
    struct State;
    std::unique_ptr<State> state_;
};

// Creates the sockets, unbound; the caller owns each one.
class Factory {
public:
    std::unique_ptr<TCPServerSocket> CreateTCPServerSocket();
    std::unique_ptr<UDPServerSocket> CreateUDPServerSocket();
    std::unique_ptr<SerialSocket> CreateSerialSocket();
    std::unique_ptr<WebsocketSocket> CreateWebsocketSocket();
    // The process's one selector.
    Selector& GetSelector();
};

}  // namespace NetworkLinux

// The process's one factory, created on first use and never destroyed.
NetworkLinux::Factory& GetNetworkFactory();
