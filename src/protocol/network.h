// The device's own network settings (eth0) as the control protocol, the
// command set and the information pages report them, and the text form of a
// peer address.
#pragma once

#include <cstdint>
#include <string>

namespace Network {

// A peer of the UDP control port: address and port in network byte order,
// and their text "a.b.c.d:port" once BuildString has run.
struct IPeer {
    uint32_t address = 0;
    uint16_t port = 0;
    char text[26] = {};
};

// Writes the peer's text and returns it.
const char* BuildString(IPeer& peer);

// Address and mask of eth0 in dotted form; "0.0.0.0" when it has none.
// Always 0.
int GetIPAddress(std::string& out);
int GetNetworkMask(std::string& out);

// MAC of eth0 as "XX-XX-XX-XX-XX-XX" (upper-case hex), "00-00-00-00-00-00"
// when it cannot be read. The text lives in a buffer of the calling thread,
// overwritten by its next call.
const char* GetMacAddress();

// The default gateway from the kernel's route table in dotted form; 0.
// When the table cannot be read: "0.0.0.0" and 1; when it lists no default
// route: out unchanged and 1.
int GetDefaultGw(std::string& out);

}  // namespace Network
