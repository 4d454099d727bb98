#include "protocol/network.h"

#include "platform/board.h"
#include "platform/net.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace Network {
namespace {

constexpr const char* kInterface = "eth0";

std::string dotted(uint32_t networkOrder) {
    in_addr a{};
    a.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (true) {
        i = line.find_first_not_of(" \t", i);
        if (i == std::string::npos) break;
        size_t j = line.find_first_of(" \t", i);
        out.push_back(line.substr(i, j == std::string::npos ? std::string::npos : j - i));
        if (j == std::string::npos) break;
        i = j;
    }
    return out;
}

}  // namespace

const char* BuildString(IPeer& peer) {
    std::snprintf(peer.text, sizeof peer.text, "%s:%u", dotted(peer.address).c_str(),
                  static_cast<unsigned>(ntohs(peer.port)));
    return peer.text;
}

int GetIPAddress(std::string& out) {
    board::net::InterfaceInfo eth;
    board::net::queryInterface(kInterface, eth);
    out = dotted(eth.address.value_or(0));
    return 0;
}

int GetNetworkMask(std::string& out) {
    board::net::InterfaceInfo eth;
    board::net::queryInterface(kInterface, eth);
    out = dotted(eth.mask.value_or(0));
    return 0;
}

const char* GetMacAddress() {
    thread_local char text[18];
    board::net::InterfaceInfo eth;
    board::net::queryInterface(kInterface, eth);
    std::array<uint8_t, 6> m = eth.mac.value_or(std::array<uint8_t, 6>{});
    std::snprintf(text, sizeof text, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

int GetDefaultGw(std::string& out) {
    std::ifstream routes(board::path("/proc/net/route"));
    if (!routes) {
        out = "0.0.0.0";
        return 1;
    }
    std::string line;
    while (std::getline(routes, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() < 2 || f[1] != "00000000") continue;
        if (f.size() < 3) return 1;
        // The kernel prints the network-order address as a host-order number.
        out = dotted(static_cast<uint32_t>(std::strtoul(f[2].c_str(), nullptr, 16)));
        return 0;
    }
    return 1;
}

}  // namespace Network
