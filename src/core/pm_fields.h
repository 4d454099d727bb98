// The named fields of the stored byte images (PM, PM_I, vp, the custom
// windows and the identity fields), by image, offset and width.
//
// The factory values are written against these names, and the start-up load
// uses the per-input part of PM to take one channel's values from a zone.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum class Image : uint8_t {
    PM,           // the 328 stored bytes of PM (332 in RAM)
    PMI,          // PM_I[8], 96 bytes
    VP,           // the stored video-path state (eemap::vpimg)
    CUSTWIN,      // custom windows, 16 bytes
    PREV_FORMAT,  // previous output formats of CH1 and CH2, 2 bytes
    MODEL,        // model name, 9 bytes of text
    SERIAL,       // serial number, 8 bytes
};

struct ImageField {
    const char* name;  // "PM.SEL_INPUT", "PM_I.HDCP_MODE", ...
    Image image;
    uint16_t offset;   // of element 0
    uint8_t size;      // bytes of one element: 1, 2, 4 or 8
    uint8_t count;     // elements
    uint8_t stride;    // bytes from one element to the next
    bool isSigned;
};

// End of the per-input block of PM: its fields are pairs [CH1, CH2] that a
// zone holds for its input.
inline constexpr uint16_t kPmPerInputEnd = 112;

std::span<const ImageField> imageFields();
const ImageField* findImageField(std::string_view name);
size_t imageSize(Image image);

// Element i of a field in an image, sign-extended for signed fields.
int64_t readField(const uint8_t* image, const ImageField& f, int i);
// Stores v truncated to the field's width.
void writeField(uint8_t* image, const ImageField& f, int i, int64_t v);
// True when v fits the field's width and signedness.
bool fieldHolds(const ImageField& f, int64_t v);
