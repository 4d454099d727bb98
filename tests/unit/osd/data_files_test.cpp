// The OSD's data files as the generators make them: the properties the
// program and the chip rely on.
#include "osd/osd.h"
#include "osd/sentences.h"
#include "support/temp_board.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace hx40test {
namespace {

std::string memfile(const std::string& name) { return readFile(std::string(HX40_SHARE_DIR) + "/memfiles/" + name); }

// The glyph widths by character, as the device's font has them.
const std::map<char, int> kWidths = {
    {' ', 7},  {'!', 3},  {'"', 5},  {'%', 15}, {'(', 6},  {')', 6},  {'+', 10}, {',', 3},  {'-', 10}, {'.', 2},
    {'/', 6},  {'0', 9},  {'1', 6},  {'2', 9},  {'3', 9},  {'4', 9},  {'5', 9},  {'6', 9},  {'7', 9},  {'8', 9},
    {'9', 9},  {':', 2},  {'@', 14}, {'A', 13}, {'B', 11}, {'C', 13}, {'D', 12}, {'E', 11}, {'F', 10}, {'G', 14},
    {'H', 12}, {'I', 3},  {'J', 7},  {'K', 11}, {'L', 9},  {'M', 14}, {'N', 11}, {'O', 15}, {'P', 11}, {'Q', 15},
    {'R', 11}, {'S', 12}, {'T', 12}, {'U', 12}, {'V', 13}, {'W', 15}, {'X', 14}, {'Y', 15}, {'Z', 12}, {'[', 5},
    {']', 5},  {'a', 9},  {'b', 10}, {'c', 9},  {'d', 10}, {'e', 9},  {'f', 7},  {'g', 10}, {'h', 9},  {'i', 2},
    {'j', 4},  {'k', 8},  {'l', 3},  {'m', 15}, {'n', 9},  {'o', 10}, {'p', 10}, {'q', 10}, {'r', 5},  {'s', 9},
    {'t', 6},  {'u', 9},  {'v', 9},  {'w', 14}, {'x', 10}, {'y', 10}, {'z', 9},
};
int widthOf(int c) {
    auto it = kWidths.find(static_cast<char>(c));
    return it == kWidths.end() ? 11 : it->second;
}

TEST(OsdCharaWidths, TableAsTheFontHasIt) {
    initCharaSize();
    for (int c = 0; c < 127; ++c) EXPECT_EQ(charaHw[c], widthOf(c)) << "character " << c;
}

TEST(OsdFontFile, EveryGlyphFitsItsWidthInSixteenRows) {
    const std::string font = memfile("font_all_bin.dat");
    ASSERT_EQ(font.size(), 128u * 32u);
    for (int c = 32; c <= 126; ++c) {
        const size_t glyph = static_cast<size_t>(c - 32) * 32;
        int ink = 0;
        for (int row = 0; row < 16; ++row) {
            const unsigned bits = static_cast<unsigned char>(font[glyph + 2 * row]) << 8 |
                                  static_cast<unsigned char>(font[glyph + 2 * row + 1]);
            ink += __builtin_popcount(bits);
            EXPECT_EQ(bits & (0xFFFFu >> widthOf(c)), 0u) << "'" << static_cast<char>(c) << "' row " << row;
        }
        if (c == ' ') EXPECT_EQ(ink, 0);
        else EXPECT_GT(ink, 0) << "'" << static_cast<char>(c) << "'";
    }
    EXPECT_EQ(font.find_first_not_of('\0', 95 * 32), std::string::npos) << "slots past '~' are blank";
}

TEST(OsdPaletteFile, TwoHundredSeventyTwoLinesOfThreeHexNumbers) {
    std::istringstream in(memfile("osd_pallet.csv"));
    const std::regex line("0x[0-9a-f]{2},0x[0-9a-f]{2},0x[0-9a-f]{2}");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 272u);
    for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, line)) << l;
    EXPECT_EQ(lines[0], "0x00,0x00,0x00") << "text";
    EXPECT_EQ(lines[255], "0xff,0xff,0xff") << "background";
    EXPECT_EQ(lines[199].substr(0, 4), "0xd4") << "warnings are red";
}

TEST(OsdPartsFiles, PartsTheMenusUseWithTheirSizes) {
    std::istringstream in(memfile("parts.csv"));
    const size_t planeBytes = memfile("parts_bmp.dat").size();
    ASSERT_EQ(planeBytes % 1024, 0u);
    std::map<int, std::pair<int, int>> sizes;
    int n = 0;
    for (std::string l; std::getline(in, l); ++n) {
        int number, x, y, w, h;
        char c1, c2, c3, c4;
        std::istringstream f(l);
        ASSERT_TRUE(f >> number >> c1 >> x >> c2 >> y >> c3 >> w >> c4 >> h) << l;
        EXPECT_EQ(number, n) << "line n is part n";
        EXPECT_LE(x + w, 1024);
        EXPECT_LE(static_cast<size_t>(y + h) * 1024, planeBytes);
        sizes[number] = {w, h};
    }
    EXPECT_EQ(sizes[28], std::make_pair(640, 480)) << "menu base screen";
    EXPECT_EQ(sizes[29], std::make_pair(177, 32)) << "value bar: 160 filled + 17";
    EXPECT_EQ(sizes[27], std::make_pair(236, 52)) << "tab highlight";
    EXPECT_EQ(sizes[17], std::make_pair(620, 260)) << "volume shortcut panel";
    EXPECT_EQ(sizes[25], std::make_pair(100, 78)) << "mute icons";
    EXPECT_EQ(sizes[26], std::make_pair(100, 78));
    EXPECT_GT(sizes[20].first, 1) << "HDCP mark";
}

struct Decoded {
    int number, count;
    std::vector<int> colours, codes;
    std::string text;
};

Decoded decode(int n) {
    std::vector<int> f;
    std::string s = s1[n - 1];
    for (char& c : s)
        if (c == ',' || c == '\r' || c == '\n') c = ' ';
    std::istringstream in(s);
    for (int v; in >> v;) f.push_back(v);
    Decoded d{f.at(0), f.at(5), {f[1], f[2], f[3], f[4]}, {f.begin() + 6, f.end()}, ""};
    for (int code : d.codes) d.text += static_cast<char>(code + 32);
    return d;
}

TEST(OsdSentenceTable, AllNumbersCodedForTheFont) {
    for (int n = 1; n <= kSentenceCount; ++n) {
        Decoded d = decode(n);
        EXPECT_EQ(d.count, static_cast<int>(d.codes.size())) << n;
        for (int code : d.codes) EXPECT_TRUE(code >= 0 && code <= 94) << n;
        EXPECT_EQ(d.colours, (std::vector<int>{0, 255, 255, 252})) << n;
        EXPECT_LE(getSentenceTotalCharaHw(n, 0).width, 290) << n << " must fit the item column, x 330 to 620";
    }
}

TEST(OsdSentenceTable, LabelsOfTheMenuLists) {
    const std::map<int, std::string> labels = {
        {1, "Inputs"}, {2, "Layout"}, {59, "Channel 1"}, {60, "Channel 2"}, {178, "Misc"}, {213, "Off"},
        {214, "On"},   {205, "HDMI 1"}, {209, "DVI-U1"}, {212, "HDBT 2"},  {316, "1"}, {321, "8"}, {354, "3"},
        {293, "IN1"},  {296, "OUT2"},   {349, "NONE"},   {315, "115200"},
    };
    for (const auto& [n, text] : labels) EXPECT_EQ(decode(n).text, text) << n;
    // Every sentence of these lists (channel pages, misc page, network page) is a label.
    const std::vector<std::vector<int>> lists = {
        {62, 66, 84, 89, 97, 112, 123, 130, 147},  {67, 68, 69, 361, 95, 96},
        {131, 136, 140, 143, 146, 360, 272},       {159, 160, 175},
        {161, 164, 170, 171, 172, 173, 174},       {179, 185, 190, 197, 130, 200},
        {182, 291, 284, 176, 326, 273},            {285, 286, 287, 288, 362, 363, 364, 365, 289},
        {203, 204, 181, 182, 329},                 {330, 331, 332},
        {274, 275},                                {350, 351, 352, 353, 366, 367},
    };
    for (const auto& list : lists)
        for (int n : list) EXPECT_NE(decode(n).text.front(), '[') << n;
    EXPECT_EQ(decode(83).text, "[83]") << "a number no list uses yet";
    EXPECT_EQ(decode(372).text, "[372]");
}

}  // namespace
}  // namespace hx40test
