// The front panel as the end-to-end menu tests use it: start the device,
// wait until it takes keys, and tap a key until the menu has taken its step.
#pragma once

#include "support/sim_device.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace hx40test {

inline int menuKeyCode(const std::string& key) {
    static constexpr const char* kNames[] = {"MENU", "ENTER", "DOWN", "UP"};  // codes 0..3
    for (int i = 0; i < 4; ++i)
        if (key == kNames[i]) return i;
    return -1;
}

// Starts the device and waits until both channels are up and the HDBaseT
// chips are checked: keys pressed before that are dropped (after an upgrade
// the check reprograms the chips, which takes seconds).
inline void startAndSettle(SimDevice& dev, int waitMs, const std::vector<std::string>& args = {}) {
    const size_t from = dev.journal().size();
    std::string why;
    ASSERT_TRUE(dev.start(args, &why)) << why;
    ASSERT_TRUE(dev.waitFor([&] { return dev.ctl("state").find("initialising 0 0") != std::string::npos; }, waitMs))
        << dev.ctl("state");
    ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("valens.init ", from) != std::string::npos; }, waitMs))
        << dev.journal();
}

// Taps a key and waits until the menu has taken its step to node.
inline bool pressMenuKey(SimDevice& dev, const std::string& key, int node, int waitMs) {
    const size_t from = dev.journal().size();
    if (dev.ctl("key tap " + key).substr(0, 2) != "OK") return false;
    const std::string step = "menu.step key=" + std::to_string(menuKeyCode(key)) + " node=" + std::to_string(node) + "\n";
    return dev.waitFor([&] { return dev.journal().find(step, from) != std::string::npos; }, waitMs);
}

}  // namespace hx40test
