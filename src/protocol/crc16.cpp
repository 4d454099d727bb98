#include "protocol/crc16.h"

namespace Protocol7700 {

unsigned short Crc16::ComputeChecksum(const unsigned char* bytes, int length) const {
    unsigned short crc = seed_;
    for (int i = 0; i < length; ++i)
        crc = static_cast<unsigned short>((crc << 8) ^ table_[((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

unsigned short Crc16::ComputeChecksumBytes(unsigned char* out, const unsigned char* bytes, int length) const {
    unsigned short crc = ComputeChecksum(bytes, length);
    out[0] = static_cast<unsigned char>(crc >> 8);
    out[1] = static_cast<unsigned char>(crc & 0xFF);
    return crc;
}

}  // namespace Protocol7700
