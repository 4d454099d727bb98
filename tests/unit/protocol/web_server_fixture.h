// The web server thread on a temporary board with a free loopback port and
// the program's queues; what it hands to the protocol loop is read straight
// from queue 12.
#pragma once

#include "protocol/ws_server.h"
#include "support/sim_device.h"
#include "support/temp_board.h"
#include "sys/msgq.h"
#include "web_client.h"

#include "platform/sim/board_conf.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>

namespace hx40test {

class WebServerTest : public ::testing::Test {
public:
    using Line = std::pair<uint32_t, std::string>;

protected:
    WebServerTest() {
        if (create_message_queues() != 0) throw std::runtime_error("message queues");
        port_ = freePort();
        board::sim::mutableConf().set("ws_port", std::to_string(port_));
    }
    ~WebServerTest() override {
        if (thread_.joinable()) {
            lwsInterrupt();
            thread_.join();
        }
    }

    // Starts the server thread and waits until it takes connections.
    void startServer() {
        thread_ = std::thread([] { lws_service_task(nullptr); });
        ASSERT_TRUE(waitFor([this] { return httpGet(port_, "/").status != 0; }, 5000)) << "no web server";
    }

    // The next line a web client handed to the protocol loop.
    static Line nextLine(int timeoutMs = 3000) {
        _WSMSG record;
        bool got = waitFor([&] { return get_message_q(E_EXMSG_TYPE_WS_CLI_TO_SRV, &record) >= 0; }, timeoutMs);
        if (!got) return {0, "(none)"};
        return {record.wsi, std::string(record.text, record.length)};
    }

    static bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!pred()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    TempBoard board_{true, true};
    int port_ = 0;
    std::thread thread_;
};

}  // namespace hx40test
