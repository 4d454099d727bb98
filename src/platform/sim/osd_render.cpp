#include "platform/sim/osd_render.h"

#include "scaler/regs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <zlib.h>

namespace board::sim {

namespace {

// The blend bytes 238 show the window opaque; anything else lets the video
// show through a little.
constexpr int kBlendOpaque = scaler_reg::OSD_BLEND_OPAQUE;
constexpr int kTranslucentPercent = 70;
constexpr auto kMinInterval = std::chrono::milliseconds(200);
constexpr auto kSettle = std::chrono::milliseconds(10);

uint8_t clampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Writes text to path atomically.
void writeText(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) return;
    }
    std::rename(tmp.c_str(), path.c_str());
}

bool sameLayer(const VideoLayer& a, const VideoLayer& b) {
    // Only a live picture shows the frame (its bar moves with every output
    // frame): that alone does not make a new picture, unless it froze.
    const bool frameCounts = a.kind == VideoLayer::Kind::Live && a.frozen;
    return a.kind == b.kind && std::equal(a.fill, a.fill + 3, b.fill) && a.barWidth == b.barWidth &&
           a.barLevel == b.barLevel && a.memory == b.memory && a.memoryLines == b.memoryLines &&
           a.frozen == b.frozen && (!frameCounts || a.frame == b.frame) && a.label == b.label && a.x == b.x &&
           a.y == b.y && a.w == b.w && a.h == b.h && a.font == b.font;
}

bool sameShown(const ScalerChip::ChannelCapture& a, const ScalerChip::ChannelCapture& b) {
    // Without its window a channel shows the video alone.
    if (!a.windowOn && !b.windowOn)
        return a.outW == b.outW && a.outH == b.outH && sameLayer(a.video, b.video);
    return a.outW == b.outW && a.outH == b.outH && a.windowOn == b.windowOn && a.x == b.x && a.y == b.y &&
           a.w == b.w && a.h == b.h && a.key == b.key && std::equal(a.blend, a.blend + 3, b.blend) &&
           a.gainOn == b.gainOn && std::equal(a.gain, a.gain + 3, b.gain) && std::equal(a.bias, a.bias + 3, b.bias) &&
           a.paletteInUse == b.paletteInUse && std::equal(a.palette, a.palette + sizeof a.palette, b.palette) &&
           a.pixels == b.pixels && sameLayer(a.video, b.video);
}

}  // namespace

RgbImage composeChannel(const ScalerChip::ChannelCapture& c) {
    RgbImage img;
    img.w = c.outW;
    img.h = c.outH;
    drawVideoLayer(c.video, img.w, img.h, img.rgb);
    // A blanked output shows nothing of the OSD either.
    if (!c.windowOn || c.video.kind == VideoLayer::Kind::Blank) return img;
    const bool opaque = c.blend[0] == kBlendOpaque && c.blend[1] == kBlendOpaque && c.blend[2] == kBlendOpaque;
    for (int r = 0; r < c.h; ++r) {
        const int y = c.y + r;
        if (y < 0 || y >= img.h) continue;
        for (int col = 0; col < c.w; ++col) {
            const int x = c.x + col;
            if (x < 0 || x >= img.w) continue;
            const uint8_t index = c.pixels[static_cast<size_t>(r) * static_cast<size_t>(c.w) + static_cast<size_t>(col)];
            if (index == c.key) continue;
            uint8_t* out = &img.rgb[(static_cast<size_t>(y) * static_cast<size_t>(img.w) + static_cast<size_t>(x)) * 3];
            for (int k = 0; k < 3; ++k) {
                // Without a loaded palette the chip shows the index as a grey level.
                int v = c.paletteInUse ? c.palette[3 * index + k] : index;
                if (c.gainOn) v = v * c.gain[k] / 64 + c.bias[k];
                v = clampByte(v);
                out[k] = opaque ? static_cast<uint8_t>(v)
                                : clampByte((v * kTranslucentPercent + out[k] * (100 - kTranslucentPercent)) / 100);
            }
        }
    }
    return img;
}

// ---- BandedPng

namespace {

constexpr int kBandRows = 32;

void put32(std::string& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
    out.append(b, 4);
}

// A chunk: length, type, data, CRC of type and data. The data come in parts.
void chunk(std::FILE* f, const char* type, const std::vector<std::pair<const uint8_t*, size_t>>& parts) {
    size_t length = 0;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    for (const auto& [data, n] : parts) {
        length += n;
        crc = crc32(crc, data, static_cast<uInt>(n));
    }
    std::string head;
    put32(head, static_cast<uint32_t>(length));
    head.append(type, 4);
    std::fwrite(head.data(), 1, head.size(), f);
    for (const auto& [data, n] : parts) std::fwrite(data, 1, n, f);
    std::string tail;
    put32(tail, static_cast<uint32_t>(crc));
    std::fwrite(tail.data(), 1, tail.size(), f);
}

}  // namespace

// Raw deflate at the fastest level, reset for every band.
struct BandedPng::Deflater {
    z_stream z{};
    bool ok = false;
    Deflater() { ok = deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~Deflater() {
        if (ok) deflateEnd(&z);
    }
};

BandedPng::BandedPng() : deflater_(std::make_unique<Deflater>()) {}
BandedPng::~BandedPng() = default;

// Compresses a band on its own, ending on a byte boundary with nothing of
// it referred to later, so that bands can be joined in any combination.
bool BandedPng::pack(Band& band) {
    z_stream& z = deflater_->z;
    if (!deflater_->ok || deflateReset(&z) != Z_OK) return false;
    band.packed.resize(deflateBound(&z, band.raw.size()) + 16);
    z.next_in = band.raw.data();
    z.avail_in = static_cast<uInt>(band.raw.size());
    z.next_out = band.packed.data();
    z.avail_out = static_cast<uInt>(band.packed.size());
    if (deflate(&z, Z_FULL_FLUSH) != Z_OK || z.avail_in != 0) return false;
    band.packed.resize(band.packed.size() - z.avail_out);
    band.adler = adler32(adler32(0, nullptr, 0), band.raw.data(), static_cast<uInt>(band.raw.size()));
    return true;
}

BandedPng::Result BandedPng::write(const std::string& path, int w, int h, const uint8_t* pixels,
                                   const uint8_t* palette768, bool onlyChanges, std::string* error) {
    const bool rgb = palette768 == nullptr;
    bool changed = false;
    if (w != w_ || h != h_ || rgb != rgb_) {
        bands_.assign(static_cast<size_t>((h + kBandRows - 1) / kBandRows), Band{});
        w_ = w;
        h_ = h;
        rgb_ = rgb;
        changed = true;
    }
    if (!rgb && std::memcmp(palette_, palette768, sizeof palette_) != 0) {
        std::memcpy(palette_, palette768, sizeof palette_);
        changed = true;
    }
    const size_t rowBytes = static_cast<size_t>(w) * (rgb ? 3 : 1);
    for (size_t b = 0; b < bands_.size(); ++b) {
        Band& band = bands_[b];
        const int first = static_cast<int>(b) * kBandRows;
        const int rows = std::min(kBandRows, h - first);
        const uint8_t* from = pixels + static_cast<size_t>(first) * rowBytes;
        bool same = band.raw.size() == static_cast<size_t>(rows) * (rowBytes + 1) && !band.packed.empty();
        for (int r = 0; same && r < rows; ++r)
            same = std::memcmp(&band.raw[static_cast<size_t>(r) * (rowBytes + 1) + 1], from + r * rowBytes, rowBytes) == 0;
        if (same) continue;
        changed = true;
        band.raw.resize(static_cast<size_t>(rows) * (rowBytes + 1));
        for (int r = 0; r < rows; ++r) {
            uint8_t* row = &band.raw[static_cast<size_t>(r) * (rowBytes + 1)];
            row[0] = 0;  // filter: none
            std::memcpy(row + 1, from + r * rowBytes, rowBytes);
        }
        if (!pack(band)) {
            band.packed.clear();
            if (error) *error = "cannot compress " + path;
            return kFailed;
        }
    }
    if (onlyChanges && !changed) return kUnchanged;

    // The zlib stream: its header, the bands, a final empty block, the
    // Adler-32 of every band's raw bytes.
    static const uint8_t kZlibHead[2] = {0x78, 0x01};
    static const uint8_t kLastBlock[2] = {0x03, 0x00};
    uLong adler = adler32(0, nullptr, 0);
    std::vector<std::pair<const uint8_t*, size_t>> idat = {{kZlibHead, 2}};
    for (const Band& band : bands_) {
        adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.raw.size()));
        idat.emplace_back(band.packed.data(), band.packed.size());
    }
    std::string tail;
    put32(tail, static_cast<uint32_t>(adler));
    idat.emplace_back(kLastBlock, 2);
    idat.emplace_back(reinterpret_cast<const uint8_t*>(tail.data()), tail.size());

    std::string ihdr;
    put32(ihdr, static_cast<uint32_t>(w));
    put32(ihdr, static_cast<uint32_t>(h));
    ihdr += std::string{8, static_cast<char>(rgb ? 2 : 3), 0, 0, 0};  // depth, colour type, methods

    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wbe");
    if (!f) {
        if (error) *error = "cannot write " + tmp;
        forget();  // written again in full next time
        return kFailed;
    }
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::fwrite(kSignature, 1, sizeof kSignature, f);
    chunk(f, "IHDR", {{reinterpret_cast<const uint8_t*>(ihdr.data()), ihdr.size()}});
    if (!rgb) chunk(f, "PLTE", {{palette768, 768}});
    chunk(f, "IDAT", idat);
    chunk(f, "IEND", {});
    const bool written = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !written) {
        if (error) *error = "cannot write " + tmp;
        ::unlink(tmp.c_str());
        forget();  // written again in full next time
        return kFailed;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error) *error = "cannot rename " + tmp;
        ::unlink(tmp.c_str());
        forget();  // written again in full next time
        return kFailed;
    }
    return kWritten;
}

OsdPictures::OsdPictures(const ScalerChip& chip, std::string dir) : chip_(chip), dir_(std::move(dir)) {}

OsdPictures::~OsdPictures() { stop(); }

void OsdPictures::start() {
    {
        std::lock_guard lock(m_);
        stop_ = false;
        dirty_ = true;  // the first pictures show the chip as it starts
    }
    thread_ = std::thread([this] { run(); });
}

void OsdPictures::stop() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void OsdPictures::changed() {
    {
        std::lock_guard lock(m_);
        ++changes_;
        if (dirty_) return;
        dirty_ = true;
    }
    cv_.notify_all();
}

uint64_t OsdPictures::snapshot() {
    {
        std::lock_guard lock(m_);
        dirty_ = false;
    }
    return render(true);
}

void OsdPictures::run() {
    prctl(PR_SET_NAME, "SIMOSD", 0, 0, 0);
    // Woken by a register write, it never takes the processor from the
    // program's thread that wrote it.
    const sched_param policy{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &policy);
    auto last = std::chrono::steady_clock::now() - kMinInterval;
    std::unique_lock lock(m_);
    for (;;) {
        cv_.wait(lock, [&] { return stop_ || dirty_; });
        if (stop_) return;
        // A screen is drawn as a burst of operations: the picture waits until
        // the chip has been quiet for a moment, so that it shows the finished
        // screen, but no longer than the interval after the first change.
        const auto first = std::chrono::steady_clock::now();
        for (;;) {
            const uint64_t seen = changes_;
            const auto until = std::min(first + kMinInterval, std::chrono::steady_clock::now() + kSettle);
            if (cv_.wait_until(lock, until, [&] { return stop_; })) return;
            if (changes_ == seen || std::chrono::steady_clock::now() >= first + kMinInterval) break;
        }
        // Changes that arrive within the interval go into one picture.
        if (cv_.wait_until(lock, last + kMinInterval, [&] { return stop_; })) return;
        dirty_ = false;
        lock.unlock();
        render(false);
        last = std::chrono::steady_clock::now();
        lock.lock();
    }
}

uint64_t OsdPictures::render(bool everything) {
    std::lock_guard lock(renderMutex_);
    // One moment for every picture and the scene: they always agree.
    ScalerChip::FrameCapture frame = chip_.captureFrame();
    if (everything) {
        // Written whole, from nothing kept.
        for (BandedPng& p : out_) p.forget();
        for (BandedPng& p : plane_) p.forget();
    }
    std::string error;
    for (int ch = 0; ch < 2; ++ch) {
        ScalerChip::ChannelCapture& c = frame.channel[ch];
        if (!everything && shown_[ch] && sameShown(*shown_[ch], c)) continue;
        shown_[ch].reset();
        const RgbImage img = composeChannel(c);
        if (out_[ch].write(dir_ + "/out" + std::to_string(ch) + ".png", img.w, img.h, img.rgb.data(), nullptr, false,
                           &error) != BandedPng::kFailed)
            shown_[ch] = std::move(c);
        else
            std::fprintf(stderr, "simulated scaler: %s\n", error.c_str());
    }
    for (int plane = 0; plane < 2; ++plane) {
        const ScalerChip::PlaneCapture& p = frame.plane[plane];
        if (p.w == 0 || p.h == 0) continue;
        if (plane_[plane].write(dir_ + "/plane" + std::to_string(plane) + ".png", p.w, p.h, p.pixels.data(), p.palette,
                                !everything, &error) == BandedPng::kFailed)
            std::fprintf(stderr, "simulated scaler: %s\n", error.c_str());
    }
    ++frame_;
    writeText(dir_ + "/scene.txt", "frame " + std::to_string(frame_) + "\n" + frame.scene);
    return frame_;
}

}  // namespace board::sim
