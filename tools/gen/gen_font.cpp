// Makes the OSD font (font_all_bin.dat) from a scalable font face.
//
// Layout of the file, as the simulated chip reads it from its memory:
// 128 glyph slots (glyph code = character - 32), each 16 rows of two bytes;
// bit 7 of a row's first byte is the leftmost pixel. Each glyph is fitted into
// the width the program gives it (osd/chara_width.h): centred when it is
// narrower, its columns merged when it is wider. Slots past '~' stay blank.
//
//   gen_font FACE.ttf PIXEL_SIZE BASELINE OUT
#include "osd/chara_width.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kSlots = 128;
constexpr int kRows = osdfont::kCellHeight;
constexpr int kRowBytes = 2;

int fail(const char* what) {
    std::fprintf(stderr, "gen_font: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return fail("usage: gen_font FACE PIXEL_SIZE BASELINE OUT");
    const int pixelSize = std::atoi(argv[2]);
    const int baseline = std::atoi(argv[3]);
    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) != 0) return fail("FreeType does not start");
    if (FT_New_Face(lib, argv[1], 0, &face) != 0) return fail("cannot open the font face");
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return fail("bad pixel size");

    std::vector<unsigned char> out(kSlots * kRows * kRowBytes, 0);
    for (int c = 33; c <= 126; ++c) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
            return fail("a glyph does not render");
        const FT_Bitmap& bm = face->glyph->bitmap;
        const int inkW = static_cast<int>(bm.width);
        const int cellW = osdfont::widthOf(c);
        unsigned char* glyph = &out[static_cast<size_t>(c - 32) * kRows * kRowBytes];
        for (int r = 0; r < static_cast<int>(bm.rows); ++r) {
            const int row = baseline - face->glyph->bitmap_top + r;
            if (row < 0 || row >= kRows) continue;
            const unsigned char* src = bm.buffer + r * bm.pitch;
            for (int sx = 0; sx < inkW; ++sx) {
                if (!(src[sx / 8] & (0x80 >> (sx % 8)))) continue;
                // Narrow glyphs sit in the middle of their cell; wide ones are squeezed.
                const int col = inkW <= cellW ? (cellW - inkW) / 2 + sx : sx * cellW / inkW;
                if (col < 0 || col >= 16) continue;
                glyph[row * kRowBytes + col / 8] |= static_cast<unsigned char>(0x80 >> (col % 8));
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    FILE* f = std::fopen(argv[4], "wb");
    if (!f) return fail("cannot write the output");
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return (std::fclose(f) == 0 && ok) ? 0 : fail("short write");
}
