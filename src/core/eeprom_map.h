// Where everything lives in the parameter EEPROM (32 KiB, 16-bit addresses).
//
// The parameter zones hold the PM image of one input on one channel; the
// identity fields, the previous output formats and the network record sit at
// the fixed addresses that the command set and the network settings use.
#pragma once

#include "core/pm.h"

#include <cstdint>

namespace eemap {

inline constexpr uint32_t kSize = 0x8000;

// Zone z = input + 8 * channel; the first 328 bytes are the PM image, the
// rest of the zone is unused.
inline constexpr uint16_t kZoneBase = 0x0000;
inline constexpr int kZoneCount = 16;
inline constexpr uint16_t zoneAddr(int input, int channel) {
    return static_cast<uint16_t>(kZoneBase + (input + 8 * channel) * kPmZoneSize);
}

inline constexpr uint16_t kPmi = 0x1800;      // PM_I[8], 12 bytes each
inline constexpr uint16_t kPmiSize = 8 * sizeof(PMIRec);
inline constexpr uint16_t kVp = 0x1880;       // the video-path state (vpImage layout)
inline constexpr uint16_t kVpSize = 32;
inline constexpr uint16_t kCustWin = 0x18A0;  // per channel HST, HW, VST, VW, 16-bit little-endian
inline constexpr uint16_t kCustWinSize = 16;

inline constexpr uint16_t kSeal = 0x7E00;     // four bytes, then the version byte
inline constexpr uint16_t kSealSize = 4;
inline constexpr uint16_t kVersion = 0x7E04;
inline constexpr uint8_t kSealBytes[kSealSize] = {'H', 'X', '4', '0'};
inline constexpr uint8_t kVersionByte = 1;  // raised when the stored layout changes

inline constexpr uint16_t kModelName = 0x7E81;  // 9 bytes
inline constexpr uint16_t kModelNameSize = 9;
inline constexpr uint16_t kDeviceName = 0x7E8A;  // 16 bytes
inline constexpr uint16_t kDeviceNameSize = 16;
inline constexpr uint16_t kSerialNumber = 0x7E9A;  // unsigned 64-bit, little-endian
inline constexpr uint16_t kSerialNumberSize = 8;
inline constexpr uint16_t kPrevOutFormat = 0x7EB3;  // CH1 at 0x7EB3 (32435), CH2 at 0x7EB4 (32436)
inline constexpr uint16_t kNetwork = 0x7ED0;        // the network record, 40 bytes
inline constexpr uint16_t kNetworkSize = 40;

// vpImage: the persistent part of vp, byte by byte (the flag words are
// run-time state and are not stored).
namespace vpimg {
inline constexpr int kChannel = 0;  // per channel: vidInput, vidFormat, audioInput (3 bytes each)
inline constexpr int kNumInputs = 6;
inline constexpr int kDDisp = 7;
inline constexpr int kOutFrmt = 8;        // 2 bytes
inline constexpr int kFixedOutFrmt = 10;  // 2 bytes
inline constexpr int kUsed = 12;
}  // namespace vpimg

static_assert(zoneAddr(7, 1) + kPmZoneSize <= kPmi);
static_assert(kPmi + kPmiSize <= kVp);
static_assert(vpimg::kUsed <= kVpSize && kVp + kVpSize <= kCustWin);
static_assert(kCustWin + kCustWinSize <= kSeal);
static_assert(kVersion < kModelName);
static_assert(kModelName + kModelNameSize == kDeviceName);
static_assert(kDeviceName + kDeviceNameSize == kSerialNumber);
static_assert(kSerialNumber + kSerialNumberSize <= kPrevOutFormat);
static_assert(kPrevOutFormat + 2 <= kNetwork);
static_assert(kNetwork + kNetworkSize <= kSize);

}  // namespace eemap
