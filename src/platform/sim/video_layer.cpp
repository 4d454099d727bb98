#include "platform/sim/video_layer.h"

#include "scaler/regs.h"

#include <algorithm>

namespace board::sim {

namespace {

constexpr int kBars = scaler_reg::BARS;
constexpr uint8_t kRampLow = 16, kRampHigh = 235;
constexpr uint8_t kNoSignalText = 0x80;
constexpr int kTextScale = 3;
constexpr int kGlyphRows = 16, kGlyphBytes = 32, kSpaceAdvance = 7;

struct Canvas {
    int w, h;
    std::vector<uint8_t>& rgb;
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    void rect(int x, int y, int rw, int rh, uint8_t v) {
        for (int r = 0; r < rh; ++r)
            for (int c = 0; c < rw; ++c) set(x + c, y + r, v, v, v);
    }
    // Columns [x0, x1) of rows [y0, y1) become what they are in row y0:
    // patterns that change only across are drawn once and copied down.
    void repeatFirstRow(int x0, int x1, int y0, int y1) {
        x0 = std::max(x0, 0);
        x1 = std::min(x1, w);
        y0 = std::max(y0, 0);
        y1 = std::min(y1, h);
        if (x0 >= x1 || y0 >= y1) return;
        const size_t line = static_cast<size_t>(w) * 3;
        const uint8_t* first = &rgb[static_cast<size_t>(y0) * line + static_cast<size_t>(x0) * 3];
        const size_t n = static_cast<size_t>(x1 - x0) * 3;
        for (int y = y0 + 1; y < y1; ++y) std::copy_n(first, n, &rgb[static_cast<size_t>(y) * line + static_cast<size_t>(x0) * 3]);
    }
};

uint16_t glyphRow(const std::vector<uint8_t>& font, int code, int row) {
    const size_t at = static_cast<size_t>(code) * kGlyphBytes + static_cast<size_t>(row) * 2;
    if (code < 0 || at + 1 >= font.size()) return 0;
    return static_cast<uint16_t>(font[at] << 8 | font[at + 1]);
}

// Columns a glyph advances: its ink and one blank column.
int advance(const std::vector<uint8_t>& font, int code) {
    uint16_t ink = 0;
    for (int r = 0; r < kGlyphRows; ++r) ink |= glyphRow(font, code, r);
    if (ink == 0) return kSpaceAdvance;
    int last = 15;
    while (!(ink & (0x8000 >> last))) --last;
    return last + 2;
}

void text(Canvas& c, const VideoLayer& l, int cx, int cy, uint8_t v) {
    int width = 0;
    for (char ch : l.label) width += advance(l.font, ch - 32) * kTextScale;
    int x = cx - width / 2;
    const int y = cy - kGlyphRows * kTextScale / 2;
    for (char ch : l.label) {
        const int code = ch - 32;
        for (int r = 0; r < kGlyphRows; ++r) {
            const uint16_t bits = glyphRow(l.font, code, r);
            for (int col = 0; col < 16; ++col)
                if (bits & (0x8000 >> col)) c.rect(x + col * kTextScale, y + r * kTextScale, kTextScale, kTextScale, v);
        }
        x += advance(l.font, code) * kTextScale;
    }
}

void bars(Canvas& c, int barWidth, uint8_t level) {
    const int bw = std::max(1, barWidth);
    for (int x = 0; x < c.w; ++x) {
        const int bar = x / bw;
        const uint8_t* k = scaler_reg::BAR_COLOURS[std::min(bar, kBars - 1)];
        const bool past = bar >= kBars;
        c.set(x, 0, past ? 0 : k[0] * level, past ? 0 : k[1] * level, past ? 0 : k[2] * level);
    }
    c.repeatFirstRow(0, c.w, 0, c.h);
}

void memoryPicture(Canvas& c, const VideoLayer& l) {
    const size_t line = static_cast<size_t>(c.w) * 3;
    for (int y = 0; y < c.h; ++y) {
        const size_t from = (l.memoryLines <= 1 ? 0 : static_cast<size_t>(y)) * line;
        if (from + line > l.memory.size()) break;
        std::copy_n(&l.memory[from], line, &c.rgb[static_cast<size_t>(y) * line]);
    }
}

void live(Canvas& c, const VideoLayer& l) {
    int x0 = l.x, y0 = l.y, w = l.w, h = l.h;
    if (w <= 0 || h <= 0) {
        x0 = y0 = 0;
        w = c.w;
        h = c.h;
    }
    std::fill(c.rgb.begin(), c.rgb.end(), 0);
    if (l.kind == VideoLayer::Kind::Live) {
        const int top = std::max(y0, 0);
        if (top < y0 + h) {
            for (int x = 0; x < w; ++x) {
                const auto v = static_cast<uint8_t>(kRampLow + (w > 1 ? (kRampHigh - kRampLow) * x / (w - 1) : 0));
                c.set(x0 + x, top, v, v, v);
            }
            c.repeatFirstRow(x0, x0 + w, top, y0 + h);
        }
        const int ticker = static_cast<int>((l.frame * kTickerStep) % static_cast<uint64_t>(std::max(1, w)));
        c.rect(x0 + ticker, y0, std::min(kTickerW, w - ticker), h, 255);
    }
    text(c, l, x0 + w / 2, y0 + h / 8, l.kind == VideoLayer::Kind::Live ? 255 : kNoSignalText);
}

}  // namespace

void drawVideoLayer(const VideoLayer& l, int w, int h, std::vector<uint8_t>& rgb) {
    rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, kVideoGrey);
    Canvas c{w, h, rgb};
    switch (l.kind) {
    case VideoLayer::Kind::Blank:
        std::fill(rgb.begin(), rgb.end(), 0);
        return;
    case VideoLayer::Kind::Fill:
        for (int x = 0; x < w; ++x) c.set(x, 0, l.fill[0], l.fill[1], l.fill[2]);
        c.repeatFirstRow(0, w, 0, h);
        return;
    case VideoLayer::Kind::Memory:
        std::fill(rgb.begin(), rgb.end(), 0);
        memoryPicture(c, l);
        return;
    case VideoLayer::Kind::Bars:
        bars(c, l.barWidth, l.barLevel);
        return;
    case VideoLayer::Kind::Live:
    case VideoLayer::Kind::NoSignal:
        live(c, l);
        break;
    case VideoLayer::Kind::Idle:
        break;
    }
    if (l.frozen) {
        c.rect(w - kPauseRight, kPauseTop, kPauseW, kPauseH, 255);
        c.rect(w - kPauseRight + kPauseGap, kPauseTop, kPauseW, kPauseH, 255);
    }
}

}  // namespace board::sim
