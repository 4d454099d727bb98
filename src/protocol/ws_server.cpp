#include "protocol/ws_server.h"

#include "commands/p7k_thread.h"
#include "core/weblock.h"
#include "platform/board.h"
#include "platform/net.h"
#include "platform/sim/ctl.h"
#include "protocol/ws_http.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <libwebsockets.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

std::atomic<uint32_t> wsi_cnt{0};

namespace {

// A client that does not read falls behind alone: past this much unsent
// text it is dropped (as a TCP client is).
constexpr size_t kClientBacklogLimit = 64 * 1024;
// At most this many web clients, as for TCP; the next one is closed with
// "try again later" (1013) right after its handshake.
constexpr size_t kMaxWebClients = 64;
constexpr uint16_t kCloseTryAgainLater = 1013;
// The server's descriptors (clients, HTTP requests, its own pipe): beyond,
// it stops accepting instead of taking the program's last descriptors.
constexpr unsigned kServerDescriptors = 2 * kMaxWebClients;

// One text for web clients, with the library's write headroom in front so
// that the frame header goes there without another copy. One record serves
// every connection the text goes to; the library keeps the unsent rest of a
// frame itself and calls the connection writeable again only once it went
// out, so no write position is kept here.
class lws_bookmarker {
public:
    explicit lws_bookmarker(const _WSMSG& msg) : buf_(LWS_PRE + msg.length), id_(msg.wsi) {
        std::memcpy(buf_.data() + LWS_PRE, msg.text, msg.length);
    }
    unsigned char* get_msg() { return buf_.data() + LWS_PRE; }
    size_t get_msg_len() const { return buf_.size() - LWS_PRE; }
    uint32_t get_ws_id() const { return id_; }
    bool is_msg_broadcast() const { return id_ == 0; }

private:
    std::vector<unsigned char> buf_;
    uint32_t id_;
};

// A registered "p7k" connection: its texts waiting to be written and the
// line it is receiving.
struct Client {
    lws* wsi = nullptr;
    std::deque<std::shared_ptr<lws_bookmarker>> out;
    size_t outBytes = 0;
    std::string rx;
    bool rxRefused = false;
    bool dropping = false;
};

// The per-connection data of "p7k": the connection's websocket id.
struct P7kSession {
    uint32_t id;
};

// ---- state of the service thread

std::map<uint32_t, Client> ws_instances_map;  // id -> client, in id order
uint32_t wsi_id = 1;                          // next id; ids are never reused

std::atomic<bool> force_exit{false};
std::atomic<bool> force_reset{false};
std::atomic<bool> gInterrupted{false};
std::atomic<bool> gStarted{false};

// The running server's context, for lws_cancel_service from other threads.
std::mutex gContextMutex;
lws_context* context = nullptr;

// Guarded by lws_reset_mutex: a server is up, and how often one went down.
bool gServerUp = false;
unsigned gServerDowns = 0;
thread_local bool tServiceThread = false;

void cancelService() {
    std::lock_guard<std::mutex> lock(gContextMutex);
    if (context != nullptr) lws_cancel_service(context);
}

std::string bindAddress() {
    in_addr a{};
    a.s_addr = board::net::serverBindAddress();
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

void emitLibraryLog(int level, const char* line) {
    if (level & LLL_ERR) std::printf("lws: %s", line);
    else PRINT(PRINT_GENERAL, "lws: %s", line);
}

// ---- the "p7k" subprotocol

void unregister(P7kSession* pss) {
    if (pss == nullptr || pss->id == 0) return;
    if (ws_instances_map.erase(pss->id) != 0) --wsi_cnt;
    pss->id = 0;
}

void enqueue(uint32_t id, Client& client, const std::shared_ptr<lws_bookmarker>& message) {
    if (client.dropping) return;
    if (client.outBytes + message->get_msg_len() > kClientBacklogLimit) {
        std::printf("websocket id %u does not read: %zu bytes wait, connection dropped\n", id, client.outBytes);
        client.dropping = true;
        client.out.clear();
        client.outBytes = 0;
        lws_set_timeout(client.wsi, PENDING_TIMEOUT_USER_OK, LWS_TO_KILL_ASYNC);
        return;
    }
    client.out.push_back(message);
    client.outBytes += message->get_msg_len();
}

// Takes every record waiting on queue 11 into the queues of the clients it
// is for, then asks each client with texts for a writeable turn.
void takeQueuedTexts() {
    _WSMSG record;
    while (get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &record) >= 0) {
        auto message = std::make_shared<lws_bookmarker>(record);
        if (message->is_msg_broadcast()) {
            for (auto& [id, client] : ws_instances_map) enqueue(id, client, message);
            continue;
        }
        auto it = ws_instances_map.find(message->get_ws_id());
        if (it == ws_instances_map.end()) {
            PRINT(PRINT_GENERAL, "websocket id %u is gone, text dropped\n", message->get_ws_id());
            continue;
        }
        enqueue(it->first, it->second, message);
    }
    for (auto& [id, client] : ws_instances_map)
        if (!client.out.empty()) lws_callback_on_writable(client.wsi);
}

// One text per writeable turn; the turn is asked again while texts wait.
int writeNext(P7kSession* pss, lws* wsi) {
    auto it = ws_instances_map.find(pss->id);
    if (it == ws_instances_map.end() || it->second.out.empty()) return 0;
    Client& client = it->second;
    std::shared_ptr<lws_bookmarker> message = std::move(client.out.front());
    client.out.pop_front();
    client.outBytes -= message->get_msg_len();
    int n = lws_write(wsi, message->get_msg(), message->get_msg_len(), LWS_WRITE_TEXT);
    if (n < 0) {
        std::printf("message was not send successfully to websocket id %u\n", pss->id);
        return -1;
    }
    if (!client.out.empty()) lws_callback_on_writable(wsi);
    return 0;
}

// A line may come in several pieces; it goes to the protocol loop whole, or
// not at all when it does not fit a record (a cut line could run a
// truncated command).
void receive(P7kSession* pss, lws* wsi, const char* in, size_t len) {
    auto it = ws_instances_map.find(pss->id);
    if (it == ws_instances_map.end()) return;
    Client& client = it->second;
    if (!client.rxRefused) {
        if (client.rx.size() + len > kWsTextMax) {
            client.rxRefused = true;
            client.rx.clear();
        } else {
            client.rx.append(in, len);
        }
    }
    if (!lws_is_final_fragment(wsi)) return;
    if (client.rxRefused) {
        std::printf("websocket id %u: a text longer than %zu bytes refused\n", pss->id, kWsTextMax);
        client.rxRefused = false;
        return;
    }
    _WSMSG record;
    record.wsi = pss->id;
    setWsText(record, client.rx.data(), client.rx.size());
    client.rx.clear();
    if (send_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &record) == 0) NorvaCommands::WakeWebsocketListener();
}

int callback_p7k(lws* wsi, lws_callback_reasons reason, void* user, void* in, size_t len) {
    auto* pss = static_cast<P7kSession*>(user);
    switch (reason) {
    case LWS_CALLBACK_ESTABLISHED:
        if (ws_instances_map.size() >= kMaxWebClients) {
            pss->id = 0;
            std::printf("websocket: %zu clients, a new one refused\n", kMaxWebClients);
            static const char kWhy[] = "too many clients";
            lws_close_reason(wsi, static_cast<lws_close_status>(kCloseTryAgainLater),
                             reinterpret_cast<unsigned char*>(const_cast<char*>(kWhy)), sizeof kWhy - 1);
            return -1;
        }
        pss->id = wsi_id++;
        ws_instances_map[pss->id].wsi = wsi;
        ++wsi_cnt;
        new_wsi_announce_web_lock_messages(pss->id);
        break;
    case LWS_CALLBACK_RECEIVE:
        receive(pss, wsi, static_cast<const char*>(in), len);
        break;
    case LWS_CALLBACK_SERVER_WRITEABLE:
        if (force_reset) return -1;  // the server goes down: close the connection
        return writeNext(pss, wsi);
    case LWS_CALLBACK_EVENT_WAIT_CANCELLED:
        takeQueuedTexts();
        break;
    case LWS_CALLBACK_CLOSED:
        // Every end of a connection comes here, with or without a closing
        // handshake: the registry never keeps a connection that is gone.
        unregister(pss);
        break;
    default:
        break;
    }
    return 0;
}

// True when the socket listening on port listens on a loopback address
// only. It is looked for among the process's descriptors without opening one:
// there may be none left, and then the library, unable to look the interface
// up, binds every address instead.
bool listensOnLoopbackOnly(int port) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    std::vector<pollfd> fds(static_cast<size_t>(std::min<rlim_t>(limit.rlim_cur, 65536)));
    for (size_t i = 0; i < fds.size(); ++i) fds[i].fd = static_cast<int>(i);
    if (::poll(fds.data(), fds.size(), 0) < 0) return false;
    for (const pollfd& p : fds) {
        int listening = 0;
        socklen_t size = sizeof listening;
        sockaddr_in a{};
        socklen_t length = sizeof a;
        if ((p.revents & POLLNVAL) ||
            ::getsockopt(p.fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening ||
            ::getsockname(p.fd, reinterpret_cast<sockaddr*>(&a), &length) != 0 || a.sin_family != AF_INET ||
            ntohs(a.sin_port) != port)
            continue;
        return (ntohl(a.sin_addr.s_addr) >> 24) == 127;
    }
    return false;
}

const lws_protocols kProtocols[] = {
    {"http-only", callback_http, kHttpSessionSize, 0, 0, nullptr, 0},
    {"p7k", callback_p7k, sizeof(P7kSession), 0, 0, nullptr, 0},
    {nullptr, nullptr, 0, 0, 0, nullptr, 0},
};

const lws_extension kExtensions[] = {
    {"permessage-deflate", lws_extension_callback_pm_deflate,
     "permessage-deflate; client_no_context_takeover; client_max_window_bits"},
    {nullptr, nullptr, nullptr},
};

// Closes every client: each one's writeable turn refuses (force_reset).
void closeEveryClient(lws_context* ctx) {
    size_t n = ws_instances_map.size();
    for (auto& [id, client] : ws_instances_map) {
        PRINT(PRINT_GENERAL, "\033[31mdeleting key: %u <--> val: %p\033[0m\n", id, static_cast<void*>(client.wsi));
        lws_callback_on_writable(client.wsi);
    }
    PRINT(PRINT_GENERAL, "\033[31mdeleted %zu lws key(s)\033[0m\n", n);
    for (size_t pass = 0; pass < 2 * n + 2 && !ws_instances_map.empty(); ++pass) lws_service(ctx, -1);
}

void markServer(bool up) {
    MutexLock lock(lws_reset_mutex);
    gServerUp = up;
    if (!up) {
        ++gServerDowns;
        pthread_cond_broadcast(&lws_reset_cond);
    }
}

bool serverUp() {
    MutexLock lock(lws_reset_mutex);
    return gServerUp;
}

void registerControl() {
    static std::once_flag once;
    std::call_once(once, [] {
        board::sim::ctl::add("ws-reset", "ws-reset                  restart the web server as a network save does",
                             [](const std::vector<std::string>&) {
                                 if (!serverUp()) return std::string("ERR no web server runs");
                                 reset_lws_protocol();
                                 return std::string("OK web server restarted");
                             });
        board::sim::ctl::addState("websocket", [] {
            return std::string("server ") + (serverUp() ? "up" : "down") + "\nclients " +
                   std::to_string(wsi_cnt.load()) + "\n";
        });
    });
}

}  // namespace

void* lws_service_task(void*) {
    // The state of one task: an interrupt stops the task it meets, and ids
    // grow within a task. A task started afterwards (tests start one per
    // server) begins afresh.
    gInterrupted = false;
    wsi_id = 1;
    registerControl();
    tServiceThread = true;
    lws_set_log_level(LLL_ERR | LLL_WARN | LLL_NOTICE, emitLibraryLog);
    const std::string iface = bindAddress();
    for (;;) {
        lws_context_creation_info info;
        std::memset(&info, 0, sizeof info);
        info.port = board::net::webServerPort();
        info.iface = iface.c_str();
        info.protocols = kProtocols;
        info.extensions = kExtensions;
        info.gid = -1;
        info.uid = -1;
        info.options = LWS_SERVER_OPTION_VALIDATE_UTF8 | LWS_SERVER_OPTION_DISABLE_IPV6;
        info.max_http_header_pool = 16;
        info.fd_limit_per_thread = kServerDescriptors;
        info.timeout_secs = 5;
        PRINT(PRINT_GENERAL, "Using resource path \"%s\"\n", board::deviceText("/var/www/html"));

        lws_context* ctx = lws_create_context(&info);
        if (ctx == nullptr) {
            std::printf("libwebsocket init failed\n");
            return nullptr;
        }
        if (!listensOnLoopbackOnly(info.port)) {
            // Stopped, and made again a second later, when descriptors may be free.
            std::printf("web server not listening on %s only: stopped\n", iface.c_str());
            lws_context_destroy(ctx);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (gInterrupted) return nullptr;
            continue;
        }
        wrapFileOpen(ctx);
        force_reset = false;
        force_exit = gInterrupted.load();
        wsi_cnt = 0;
        {
            std::lock_guard<std::mutex> lock(gContextMutex);
            context = ctx;
        }
        markServer(true);
        gStarted = true;
        std::printf("\033[34mlibwebsocket service has started\033[0m\n");

        int n = 0;
        while (n >= 0 && !force_exit) n = lws_service(ctx, 0);
        const bool reset = force_reset && !gInterrupted;
        std::printf("\033[34mlws service thread stopped, n %d, force_exit %d, force_reset %d\033[0m\n", n,
                    static_cast<int>(force_exit.load()), static_cast<int>(force_reset.load()));
        if (reset) closeEveryClient(ctx);

        {
            std::lock_guard<std::mutex> lock(gContextMutex);
            context = nullptr;
        }
        markServer(false);
        lws_context_destroy(ctx);
        ws_instances_map.clear();
        wsi_cnt = 0;
        empty_queue(E_EXMSG_TYPE_WS_SRV_TO_CLI);
        std::printf("\033[34mlibwebsocket service force reset %d\033[0m\n", static_cast<int>(reset));
        if (!reset) {
            std::printf("\033[34mexiting task completely ERROR !!!!!!!!\033[0m\n");
            return nullptr;
        }
    }
}

void invoke_lws_callback_writeable_event() {
    if (force_exit) return;
    cancelService();
}

void reset_lws_protocol() {
    MutexLock lock(lws_reset_mutex);
    if (!gServerUp) {
        PRINT(PRINT_GENERAL, "reset_lws_protocol: no web server runs\n");
        return;
    }
    force_reset = true;
    force_exit = true;
    cancelService();
    if (tServiceThread) return;  // the server thread goes on by itself
    const unsigned target = gServerDowns + 1;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += kResetWaitMs / 1000;
    while (static_cast<int>(gServerDowns - target) < 0) {
        if (pthread_cond_timedwait(&lws_reset_cond, &lws_reset_mutex, &deadline) == ETIMEDOUT) {
            std::printf("reset_lws_protocol: the web server did not stop within %u ms\n", kResetWaitMs);
            return;
        }
    }
}

bool lwsServerStarted() { return gStarted; }

void lwsInterrupt() {
    gInterrupted = true;
    force_exit = true;
    cancelService();
}

void get_web_version(char* out) {
    out[0] = '\0';
    std::ifstream in("../memfiles//web/version.json", std::ios::binary);
    if (!in) return;
    char text[101] = {};
    in.read(text, 100);
    const std::string json(text, static_cast<size_t>(in.gcount()));
    auto piece = [&json](const char* key, char end) {
        size_t at = json.find(key);
        if (at == std::string::npos) return std::string();
        at += std::strlen(key);
        size_t stop = json.find(end, at);
        return json.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
    };
    const std::string version =
        piece("\"major\":", ',') + "." + piece("\"minor\":", ',') + "." + piece("\"build\":", '}');
    std::snprintf(out, kWebVersionSize, "%s", version.c_str());
}
