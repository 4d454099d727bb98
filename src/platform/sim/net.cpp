#include "platform/net.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/eth0.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>

namespace board::net {
namespace {

using sim::eth0::ipv4;

std::optional<std::array<uint8_t, 6>> hardware(const std::string& text) {
    unsigned b[6];
    int used = 0;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%n", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &used) != 6 ||
        static_cast<size_t>(used) != text.size())
        return std::nullopt;
    std::array<uint8_t, 6> mac{};
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(b[i]);
    return mac;
}

}  // namespace

bool queryInterface(const std::string& name, InterfaceInfo& out) {
    out = InterfaceInfo();
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') return false;
    sim::BoardConf file;
    if (!file.load(board::root().empty() ? std::string() : board::root() + "/sim/net/" + name)) return false;
    out.address = ipv4(file.get("ip"));
    out.mask = ipv4(file.get("mask"));
    out.mac = hardware(file.get("mac"));
    out.link = file.getInt("link", 0) != 0;
    return true;
}

uint32_t serverBindAddress() {
    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    std::optional<uint32_t> configured = ipv4(sim::conf().get("bind_address"));
    // Only 127.0.0.0/8: a test machine must never expose the control ports.
    if (!configured || (ntohl(*configured) >> 24) != 127) return loopback;
    return *configured;
}

int webServerPort() {
    constexpr int kDevicePort = 7681;
    long port = sim::conf().getInt("ws_port", kDevicePort);
    return port >= 1 && port <= 65535 ? static_cast<int>(port) : kDevicePort;
}

std::string relayTarget() { return sim::conf().get("proxy_host"); }

FactoryControl factoryControl() {
    FactoryControl f;
    auto port = [](const char* key, uint16_t device) {
        long v = sim::conf().getInt(key, device);
        return (v >= 1024 && v <= 65535) ? static_cast<uint16_t>(v) : device;
    };
    f.tcpPort = port("tcp_port", f.tcpPort);
    f.udpPort = port("udp_port", f.udpPort);
    f.verbose = sim::conf().getInt("verbose", 0) != 0 ? 1 : 0;
    const long tunnel = sim::conf().getInt("tunnel_port", 0);
    f.tunnelPort = tunnel >= 1 && tunnel <= 64000 ? static_cast<uint16_t>(tunnel) : 0;
    return f;
}

int setHostName(const std::string& name) {
    // The kernel's own limit, so that the board refuses what the device would.
    if (name.empty() || name.size() > HOST_NAME_MAX || name.find('\0') != std::string::npos) return EINVAL;
    std::ofstream out(board::root() + "/sim/hostname", std::ios::trunc);
    out << name << '\n';
    out.flush();
    if (!out) return EIO;
    board::journal("sethostname", "%s", name.c_str());
    return 0;
}

}  // namespace board::net
