#include "platform/sim/osd_engine.h"

#include "platform/journal.h"
#include "scaler/regs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace board::sim {

namespace R = scaler_reg;

namespace {

constexpr size_t kOpsKept = 4096;
constexpr uint64_t kMemoryErrorsJournalled = 20;
constexpr unsigned kEngineBank = 0;
constexpr unsigned kWindowBank = R::bankOf(R::OSD_MODE);
constexpr unsigned kOutputBank = R::bankOf(R::OUT_FRAME_COUNT);

// Which channel a bank belongs to: 0 or 1 for a per-channel bank, else -1.
int channelOf(unsigned bank, unsigned base) {
    if (bank == base) return 0;
    if (bank == base + R::CHANNEL1_BANK_STEP) return 1;
    return -1;
}

bool isByteOf(unsigned bank, unsigned offset, uint32_t code) {
    return bank == R::bankOf(code) && offset >= R::offsetOf(code) && offset < R::offsetOf(code) + R::countOf(code);
}

bool isLastByteOf(unsigned bank, unsigned offset, uint32_t code) {
    return bank == R::bankOf(code) && offset == R::offsetOf(code) + R::countOf(code) - 1;
}

std::string decode(const std::vector<uint16_t>& codes) {
    std::string out;
    for (uint16_t code : codes) {
        int c = code + 32;
        if (c >= 32 && c <= 126) {
            if (c == '"' || c == '\\') out += '\\';
            out += static_cast<char>(c);
        } else {
            out += "{" + std::to_string(code) + "}";
        }
    }
    return out;
}

const auto kEpoch = std::chrono::steady_clock::now();

}  // namespace

// ---- FrameMemory ----

uint8_t* FrameMemory::page(uint32_t index, bool create) const {
    auto it = pages_.find(index);
    if (it != pages_.end()) return it->second.get();
    if (!create) return nullptr;
    auto p = std::make_unique<uint8_t[]>(kPage);
    std::memset(p.get(), 0, kPage);
    return pages_.emplace(index, std::move(p)).first->second.get();
}

uint8_t FrameMemory::read(uint32_t addr) const {
    if (!inRange(addr, 1)) return 0;
    const uint8_t* p = page(addr >> kPageBits, false);
    return p ? p[addr & (kPage - 1)] : 0;
}

bool FrameMemory::write(uint32_t addr, uint8_t value) {
    if (!inRange(addr, 1)) return false;
    page(addr >> kPageBits, true)[addr & (kPage - 1)] = value;
    return true;
}

template <class Fn>
void FrameMemory::walk(uint32_t addr, uint32_t len, bool create, Fn fn) const {
    uint32_t done = 0;
    while (done < len) {
        uint32_t off = (addr + done) & (kPage - 1);
        uint32_t n = std::min(len - done, kPage - off);
        uint8_t* p = page((addr + done) >> kPageBits, create);
        fn(p ? p + off : nullptr, done, n);
        done += n;
    }
}

bool FrameMemory::fill(uint32_t addr, uint32_t len, uint8_t value) {
    if (!inRange(addr, len)) return false;
    walk(addr, len, true, [&](uint8_t* p, uint32_t, uint32_t n) { std::memset(p, value, n); });
    return true;
}

bool FrameMemory::readSpan(uint32_t addr, uint32_t len, uint8_t* out) const {
    if (!inRange(addr, len)) return false;
    walk(addr, len, false, [&](const uint8_t* p, uint32_t at, uint32_t n) {
        if (p) std::memcpy(out + at, p, n);
        else std::memset(out + at, 0, n);
    });
    return true;
}

bool FrameMemory::writeSpan(uint32_t addr, uint32_t len, const uint8_t* in) {
    if (!inRange(addr, len)) return false;
    walk(addr, len, true, [&](uint8_t* p, uint32_t at, uint32_t n) { std::memcpy(p, in + at, n); });
    return true;
}

// ---- RegView ----

uint32_t RegView::get(uint32_t code, int channel) const {
    unsigned bank = R::bankOf(code) + (channel == 1 ? R::CHANNEL1_BANK_STEP : 0);
    unsigned offset = R::offsetOf(code);
    uint32_t v = 0;
    for (unsigned i = 0; i < R::countOf(code) && i < 4 && offset + i < 256; ++i)
        v |= static_cast<uint32_t>(base[(bank & 0xFF) * 256 + offset + i]) << (8 * i);
    return v;
}

// ---- OsdEngine ----

OsdEngine::OsdEngine() : mem_(scaler_mem::SIZE) {}

uint64_t OsdEngine::frameCount() const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - kEpoch);
    return static_cast<uint64_t>(ms.count()) * static_cast<uint64_t>(frameRate_) / 1000;
}

void OsdEngine::reset() {
    mem_.clear();
    scene_.clear();
    ops_.clear();
    memoryErrors_ = 0;
    softReset();
}

void OsdEngine::softReset() {
    std::memset(glyphRam_, 0, sizeof glyphRam_);
    std::memset(palette_, 0, sizeof palette_);
    glyphAddr_ = 0;
    dataAddr_ = 0;
    paletteIndex_[0] = paletteIndex_[1] = 0;
    paletteWritten_[0] = paletteWritten_[1] = 0;
    busyLeft_ = 0;
}

void OsdEngine::written(const RegView& regs, unsigned bank, unsigned offset, uint8_t value) {
    if (bank == kEngineBank) {
        if (offset == R::offsetOf(R::OSDCT)) {
            uint8_t op = value & R::OSDCT_OP_MASK;
            if (op == R::OP_FILL || op == R::OP_COPY || op == R::OP_GLYPHS) run(regs, op);
        } else if (isByteOf(bank, offset, R::DEST)) {
            dataAddr_ = regs.get(R::DEST);
        } else if (offset == R::offsetOf(R::DATA_PORT)) {
            if (!mem_.write(dataAddr_, value) && memoryErrors_++ < kMemoryErrorsJournalled) {
                char a[64];
                std::snprintf(a, sizeof a, "op=data addr=0x%08x", dataAddr_);
                note("osd.memory-error", a);
            }
            ++dataAddr_;
        } else if (isByteOf(bank, offset, R::GLYPH_ADDR)) {
            glyphAddr_ = static_cast<uint16_t>(regs.get(R::GLYPH_ADDR));
        } else if (offset == R::offsetOf(R::GLYPH_DATA)) {
            glyphRam_[glyphAddr_ % sizeof glyphRam_] = value;
            ++glyphAddr_;
        } else if (isLastByteOf(bank, offset, R::UPDATE)) {
            uint32_t v = regs.get(R::UPDATE);
            note("osd.update", "value=" + std::to_string(v));
            if (v == R::UPDATE_APPLY_CH0) noteWindow(regs, 0);
            else if (v == R::UPDATE_APPLY_ON_CH1 || v == R::UPDATE_APPLY_OFF_CH1) noteWindow(regs, 1);
        }
        return;
    }
    if (channelOf(bank, kOutputBank) >= 0) changed();
    int ch = channelOf(bank, kWindowBank);
    if (ch < 0) return;
    if (offset == R::offsetOf(R::OSD_PALETTE_ADDR)) {
        paletteIndex_[ch] = value * 3;
        paletteWritten_[ch] = 0;
    } else if (offset == R::offsetOf(R::OSD_PALETTE_DATA)) {
        if (paletteIndex_[ch] < kPaletteBytes) palette_[ch][paletteIndex_[ch]++] = value;
        ++paletteWritten_[ch];
    } else if (offset == R::offsetOf(R::OSD_PALETTE_CTL) && (value & R::OSD_PALETTE_IN_USE)) {
        note("osd.palette", "ch=" + std::to_string(ch) + " bytes=" + std::to_string(paletteWritten_[ch]));
    }
    changed();
}

bool OsdEngine::read(const RegView&, unsigned bank, unsigned offset, uint8_t& value) {
    if (bank == kEngineBank && offset == R::offsetOf(R::STATUS)) {
        if (busyReads_ < 0) {
            value = 1;
        } else {
            value = busyLeft_ > 0 ? 1 : 0;
            if (busyLeft_ > 0) --busyLeft_;
        }
        return true;
    }
    if (channelOf(bank, kOutputBank) >= 0 && offset == R::offsetOf(R::OUT_FRAME_COUNT)) {
        value = static_cast<uint8_t>(frameCount());
        return true;
    }
    return false;
}

uint32_t OsdEngine::planeLines(const RegView& regs) const {
    uint32_t stride = regs.get(R::OSD_PLANE_STRIDE) * 128;
    uint32_t a = regs.get(R::OSD_PLANE0), b = regs.get(R::OSD_PLANE1);
    if (stride == 0) return 0;
    if (a == b) return 2160;
    return std::min<uint32_t>((a > b ? a - b : b - a) / stride, 4096);
}

int OsdEngine::planeOf(const RegView& regs, uint32_t addr, int* x, int* y) const {
    uint32_t stride = regs.get(R::OSD_PLANE_STRIDE) * 128;
    uint64_t extent = static_cast<uint64_t>(stride) * planeLines(regs);
    for (int p = 0; p < 2 && stride != 0; ++p) {
        uint32_t base = regs.get(p == 0 ? R::OSD_PLANE0 : R::OSD_PLANE1);
        if (addr >= base && addr - base < extent) {
            *x = static_cast<int>((addr - base) % stride);
            *y = static_cast<int>((addr - base) / stride);
            return p;
        }
    }
    return -1;
}

std::string OsdEngine::where(const RegView& regs, uint32_t addr, int w, int h, int* plane, int* x, int* y) const {
    char buf[96];
    *plane = planeOf(regs, addr, x, y);
    if (*plane >= 0) std::snprintf(buf, sizeof buf, "plane=%d x=%d y=%d w=%d h=%d", *plane, *x, *y, w, h);
    else std::snprintf(buf, sizeof buf, "plane=- addr=0x%08x w=%d h=%d", addr, w, h);
    return buf;
}

std::vector<OsdText> OsdEngine::scene(int plane) const {
    std::vector<OsdText> out;
    for (const OsdText& t : scene_)
        if (t.plane == plane) out.push_back(t);
    return out;
}

void OsdEngine::note(const char* call, const std::string& args) {
    if (ops_.size() >= kOpsKept) ops_.pop_front();
    ops_.push_back(std::string(call) + " " + args);
    journal(call, "%s", args.c_str());
}

void OsdEngine::changed() {
    if (onChange) onChange();
}

void OsdEngine::cover(int plane, int x, int y, int w, int h) {
    if (plane < 0) return;
    // A text goes when the paint reaches its glyphs; one of blanks only, when
    // the paint reaches it at all.
    auto meets = [&](int bx, int by, int bw, int bh) { return bx < x + w && x < bx + bw && by < y + h && y < by + bh; };
    std::erase_if(scene_, [&](const OsdText& t) {
        if (t.plane != plane) return false;
        return t.inkW > 0 ? meets(t.inkX, t.inkY, t.inkW, t.inkH) : meets(t.x, t.y, t.w, t.h);
    });
}

bool OsdEngine::rows(uint32_t dest, uint32_t stride, int w, int h, const std::function<bool(uint32_t, int)>& row) {
    bool ok = true;
    for (int r = 0; r < h; ++r) {
        uint64_t addr = dest + static_cast<uint64_t>(r) * stride;
        if (addr >= mem_.size() || !row(static_cast<uint32_t>(addr), r)) ok = false;
    }
    if (!ok && memoryErrors_++ < kMemoryErrorsJournalled) {
        char a[96];
        std::snprintf(a, sizeof a, "op=draw dest=0x%08x w=%d h=%d", dest, w, h);
        note("osd.memory-error", a);
    }
    return ok;
}

void OsdEngine::run(const RegView& regs, uint8_t op) {
    if (op == R::OP_FILL) fill(regs);
    else if (op == R::OP_COPY) copy(regs);
    else glyphs(regs);
    busyLeft_ = busyReads_;
    changed();
}

void OsdEngine::fill(const RegView& regs) {
    const int w = static_cast<int>(regs.get(R::WIDTH_M1)) + 1;
    const int h = static_cast<int>(regs.get(R::HEIGHT_M1)) + 1;
    const uint32_t dest = regs.get(R::DEST);
    const uint8_t colour = static_cast<uint8_t>(regs.get(R::FILL_COLOUR));
    rows(dest, regs.get(R::OSD_PLANE_STRIDE) * 128, w, h,
         [&](uint32_t addr, int) { return mem_.fill(addr, static_cast<uint32_t>(w), colour); });
    int plane, x, y;
    std::string at = where(regs, dest, w, h, &plane, &x, &y);
    note("osd.fill", at + " colour=" + std::to_string(colour));
    cover(plane, x, y, w, h);
}

void OsdEngine::copy(const RegView& regs) {
    const int w = static_cast<int>(regs.get(R::WIDTH_M1)) + 1;
    const int h = static_cast<int>(regs.get(R::HEIGHT_M1)) + 1;
    const uint32_t src = regs.get(R::SOURCE);
    const uint32_t dest = regs.get(R::DEST);
    const uint32_t srcStride = regs.get(R::OSD_PARTS_STRIDE) * 128;
    std::vector<uint8_t> line(static_cast<size_t>(w));
    rows(dest, regs.get(R::OSD_PLANE_STRIDE) * 128, w, h, [&](uint32_t addr, int r) {
        uint64_t from = src + static_cast<uint64_t>(r) * srcStride;
        return from < mem_.size() && mem_.readSpan(static_cast<uint32_t>(from), line.size(), line.data()) &&
               mem_.writeSpan(addr, line.size(), line.data());
    });
    int plane, x, y;
    std::string at = where(regs, dest, w, h, &plane, &x, &y);
    char from[32];
    std::snprintf(from, sizeof from, " from=0x%08x", src);
    note("osd.copy", at + from);
    cover(plane, x, y, w, h);
}

void OsdEngine::glyphs(const RegView& regs) {
    const int count = static_cast<int>(regs.get(R::GLYPH_COUNT_M1)) + 1;
    const int size = glyphRam_[R::GLYPH_SIZE_ADDR];
    const uint32_t font = regs.get(R::SOURCE);
    const uint32_t dest = regs.get(R::DEST);
    struct Cell {
        uint16_t code;
        uint8_t fg, bg;
        int width;
        bool bold;
    };
    std::vector<Cell> cells;
    std::vector<uint16_t> codes;
    int total = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* e = &glyphRam_[i * R::GLYPH_ENTRY_BYTES];
        Cell c{static_cast<uint16_t>(e[0] | e[1] << 8), e[2], e[3], e[4] & R::GLYPH_WIDTH_MASK,
               (e[4] & R::GLYPH_BOLD) != 0};
        cells.push_back(c);
        codes.push_back(c.code);
        total += c.width + 1;  // one blank column after each glyph
    }
    std::vector<uint8_t> line(static_cast<size_t>(total));
    int inkLeft = total, inkRight = -1, inkTop = size, inkBottom = -1;
    rows(dest, regs.get(R::OSD_PLANE_STRIDE) * 128, total, size, [&](uint32_t addr, int r) {
        int x = 0;
        for (const Cell& c : cells) {
            uint16_t bits = 0;
            uint64_t at = font + static_cast<uint64_t>(c.code) * scaler_mem::FONT_GLYPH_BYTES + 2 * r;
            if (r < 16 && at + 1 < mem_.size())
                bits = static_cast<uint16_t>(mem_.read(static_cast<uint32_t>(at)) << 8 |
                                             mem_.read(static_cast<uint32_t>(at + 1)));
            if (c.bold) bits |= bits >> 1;
            for (int col = 0; col <= c.width; ++col) {
                bool ink = col < 16 && (bits & (0x8000 >> col)) && (col < c.width || c.bold);
                line[static_cast<size_t>(x + col)] = ink ? c.fg : c.bg;
                if (ink) {
                    inkLeft = std::min(inkLeft, x + col);
                    inkRight = std::max(inkRight, x + col);
                    inkTop = std::min(inkTop, r);
                    inkBottom = std::max(inkBottom, r);
                }
            }
            x += c.width + 1;
        }
        return mem_.writeSpan(addr, line.size(), line.data());
    });
    int plane, x, y;
    std::string at = where(regs, dest, total, size, &plane, &x, &y);
    std::string text = decode(codes);
    const int fg = cells.empty() ? 0 : cells[0].fg, bg = cells.empty() ? 0 : cells[0].bg;
    note("osd.text", at + " fg=" + std::to_string(fg) + " bg=" + std::to_string(bg) + " text=\"" + text + "\"");
    cover(plane, x, y, total, size);
    if (plane >= 0 && total > 0 && size > 0) {
        OsdText t{plane, x, y, total, size, text, fg, bg};
        if (inkRight >= 0) {
            t.inkX = x + inkLeft;
            t.inkY = y + inkTop;
            t.inkW = inkRight - inkLeft + 1;
            t.inkH = inkBottom - inkTop + 1;
        }
        scene_.push_back(std::move(t));
    }
}

OsdWindow OsdEngine::window(const RegView& regs, int ch) const {
    OsdWindow w;
    w.on = regs.get(R::OSD_MODE, ch) & R::OSD_MODE_WINDOW_ON;
    w.planeAddr = regs.get(R::OSD_WIN_PLANE, ch);
    w.plane = planeOf(regs, w.planeAddr, &w.planeX, &w.planeY);
    // The start registers carry the chip's pipeline delay.
    w.x = static_cast<int>(regs.get(R::OSD_WIN_HST, ch)) - static_cast<int>(regs.get(R::OUT_ACT_HST, ch)) -
          R::OSD_WIN_H_DELAY;
    w.y = static_cast<int>(regs.get(R::OSD_WIN_VST, ch)) - static_cast<int>(regs.get(R::OUT_ACT_VST, ch)) -
          R::OSD_WIN_V_DELAY;
    w.w = static_cast<int>(regs.get(R::OSD_WIN_HW, ch));
    w.h = static_cast<int>(regs.get(R::OSD_WIN_VW, ch));
    w.key = static_cast<int>(regs.get(R::OSD_KEY_COLOUR, ch));
    const uint32_t blends[3] = {R::OSD_BLEND1, R::OSD_BLEND2, R::OSD_BLEND3};
    for (int k = 0; k < 3; ++k) w.blend[k] = static_cast<int>(regs.get(blends[k], ch));
    return w;
}

void OsdEngine::copyRows(uint32_t base, uint32_t stride, int w, int h, std::vector<uint8_t>& out) const {
    out.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int r = 0; r < h; ++r) {
        uint64_t at = base + static_cast<uint64_t>(r) * stride;
        if (at < mem_.size())
            mem_.readSpan(static_cast<uint32_t>(at), static_cast<uint32_t>(w),
                          &out[static_cast<size_t>(r) * static_cast<size_t>(w)]);
    }
}

void OsdEngine::noteWindow(const RegView& regs, int ch) {
    const OsdWindow w = window(regs, ch);
    char buf[200];
    std::snprintf(buf, sizeof buf, "ch=%d on=%d plane=%s x=%d y=%d w=%d h=%d key=%d blend=%d,%d,%d", ch, w.on ? 1 : 0,
                  w.plane < 0 ? "-" : (w.plane == 0 ? "0" : "1"), w.x, w.y, w.w, w.h, w.key, w.blend[0], w.blend[1],
                  w.blend[2]);
    note("osd.window", buf);
    changed();
}

}  // namespace board::sim
