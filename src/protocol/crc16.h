// CRC-16 of upload packets: polynomial 0x1021, most significant bit first,
// no reflection, no final XOR (with seed 0: "123456789" gives 0x31C3).
#pragma once

#include <array>
#include <cstdint>

namespace Protocol7700 {

class Crc16 {
public:
    explicit constexpr Crc16(unsigned short seed) : seed_(seed) {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned short crc = static_cast<unsigned short>(i << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<unsigned short>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
            table_[i] = crc;
        }
    }

    // The seed for a length of 0 or less.
    unsigned short ComputeChecksum(const unsigned char* bytes, int length) const;
    // The same, also stored in out[0..1], high byte first.
    unsigned short ComputeChecksumBytes(unsigned char* out, const unsigned char* bytes, int length) const;

private:
    std::array<unsigned short, 256> table_{};
    unsigned short seed_;
};

}  // namespace Protocol7700
