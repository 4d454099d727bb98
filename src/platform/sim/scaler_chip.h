// The simulated scaler chip behind the host-bus window: 256 banks of 256 byte
// registers kept in <root>/sim/scaler.bin (the chip keeps its registers over
// a warm reboot; a new board starts with zeros), the frame memory and the OSD
// engine that draws into it (osd_engine.h), and the pictures a monitor on each
// output would show (osd_render.h), written under <root>/sim/osd/.
//
// board.conf keys read when the board starts:
//   scaler.osd_busy_reads = N | never   status reads the engine stays busy after
//                                       each operation (default 2; never: stuck)
//   scaler.vsync_hz = N                 output vertical syncs per second (default 60)
// Control commands: "snapshot" (write the pictures now), "osd-busy N|never";
// "state" gains an [osd] section (windows and visible texts) and a [picture]
// section (what each channel's picture shows).
// What the registers of the picture (scaler/regs.h) show: video_layer.h.
#pragma once

#include "platform/scaler_window.h"
#include "platform/sim/osd_engine.h"
#include "platform/sim/video_layer.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace board::sim {

class OsdPictures;

class ScalerChip : public ScalerWindow {
public:
    static constexpr unsigned kBanks = 256;
    static constexpr unsigned kBankSize = 256;

    ScalerChip();
    ~ScalerChip() override;

    uint8_t read8(unsigned offset) override;
    void write8(unsigned offset, uint8_t value) override;
    // The frame counters move with the clock: one sleep to the next frame.
    bool waitVsync(int channel, unsigned timeoutMs) override;

    // Direct register access for the board's own models and for tests (no
    // engine action, no bank selection).
    uint8_t reg(unsigned bank, unsigned offset) const;
    void setReg(unsigned bank, unsigned offset, uint8_t value);
    // A register by its code (little-endian, up to 4 bytes), channel 1 with
    // the bank raised by 0x0B.
    uint32_t regCode(uint32_t code, int channel = 0) const;
    uint8_t selectedBank() const;

    // Frame memory and what the OSD engine shows.
    uint8_t memory(uint32_t addr) const;
    uint64_t memoryErrors() const;
    int planePixel(int plane, int x, int y) const;  // palette index, -1 outside the plane
    std::vector<OsdText> scene(int plane) const;
    // The texts the channel's OSD window shows, in window coordinates (empty
    // when the window is off).
    std::vector<OsdText> visibleTexts(int channel) const;
    std::vector<std::string> operations() const;
    void clearOperations();
    std::string sceneText() const;
    // One line a channel: what its picture shows (video_layer.h), e.g.
    // "channel 0 live "INPUT 2  720p60" frozen".
    std::string pictureText() const;

    // Register accesses (never the bank-select byte) recorded for tests.
    struct Access {
        bool write;
        uint8_t bank, offset, value;
        bool operator==(const Access&) const = default;
    };
    void setTrace(bool on);
    std::vector<Access> trace() const;

    void setBusyReads(int reads);  // negative: busy for ever
    int busyReads() const;
    void setFrameRate(int hz);

    // One channel's output as the renderer needs it, copied under the lock.
    struct ChannelCapture {
        int outW = 0, outH = 0;
        bool windowOn = false;
        int x = 0, y = 0, w = 0, h = 0;  // window in output coordinates
        uint8_t key = 0;
        uint8_t blend[3] = {};
        bool gainOn = false;
        uint8_t gain[3] = {};  // per component
        int8_t bias[3] = {};
        bool paletteInUse = false;
        uint8_t palette[256 * 3] = {};
        std::vector<uint8_t> pixels;  // w * h palette indexes
        VideoLayer video;             // the picture under the OSD
    };
    ChannelCapture captureChannel(int channel) const;
    struct PlaneCapture {
        int w = 0, h = 0;
        uint8_t palette[256 * 3] = {};
        std::vector<uint8_t> pixels;
    };
    // Both channels, both planes and the scene text, taken at one moment.
    struct FrameCapture {
        ChannelCapture channel[2];
        PlaneCapture plane[2];
        std::string scene;
    };
    FrameCapture captureFrame() const;

    // Power-on state: registers, memory and engine cleared.
    void reset();
    // The chip's soft reset (a write of 1 to its reset register): registers,
    // palettes and engine state cleared, frame memory kept.
    void softReset();

    bool attach(const std::string& file, std::string* error);
    void detach();

private:
    uint8_t* regs() { return regs_ ? regs_ : local_; }
    const uint8_t* regs() const { return regs_ ? regs_ : local_; }
    RegView view() const { return RegView{regs()}; }
    std::vector<OsdText> visibleLocked(int channel) const;
    ChannelCapture captureChannelLocked(int channel) const;
    PlaneCapture capturePlaneLocked(int plane) const;
    std::string sceneTextLocked() const;
    VideoLayer videoLocked(int channel, int outW, int outH) const;
    void softResetLocked();

    mutable std::mutex m_;  // registers, memory and engine; the renderer reads concurrently
    uint8_t* regs_ = nullptr;  // kBanks * kBankSize, mapped from the file
    uint8_t local_[kBanks * kBankSize] = {};
    uint8_t bank_ = 0;
    bool tracing_ = false;
    std::vector<Access> trace_;
    OsdEngine osd_;
    uint64_t frozenFrame_[2] = {};  // the output frame a frozen picture holds
    std::unique_ptr<OsdPictures> pictures_;
};

ScalerChip& scalerChip();

}  // namespace board::sim
