// The simulated board's eth0 as the kernel would hold it: <root>/sim/net/eth0
// (see platform/net.h) and the route table <root>/proc/net/route made from
// it (root "" inside the sandbox). The stand-in ifconfig, route and udhcpc
// change it; "hx40-sim init" gives a new board the address of its stored
// network record.
//
// Besides ip, mask, mac and link the file holds two keys that only the board
// uses: up (0 after "ifconfig eth0 down", missing = 1) and gw (the default
// route's gateway, missing = none).
#pragma once

#include "platform/sim/board_conf.h"

#include <cstdint>
#include <optional>
#include <string>

namespace board::sim::eth0 {

struct Interface {
    bool exists = false;
    BoardConf values;
    std::string get(const std::string& key) const { return values.get(key); }
    bool up() const { return values.getInt("up", 1) != 0; }
};

Interface load(const std::string& root);
// Writes the file and the route table: the default route, then the
// interface's own subnet. A gateway that left the subnet (or an interface
// that went down) loses its route, as the kernel drops it.
void save(const std::string& root, Interface& e);

// The address and mask when the interface is up and has both.
bool subnet(const Interface& e, uint32_t& ip, uint32_t& mask);

// Dotted IPv4 text in network byte order, and back.
std::optional<uint32_t> ipv4(const std::string& text);
std::string dotted(uint32_t address);

}  // namespace board::sim::eth0
