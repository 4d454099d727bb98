// Clients of the device's web server as a web page and a browser use it:
// websocket connections on a subprotocol over libwebsockets (one client
// context with its own service thread, as a browser holds many tabs), and
// raw HTTP requests whose bytes the test chooses. Header-only: the unit
// tests, the end-to-end tests and the benchmarks share it.
#pragma once

#include "loopback.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <libwebsockets.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hx40test {

class WebClients {
public:
    using Clock = std::chrono::steady_clock;
    struct Message {
        std::string text;
        Clock::time_point at;
    };

    // deflate: offer permessage-deflate, as browsers do.
    explicit WebClients(int port, bool deflate = false) : port_(port) {
        static const lws_protocols kProtocols[] = {
            {"p7k", &WebClients::callback, 0, 0, 0, nullptr, 0},
            {nullptr, nullptr, 0, 0, 0, nullptr, 0},
        };
        static const lws_extension kExtensions[] = {
            {"permessage-deflate", lws_extension_callback_pm_deflate,
             "permessage-deflate; client_no_context_takeover; client_max_window_bits"},
            {nullptr, nullptr, nullptr},
        };
        lws_context_creation_info info;
        std::memset(&info, 0, sizeof info);
        info.port = CONTEXT_PORT_NO_LISTEN;
        info.protocols = kProtocols;
        info.extensions = deflate ? kExtensions : nullptr;
        info.gid = -1;
        info.uid = -1;
        info.user = this;
        info.options = LWS_SERVER_OPTION_DISABLE_IPV6;
        context_ = lws_create_context(&info);
        if (context_ != nullptr) service_ = std::thread([this] {
            while (!stop_) lws_service(context_, 0);
        });
    }

    ~WebClients() {
        if (context_ == nullptr) return;
        stop_ = true;
        lws_cancel_service(context_);
        service_.join();
        lws_context_destroy(context_);
    }

    WebClients(const WebClients&) = delete;
    WebClients& operator=(const WebClients&) = delete;

    // Messages that begin with prefix are dropped as they arrive (the
    // web-lock state every page is told when a page connects).
    void ignore(const std::string& prefix) {
        std::lock_guard<std::mutex> lock(mutex_);
        ignored_ = prefix;
    }

    // Opens a connection asking for the subprotocol; its number once the
    // server accepted it, -1 when it did not within timeoutMs.
    int open(const std::string& protocol = "p7k", int timeoutMs = 5000) {
        std::unique_lock<std::mutex> lock(mutex_);
        const int n = static_cast<int>(conns_.size());
        conns_.push_back(std::make_unique<Conn>());
        conns_.back()->protocol = protocol;
        lock.unlock();
        wake();
        lock.lock();
        Conn& c = *conns_[static_cast<size_t>(n)];
        cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return c.state != Conn::kConnecting; });
        return c.state == Conn::kOpen ? n : -1;
    }

    // Sends one text frame; with pieces, one message in several fragments.
    void send(int client, const std::string& text) { sendPieces(client, {text}); }
    void sendPieces(int client, const std::vector<std::string>& pieces) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            conn(client).out.push_back(pieces);
        }
        wake();
    }

    // Ends the connection from the client's side.
    void close(int client) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            conn(client).closeWanted = true;
        }
        wake();
    }

    // The next message the client received, "" when none within timeoutMs.
    std::string next(int client, int timeoutMs = 3000) {
        std::unique_lock<std::mutex> lock(mutex_);
        Conn& c = conn(client);
        if (!cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return c.read < c.in.size(); }))
            return std::string();
        return c.in[c.read++].text;
    }

    // The messages not taken yet, after waiting waitMs for more.
    std::vector<std::string> drain(int client, int waitMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        std::lock_guard<std::mutex> lock(mutex_);
        Conn& c = conn(client);
        std::vector<std::string> out;
        for (; c.read < c.in.size(); ++c.read) out.push_back(c.in[c.read].text);
        return out;
    }

    // When the client received a message holding needle (time-point zero
    // when it did not within timeoutMs); the messages before it are taken.
    Clock::time_point arrival(int client, const std::string& needle, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        Conn& c = conn(client);
        Clock::time_point found{};
        cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (; c.read < c.in.size(); ++c.read)
                if (c.in[c.read].text.find(needle) != std::string::npos) {
                    found = c.in[c.read++].at;
                    return true;
                }
            return false;
        });
        return found;
    }

    // True when the server closed the connection within timeoutMs.
    bool closedByServer(int client, int timeoutMs = 3000) {
        std::unique_lock<std::mutex> lock(mutex_);
        Conn& c = conn(client);
        return cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return c.state == Conn::kClosed; });
    }

    bool ok() const { return context_ != nullptr; }

private:
    struct Conn {
        enum State { kConnecting, kOpen, kFailed, kClosed };
        std::string protocol;
        lws* wsi = nullptr;
        bool started = false;
        State state = kConnecting;
        bool closeWanted = false;
        std::deque<std::vector<std::string>> out;
        std::string partial;
        std::vector<Message> in;
        size_t read = 0;
    };

    Conn& conn(int client) { return *conns_.at(static_cast<size_t>(client)); }
    void wake() {
        if (context_ != nullptr) lws_cancel_service(context_);
    }

    // On the service thread: start new connections, ask writeable turns.
    void serviceRequests() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& c : conns_) {
            if (!c->started) {
                c->started = true;
                lws_client_connect_info i;
                std::memset(&i, 0, sizeof i);
                i.context = context_;
                i.address = "127.0.0.1";
                i.port = port_;
                i.path = "/";
                i.host = "127.0.0.1";
                i.origin = "127.0.0.1";
                i.protocol = c->protocol.c_str();
                i.local_protocol_name = "p7k";
                i.userdata = c.get();
                i.pwsi = &c->wsi;
                if (lws_client_connect_via_info(&i) == nullptr) c->state = Conn::kFailed;
            } else if (c->wsi != nullptr && c->state == Conn::kOpen && (!c->out.empty() || c->closeWanted)) {
                lws_callback_on_writable(c->wsi);
            }
        }
        cond_.notify_all();
    }

    int writeable(Conn& c, lws* wsi) {
        std::vector<std::string> pieces;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (c.closeWanted) return -1;
            if (c.out.empty()) return 0;
            pieces = std::move(c.out.front());
            c.out.pop_front();
        }
        for (size_t k = 0; k < pieces.size(); ++k) {
            std::vector<unsigned char> buf(LWS_PRE + pieces[k].size());
            std::memcpy(buf.data() + LWS_PRE, pieces[k].data(), pieces[k].size());
            int flags = lws_write_ws_flags(LWS_WRITE_TEXT, k == 0, k + 1 == pieces.size());
            if (lws_write(wsi, buf.data() + LWS_PRE, pieces[k].size(), static_cast<lws_write_protocol>(flags)) < 0)
                return -1;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (!c.out.empty() || c.closeWanted) lws_callback_on_writable(wsi);
        return 0;
    }

    static int callback(lws* wsi, lws_callback_reasons reason, void* user, void* in, size_t len) {
        auto* self = static_cast<WebClients*>(lws_context_user(lws_get_context(wsi)));
        auto* c = static_cast<Conn*>(user);
        switch (reason) {
        case LWS_CALLBACK_EVENT_WAIT_CANCELLED:
            self->serviceRequests();
            return 0;
        case LWS_CALLBACK_CLIENT_ESTABLISHED:
            self->setState(*c, Conn::kOpen);
            return 0;
        case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
            if (c != nullptr) self->setState(*c, Conn::kFailed);
            return 0;
        case LWS_CALLBACK_CLIENT_CLOSED:
            if (c != nullptr) self->setState(*c, Conn::kClosed);
            return 0;
        case LWS_CALLBACK_CLIENT_RECEIVE: {
            std::lock_guard<std::mutex> lock(self->mutex_);
            c->partial.append(static_cast<const char*>(in), len);
            if (lws_is_final_fragment(wsi)) {
                if (self->ignored_.empty() || c->partial.compare(0, self->ignored_.size(), self->ignored_) != 0)
                    c->in.push_back({std::move(c->partial), Clock::now()});
                c->partial.clear();
                self->cond_.notify_all();
            }
            return 0;
        }
        case LWS_CALLBACK_CLIENT_WRITEABLE:
            return self->writeable(*c, wsi);
        default:
            return 0;
        }
    }

    void setState(Conn& c, Conn::State state) {
        std::lock_guard<std::mutex> lock(mutex_);
        c.state = state;
        if (state != Conn::kOpen) c.wsi = nullptr;
        cond_.notify_all();
    }

    int port_;
    lws_context* context_ = nullptr;
    std::thread service_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable cond_;
    std::vector<std::unique_ptr<Conn>> conns_;
    std::string ignored_;
};

// One HTTP exchange on a fresh connection: the request's bytes exactly as
// given, and what came back until the server closed or a whole answer
// (headers and content-length bytes) arrived.
struct HttpAnswer {
    int status = 0;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string body;
};

inline HttpAnswer httpExchange(int port, const std::string& request, int timeoutMs = 3000) {
    HttpAnswer answer;
    LoopbackTcp c;
    if (!c.connect(port) || !c.send(request)) return answer;
    const std::string head = c.until("\r\n\r\n", timeoutMs);
    if (head.compare(0, 9, "HTTP/1.1 ") != 0) return answer;
    answer.status = std::stoi(head.substr(9, 3));
    for (size_t pos = head.find("\r\n") + 2; pos + 2 < head.size();) {
        const size_t eol = head.find("\r\n", pos);
        const std::string line = head.substr(pos, eol - pos);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            const size_t v = line.find_first_not_of(' ', colon + 1);
            answer.headers[name] = v == std::string::npos ? "" : line.substr(v);
        }
        pos = eol + 2;
    }
    auto length = answer.headers.find("content-length");
    answer.body = length != answer.headers.end() ? c.take(std::stoul(length->second), timeoutMs) : c.drain(200);
    return answer;
}

// A websocket client written by hand: the upgrade on a plain connection
// that can end without the closing handshake, as a page whose machine lost
// its power.
class RawWebsocket : public LoopbackTcp {
public:
    // receiveBuffer > 0 shrinks the socket's receive buffer first.
    explicit RawWebsocket(int port, int receiveBuffer = 0) {
        upgraded_ = connect(port, receiveBuffer) &&
                    send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
                         "Sec-WebSocket-Protocol: p7k\r\n\r\n") &&
                    until("\r\n\r\n").compare(0, 12, "HTTP/1.1 101") == 0;
    }
    bool upgraded() const { return upgraded_; }
    void vanish() { reset(); }

private:
    bool upgraded_ = false;
};

inline HttpAnswer httpGet(int port, const std::string& path, const std::string& extraHeaders = "") {
    return httpExchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders +
                                  "Connection: close\r\n\r\n");
}

}  // namespace hx40test
