// The picture under a channel's OSD as the simulated chip's registers set it
// (scaler/regs.h), drawn as a monitor on the output would show it:
//   blanked output      black, the OSD too
//   output fill on      the fill colour
//   frame-memory source the pixels in chip memory (the 4K colour bars)
//   test pattern        eight colour bars
//   picture built       the live picture in its display window: a grey ramp
//                       with a white bar that moves with the output frames,
//                       and the input's number and format name; without a
//                       signal, black with "NO SIGNAL"
//   nothing built yet   the flat grey of the board's stand-in video
// A frozen picture keeps the frame it had when it froze and shows a pause
// mark (two white bars) at the top right.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace board::sim {

// The grey of the simulated video before any picture is built.
inline constexpr uint8_t kVideoGrey = 0x30;

struct VideoLayer {
    enum class Kind : uint8_t { Idle, Live, NoSignal, Bars, Memory, Fill, Blank };
    Kind kind = Kind::Idle;
    uint8_t fill[3] = {};
    int barWidth = 0;
    uint8_t barLevel = 0;
    std::vector<uint8_t> memory;  // memoryLines lines of the output's width, 3 bytes a pixel
    int memoryLines = 0;          // 1: every line repeats the first
    bool frozen = false;
    uint64_t frame = 0;           // the output frame shown
    std::string label;            // the live picture's text
    int x = 0, y = 0, w = 0, h = 0;  // display window; size 0: the whole output
    std::vector<uint8_t> font;    // the chip's font: 16 rows of 16 bits a glyph, code = character - 32
};

// Geometry of the pause mark, for tests: two bars kPauseW x kPauseH, the
// first kPauseRight pixels left of the right edge, the second kPauseGap
// further right, kPauseTop from the top.
inline constexpr int kPauseW = 16, kPauseH = 48, kPauseGap = 32, kPauseRight = 88, kPauseTop = 24;
// The moving bar of the live picture: kTickerW wide, kTickerStep pixels a frame.
inline constexpr int kTickerW = 8, kTickerStep = 8;

// Fills rgb (w x h, 3 bytes a pixel) with the layer.
void drawVideoLayer(const VideoLayer& layer, int w, int h, std::vector<uint8_t>& rgb);

}  // namespace board::sim
