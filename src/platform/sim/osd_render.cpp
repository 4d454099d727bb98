#include "platform/sim/osd_render.h"

#include "scaler/regs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <png.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace board::sim {

namespace {

// The blend bytes 238 show the window opaque; anything else lets the video
// show through a little.
constexpr int kBlendOpaque = scaler_reg::OSD_BLEND_OPAQUE;
constexpr int kTranslucentPercent = 70;
constexpr auto kMinInterval = std::chrono::milliseconds(200);

uint8_t clampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

struct PngFile {
    FILE* f = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngFile() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
        if (f) std::fclose(f);
    }
};

// Writes rows through libpng into path + ".tmp", then renames it over path.
bool writePng(const std::string& path, int w, int h, int colourType, const uint8_t* palette768,
              const std::vector<const uint8_t*>& rows, std::string* error) {
    const std::string tmp = path + ".tmp";
    {
        PngFile p;
        p.f = std::fopen(tmp.c_str(), "wbe");
        if (!p.f) {
            if (error) *error = "cannot write " + tmp;
            return false;
        }
        p.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (p.png) p.info = png_create_info_struct(p.png);
        if (!p.png || !p.info) {
            if (error) *error = "libpng does not start";
            return false;
        }
        if (setjmp(png_jmpbuf(p.png))) {
            if (error) *error = "libpng failed on " + tmp;
            ::unlink(tmp.c_str());
            return false;
        }
        png_init_io(p.png, p.f);
        png_set_compression_level(p.png, 1);
        png_set_filter(p.png, 0, PNG_FILTER_NONE);
        png_set_IHDR(p.png, p.info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, colourType,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color pal[256];
        if (colourType == PNG_COLOR_TYPE_PALETTE) {
            for (int i = 0; i < 256; ++i) pal[i] = {palette768[3 * i], palette768[3 * i + 1], palette768[3 * i + 2]};
            png_set_PLTE(p.png, p.info, pal, 256);
        }
        png_write_info(p.png, p.info);
        for (const uint8_t* row : rows) png_write_row(p.png, row);
        png_write_end(p.png, nullptr);
        if (std::fflush(p.f) != 0) {
            if (error) *error = "cannot write " + tmp;
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error) *error = "cannot rename " + tmp;
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

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

bool writePngRgb(const std::string& path, const RgbImage& image, std::string* error) {
    std::vector<const uint8_t*> rows;
    for (int r = 0; r < image.h; ++r) rows.push_back(&image.rgb[static_cast<size_t>(r) * image.w * 3]);
    return writePng(path, image.w, image.h, PNG_COLOR_TYPE_RGB, nullptr, rows, error);
}

bool writePngIndexed(const std::string& path, int w, int h, const uint8_t* pixels, const uint8_t* palette768,
                     std::string* error) {
    std::vector<const uint8_t*> rows;
    for (int r = 0; r < h; ++r) rows.push_back(pixels + static_cast<size_t>(r) * static_cast<size_t>(w));
    return writePng(path, w, h, PNG_COLOR_TYPE_PALETTE, palette768, rows, error);
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
    return render();
}

void OsdPictures::run() {
    prctl(PR_SET_NAME, "SIMOSD", 0, 0, 0);
    auto last = std::chrono::steady_clock::now() - kMinInterval;
    std::unique_lock lock(m_);
    for (;;) {
        cv_.wait(lock, [&] { return stop_ || dirty_; });
        if (stop_) return;
        // Coalesce: changes that arrive within the interval go into one picture.
        if (cv_.wait_until(lock, last + kMinInterval, [&] { return stop_; })) return;
        dirty_ = false;
        lock.unlock();
        render();
        last = std::chrono::steady_clock::now();
        lock.lock();
    }
}

uint64_t OsdPictures::render() {
    std::lock_guard lock(renderMutex_);
    std::string error;
    for (int ch = 0; ch < 2; ++ch) {
        RgbImage img = composeChannel(chip_.captureChannel(ch));
        if (!writePngRgb(dir_ + "/out" + std::to_string(ch) + ".png", img, &error))
            std::fprintf(stderr, "simulated scaler: %s\n", error.c_str());
    }
    for (int plane = 0; plane < 2; ++plane) {
        ScalerChip::PlaneCapture p = chip_.capturePlane(plane);
        if (p.w == 0 || p.h == 0) continue;
        if (!writePngIndexed(dir_ + "/plane" + std::to_string(plane) + ".png", p.w, p.h, p.pixels.data(), p.palette,
                             &error))
            std::fprintf(stderr, "simulated scaler: %s\n", error.c_str());
    }
    ++frame_;
    writeText(dir_ + "/scene.txt", "frame " + std::to_string(frame_) + "\n" + chip_.sceneText());
    return frame_;
}

}  // namespace board::sim
