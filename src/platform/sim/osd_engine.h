// The scaler chip's frame memory and OSD engine as the simulated board runs
// them: operations start from register contents alone (fill, part copy,
// glyph list), exactly as the program's register sequences leave them.
//
// Observation for tests and people: every operation is journalled with its
// plane position and, for glyph lists, the decoded text; each OSD plane keeps
// a text scene (what text stands where; a later operation that paints over
// its glyphs removes it).
//
// Not thread-safe by itself: the chip holds its lock around every call.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace board::sim {

// Sparse chip memory: pages appear when first written; reads of untouched
// memory give 0. Accesses past the end are refused (the caller reports them).
class FrameMemory {
public:
    explicit FrameMemory(uint32_t size) : size_(size) {}
    uint32_t size() const { return size_; }
    bool inRange(uint32_t addr, uint32_t len) const { return addr < size_ && len <= size_ - addr; }
    uint8_t read(uint32_t addr) const;
    bool write(uint32_t addr, uint8_t value);
    bool fill(uint32_t addr, uint32_t len, uint8_t value);
    bool readSpan(uint32_t addr, uint32_t len, uint8_t* out) const;
    bool writeSpan(uint32_t addr, uint32_t len, const uint8_t* in);
    void clear() { pages_.clear(); }

private:
    static constexpr uint32_t kPageBits = 16;
    static constexpr uint32_t kPage = 1u << kPageBits;
    uint8_t* page(uint32_t index, bool create) const;
    // Calls fn(page or null, offset in the span, bytes) for each page the span touches.
    template <class Fn>
    void walk(uint32_t addr, uint32_t len, bool create, Fn fn) const;
    uint32_t size_;
    mutable std::unordered_map<uint32_t, std::unique_ptr<uint8_t[]>> pages_;
};

// Read-only view of the register file for the engine (bank * 256 + offset).
struct RegView {
    const uint8_t* base;
    uint32_t get(uint32_t code, int channel = 0) const;
};

// A text the engine drew and that is still visible on its plane.
// A channel's OSD window as its registers set it: the plane shown (its
// address and, when it is one of the two OSD planes, its number and the
// position in it) and the window's place in the output picture.
struct OsdWindow {
    bool on = false;
    uint32_t planeAddr = 0;
    int plane = -1, planeX = 0, planeY = 0;
    int x = 0, y = 0, w = 0, h = 0;
    int key = 0;
    int blend[3] = {};
};

struct OsdText {
    int plane = 0;
    int x = 0, y = 0, w = 0, h = 0;
    std::string text;  // decoded: glyph code + 32; codes without a character as {code}
    int fg = 0, bg = 0;
    // The box of its inked pixels (w 0: none): a paint that reaches only the
    // blank rows and columns around the glyphs leaves the text readable.
    int inkX = 0, inkY = 0, inkW = 0, inkH = 0;
};

class OsdEngine {
public:
    static constexpr int kPaletteBytes = 816;

    OsdEngine();
    void reset();
    // A chip reset: the glyph list, palettes, ports and busy state cleared;
    // frame memory and what it shows are kept.
    void softReset();

    // Called by the chip after a register byte was stored / before one is read.
    void written(const RegView& regs, unsigned bank, unsigned offset, uint8_t value);
    bool read(const RegView& regs, unsigned bank, unsigned offset, uint8_t& value);

    // Busy status: held for this many status reads after each operation;
    // a negative number keeps the engine busy for ever (a stuck engine).
    void setBusyReads(int reads) { busyReads_ = reads; }
    int busyReads() const { return busyReads_; }
    // Output vertical syncs per second (the frame counters move at this rate).
    void setFrameRate(int hz) { frameRate_ = hz > 0 ? hz : 60; }
    // Output frames since the board started (the counters show its low byte).
    uint64_t frameCount() const;

    const FrameMemory& memory() const { return mem_; }
    FrameMemory& memory() { return mem_; }
    uint64_t memoryErrors() const { return memoryErrors_; }
    const uint8_t* palette(int channel) const { return palette_[channel & 1]; }

    // Plane of an address (0 or 1, -1 for none) and the position in it.
    int planeOf(const RegView& regs, uint32_t addr, int* x, int* y) const;
    uint32_t planeLines(const RegView& regs) const;
    OsdWindow window(const RegView& regs, int channel) const;
    // Copies h rows of w bytes, stride bytes apart, from chip memory (0 past its end).
    void copyRows(uint32_t base, uint32_t stride, int w, int h, std::vector<uint8_t>& out) const;
    std::vector<OsdText> scene(int plane) const;
    std::vector<std::string> operations() const { return {ops_.begin(), ops_.end()}; }
    void clearOperations() { ops_.clear(); }

    // Called (with the chip's lock held) after anything visible changed.
    std::function<void()> onChange;

private:
    void run(const RegView& regs, uint8_t op);
    void fill(const RegView& regs);
    void copy(const RegView& regs);
    void glyphs(const RegView& regs);
    void noteWindow(const RegView& regs, int channel);
    bool rows(uint32_t dest, uint32_t stride, int w, int h, const std::function<bool(uint32_t, int)>& row);
    void cover(int plane, int x, int y, int w, int h);
    void note(const char* call, const std::string& args);
    std::string where(const RegView& regs, uint32_t addr, int w, int h, int* plane, int* x, int* y) const;
    void changed();

    FrameMemory mem_;
    uint8_t glyphRam_[4096] = {};
    uint16_t glyphAddr_ = 0;
    uint32_t dataAddr_ = 0;
    uint8_t palette_[2][kPaletteBytes] = {};
    int paletteIndex_[2] = {0, 0};
    int paletteWritten_[2] = {0, 0};
    int busyReads_ = 2;
    int busyLeft_ = 0;
    int frameRate_ = 60;
    uint64_t memoryErrors_ = 0;
    std::vector<OsdText> scene_;
    std::deque<std::string> ops_;
};

}  // namespace board::sim
