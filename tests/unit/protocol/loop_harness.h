// Stands in for the command set's protocol thread: a parser with test
// commands whose replies for every client go back through the registry's
// queue, the listeners on loopback ports, the board's serial port and the
// websocket queue, and the poll loop on a thread of its own.
#pragma once

#include "protocol/listeners.h"
#include "protocol_fixture.h"
#include "loopback.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace hx40test {

class LoopHarness : public ::testing::Test {
protected:
    LoopHarness();
    ~LoopHarness() override;

    // Bind each kind and hand it to the registry (before start()).
    void addTcp();
    void addUdp();
    void addSerial();
    void addWebsocket();
    void start();

    // A text posted as another thread posts it.
    void post(Communication::ListenerType type, const std::string& text, bool broadcast);
    // A line of web client id, as the websocket server hands it over.
    void webLine(int id, const std::string& text);
    // What the parser addressed to web clients: (text, id).
    std::vector<std::pair<std::string, int>> webReplies();

    // Listeners of the type deleted by the loop so far.
    size_t removed(Communication::ListenerType type);
    bool waitRemoved(Communication::ListenerType type, size_t count, int timeoutMs = 3000);

    // The loop's clock (seconds), frozen unless a test moves it.
    static void setClock(unsigned now) { clock_ = now; }
    static unsigned clock() { return clock_; }

    static bool waitFor(const std::function<bool()>& pred, int timeoutMs);
    // CPU time the loop's thread has used so far.
    std::chrono::milliseconds loopCpu();

    TempBoard board_{true, true};
    Protocol7700::Parser parser_;
    int tcpPort_ = 0;
    int udpPort_ = 0;
    Communication::SerialListener* serial_ = nullptr;
    Communication::WebsocketListener* websocket_ = nullptr;

private:
    static inline std::atomic<unsigned> clock_{1000};
    std::thread loop_;
    std::mutex mutex_;
    std::vector<std::pair<std::string, int>> web_;
    std::vector<Communication::ListenerType> removed_;
};

}  // namespace hx40test
