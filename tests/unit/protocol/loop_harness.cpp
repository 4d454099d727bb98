#include "loop_harness.h"

#include "support/sim_device.h"
#include "sys/msgq.h"

#include <chrono>
#include <ctime>
#include <netinet/in.h>
#include <pthread.h>

namespace hx40test {

using namespace Communication;
using Protocol7700::PARAM_STRING;

LoopHarness::LoopHarness() {
    if (create_message_queues() != 0) throw std::runtime_error("message queues");
    SetTimeSource([] { return clock_.load(); });
    auto echo = [](const std::list<ParameterValue>& p, std::string& reply, std::string&) {
        for (const auto& v : p) reply += (reply.empty() ? "" : " ") + std::string(v.text);
        return 0;
    };
    const auto T = PARAM_STRING;
    parser_.AddCommand(new TestCommand("ECHO", {T, T, T, T, T, T, T}, 1, Protocol7700::RESPONSE_REQUESTER, echo));
    parser_.AddCommand(new TestCommand("ALL", {T}, 1, Protocol7700::RESPONSE_ALL_CLIENTS, echo));
    // A reply of n bytes, as a chain of HELP words gives one.
    parser_.AddCommand(new TestCommand("BIG", {Protocol7700::PARAM_INTEGER}, 1, Protocol7700::RESPONSE_REQUESTER,
                                       [](const std::list<ParameterValue>& p, std::string& reply, std::string&) {
                                           reply.assign(static_cast<size_t>(p.front().integer), 'b');
                                           return 0;
                                       }));
    // Detaches the serial port the way the command set does, marked twice.
    parser_.AddCommand(new TestCommand("DETACH", {}, 0, Protocol7700::RESPONSE_REQUESTER,
                                       [this](const std::list<ParameterValue>&, std::string& reply, std::string&) {
                                           Listeners::Instance().RemoveListener(serial_);
                                           Listeners::Instance().RemoveListener(serial_);
                                           reply = "DETACH";
                                           return 0;
                                       }));
    // Reopens the serial port at another speed, from inside the loop.
    parser_.AddCommand(new TestCommand("SPEED", {Protocol7700::PARAM_INTEGER}, 1, Protocol7700::RESPONSE_ALL_CLIENTS,
                                       [this](const std::list<ParameterValue>& p, std::string& reply, std::string&) {
                                           serial_->SetBaudrate(static_cast<Network::Baudrate>(p.front().integer));
                                           if (!serial_->Bind()) return 3;
                                           reply = "SPEED " + std::to_string(p.front().integer) + " OK";
                                           return 0;
                                       }));
    parser_.SetOutlets(Protocol7700::ReplyOutlets{
        [this](const std::string& t) { post(SERIAL, t, false); },
        [this](const std::string& t) { post(TCP_CLIENT, t, false); },
        [this](const std::string& t) { post(UDP_SERVER, t, false); },
        [this](const std::string& t, int id) {
            std::lock_guard<std::mutex> lock(mutex_);
            web_.emplace_back(t, id);
        },
        nullptr,
    });
    Listeners& registry = Listeners::Instance();
    registry.SetParser(&parser_);
    registry.SetRemoveHook([this](IListener* l) {
        std::lock_guard<std::mutex> lock(mutex_);
        removed_.push_back(l->GetType());
        if (l == serial_) serial_ = nullptr;
    });
}

LoopHarness::~LoopHarness() {
    if (loop_.joinable()) {
        Listeners::Instance().Stop();
        loop_.join();
    }
    // The next test starts with an empty registry.
    Listeners::Instance().Reset();
    SetTimeSource(nullptr);
}

void LoopHarness::addTcp() {
    tcpPort_ = freePort();
    auto* l = new TCPListener(static_cast<uint16_t>(tcpPort_));
    ASSERT_TRUE(l->Bind());
    Listeners::Instance().AddListener(l);
}

void LoopHarness::addUdp() {
    udpPort_ = freePort();
    auto* l = new UDPListener(static_cast<uint16_t>(udpPort_));
    ASSERT_TRUE(l->Bind());
    Listeners::Instance().AddListener(l);
}

void LoopHarness::addSerial() {
    serial_ = new SerialListener(Network::BAUD_115200, "/dev/ttyS0", &parser_);
    ASSERT_TRUE(serial_->Bind());
    Listeners::Instance().AddListener(serial_);
}

void LoopHarness::addWebsocket() {
    websocket_ = new WebsocketListener(&parser_);
    ASSERT_TRUE(websocket_->Bind());
    Listeners::Instance().AddListener(websocket_);
}

void LoopHarness::start() {
    loop_ = std::thread([] { Listeners::Instance().Run(); });
}

void LoopHarness::post(ListenerType type, const std::string& text, bool broadcast) {
    Listeners::Instance().Post(P7KMsg{type, text, broadcast});
}

void LoopHarness::webLine(int id, const std::string& text) {
    _WSMSG m;
    m.wsi = static_cast<uint32_t>(id);
    ASSERT_EQ(setWsText(m, text.data(), text.size()), 0);
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &m), 0);
    websocket_->Wake();
}

std::vector<std::pair<std::string, int>> LoopHarness::webReplies() {
    std::lock_guard<std::mutex> lock(mutex_);
    return web_;
}

size_t LoopHarness::removed(ListenerType type) {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(std::count(removed_.begin(), removed_.end(), type));
}

bool LoopHarness::waitRemoved(ListenerType type, size_t count, int timeoutMs) {
    return waitFor([&] { return removed(type) >= count; }, timeoutMs);
}

std::chrono::milliseconds LoopHarness::loopCpu() {
    clockid_t clock{};
    timespec t{};
    if (!loop_.joinable() || pthread_getcpuclockid(loop_.native_handle(), &clock) != 0 ||
        clock_gettime(clock, &t) != 0)
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::seconds(t.tv_sec) +
                                                                 std::chrono::nanoseconds(t.tv_nsec));
}

bool LoopHarness::waitFor(const std::function<bool()>& pred, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace hx40test
