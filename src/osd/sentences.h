// The OSD's sentence table: sentence n is s1[n - 1], a text of decimal numbers
// "number, fg0, bg0, fg1, bg1, count, code, ..." where the codes are glyph
// codes of the OSD font. Compiled from data/sentences.txt at build time.
#pragma once

inline constexpr int kSentenceCount = 372;

extern const char* const s1[kSentenceCount];
