// The EDID images offered on the eight inputs: built per input from the
// HDMI or the VGA template (../memfiles) and patched by the input pages
// (native timing, deep colour, mode lines, audio channels). Every patch
// repairs the checksums of the blocks it touched.
#pragma once

#include "scaler/video_timing.h"

#include <cstddef>
#include <cstdint>

inline constexpr int kEdidInputs = 8;
inline constexpr size_t kEdidBytes = 256;
inline constexpr size_t kEdidBlock = 128;
inline constexpr size_t kEdidDtdSize = 18;

// The image of each input, as loaded into its HDMI switch port.
extern uint8_t TvAppEdid[kEdidInputs][kEdidBytes];

enum class EdidTemplate { HDMI, VGA };

// Reads ../memfiles/selka_HDMI_EDID.bin and selka_VGA_EDID.bin (256 bytes
// each): 0, or -1 when one is missing or its checksums are wrong.
int edidLoadTemplates();
const uint8_t* edidTemplate(EdidTemplate which);
// The template an input uses: VGA for inputs 5 and 6 (index 4, 5) set to
// VGA, HDMI otherwise.
EdidTemplate edidTemplateFor(int inp);

// Rebuilds TvAppEdid[inp] from its template.
void initEdid_single(int inp);

// Image operations. Each returns true when the image's bytes changed.
bool edidBlockValid(const uint8_t* block);   // header-independent checksum test of one block
bool edidImageValid(const uint8_t* image);   // base block with header, and the extension when announced
void edidRepairChecksums(uint8_t* image);
// The first detailed timing of the base block.
bool edidSetNativeTiming(uint8_t* image, const uint8_t* dtd);
// The HDMI vendor block's 30- and 36-bit and 4:4:4 deep-colour bits.
bool edidSetDeepColor(uint8_t* image, int on);
// Exclusive mode lines (1): no established or standard timings, so that
// the source uses the detailed ones; 0 takes them back from tmpl.
bool edidSetModeLines(uint8_t* image, const uint8_t* tmpl, int exclusive);
// The LPCM audio descriptor: 0 two channels, 1 eight.
bool edidSetAudioChannels(uint8_t* image, int eight);

// The 18-byte detailed timing descriptor of the EDID standard (digital
// separate sync, no borders, no stereo; the image size from a 0.3 mm pixel
// pitch). vActive counts the lines of the frame; an interlaced descriptor
// carries those of one field.
constexpr void edidEncodeDtd(uint8_t* d, const VideoTiming& t, bool hSyncPositive, bool vSyncPositive) {
    auto lo8 = [](unsigned v) { return static_cast<uint8_t>(v & 0xFF); };
    const unsigned clock = t.pixelClockKHz / 10;  // units of 10 kHz
    const unsigned vActive = t.interlaced ? t.vActive / 2u : t.vActive;
    const unsigned hBlank = t.hFront + t.hSync + t.hBack;
    const unsigned vBlank = t.vFront + t.vSync + t.vBack;
    const unsigned hMm = (t.hActive * 3u + 5) / 10;
    const unsigned vMm = (t.vActive * 3u + 5) / 10;
    d[0] = lo8(clock);
    d[1] = lo8(clock >> 8);
    d[2] = lo8(t.hActive);
    d[3] = lo8(hBlank);
    d[4] = static_cast<uint8_t>(((t.hActive >> 8) & 0xF) << 4 | ((hBlank >> 8) & 0xF));
    d[5] = lo8(vActive);
    d[6] = lo8(vBlank);
    d[7] = static_cast<uint8_t>(((vActive >> 8) & 0xF) << 4 | ((vBlank >> 8) & 0xF));
    d[8] = lo8(t.hFront);
    d[9] = lo8(t.hSync);
    d[10] = static_cast<uint8_t>((t.vFront & 0xF) << 4 | (t.vSync & 0xF));
    d[11] = static_cast<uint8_t>(((t.hFront >> 8) & 0x3) << 6 | ((t.hSync >> 8) & 0x3) << 4 |
                                 ((t.vFront >> 4) & 0x3) << 2 | ((t.vSync >> 4) & 0x3));
    d[12] = lo8(hMm);
    d[13] = lo8(vMm);
    d[14] = static_cast<uint8_t>(((hMm >> 8) & 0xF) << 4 | ((vMm >> 8) & 0xF));
    d[15] = 0;
    d[16] = 0;
    d[17] = static_cast<uint8_t>((t.interlaced ? 0x80 : 0) | 0x18 | (vSyncPositive ? 0x04 : 0) |
                                 (hSyncPositive ? 0x02 : 0));
}
// The timing of a detailed timing descriptor (name left empty); false for a
// display descriptor (clock 0) or an empty picture.
bool edidDecodeDtd(const uint8_t* d, VideoTiming& t);
// The preferred timing of a sink: the first detailed timing of its base
// block. False when the image is not valid or holds none.
bool edidPreferredTiming(const uint8_t* image, VideoTiming& t);

// What a sink's EDID announces of the colour formats: YCbCr 4:4:4 and
// 4:2:2 (the CTA extension's flags) and the deepest colour depth (the HDMI
// vendor block's 30- and 36-bit bits); a sink without a CTA extension
// takes RGB at 24 bits only.
struct SinkColorCaps {
    bool ycbcr444 = false;
    bool ycbcr422 = false;
    int maxBitsPerPixel = 24;
};
SinkColorCaps edidSinkColorCaps(const uint8_t* image);
