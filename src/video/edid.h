// The EDID images offered on the eight inputs: built per input from the
// HDMI or the VGA template (../memfiles) and patched by the input pages
// (native timing, deep colour, mode lines, audio channels). Every patch
// repairs the checksums of the blocks it touched.
#pragma once

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
