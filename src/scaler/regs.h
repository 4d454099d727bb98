// Register codes of the scaler chip and the chip-memory map of the OSD.
//
// A code holds the bank in bits 16 to 23, the window offset in bits 8 to 15
// and the byte count in bits 0 to 7; multi-byte registers are little-endian.
// Codes marked "channel" exist once per channel: channel 1 addresses them
// with the bank raised by 0x0B (write_C812/read_C812 do it).
#pragma once

#include <cstdint>

namespace scaler_reg {

// ---- The OSD drawing engine (bank 0, always addressed with channel 0) ----
inline constexpr uint32_t UPDATE = 0x402;        // window update control: 27 before a change, 1/16/8 apply, 0
inline constexpr uint32_t OSDCT = 0x1E01;        // bits 0-2 start an operation, bit 5 write inhibit
inline constexpr uint32_t OSDCT2 = 0x1F01;       // second control byte
inline constexpr uint32_t FILL_COLOUR = 0x2002;
inline constexpr uint32_t SOURCE = 0x2204;       // part source or font base
inline constexpr uint32_t DEST = 0x2604;         // destination; also where the data port starts writing
inline constexpr uint32_t DATA_PORT = 0x2A01;    // one byte to chip memory, the address moves on by one
inline constexpr uint32_t STATUS = 0x2C01;       // bit 0: engine busy
inline constexpr uint32_t WIDTH_M1 = 0x3302;
inline constexpr uint32_t HEIGHT_M1 = 0x3502;
inline constexpr uint32_t GLYPH_P0 = 0x3701;
inline constexpr uint32_t GLYPH_COUNT_M1 = 0x3801;
inline constexpr uint32_t GLYPH_P1 = 0x3901;
inline constexpr uint32_t GLYPH_P2 = 0x3A01;
inline constexpr uint32_t GLYPH_ADDR = 0x3B02;   // glyph list RAM address
inline constexpr uint32_t GLYPH_DATA = 0x3D01;   // glyph list RAM data, the address moves on by one
inline constexpr uint32_t FILL_WIDTH_128 = 0xA6E02;

// OSDCT operations and bits.
inline constexpr uint8_t OP_FILL = 1;
inline constexpr uint8_t OP_COPY = 2;
inline constexpr uint8_t OP_GLYPHS = 3;
inline constexpr uint8_t OSDCT_OP_MASK = 0x07;
inline constexpr uint8_t OSDCT_INHIBIT = 0x20;

// Glyph list RAM: entries of five bytes from address 0 (code low, code high,
// foreground, background, width), the cell height byte at GLYPH_SIZE_ADDR.
inline constexpr uint16_t GLYPH_SIZE_ADDR = 0x0A00;
inline constexpr int GLYPH_ENTRY_BYTES = 5;
inline constexpr int GLYPH_LIST_MAX = 256;       // the count register is one byte
inline constexpr uint8_t GLYPH_WIDTH_MASK = 0x3F;
inline constexpr uint8_t GLYPH_BOLD = 0x40;      // the glyph's ink is also drawn one column to the right

// UPDATE values.
inline constexpr uint16_t UPDATE_BEGIN = 27;
inline constexpr uint16_t UPDATE_APPLY_CH0 = 1;
inline constexpr uint16_t UPDATE_APPLY_ON_CH1 = 16;
inline constexpr uint16_t UPDATE_APPLY_OFF_CH1 = 8;

// ---- The OSD window and palette of a channel (bank 2, channel) ----
inline constexpr uint32_t OSD_MODE = 0x20901;    // bit 1 window on, bit 4 gain on
inline constexpr uint32_t OSD_PALETTE_CTL = 0x20A01;  // bit 6 palette in use
inline constexpr uint32_t OSD_BLEND1 = 0x20B01;
inline constexpr uint32_t OSD_BLEND2 = 0x20C01;
inline constexpr uint32_t OSD_BLEND3 = 0x20D01;
inline constexpr uint32_t OSD_KEY_COLOUR = 0x20E01;   // the window's transparent colour
inline constexpr uint32_t OSD_WIN_HST = 0x20F02;
inline constexpr uint32_t OSD_WIN_HW = 0x21102;
inline constexpr uint32_t OSD_WIN_VST = 0x21302;
inline constexpr uint32_t OSD_WIN_VW = 0x21502;
inline constexpr uint32_t OSD_WIN_PLANE = 0x21704;
inline constexpr uint32_t OSD_PALETTE_ADDR = 0x21C01;  // byte index of the palette port = value x 3
inline constexpr uint32_t OSD_PALETTE_DATA = 0x21D01;  // red, green, blue, next entry, ...
// Gain and bias: three rows (red, green, blue) of three gain bytes followed
// by three bias bytes; the chip scales a component by the row's gain of
// that component / 64 and adds its bias. A row of zero gains is unprogrammed
// and passes colours unchanged.
inline constexpr uint32_t OSD_GAIN_ROW[3] = {0x22001, 0x22601, 0x22C01};
inline constexpr uint32_t OSD_BIAS_ROW[3] = {0x22301, 0x22901, 0x22F01};
inline constexpr uint32_t OSD_GAIN_REF = 0x23201;     // three bytes, written 64 with the gains
inline constexpr uint32_t OSD_BIAS_END = 0x23501;     // three bytes, written 0 after the bias

inline constexpr uint8_t OSD_MODE_WINDOW_ON = 0x02;
inline constexpr uint8_t OSD_MODE_GAIN_ON = 0x10;
inline constexpr uint8_t OSD_PALETTE_IN_USE = 0x40;
inline constexpr int OSD_PALETTE_BYTES = 816;    // 272 entries of three bytes
inline constexpr uint8_t OSD_BLEND_OPAQUE = 238;

// The window start registers hold the picture position plus the chip's
// pipeline delay: x - 6 + active start, and active start + 1 + y.
inline constexpr int OSD_WIN_H_DELAY = -6;
inline constexpr int OSD_WIN_V_DELAY = 1;

// ---- Registers of our own, for what the registers above leave open ----
// Strides of the OSD planes and of the parts plane in 128-byte units, and the
// two plane addresses, set by the OSD bring-up; the engine draws with the
// strides, the board names planes by their addresses in its observations.
inline constexpr uint32_t OSD_PLANE0 = 0x300104;
inline constexpr uint32_t OSD_PLANE1 = 0x300504;
inline constexpr uint32_t OSD_PLANE_STRIDE = 0x300902;
inline constexpr uint32_t OSD_PARTS_STRIDE = 0x300B02;
// Output timing of a channel (bank 0x31, channel): the active picture's
// start and size, written when an output format is applied; the output's
// frame counter moves on by one at every vertical sync.
inline constexpr uint32_t OUT_FRAME_COUNT = 0x310101;
inline constexpr uint32_t OUT_ACT_HST = 0x310302;
inline constexpr uint32_t OUT_ACT_VST = 0x310502;
inline constexpr uint32_t OUT_ACT_HW = 0x310702;
inline constexpr uint32_t OUT_ACT_VW = 0x310902;

// Parts of a code.
constexpr unsigned bankOf(uint32_t code) { return (code >> 16) & 0xFF; }
constexpr unsigned offsetOf(uint32_t code) { return (code >> 8) & 0xFF; }
constexpr unsigned countOf(uint32_t code) { return code & 0xFF; }
inline constexpr unsigned CHANNEL1_BANK_STEP = 0x0B;

}  // namespace scaler_reg

// The chip-memory map of the OSD (ours).
namespace scaler_mem {

inline constexpr uint32_t SIZE = 0x10000000;          // 256 MiB of frame memory
inline constexpr uint32_t OSD_PLANE0 = 0x01000000;
inline constexpr uint32_t OSD_PLANE1 = 0x01400000;
inline constexpr uint32_t OSD_PLANE_STRIDE_UNITS = 16; // 2048 bytes a line
inline constexpr uint32_t OSD_PLANE_LINES = 1200;
inline constexpr uint32_t FONT = 0x01800000;
inline constexpr uint32_t FONT_GLYPH_BYTES = 32;       // 16 rows of 16 pixels, 1 bit each, MSB left
inline constexpr uint32_t PARTS = 0x01900000;
inline constexpr uint32_t PARTS_STRIDE_UNITS = 8;      // 1024 bytes a line
inline constexpr uint32_t LOGO = 0x00A00000;           // where osd_put_bmp uploads the logo

}  // namespace scaler_mem
