// Firmware images of the simulated HDBaseT transceivers, as a test writes
// them into a flash or the memory-file folder.
#pragma once

#include "protocol/crc16.h"

#include <cstddef>
#include <string>

namespace hx40test {

// The simulated board's format: "HX40SIMV", the direction, the version
// item's four bytes (a.b.c as the transceiver reports it), the date item
// (2020 3 31), firmware and hardware type, the active bank (updatable,
// sector 2), the size; then filler and the CRC-16 that makes it whole.
inline std::string vs100Image(bool tx, int major, int minor, int patch, size_t size) {
    std::string s = "HX40SIMV";
    s += static_cast<char>(tx);
    s += static_cast<char>(major << 4 | (minor >> 12 & 0xF));
    s += static_cast<char>(minor >> 4 & 0xFF);
    s += static_cast<char>((minor & 0xF) << 4 | patch);
    s += std::string{'\0', '\x07', '\xE4', '\x03', '\x1F', static_cast<char>(tx), static_cast<char>(tx), 1, 0, 0, 2};
    for (int shift : {24, 16, 8, 0}) s += static_cast<char>(size >> shift & 0xFF);
    for (size_t i = s.size(); i + 2 < size; ++i) s += static_cast<char>(i * 7 + 3);
    unsigned char crc[2];
    Protocol7700::Crc16(0).ComputeChecksumBytes(crc, reinterpret_cast<const unsigned char*>(s.data()),
                                                static_cast<int>(s.size()));
    return s + static_cast<char>(crc[0]) + static_cast<char>(crc[1]);
}

}  // namespace hx40test
