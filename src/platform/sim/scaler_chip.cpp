#include "platform/sim/scaler_chip.h"

#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/sim/osd_render.h"
#include "scaler/input_formats.h"
#include "scaler/regs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace board::sim {

namespace R = scaler_reg;

namespace {

constexpr size_t kFileSize = ScalerChip::kBanks * ScalerChip::kBankSize;
constexpr int kDefaultOutW = 1920;
constexpr int kDefaultOutH = 1080;
constexpr int kMaxWindow = 4096;

int parseBusyReads(const std::string& text, int fallback) {
    if (text == "never") return -1;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    return (!text.empty() && end && *end == '\0' && v >= 0 && v < 1000000) ? static_cast<int>(v) : fallback;
}

}  // namespace

ScalerChip::ScalerChip() = default;
ScalerChip::~ScalerChip() = default;

uint8_t ScalerChip::read8(unsigned offset) {
    std::lock_guard lock(m_);
    offset &= 0xFF;
    if (offset == 0) return bank_;
    uint8_t value;
    if (!osd_.read(view(), bank_, offset, value)) value = regs()[bank_ * kBankSize + offset];
    if (tracing_) trace_.push_back({false, bank_, static_cast<uint8_t>(offset), value});
    return value;
}

void ScalerChip::write8(unsigned offset, uint8_t value) {
    std::lock_guard lock(m_);
    offset &= 0xFF;
    if (offset == 0) {
        bank_ = value;
        return;
    }
    if (tracing_) trace_.push_back({true, bank_, static_cast<uint8_t>(offset), value});
    if (bank_ == R::bankOf(R::SOFT_RESET) && offset == R::offsetOf(R::SOFT_RESET) && (value & 1)) {
        softResetLocked();
        return;
    }
    uint8_t& cell = regs()[bank_ * kBankSize + offset];
    // A picture that freezes holds the frame it shows now.
    for (int ch = 0; ch < 2; ++ch)
        if (bank_ == R::bankOf(R::PIC_FREEZE) + (ch ? R::CHANNEL1_BANK_STEP : 0) &&
            offset == R::offsetOf(R::PIC_FREEZE) && value && !cell)
            frozenFrame_[ch] = osd_.frameCount();
    cell = value;
    osd_.written(view(), bank_, offset, value);
}

bool ScalerChip::waitVsync(int, unsigned timeoutMs) {
    std::chrono::steady_clock::time_point at;
    {
        std::lock_guard lock(m_);
        at = osd_.nextFrameAt();
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::this_thread::sleep_until(std::min(at, limit));
    return at <= limit;
}

uint8_t ScalerChip::reg(unsigned bank, unsigned offset) const {
    std::lock_guard lock(m_);
    return regs()[(bank % kBanks) * kBankSize + (offset % kBankSize)];
}

void ScalerChip::setReg(unsigned bank, unsigned offset, uint8_t value) {
    std::lock_guard lock(m_);
    regs()[(bank % kBanks) * kBankSize + (offset % kBankSize)] = value;
}

uint32_t ScalerChip::regCode(uint32_t code, int channel) const {
    std::lock_guard lock(m_);
    return view().get(code, channel);
}

uint8_t ScalerChip::selectedBank() const {
    std::lock_guard lock(m_);
    return bank_;
}

uint8_t ScalerChip::memory(uint32_t addr) const {
    std::lock_guard lock(m_);
    return osd_.memory().read(addr);
}

uint64_t ScalerChip::memoryErrors() const {
    std::lock_guard lock(m_);
    return osd_.memoryErrors();
}

int ScalerChip::planePixel(int plane, int x, int y) const {
    std::lock_guard lock(m_);
    RegView v = view();
    uint32_t stride = v.get(R::OSD_PLANE_STRIDE) * 128;
    if (plane < 0 || plane > 1 || x < 0 || y < 0 || static_cast<uint32_t>(x) >= stride ||
        static_cast<uint32_t>(y) >= osd_.planeLines(v))
        return -1;
    uint32_t base = v.get(plane == 0 ? R::OSD_PLANE0 : R::OSD_PLANE1);
    return osd_.memory().read(base + static_cast<uint32_t>(x) + static_cast<uint32_t>(y) * stride);
}

std::vector<OsdText> ScalerChip::scene(int plane) const {
    std::lock_guard lock(m_);
    return osd_.scene(plane);
}

std::vector<OsdText> ScalerChip::visibleLocked(int ch) const {
    const OsdWindow win = osd_.window(view(), ch);
    if (!win.on || win.plane < 0) return {};
    std::vector<OsdText> out;
    for (OsdText t : osd_.scene(win.plane)) {
        if (t.x >= win.planeX + win.w || win.planeX >= t.x + t.w || t.y >= win.planeY + win.h ||
            win.planeY >= t.y + t.h)
            continue;
        t.x -= win.planeX;
        t.y -= win.planeY;
        out.push_back(std::move(t));
    }
    return out;
}

std::vector<OsdText> ScalerChip::visibleTexts(int channel) const {
    std::lock_guard lock(m_);
    return visibleLocked(channel & 1);
}

std::vector<std::string> ScalerChip::operations() const {
    std::lock_guard lock(m_);
    return osd_.operations();
}

void ScalerChip::clearOperations() {
    std::lock_guard lock(m_);
    osd_.clearOperations();
}

std::string ScalerChip::sceneText() const {
    std::lock_guard lock(m_);
    return sceneTextLocked();
}

std::string ScalerChip::sceneTextLocked() const {
    RegView v = view();
    std::string out;
    char line[200];
    auto texts = [&](const std::vector<OsdText>& list) {
        for (const OsdText& t : list) {
            std::snprintf(line, sizeof line, "  %d,%d %dx%d fg %d bg %d \"", t.x, t.y, t.w, t.h, t.fg, t.bg);
            out += line + t.text + "\"\n";
        }
    };
    for (int ch = 0; ch < 2; ++ch) {
        const OsdWindow win = osd_.window(v, ch);
        if (!win.on) {
            out += "channel " + std::to_string(ch) + " window off\n";
            continue;
        }
        std::snprintf(line, sizeof line, "channel %d window on plane %s at %d,%d size %dx%d key %d\n", ch,
                      win.plane < 0 ? "-" : (win.plane == 0 ? "0" : "1"), win.x, win.y, win.w, win.h, win.key);
        out += line;
        texts(visibleLocked(ch));
    }
    for (int plane = 0; plane < 2; ++plane) {
        out += "plane " + std::to_string(plane) + "\n";
        texts(osd_.scene(plane));
    }
    return out;
}

void ScalerChip::setTrace(bool on) {
    std::lock_guard lock(m_);
    tracing_ = on;
    trace_.clear();
}

std::vector<ScalerChip::Access> ScalerChip::trace() const {
    std::lock_guard lock(m_);
    return trace_;
}

void ScalerChip::setBusyReads(int reads) {
    std::lock_guard lock(m_);
    osd_.setBusyReads(reads);
}

int ScalerChip::busyReads() const {
    std::lock_guard lock(m_);
    return osd_.busyReads();
}

void ScalerChip::setFrameRate(int hz) {
    std::lock_guard lock(m_);
    osd_.setFrameRate(hz);
}

ScalerChip::ChannelCapture ScalerChip::captureChannel(int ch) const {
    std::lock_guard lock(m_);
    return captureChannelLocked(ch);
}

ScalerChip::ChannelCapture ScalerChip::captureChannelLocked(int ch) const {
    ch &= 1;
    ChannelCapture c;
    RegView v = view();
    c.outW = std::min(static_cast<int>(v.get(R::OUT_ACT_HW, ch)), kMaxWindow);
    c.outH = std::min(static_cast<int>(v.get(R::OUT_ACT_VW, ch)), kMaxWindow);
    if (c.outW == 0 || c.outH == 0) {
        c.outW = kDefaultOutW;
        c.outH = kDefaultOutH;
    }
    c.paletteInUse = v.get(R::OSD_PALETTE_CTL, ch) & R::OSD_PALETTE_IN_USE;
    std::memcpy(c.palette, osd_.palette(ch), sizeof c.palette);
    c.video = videoLocked(ch, c.outW, c.outH);
    const uint32_t mode = v.get(R::OSD_MODE, ch);
    c.windowOn = mode & R::OSD_MODE_WINDOW_ON;
    if (!c.windowOn) return c;
    c.gainOn = mode & R::OSD_MODE_GAIN_ON;
    for (int i = 0; i < 3; ++i) {
        const bool programmed = v.get(R::OSD_GAIN_ROW[i] + 0x000, ch) || v.get(R::OSD_GAIN_ROW[i] + 0x100, ch) ||
                                v.get(R::OSD_GAIN_ROW[i] + 0x200, ch);
        c.gain[i] = programmed ? static_cast<uint8_t>(v.get(R::OSD_GAIN_ROW[i] + 0x100 * static_cast<uint32_t>(i), ch))
                               : 64;
        c.bias[i] = static_cast<int8_t>(v.get(R::OSD_BIAS_ROW[i] + 0x100 * static_cast<uint32_t>(i), ch));
    }
    const OsdWindow win = osd_.window(v, ch);
    for (int k = 0; k < 3; ++k) c.blend[k] = static_cast<uint8_t>(win.blend[k]);
    c.key = static_cast<uint8_t>(win.key);
    c.x = win.x;
    c.y = win.y;
    c.w = std::min(win.w, kMaxWindow);
    c.h = std::min(win.h, kMaxWindow);
    osd_.copyRows(win.planeAddr, v.get(R::OSD_PLANE_STRIDE) * 128, c.w, c.h, c.pixels);
    return c;
}

VideoLayer ScalerChip::videoLocked(int ch, int outW, int outH) const {
    RegView v = view();
    VideoLayer l;
    using Kind = VideoLayer::Kind;
    if (v.get(R::OUT_BLANK, ch)) {
        l.kind = Kind::Blank;
        return l;
    }
    if (v.get(R::OFILL_MODE, ch) == R::OFILL_ON) {
        l.kind = Kind::Fill;
        const uint32_t rgb = v.get(R::OFILL_RGB, ch);
        for (int k = 0; k < 3; ++k) l.fill[k] = static_cast<uint8_t>(rgb >> (8 * k));
        return l;
    }
    if (v.get(R::VIDEO_SOURCE, ch) == R::VIDEO_SOURCE_MEMORY) {
        l.kind = Kind::Memory;
        const uint32_t stride = v.get(R::FRAME_SRC_STRIDE, ch);
        l.memoryLines = stride == 0 ? 1 : outH;
        osd_.copyRows(v.get(R::FRAME_SRC_ADDR, ch), stride, outW * 3, l.memoryLines, l.memory);
        return l;
    }
    if (v.get(R::PATGEN_BARS, ch) & 1) {
        l.kind = Kind::Bars;
        l.barWidth = static_cast<int>(v.get(R::PATGEN_BAR_W, ch)) + 1;
        l.barLevel = R::BARS_75;
        return l;
    }
    if (const uint32_t level = v.get(R::PATGEN_LEVEL, ch)) {
        l.kind = Kind::Bars;
        l.barWidth = (outW + 7) / 8;
        l.barLevel = static_cast<uint8_t>(level);
        return l;
    }
    l.frozen = v.get(R::PIC_FREEZE, ch) != 0;
    l.frame = l.frozen ? frozenFrame_[ch] : osd_.frameCount();
    if (!v.get(R::PIC_BUILT, ch)) return l;
    const int format = static_cast<int>(v.get(R::PIC_FORMAT, ch));
    const bool signal = format < kInputFormats;
    l.kind = signal ? Kind::Live : Kind::NoSignal;
    l.label = "INPUT " + std::to_string(v.get(R::PIC_INPUT, ch)) + "  " + (signal ? inputFormatName(format) : "NO SIGNAL");
    l.x = static_cast<int>(v.get(R::DISP_HST, ch));
    l.y = static_cast<int>(v.get(R::DISP_VST, ch));
    l.w = static_cast<int>(v.get(R::DISP_HW, ch));
    l.h = static_cast<int>(v.get(R::DISP_VW, ch));
    osd_.copyRows(scaler_mem::FONT, 0, 127 * static_cast<int>(scaler_mem::FONT_GLYPH_BYTES), 1, l.font);
    return l;
}

std::string ScalerChip::pictureText() const {
    static const char* const kKinds[] = {"idle", "live", "no-signal", "bars", "memory", "fill", "blank"};
    std::lock_guard lock(m_);
    std::string out;
    for (int ch = 0; ch < 2; ++ch) {
        const VideoLayer l = videoLocked(ch, 0, 0);
        out += "channel " + std::to_string(ch) + " " + kKinds[static_cast<int>(l.kind)];
        if (!l.label.empty()) out += " \"" + l.label + "\"";
        if (l.frozen) out += " frozen";
        out += "\n";
    }
    return out;
}

ScalerChip::FrameCapture ScalerChip::captureFrame() const {
    FrameCapture f;
    std::lock_guard lock(m_);
    for (int i = 0; i < 2; ++i) {
        f.channel[i] = captureChannelLocked(i);
        f.plane[i] = capturePlaneLocked(i);
    }
    f.scene = sceneTextLocked();
    return f;
}

ScalerChip::PlaneCapture ScalerChip::capturePlaneLocked(int plane) const {
    PlaneCapture c;
    RegView v = view();
    const uint32_t stride = v.get(R::OSD_PLANE_STRIDE) * 128;
    c.w = static_cast<int>(std::min<uint32_t>(stride, kMaxWindow));
    c.h = static_cast<int>(std::min(osd_.planeLines(v), scaler_mem::OSD_PLANE_LINES));
    std::memcpy(c.palette, osd_.palette(0), sizeof c.palette);
    osd_.copyRows(v.get(plane == 0 ? R::OSD_PLANE0 : R::OSD_PLANE1), stride, c.w, c.h, c.pixels);
    return c;
}

void ScalerChip::reset() {
    std::lock_guard lock(m_);
    std::memset(regs(), 0, kFileSize);
    bank_ = 0;
    tracing_ = false;
    trace_.clear();
    osd_.reset();
    frozenFrame_[0] = frozenFrame_[1] = 0;
}

void ScalerChip::softReset() {
    std::lock_guard lock(m_);
    softResetLocked();
}

void ScalerChip::softResetLocked() {
    std::memset(regs(), 0, kFileSize);
    bank_ = 0;
    osd_.softReset();
    frozenFrame_[0] = frozenFrame_[1] = 0;
    if (osd_.onChange) osd_.onChange();
}

bool ScalerChip::attach(const std::string& file, std::string* error) {
    detach();
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, kFileSize) != 0) {
        if (error) *error = "scaler registers " + file + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    void* p = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) {
        if (error) *error = "scaler registers: mmap failed";
        return false;
    }
    std::string osdDir = (std::filesystem::path(file).parent_path() / "osd").string();
    std::error_code ec;
    std::filesystem::create_directories(osdDir, ec);
    {
        std::lock_guard lock(m_);
        regs_ = static_cast<uint8_t*>(p);
        osd_.setBusyReads(parseBusyReads(conf().get("scaler.osd_busy_reads"), 2));
        osd_.setFrameRate(static_cast<int>(conf().getInt("scaler.vsync_hz", 60)));
        pictures_ = std::make_unique<OsdPictures>(*this, osdDir);
        OsdPictures* pictures = pictures_.get();
        osd_.onChange = [pictures] { pictures->changed(); };
    }
    pictures_->start();

    ctl::addSnapshot("osd", [this] { return "frame " + std::to_string(pictures_->snapshot()); });
    ctl::add("osd-busy", "osd-busy N|never          OSD engine busy for N status reads after each operation",
             [this](const std::vector<std::string>& a) {
                 int reads = a.size() == 2 ? parseBusyReads(a[1], -2) : -2;
                 if (reads == -2) return std::string("ERR usage: osd-busy N|never");
                 setBusyReads(reads);
                 return "OK osd-busy " + a[1];
             });
    ctl::addState("osd", [this] { return sceneText(); });
    ctl::addState("picture", [this] { return pictureText(); });
    return true;
}

void ScalerChip::detach() {
    std::unique_ptr<OsdPictures> pictures;
    {
        std::lock_guard lock(m_);
        osd_.onChange = nullptr;
        pictures = std::move(pictures_);
    }
    if (pictures) pictures->stop();
    std::lock_guard lock(m_);
    if (regs_) {
        std::memcpy(local_, regs_, kFileSize);
        ::munmap(regs_, kFileSize);
    }
    regs_ = nullptr;
}

ScalerChip& scalerChip() {
    static ScalerChip chip;
    return chip;
}

}  // namespace board::sim

namespace board {
ScalerWindow& scalerWindow() { return sim::scalerChip(); }
}  // namespace board
