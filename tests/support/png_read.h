// Reads the board's PNG pictures back as RGB for pixel checks.
#pragma once

#include <cstdint>
#include <png.h>
#include <string>
#include <vector>

namespace hx40test {

struct RgbPicture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::vector<int> at(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
        return {p[0], p[1], p[2]};
    }
};

inline RgbPicture readRgbPng(const std::string& path) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    RgbPicture out;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return out;
    img.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, out.rgb.data(), 0, nullptr)) return {};
    out.w = static_cast<int>(img.width);
    out.h = static_cast<int>(img.height);
    return out;
}

}  // namespace hx40test
