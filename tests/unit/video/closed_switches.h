// The crosspoint's closed switches, (source, destination) as it numbers them.
#pragma once

#include "platform/video.h"

#include <set>
#include <utility>

namespace hx40test {

using Closed = std::set<std::pair<int, int>>;

inline Closed closedSwitches() {
    Closed c;
    for (int x = 0; x < board::video::kXpointSources; ++x)
        for (int y = 0; y < board::video::kXpointDestinations; ++y)
            if (board::video::crosspointClosed(x, y)) c.insert({x, y});
    return c;
}

}  // namespace hx40test
