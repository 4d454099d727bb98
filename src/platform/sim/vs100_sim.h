// The four HDBaseT transceivers of the simulated board and the serial
// flashes they run their firmware from.
//
// Transceiver ports (also the index of each flash): 0 receiver of CH1, 1
// receiver of CH2, 2 transmitter of CH1, 3 transmitter of CH2; their flashes
// are sim/spiflash/<name>.bin with the names below. A flash file holds the
// flash's bytes from address 0; bytes past its end read as erased (0xFF).
//
// Pins (I/O expanders, output registers): the receivers' chip lines are bits
// 0x01 (CH1) and 0x02 (CH2) of bus 0 expander 0x24 port 0; the transmitters'
// bits 0x20 (CH1) and 0x10 (CH2) of bus 1 expander 0x25, on ports 1 and 0
// both. A flash is routed to the SPI master when its route bit is set and the
// other channel's is not (receivers: 0x04 CH1, 0x08 CH2 on 0x24 port 0;
// transmitters: 0x40, 0x80 on 0x25 port 0).
//
// A transceiver runs while its chip lines are high and its flash is not
// routed; it then answers on I2C bus 3 (16-bit register addresses, chips
// 0x28, 0x29, 0x2B, 0x2A for ports 0 to 3) from the firmware in its flash:
// a read returns the status byte 100 and the item's data bytes. Held in
// reset, routed, or without a whole firmware image in its flash (one whose
// programming stopped part way cannot boot), it does not acknowledge.
//
// Firmware image, the project's own format (no vendor firmware exists here):
//   0..7    "HX40SIMV"
//   8       direction: 0 receiver, 1 transmitter
//   9..12   version item (0xF501) d1..d4; the version a.b.c is
//           d1 >> 4, ((d1 << 12) + (d2 << 4) + (d3 >> 4)) & 0xFFFF, d3 & 15
//   13..16  date item (0xF502) d1..d4: year (d1 << 8) + d2, month, day
//   17      firmware type (0xF504) d1; 18 hardware type (0xF505) d1
//   19..22  active bank (0xF506) d1..d4: updatable flag, 0, 0, sector
//   23..26  the image's size in bytes, high byte first
//   27..    filler up to the image's last two bytes, which hold the CRC-16
//           (polynomial 0x1021, seed 0, high byte first) of all bytes before
// The status items (0xF602 to 0xF60B, 0xF901) answer a live HDBaseT link of
// 30 meters unless board.conf gives their data bytes or status byte:
//   hdbt.<name>.<register> = b1 b2 ...      e.g. hdbt.rx-ch1.F607 = 0 0 0 101
//   hdbt.<name>.<register>.status = N
// Flash faults, board.conf:
//   spiflash.<name> = absent        the flash never answers (reads 0xFF)
//   spiflash.<name>.stuck_after = N the flash stays busy for ever from its
//                                   (N+1)th erase or page program on
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace board::sim::i2c {
class Device;
}

namespace board::sim::vs100 {

inline constexpr int kPorts = 4;
inline constexpr size_t kHeaderSize = 27;
inline constexpr char kMagic[] = "HX40SIMV";

// "rx-ch1", "rx-ch2", "tx-ch1", "tx-ch2".
const char* name(int port);
// The flash file of a port, under the open root.
std::string flashFile(int port);

// The port whose flash the SPI device (5 transmitters, 6 receivers) reaches
// now, or -1 (no route, or both channels' routes set).
int routedFlash(int device);
// Whether the transceiver's chip lines are high (not held in reset).
bool linesHigh(int port);

// The transceiver models for bus 3: (7-bit address, device) pairs, made by
// the board with its other chips.
std::vector<std::pair<uint8_t, std::shared_ptr<i2c::Device>>> makeChips();

// hx40-sim init: each flash gets the image its direction finds in
// root/app/memfiles (the first VS100R... or VS100T... file in name order
// that does not end in ".old"), so a new board's transceivers are up to date.
void prepareFlashes(const std::string& root);

}  // namespace board::sim::vs100
