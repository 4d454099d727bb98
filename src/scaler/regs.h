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

// The forced-factory-reset marker (PI_FACTORY_RST in scaler.h) and the
// chip's soft reset: writing 1 clears every register (frame memory keeps its
// contents).
inline constexpr uint32_t FACTORY_MARKER = 0x300D01;
inline constexpr uint32_t SOFT_RESET = 0x300E01;
// The scaler's master clock in Hz, programmed by the clock set-up.
inline constexpr uint32_t MCLK = 0x301004;
// Output pixel clock in kHz and the output blank of a channel (bank 0x31,
// channel): 0 open, 1 blanked with the picture held black and the sync kept,
// 2 blanked with the output stopped. A blank covers the OSD too.
inline constexpr uint32_t OUT_PCLK_KHZ = 0x310B04;
inline constexpr uint32_t OUT_BLANK = 0x310F01;
inline constexpr uint8_t OUT_BLANK_BLACK = 1;
inline constexpr uint8_t OUT_BLANK_OFF = 2;

// ---- The picture of a channel (bank 0x32, channel; ours) ----
// PIC_BUILT is set by the first picture build; until then the chip shows its
// idle grey. PIC_INPUT is the selected input (1 to 8), PIC_FORMAT the input
// format index (above 66: no signal).
inline constexpr uint32_t PIC_BUILT = 0x320101;
inline constexpr uint32_t PIC_INPUT = 0x320201;
inline constexpr uint32_t PIC_FORMAT = 0x320301;
inline constexpr uint32_t PIC_FREEZE = 0x320401;   // 1: the picture holds its last frame
// Capture window in the input (from the sync) and display window in the
// output's active picture; a display window of size 0 fills the output.
inline constexpr uint32_t IN_HST = 0x320802;
inline constexpr uint32_t IN_HW = 0x320A02;
inline constexpr uint32_t IN_VST = 0x320C02;
inline constexpr uint32_t IN_VW = 0x320E02;
inline constexpr uint32_t DISP_HST = 0x321002;
inline constexpr uint32_t DISP_HW = 0x321202;
inline constexpr uint32_t DISP_VST = 0x321402;
inline constexpr uint32_t DISP_VW = 0x321602;
// Colour, deinterlacer and filters, as the parameter memory holds them.
inline constexpr uint32_t BRIGHT = 0x321802;
inline constexpr uint32_t CONTRAST = 0x321A02;
inline constexpr uint32_t CHROMA = 0x321C02;
inline constexpr uint32_t HUE = 0x321E02;
inline constexpr uint32_t CTEMP = 0x322001;
inline constexpr uint32_t GAMMA = 0x322101;
inline constexpr uint32_t CLRM_LEVEL[3] = {0x322201, 0x322301, 0x322401};
inline constexpr uint32_t CLRM_UPDATE = 0x322501;  // bit n: level n changed
inline constexpr uint32_t PD = 0x322601;
inline constexpr uint32_t PD_DELAY = 0x322701;
inline constexpr uint32_t IPLUT = 0x322801;
inline constexpr uint32_t DIAG = 0x322901;
inline constexpr uint32_t NR[4] = {0x322A01, 0x322B01, 0x322C01, 0x322E01};  // horizontal, vertical, temporal, mosquito
inline constexpr uint32_t BNR = 0x322D01;
inline constexpr uint32_t COMB = 0x322F01;
inline constexpr uint32_t HSHARP = 0x323001;
inline constexpr uint32_t VSHARP = 0x323101;
inline constexpr uint32_t OVERSCAN = 0x323201;
inline constexpr uint32_t SCAN = 0x323301;
// Output fill: mode 2 shows the colour over the whole picture (under the
// OSD), 0 shows the picture; red, green, blue follow.
inline constexpr uint32_t OFILL_MODE = 0x323801;
inline constexpr uint32_t OFILL_RGB = 0x323903;
inline constexpr uint8_t OFILL_ON = 2;
// Frame-memory source: the picture is read from chip memory at this address,
// three bytes (red, green, blue) a pixel, lines FRAME_SRC_STRIDE bytes apart
// (0: every line repeats the first). Used while VIDEO_SOURCE selects it.
inline constexpr uint32_t FRAME_SRC_ADDR = 0x324004;
inline constexpr uint32_t FRAME_SRC_STRIDE = 0x324404;

// ---- Codes the channel pages write, as the simulated chip reads them ----
inline constexpr uint32_t MIRROR = 0x12301;
// Test pattern generator: a non-zero level shows eight colour bars across
// the picture at that level; PATGEN_BARS 1 shows them at 75 % with bars of
// PATGEN_BAR_W + 1 pixels.
inline constexpr uint32_t PATGEN_LEVEL = 0x13101;
inline constexpr uint32_t PATGEN_KIND = 0x13201;
inline constexpr uint32_t PATGEN_WIDTH = 0x13302;
inline constexpr uint32_t PATGEN_BARS = 0x13501;
inline constexpr uint32_t PATGEN_BAR_W = 0x13B01;
// The bars: white, yellow, cyan, green, magenta, red, blue, black; 75 % is
// the level of the bars of PATGEN_BARS and of the 4K colour bars.
inline constexpr int BARS = 8;
inline constexpr uint8_t BAR_COLOURS[BARS][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                                 {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
inline constexpr uint8_t BARS_75 = 191;
// Video source of the channel: VIDEO_SOURCE_MEMORY reads the frame memory
// (FRAME_SRC_*); 0x80 is the live input path.
inline constexpr uint32_t VIDEO_SOURCE = 0x54301;
inline constexpr uint8_t VIDEO_SOURCE_LIVE = 0x80;
inline constexpr uint8_t VIDEO_SOURCE_MEMORY = 0x01;

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
inline constexpr uint32_t COLOUR_BAR_4K = 0x02000000;  // one line of 3840 RGB pixels

}  // namespace scaler_mem
