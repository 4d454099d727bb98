// The OSD drawing primitives: the only code that drives the scaler chip's OSD
// engine. Drawing goes into the plane ST_OSDAD (scaler/scaler.h); each
// operation is a register sequence that starts the engine through OSDCT and
// waits for its busy bit.
//
// One lock serialises whole operations, so that two threads (the menu, the
// main task's messages, the upgrade console and its busy animation) never mix
// their register sequences; it is taken before CS3_mutex and never while
// PM_mutex is held. A screen is several operations: a plane swap by another
// thread between two of them moves the rest of that screen to the other plane.
#pragma once

#include <cstddef>
#include <cstdint>

// The cached OSD control byte (register 0x1E01).
extern uint8_t OSDCT;

// Glyph widths by character code (glyph code + 32); filled by initCharaSize.
extern unsigned char charaHw[127];

// An fg or bg of this value leaves the sentence's own colour.
inline constexpr int kOsdOwnColour = 0xFFFF;
// osd_put_ascii_string style whose glyphs are drawn bold.
inline constexpr int kOsdStyleBold = 79;

// Place and size of a part in the parts plane (OSDPARTS_TBL).
struct OsdPartGeometry {
    int x, y, w, h;
};
// False (with a diagnostic) when part n does not exist or is malformed.
bool osd_part_geometry(int n, OsdPartGeometry& out);

// Drawing operations (into ST_OSDAD).
void osd_paint(int x, int w, int y, int h, int colour);
void osd_put_part(int n, int x, int y);
int osd_put_sentence(int n, int x, int y, int colour_mode, int extra, int size, int fg, int bg);
void osd_put_ascii_string(const char* text, int x, int y, int fg, int bg, int style, int size);
void osd_put_num(int sign_mode, int digits, int value, int x, int y, int fg, int bg, int spare_width, int size);
void osd_put_bmp(int x, int y);

// Window and plane operations.
void osd_on(int channel, int x, int w, int y, int h, int blend, int b1, int b2, int b3, int colour);
void osd_off(int channel);
void osd_swap_memplane();
void osd_swap();
void osd_write_inh_ct(int inhibit, int ctl);
void osd_write_plt(int channel);
void osd_gain(int channel, int enable, int g1, int g2, int g3);
void osd_bias(int channel, int b1, int b2, int b3);

// Width helpers.
void initCharaSize();
struct CharaHwTotal {
    int length;  // characters (glyphs)
    int width;   // sum of (width + 1), each term doubled in mode 1
};
CharaHwTotal getStrTotalCharaHw(const char* text, int mode);
CharaHwTotal getSentenceTotalCharaHw(int n, int mode);

// Writes bytes into chip memory through the engine's data port, under the
// OSD lock (the bring-up's parts and font, the logo).
void osd_upload(uint32_t address, const uint8_t* data, size_t length);

// With HX40_OSD_TEST_SCREEN=1 in the environment: draws a test screen
// (fill, parts, sentences, text, numbers) and shows it on channel 1's OSD, so
// that the board's picture sim/osd/out0.png shows it. Needs scaler_osd_init.
void osd_debug_test_screen();
