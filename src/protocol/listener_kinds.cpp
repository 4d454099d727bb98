#include "protocol/listeners.h"

#include "protocol/log_channel.h"
#include "protocol/parser.h"
#include "protocol/session.h"

#include <cerrno>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

_WSMSG ws_msg_cli_to_srv;

namespace {
std::atomic<uint32_t> gLastWebsocketId{0};
}

uint32_t ws_msg_cli_to_srv_id() { return gLastWebsocketId; }

void forget_ws_msg_cli_to_srv() {
    ws_msg_cli_to_srv = _WSMSG{};
    gLastWebsocketId = 0;
}

namespace Communication {
namespace {

bool transient(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

bool reportBind(bool ok, const char* listener, uint16_t port) {
    if (ok) st_listeners_log->info("%s bind to port %u", listener, static_cast<unsigned>(port));
    else st_listeners_log->error("%s bind error on port %u", listener, static_cast<unsigned>(port));
    return ok;
}

}  // namespace

// ---- serial port

SerialListener::SerialListener(Network::Baudrate code, const std::string& device, const Protocol7700::Parser* parser)
    : code_(code),
      device_(device),
      serial_(own(GetNetworkFactory().CreateSerialSocket())),
      session_(parser->CreateSession(0, 0)) {
    m_parser = parser;
}

SerialListener::~SerialListener() = default;

bool SerialListener::Bind() { return serial_->bind(code_, device_.c_str()); }

void SerialListener::SetInactivityTimeout(unsigned seconds) {
    m_timeout = seconds;
    session_->SetInactivityTimeout(seconds);
}

bool SerialListener::Process(unsigned now) {
    // Only what is there now: the loop must not wait for the line to finish.
    char text[kGatherSize];
    int count = 0;
    bool closed = false;
    while (count < kGatherSize - 1 && wait_for_more_data(*serial_->GetHandle(), 0)) {
        int n = serial_->read(text + count, kGatherSize - 1 - count);
        if (n > 0) {
            count += n;
            if (code_ == Network::BAUD_19200) ::usleep(1);
            continue;
        }
        // End of file or a hard error ends the port; a spurious wake-up does not.
        closed = n == 0 || !transient(errno);
        break;
    }
    if (count == 0) {
        if (closed) st_listeners_log->error("SerialListener read error");
        return !closed;
    }
    text[count] = '\0';
    std::string reply, interface = "serial";
    session_->Parse(text, count, now, reply, interface, 0);
    return reply.empty() || SendMessage(reply);
}

bool SerialListener::IsNoActivity(unsigned now) {
    session_->IsNoActivity(now);
    return false;
}

bool SerialListener::SendMessage(const std::string& text) {
    if (text.empty()) return true;
    auto write = [this](const char* data, int size) { return serial_->write(data, size); };
    switch (outbox_.Send(text, write)) {
    case Outbox::kSent: return true;
    case Outbox::kOverflow:
        // Nobody reads the port: its text is lost, as on a line with no one attached.
        st_listeners_log->warn("SerialListener output dropped");
        return true;
    case Outbox::kFailed: break;
    }
    st_listeners_log->error("SerialListener error in write");
    return false;
}

bool SerialListener::Flush() {
    auto write = [this](const char* data, int size) { return serial_->write(data, size); };
    if (outbox_.Flush(write) != Outbox::kFailed) return true;
    st_listeners_log->error("SerialListener error in write");
    return false;
}

// ---- TCP server

TCPListener::TCPListener(uint16_t port) : port_(port), server_(own(GetNetworkFactory().CreateTCPServerSocket())) {}

bool TCPListener::Bind() { return reportBind(server_->bind(port_), "TCPListener", port_); }

uint32_t TCPListener::WantedEvents() const {
    return std::chrono::steady_clock::now() < pausedUntil_ ? 0 : Network::SOCKET_READABLE;
}

void TCPListener::shortOfDescriptors(const char* why) {
    const auto now = std::chrono::steady_clock::now();
    if (lastShortage_ == std::chrono::steady_clock::time_point{} ||
        now - lastShortage_ > std::chrono::milliseconds(kEpisodeGapMs))
        std::printf("TCPListener: %s, new connections wait or are closed until descriptors are free\n", why);
    lastShortage_ = now;
}

bool TCPListener::Process(unsigned now) {
    std::unique_ptr<Network::ITCPClientSocket> connection = server_->accept();
    if (!connection) {
        const int error = errno;
        if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
            // The connection stays queued; polling for it now would spin.
            shortOfDescriptors("no descriptor left");
            pausedUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExhaustedPauseMs);
        } else {
            st_listeners_log->error("accept error");
        }
        return true;
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(*connection->GetHandle()) + kDescriptorReserve >= limit.rlim_cur) {
        // Descriptors are taken lowest first: every one below this is in use.
        shortOfDescriptors("descriptors running out");
        return true;
    }
    Listeners& registry = Listeners::Instance();
    if (registry.TcpClientCount() >= Listeners::kMaxTcpClients) {
        // Accepted and closed at once: more would overflow the poll request.
        std::printf("TCPListener: %zu clients, connection from %s closed\n", Listeners::kMaxTcpClients,
                    connection->GetPeer().text);
        return true;
    }
    st_listeners_log->info("New TCP channel from %s", connection->GetPeer().text);
    auto session = m_parser->CreateSession(static_cast<int>(m_timeout), static_cast<int>(now));
    registry.AddListener(new TCPClient(std::move(connection), std::move(session)));
    return true;
}

// ---- accepted TCP connection

TCPClient::TCPClient(std::unique_ptr<Network::ITCPClientSocket> connection,
                     std::unique_ptr<Protocol7700::Session> session)
    : connection_(own(std::move(connection))), session_(std::move(session)) {}

TCPClient::~TCPClient() {
    session_.reset();
    st_listeners_log->info("delete TCPClient %s", connection_->GetPeer().text);
}

bool TCPClient::Process(unsigned now) {
    char data[kReadSize];
    int n = connection_->read(data, kReadSize);
    st_listeners_log->debug("TCPClient %p , recv return %d", static_cast<void*>(this), n);
    if (n < 0 && transient(errno)) return true;
    if (n <= 0) {
        st_listeners_log->info("TCPClient %p , recv error", static_cast<void*>(this));
        return false;
    }
    std::string reply, interface = "tcp";
    session_->Parse(data, n, now, reply, interface, 0);
    return reply.empty() || SendMessage(reply);
}

bool TCPClient::IsNoActivity(unsigned now) {
    if (!session_->IsNoActivity(now)) return false;
    st_listeners_log->info("TCPClient %p NoActivity", static_cast<void*>(this));
    return true;
}

bool TCPClient::SendMessage(const std::string& text) {
    auto write = [this](const char* data, int size) { return connection_->write(data, size); };
    Outbox::Result r = outbox_.Send(text, write);
    if (r == Outbox::kSent) return true;
    // A client that fails or falls too far behind costs only itself.
    st_listeners_log->info("TCPClient %p , send %s", static_cast<void*>(this),
                           r == Outbox::kOverflow ? "backlog full" : "failed");
    return false;
}

uint32_t TCPClient::WantedEvents() const {
    return outbox_.Empty() ? Network::SOCKET_READABLE : Network::SOCKET_WRITABLE;
}

bool TCPClient::Flush() {
    auto write = [this](const char* data, int size) { return connection_->write(data, size); };
    if (outbox_.Flush(write) != Outbox::kFailed) return true;
    st_listeners_log->info("TCPClient %p , send failed", static_cast<void*>(this));
    return false;
}

// ---- UDP port and its peers

UDPClient::UDPClient(std::unique_ptr<Protocol7700::Session> session, const Network::IPeer& peer)
    : session_(std::move(session)), peer_(peer) {}
UDPClient::~UDPClient() = default;
UDPClient::UDPClient(UDPClient&&) noexcept = default;
UDPClient& UDPClient::operator=(UDPClient&&) noexcept = default;

size_t PeerHash::operator()(const Network::IPeer& peer) const {
    const uint32_t h = peer.address + 0x9e3779b9u;
    return h ^ (static_cast<uint32_t>(peer.port) + 0x9e3779b9u + (h << 6) + (h >> 2));
}

UDPListener::UDPListener(uint16_t port)
    : port_(port), peers_(10), udp_(own(GetNetworkFactory().CreateUDPServerSocket())) {}

bool UDPListener::Bind() { return reportBind(udp_->bind(port_), "UDPListener", port_); }

bool UDPListener::Process(unsigned now) {
    char data[kReadSize];
    Network::IPeer peer;
    int n = udp_->read(data, kReadSize, peer);
    if (n < 1) {
        st_listeners_log->error("UDPListener recvfrom error");
        return true;
    }
    auto known = peers_.find(peer);
    if (known != peers_.end()) {
        st_listeners_log->debug("UDPListener message from client %s", known->second.GetPeerName());
    } else {
        auto session = m_parser->CreateSession(static_cast<int>(m_timeout), static_cast<int>(now));
        known = peers_.emplace(peer, UDPClient(std::move(session), peer)).first;
        known->second.slot = order_.size();
        order_.push_back(peer);
        st_listeners_log->info("UDPListener new client from %s", known->second.GetPeerName());
    }
    std::string reply, interface = "udp";
    known->second.GetSession()->Parse(data, n, now, reply, interface, 0);
    if (!reply.empty() && udp_->write(reply.data(), static_cast<int>(reply.size()), peer) < static_cast<int>(reply.size()))
        st_listeners_log->error("UDPListener error in sendto %s", peer.text);
    return true;
}

bool UDPListener::IsNoActivity(unsigned now) {
    for (auto it = peers_.begin(); it != peers_.end();) {
        if (it->second.GetSession()->IsNoActivity(now)) {
            st_listeners_log->info("UDPListener no Activity %s", it->second.GetPeerName());
            removeSlot(it->second.slot);
            it = peers_.erase(it);
        } else {
            ++it;
        }
    }
    return false;
}

void UDPListener::moveSlot(size_t from, size_t to) {
    if (from == to) return;
    order_[to] = order_[from];
    peers_.find(order_[to])->second.slot = to;
}

// The order keeps its two parts: a peer that had the front text is
// replaced by another that had it, one that had not by one that had not.
void UDPListener::removeSlot(size_t slot) {
    const size_t last = order_.size() - 1;
    if (slot < next_) {
        moveSlot(next_ - 1, slot);
        moveSlot(last, next_ - 1);
        --next_;
    } else {
        moveSlot(last, slot);
    }
    order_.pop_back();
}

void UDPListener::sendSome(size_t budget) {
    while (!broadcasts_.empty()) {
        const std::string& text = broadcasts_.front();
        if (next_ >= order_.size()) {
            broadcastBytes_ -= text.size();
            broadcasts_.pop_front();
            next_ = 0;
            continue;
        }
        if (budget-- == 0) return;
        const Network::IPeer& peer = order_[next_];
        if (udp_->write(text.data(), static_cast<int>(text.size()), peer) < static_cast<int>(text.size())) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;  // the rest when the socket takes more
            st_listeners_log->error("UDPListener error in sendto %s", peer.text);
        }
        ++next_;
    }
}

bool UDPListener::SendMessage(const std::string& text) {
    if (order_.empty()) return true;
    if (broadcastBytes_ + text.size() > kBroadcastBacklog) {
        std::printf("UDPListener: %zu bytes wait for %zu peers, text dropped\n", broadcastBytes_, order_.size());
        return true;
    }
    broadcasts_.push_back(text);
    broadcastBytes_ += text.size();
    sendSome(kBroadcastBatch);
    return true;
}

bool UDPListener::Flush() {
    sendSome(kBroadcastBatch);
    return true;
}

// ---- websocket bridge

WebsocketListener::WebsocketListener(const Protocol7700::Parser* parser)
    : pipe_(own(GetNetworkFactory().CreateWebsocketSocket())), session_(parser->CreateSession(0, 0)) {
    m_parser = parser;
}

WebsocketListener::~WebsocketListener() = default;

bool WebsocketListener::Bind() { return pipe_->bind(); }

void WebsocketListener::Wake() { pipe_->write("0", 1); }

bool WebsocketListener::Process(unsigned now) {
    char drained[1024];
    pipe_->read(drained, sizeof drained);
    // The record buffer is ws_msg_cli_to_srv itself: the older engine
    // addresses its replies by the id of the record taken last.
    for (int taken = 0; taken < kRecordsPerRound; ++taken) {
        if (get_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &ws_msg_cli_to_srv) < 0) return true;
        gLastWebsocketId = ws_msg_cli_to_srv.wsi;
        std::string reply, interface = "websocket";
        session_->Parse(ws_msg_cli_to_srv.text, static_cast<int>(ws_msg_cli_to_srv.length), now, reply, interface,
                        static_cast<int>(ws_msg_cli_to_srv.wsi));
    }
    // A busy web page must not hold the loop: the rest waits one round.
    Wake();
    return true;
}

}  // namespace Communication
