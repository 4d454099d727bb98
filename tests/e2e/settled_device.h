// Starting the program for a test and asking it over TCP, as most
// end-to-end tests do.
#pragma once

#include "support/sim_device.h"
#include "unit/protocol/loopback.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace hx40test {

inline constexpr int kSettleMs = 15000;

// Starts the program and waits until both channels took their first format
// report (keys are dropped before that).
inline void startAndSettle(SimDevice& dev, const std::vector<std::string>& args = {}) {
    std::string why;
    ASSERT_TRUE(dev.start(args, &why)) << why;
    ASSERT_TRUE(dev.waitFor([&] { return dev.ctl("state").find("initialising 0 0") != std::string::npos; }, kSettleMs))
        << dev.ctl("state");
}

// Sends a line and returns the first line that comes back ("" on time-out).
inline std::string ask(LoopbackTcp& tcp, const std::string& line, int timeoutMs = kSettleMs) {
    if (!tcp.send(line)) return "(not sent)";
    return tcp.until("\r\n", timeoutMs);
}

}  // namespace hx40test
