#include "protocol/listeners.h"

#include "protocol/log_channel.h"
#include "sys/print.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <thread>

namespace Communication {

ILogChannel* st_listeners_log = IChannelsFactory::Instance().GetLogChannel("communication");

namespace {

std::atomic<TimeSource> gTimeSource{nullptr};

// After a failed poll: a short pause instead of a spinning loop.
constexpr auto kPollFailurePause = std::chrono::milliseconds(20);

void fatalAssert(bool ok, const char* expression) {
    if (ok) return;
    std::fprintf(stderr, "Assertion failed: %s\n", expression);
    std::abort();
}

}  // namespace

const char* GetListenerTypeName(ListenerType type) {
    static const char* const kNames[] = {"TCP_SERVER", "TCP_CLIENT", "UDP_SERVER", "SERIAL", "WEBSOCKET"};
    fatalAssert(type >= TCP_SERVER && type < MAX_VAL, "type >= TCP_SERVER && type < MAX_VAL");
    return kNames[type];
}

unsigned GetTimeSec() {
    if (TimeSource source = gTimeSource.load()) return source();
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<unsigned>(ts.tv_sec);
}

void SetTimeSource(TimeSource source) { gTimeSource = source; }

bool wait_for_more_data(int fd, int usec) {
    pollfd p{fd, POLLIN, 0};
    timespec wait{usec / 1000000, static_cast<long>(usec % 1000000) * 1000};
    return ::ppoll(&p, 1, &wait, nullptr) > 0 && (p.revents & POLLIN);
}

IListener::~IListener() = default;

uint32_t IListener::WantedEvents() const {
    return Network::SOCKET_READABLE | (HasPendingOutput() ? Network::SOCKET_WRITABLE : 0);
}

Listeners& Listeners::Instance() {
    static Listeners* registry = new Listeners();
    return *registry;
}

Listeners::Listeners() {
    st_listeners_log->info("listen log starts");
    if (!m_pipe.bind()) st_listeners_log->error("Listeners pipe error");
}

Listeners::~Listeners() {
    for (IListener* l : m_addList) delete l;
    for (IListener* l : m_listeners) delete l;
    st_listeners_log->info("listen log ends");
}

void Listeners::SetParser(const Protocol7700::Parser* parser) {
    fatalAssert(!m_parser, "!m_parser");
    m_parser = parser;
}

void Listeners::AddListener(IListener* listener) {
    listener->SetInactivityTimeout(m_timeout);
    listener->SetParser(m_parser);
    m_addList.push_back(listener);
}

void Listeners::RemoveListener(IListener* listener) { m_removeList.push_back(listener); }

size_t Listeners::TcpClientCount() const {
    auto client = [](const IListener* l) { return l->GetType() == TCP_CLIENT; };
    return static_cast<size_t>(std::count_if(m_listeners.begin(), m_listeners.end(), client) +
                               std::count_if(m_addList.begin(), m_addList.end(), client));
}

void Listeners::Post(P7KMsg message) {
    m_queue.push(std::move(message));
    m_pipe.write("1", 1);
}

void Listeners::Stop() {
    m_running = false;
    m_pipe.write("1", 1);
}

void Listeners::Reset() {
    m_removeList.clear();
    std::vector<IListener*> all(m_listeners.begin(), m_listeners.end());
    all.insert(all.end(), m_addList.begin(), m_addList.end());
    m_listeners.clear();
    m_addList.clear();
    for (IListener* l : all) {
        if (removeHook_) removeHook_(l);
        delete l;
    }
    removeHook_ = nullptr;
    m_parser = nullptr;
    forget_ws_msg_cli_to_srv();
    P7KMsg dropped;
    while (m_queue.try_pop(dropped)) {
    }
    char drained[256];
    while (wait_for_more_data(*m_pipe.GetHandle(), 0)) m_pipe.read(drained, sizeof drained);
}

void Listeners::SendMessage(ListenerType type, const std::string& text) {
    for (IListener* l : m_listeners)
        if (l->GetType() == type && !l->SendMessage(text)) RemoveListener(l);
}

void Listeners::SendBroadcast(const std::string& text) {
    for (IListener* l : m_listeners) {
        bool sent;
        if (l->GetType() == SERIAL) {
            PRINT(PRINT_GENERAL, "%s\n", l->GetSocket()->Name());
            sent = l->SendBroadcast(text);
        } else {
            sent = l->SendMessage(text);
        }
        if (!sent) RemoveListener(l);
    }
}

// A listener may be marked more than once in a round (a failed read, then a
// failed broadcast); it is deleted once, and only if the registry holds it.
void Listeners::removeMarked() {
    for (IListener* l : m_removeList) {
        if (m_listeners.erase(l) == 0) {
            auto added = std::find(m_addList.begin(), m_addList.end(), l);
            if (added == m_addList.end()) continue;
            m_addList.erase(added);
        }
        st_listeners_log->info("Remove from listener list %s", GetListenerTypeName(l->GetType()));
        if (removeHook_) removeHook_(l);
        delete l;
    }
    m_removeList.clear();
}

void Listeners::deliverQueued() {
    char byte;
    m_pipe.read(&byte, 1);
    P7KMsg message;
    if (!m_queue.try_pop(message)) return;
    if (message.broadcast) SendBroadcast(message.text);
    else SendMessage(message.type, message.text);
}

void Listeners::Run() {
    fatalAssert(m_parser != nullptr, "m_parser");
    NetworkLinux::Selector& selector = GetNetworkFactory().GetSelector();
    st_listeners_log->info("Listeners run start");
    m_running = true;
    unsigned lastIdleCheck = GetTimeSec();
    for (;;) {
        removeMarked();
        m_listeners.insert(m_addList.begin(), m_addList.end());
        m_addList.clear();

        events_.clear();
        polled_.clear();
        for (IListener* l : m_listeners) {
            events_.push_back({l->GetSocket(), l->WantedEvents(), 0});
            polled_.push_back(l);
        }
        events_.push_back({&m_pipe, Network::SOCKET_READABLE, 0});
        int rc = selector.poll(events_.data(), static_cast<int>(events_.size()), kPollTimeoutMs);

        const unsigned now = GetTimeSec();
        if (!m_running) return;
        const bool idleCheck = now - lastIdleCheck > 1;
        if (idleCheck) lastIdleCheck = now;
        if (rc == -1) {
            st_listeners_log->error("Error calling poll");
            std::this_thread::sleep_for(kPollFailurePause);
        }

        for (size_t i = 0; i < polled_.size(); ++i) {
            IListener* l = polled_[i];
            const uint32_t ev = events_[i].returned;
            bool keep = true;
            if (ev & Network::SOCKET_ERROR) {
                st_listeners_log->warn("revents errors");
                keep = false;
            } else {
                if (ev & Network::SOCKET_WRITABLE) keep = l->Flush();
                if (keep && (ev & Network::SOCKET_READABLE)) keep = l->Process(now);
                else if (keep && idleCheck) keep = !l->IsNoActivity(now);
            }
            if (!keep) RemoveListener(l);
        }

        if (events_.back().returned & Network::SOCKET_READABLE) deliverQueued();
        if (!m_running) return;
    }
}

}  // namespace Communication
