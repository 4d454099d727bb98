// Drawn widths of the OSD font's glyphs, by character code. The program hands
// them to the chip with every glyph (charaHw); the font generator fits each
// glyph into its width. The chip leaves one blank column after each glyph.
#pragma once

namespace osdfont {

inline constexpr int kTableSize = 127;     // character codes 0..126
inline constexpr int kDefaultWidth = 11;   // every character not listed below
inline constexpr int kCellHeight = 16;

struct Width {
    char c;
    unsigned char width;
};

inline constexpr Width kWidths[] = {
    {' ', 7},  {'!', 3},  {'"', 5},  {'%', 15}, {'(', 6},  {')', 6},  {'+', 10}, {',', 3},  {'-', 10},
    {'.', 2},  {'/', 6},  {'0', 9},  {'1', 6},  {'2', 9},  {'3', 9},  {'4', 9},  {'5', 9},  {'6', 9},
    {'7', 9},  {'8', 9},  {'9', 9},  {':', 2},  {'@', 14}, {'A', 13}, {'B', 11}, {'C', 13}, {'D', 12},
    {'E', 11}, {'F', 10}, {'G', 14}, {'H', 12}, {'I', 3},  {'J', 7},  {'K', 11}, {'L', 9},  {'M', 14},
    {'N', 11}, {'O', 15}, {'P', 11}, {'Q', 15}, {'R', 11}, {'S', 12}, {'T', 12}, {'U', 12}, {'V', 13},
    {'W', 15}, {'X', 14}, {'Y', 15}, {'Z', 12}, {'[', 5},  {']', 5},  {'a', 9},  {'b', 10}, {'c', 9},
    {'d', 10}, {'e', 9},  {'f', 7},  {'g', 10}, {'h', 9},  {'i', 2},  {'j', 4},  {'k', 8},  {'l', 3},
    {'m', 15}, {'n', 9},  {'o', 10}, {'p', 10}, {'q', 10}, {'r', 5},  {'s', 9},  {'t', 6},  {'u', 9},
    {'v', 9},  {'w', 14}, {'x', 10}, {'y', 10}, {'z', 9},
};

// The width of character c (the table's fill value for codes it lacks).
constexpr int widthOf(int c) {
    for (const Width& w : kWidths)
        if (static_cast<unsigned char>(w.c) == c) return w.width;
    return kDefaultWidth;
}

}  // namespace osdfont
