// The board's network interfaces, as the kernel's interface queries report
// them (address, mask, hardware address, link).
//
// On the simulated board each interface is a small file <root>/sim/net/<name>
// of "key = value" lines ('#' starts a comment), written by "hx40-sim init"
// and by the stand-in ifconfig and udhcpc:
//   ip   = 192.168.1.39         dotted IPv4 address; missing: no address yet
//   mask = 255.255.255.0        dotted IPv4 mask; missing: no address yet
//   mac  = 02:00:00:00:00:01    six hex pairs separated by ':'
//   link = 1                    1 cable connected, 0 not
// A missing file means the board has no such interface.
//
// The default gateway is not part of the interface: the program reads it from
// the kernel's route table /proc/net/route (board::path maps it under the
// root), which the stand-in route keeps in the kernel's format: a header line,
// then one tab-separated line per route with the fields Iface, Destination,
// Gateway, Flags, RefCnt, Use, Metric, Mask, MTU, Window, IRTT; addresses are
// eight hex digits of the kernel's host-order print of the network-order
// address, so 192.168.1.1 reads "0101A8C0" and the default route has the
// destination "00000000".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace board::net {

struct InterfaceInfo {
    std::optional<uint32_t> address;  // network byte order, as in sockaddr_in
    std::optional<uint32_t> mask;     // network byte order
    std::optional<std::array<uint8_t, 6>> mac;
    bool link = false;
};

// Reads the settings of one interface; false when the board has no such
// interface. A field the interface does not have (no address yet) is empty.
bool queryInterface(const std::string& name, InterfaceInfo& out);

// The address every control server binds (network byte order). The device
// listens on all its interfaces; the simulated board listens only on a
// loopback address: board.conf's bind_address, 127.0.0.1 when it is missing
// or not a loopback address.
uint32_t serverBindAddress();

// The port of the web and websocket server: the device's 7681; the simulated
// board takes board.conf's ws_port so that parallel runs do not collide.
int webServerPort();

// Where the web page's relay test connects ("host:port"; "" = nowhere). The
// device relays to an outside host; the simulated board only to board.conf's
// proxy_host.
std::string relayTarget();

// What the factory values hold that the board decides: in the network
// record the control ports (the device's 5000 and 50000; the simulated board
// takes board.conf's tcp_port and udp_port, seeded by "hx40-sim init --tcp
// --udp") and the verbose word (board.conf's verbose, "hx40-sim init
// --verbose"); among the tunnel's settings its port (0: the factory values'
// own; the simulated board takes board.conf's tunnel_port, seeded by
// "hx40-sim init --tunnel", 1 to 64000).
struct FactoryControl {
    uint16_t tcpPort = 5000;
    uint16_t udpPort = 50000;
    uint32_t verbose = 0;
    uint16_t tunnelPort = 0;
};
FactoryControl factoryControl();

// Sets the system's host name (sethostname on the device). The simulated
// board never renames the machine: it writes the name and a line end to
// <root>/sim/hostname. 0, or an errno value (EINVAL for an empty name or one
// longer than the system allows).
int setHostName(const std::string& name);

}  // namespace board::net
