// The control transports as listeners of one registry, and its poll loop:
// the single I/O thread of the control protocol. The loop waits on every
// listener's socket and on a wake-up counter, lets a listener with input
// feed its session, drops listeners that fail or stay idle, and delivers the
// texts other threads queued for the clients (one per count).
//
// Everything here runs on the loop thread, except Listeners::Post (any
// thread) and WebsocketListener::Wake (the websocket server thread). The
// listener set and the add and remove lists take no lock: they are touched
// only by the loop thread, and by start-up before the loop runs.
#pragma once

#include "protocol/outbox.h"
#include "protocol/sockets.h"
#include "sys/msgq.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class ILogChannel;

namespace Protocol7700 {
class Parser;
class Session;
}  // namespace Protocol7700

// The record the websocket listener took last from queue 12: its id
// addresses the older engine's replies to web clients (0, every client,
// until a web client has sent a line). Written and read on the loop thread.
extern _WSMSG ws_msg_cli_to_srv;
// The id of that record, for other threads.
uint32_t ws_msg_cli_to_srv_id();
// Forgets that record (Listeners::Reset).
void forget_ws_msg_cli_to_srv();

namespace Communication {

enum ListenerType : int32_t {
    TCP_SERVER = 0,
    TCP_CLIENT = 1,
    UDP_SERVER = 2,
    SERIAL = 3,
    WEBSOCKET = 4,
    MAX_VAL
};

// "TCP_SERVER" ... "WEBSOCKET"; any other value stops the process.
const char* GetListenerTypeName(ListenerType type);

// A text queued for the clients: to every listener when broadcast, else to
// every listener of the type. The text carries its own line ends.
struct P7KMsg {
    ListenerType type = SERIAL;
    std::string text;
    bool broadcast = false;
};

template <typename T>
class SafeQueue {
public:
    void push(T item) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(item));
        cond_.notify_one();
    }
    // Takes the front item without waiting; false when there is none.
    bool try_pop(T& out) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return false;
        out = std::move(queue_.front());
        queue_.pop_front();
        return true;
    }

private:
    std::deque<T> queue_;
    std::mutex mutex_;
    std::condition_variable cond_;
};

// Seconds of the monotonic clock: the "now" of every listener and session.
unsigned GetTimeSec();
// Replaces the clock (tests of the one-hour idle rule); nullptr restores it.
using TimeSource = unsigned (*)();
void SetTimeSource(TimeSource source);

// True when fd has input within usec microseconds.
bool wait_for_more_data(int fd, int usec);

extern ILogChannel* st_listeners_log;  // "communication"

class IListener {
public:
    virtual ~IListener();
    IListener(const IListener&) = delete;
    IListener& operator=(const IListener&) = delete;

    virtual void SetParser(const Protocol7700::Parser* parser) { m_parser = parser; }
    virtual void SetInactivityTimeout(unsigned seconds) { m_timeout = seconds; }
    virtual ListenerType GetType() const = 0;
    // Handles readable input; false asks the loop to remove the listener.
    virtual bool Process(unsigned now) = 0;
    // True asks the loop to remove the listener.
    virtual bool IsNoActivity(unsigned now) = 0;
    virtual bool SendBroadcast(const std::string& text) { return SendMessage(text); }
    // Sends a text to this listener's client(s); false asks for removal.
    virtual bool SendMessage(const std::string& text) = 0;
    // Output waits for the socket to become writable.
    virtual bool HasPendingOutput() const { return false; }
    // What the loop polls the socket for this round (Network::SOCKET_*).
    virtual uint32_t WantedEvents() const;
    // Called when it did; false asks for removal.
    virtual bool Flush() { return true; }

    Network::ISocket* GetSocket() const { return m_socket.get(); }

protected:
    IListener() = default;
    // Takes ownership of the listener's socket; returns it typed.
    template <typename Socket>
    Socket* own(std::unique_ptr<Socket> socket) {
        Socket* typed = socket.get();
        m_socket = std::move(socket);
        return typed;
    }

    const Protocol7700::Parser* m_parser = nullptr;
    unsigned m_timeout = 0;
    std::unique_ptr<Network::ISocket> m_socket;
};

class Listeners {
public:
    // Enough for every client plus the servers, within the selector's 100.
    static constexpr size_t kMaxTcpClients = 64;
    static constexpr unsigned kInactivityTimeout = 3600;
    static constexpr int kPollTimeoutMs = 500;

    // Created on first use, never destroyed (the loop thread may still run
    // while the process exits).
    static Listeners& Instance();

    // Once; a second parser stops the process.
    void SetParser(const Protocol7700::Parser* parser);
    const Protocol7700::Parser* GetParser() const { return m_parser; }

    // Takes a bound listener: gives it the timeout and the parser; the loop
    // moves it into the set at its next round. The registry owns it.
    void AddListener(IListener* listener);
    // The loop removes and deletes it at its next round. A listener the
    // registry does not hold (any more) is ignored there.
    void RemoveListener(IListener* listener);

    // The loop; returns only after Stop. Needs a parser.
    void Run();
    // Makes Run return after its current round (from any thread).
    void Stop();
    // Deletes every listener (through the remove hook), forgets the parser
    // and the hook and drops the queued texts, as before the first use. For
    // tests that build several protocols in one process; the loop must not
    // run.
    void Reset();

    // Queues a text for the loop and wakes it with one count (any thread).
    void Post(P7KMsg message);

    // Deliver at once, on the loop thread. A listener whose send fails is
    // removed.
    void SendMessage(ListenerType type, const std::string& text);
    void SendBroadcast(const std::string& text);

    // Accepted TCP connections held (in the set or about to enter it).
    size_t TcpClientCount() const;

    // Called on the loop thread for each listener just before it is
    // deleted (the owner of a pointer to it forgets it).
    void SetRemoveHook(std::function<void(IListener*)> hook) { removeHook_ = std::move(hook); }

private:
    Listeners();
    ~Listeners();

    void removeMarked();
    void deliverQueued();

    std::set<IListener*> m_listeners;
    std::list<IListener*> m_addList;
    std::list<IListener*> m_removeList;
    std::atomic<bool> m_running{false};
    const Protocol7700::Parser* m_parser = nullptr;
    unsigned m_timeout = kInactivityTimeout;
    SafeQueue<P7KMsg> m_queue;
    NetworkLinux::PipeSocket m_pipe;
    std::function<void(IListener*)> removeHook_;
    // The poll request of each round, kept between rounds.
    std::vector<Network::ISocketEvents> events_;
    std::vector<IListener*> polled_;
};

class SerialListener : public IListener {
public:
    SerialListener(Network::Baudrate code, const std::string& device, const Protocol7700::Parser* parser);
    ~SerialListener() override;
    // Opens the port at the speed; again after SetBaudrate, it reopens it.
    bool Bind();
    void SetBaudrate(Network::Baudrate code) { code_ = code; }
    Network::Baudrate GetBaudrate() const { return code_; }

    void SetInactivityTimeout(unsigned seconds) override;
    ListenerType GetType() const override { return SERIAL; }
    bool Process(unsigned now) override;
    // Clears an unfinished line after the timeout; the port itself stays.
    bool IsNoActivity(unsigned now) override;
    bool SendMessage(const std::string& text) override;
    bool HasPendingOutput() const override { return !outbox_.Empty(); }
    bool Flush() override;

    // Longest input gathered in one round; the rest waits for the next.
    static constexpr int kGatherSize = 1024;

private:
    Network::Baudrate code_;
    std::string device_;
    NetworkLinux::SerialSocket* serial_;
    std::unique_ptr<Protocol7700::Session> session_;
    Outbox outbox_;
};

class TCPListener : public IListener {
public:
    explicit TCPListener(uint16_t port);
    bool Bind();
    uint16_t GetPort() const { return port_; }

    ListenerType GetType() const override { return TCP_SERVER; }
    // Accepts one connection and adds its client to the registry.
    bool Process(unsigned now) override;
    bool IsNoActivity(unsigned) override { return false; }
    bool SendMessage(const std::string&) override { return true; }
    // Nothing while accepting pauses for want of descriptors.
    uint32_t WantedEvents() const override;

    // Descriptors kept free for the rest of the program (files, programs it
    // runs, the web server): a connection that would take one of them is
    // closed at once, as the surplus client is.
    static constexpr int kDescriptorReserve = 16;
    // How long accepting pauses after the system had no descriptor for it.
    static constexpr int kExhaustedPauseMs = 250;
    // Shortages this close to each other are one episode (one log line).
    static constexpr int kEpisodeGapMs = 5000;

private:
    void shortOfDescriptors(const char* why);

    uint16_t port_;
    NetworkLinux::TCPServerSocket* server_;
    std::chrono::steady_clock::time_point lastShortage_{};  // none yet: the epoch
    std::chrono::steady_clock::time_point pausedUntil_{};
};

class TCPClient : public IListener {
public:
    TCPClient(std::unique_ptr<Network::ITCPClientSocket> connection, std::unique_ptr<Protocol7700::Session> session);
    ~TCPClient() override;

    ListenerType GetType() const override { return TCP_CLIENT; }
    bool Process(unsigned now) override;
    bool IsNoActivity(unsigned now) override;
    // False when the connection failed or its unsent text passed the bound.
    bool SendMessage(const std::string& text) override;
    bool HasPendingOutput() const override { return !outbox_.Empty(); }
    // While its replies wait, its next lines wait in the socket: a client
    // that reads is never dropped for asking faster than it takes.
    uint32_t WantedEvents() const override;
    bool Flush() override;

    static constexpr int kReadSize = 1024;

private:
    Network::ITCPClientSocket* connection_;
    std::unique_ptr<Protocol7700::Session> session_;
    Outbox outbox_;
};

// One known peer of the UDP port with its session.
class UDPClient {
public:
    UDPClient(std::unique_ptr<Protocol7700::Session> session, const Network::IPeer& peer);
    ~UDPClient();
    UDPClient(UDPClient&&) noexcept;
    UDPClient& operator=(UDPClient&&) noexcept;

    const char* GetPeerName() const { return peer_.text; }
    Protocol7700::Session* GetSession() const { return session_.get(); }

    // Its place in the listener's broadcast order.
    size_t slot = 0;

private:
    std::unique_ptr<Protocol7700::Session> session_;
    Network::IPeer peer_;
};

struct PeerHash {
    size_t operator()(const Network::IPeer& peer) const;
};
struct PeerEqual {
    bool operator()(const Network::IPeer& a, const Network::IPeer& b) const {
        return a.address == b.address && a.port == b.port;
    }
};

class UDPListener : public IListener {
public:
    explicit UDPListener(uint16_t port);
    bool Bind();
    uint16_t GetPort() const { return port_; }

    ListenerType GetType() const override { return UDP_SERVER; }
    bool Process(unsigned now) override;
    // Forgets the peers idle past the timeout; the port itself stays.
    bool IsNoActivity(unsigned now) override;
    // One datagram to every known peer. A large table is served over
    // several rounds, at most kBroadcastBatch datagrams each, so that no
    // other client waits on it; texts queue behind within kBroadcastBacklog
    // bytes (beyond, a text is dropped with a log line).
    bool SendMessage(const std::string& text) override;
    bool HasPendingOutput() const override { return !broadcasts_.empty(); }
    bool Flush() override;

    static constexpr int kReadSize = 1024;
    static constexpr size_t kBroadcastBatch = 256;
    static constexpr size_t kBroadcastBacklog = 64 * 1024;

private:
    void sendSome(size_t budget);
    void moveSlot(size_t from, size_t to);
    void removeSlot(size_t slot);

    uint16_t port_;
    std::unordered_map<Network::IPeer, UDPClient, PeerHash, PeerEqual> peers_;
    // The peers in a stable order: a broadcast walks it, [0, next_) of it
    // has the front text already.
    std::vector<Network::IPeer> order_;
    std::deque<std::string> broadcasts_;
    size_t broadcastBytes_ = 0;
    size_t next_ = 0;
    NetworkLinux::UDPServerSocket* udp_;
};

// The bridge from the websocket server: lines of every web client arrive on
// queue 12 and share one session; the parser addresses the replies itself.
class WebsocketListener : public IListener {
public:
    explicit WebsocketListener(const Protocol7700::Parser* parser);
    ~WebsocketListener() override;
    bool Bind();
    // Tells the loop that records wait on queue 12 (any thread).
    void Wake();

    void SetInactivityTimeout(unsigned) override {}
    ListenerType GetType() const override { return WEBSOCKET; }
    bool Process(unsigned now) override;
    bool IsNoActivity(unsigned) override { return false; }
    bool SendMessage(const std::string&) override { return true; }

    // Records taken in one round; more wait for the next one.
    static constexpr int kRecordsPerRound = 64;

private:
    NetworkLinux::WebsocketSocket* pipe_;
    std::unique_ptr<Protocol7700::Session> session_;
};

}  // namespace Communication
