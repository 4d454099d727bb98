// The network record as the EEPROM keeps it at 0x7ED0, written into a
// board's EEPROM file before the program starts (the control ports and the
// verbose word the protocol reads at its start).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace hx40test {

// Address 192.168.1.39/16, gateway 192.168.0.1, MAC 02:00:00:00:00:01; the
// ports little-endian at 20 and 22, the force flag 1 at 32, the verbose word
// at 36.
inline void storeNetworkRecord(const std::string& eepromFile, uint16_t tcp, uint16_t udp, uint32_t verbose) {
    uint8_t rec[40] = {192, 168, 1, 39, 255, 255, 0, 0, 192, 168, 0, 1, 2, 0, 0, 0, 0, 1};
    rec[20] = static_cast<uint8_t>(tcp);
    rec[21] = static_cast<uint8_t>(tcp >> 8);
    rec[22] = static_cast<uint8_t>(udp);
    rec[23] = static_cast<uint8_t>(udp >> 8);
    rec[32] = 1;
    for (int i = 0; i < 4; ++i) rec[36 + i] = static_cast<uint8_t>(verbose >> (8 * i));
    std::fstream f(eepromFile, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x7ED0);
    f.write(reinterpret_cast<const char*>(rec), sizeof rec);
}

}  // namespace hx40test
