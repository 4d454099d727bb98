#include "video/edid.h"

#include "core/pm.h"
#include "sys/fileutil.h"
#include "sys/print.h"

#include <cstdio>
#include <cstring>

uint8_t TvAppEdid[kEdidInputs][kEdidBytes];

namespace {

constexpr size_t kNativeDtd = 54;
constexpr size_t kEstablished = 35;
constexpr size_t kTimingsEnd = 54;   // established (3) and standard (16) timings end here
constexpr size_t kExtensionCount = 126;
constexpr uint8_t kCtaTag = 0x02;
constexpr uint8_t kDeepColorBits = 0x38;  // 36-bit, 30-bit, 4:4:4
constexpr uint8_t kDeepColorAll = 0x78;   // and 48-bit
constexpr uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

uint8_t gTemplate[2][kEdidBytes];
bool gTemplateLoaded[2] = {false, false};

const char* const kTemplateFile[2] = {"../memfiles/selka_HDMI_EDID.bin", "../memfiles/selka_VGA_EDID.bin"};

uint8_t blockSum(const uint8_t* b) {
    uint8_t s = 0;
    for (size_t i = 0; i < kEdidBlock; ++i) s = static_cast<uint8_t>(s + b[i]);
    return s;
}

void fixBlock(uint8_t* b) {
    b[kEdidBlock - 1] = 0;
    b[kEdidBlock - 1] = static_cast<uint8_t>(0x100 - blockSum(b));
}

// The data block of the CTA extension with the tag (and, for vendor
// blocks, the HDMI identifier), as [start, start + 1 + length); nullptr
// when absent.
const uint8_t* ctaBlock(const uint8_t* image, uint8_t tag, size_t* length) {
    if (image[kExtensionCount] == 0) return nullptr;
    const uint8_t* ext = image + kEdidBlock;
    if (ext[0] != kCtaTag) return nullptr;
    size_t end = ext[2];
    if (end < 4 || end > kEdidBlock - 1) end = kEdidBlock - 1;
    for (size_t p = 4; p < end;) {
        uint8_t t = ext[p] >> 5;
        size_t len = ext[p] & 0x1F;
        if (p + 1 + len > end) break;
        bool hdmi = t != 3 || (len >= 3 && ext[p + 1] == 0x03 && ext[p + 2] == 0x0C && ext[p + 3] == 0x00);
        if (t == tag && hdmi) {
            *length = len;
            return ext + p;
        }
        p += 1 + len;
    }
    return nullptr;
}

// Byte `at` of a CTA data block: the bits of mask become bits; the
// extension's checksum is repaired. True when the byte changed.
bool setCtaBits(uint8_t* image, uint8_t tag, size_t at, uint8_t mask, uint8_t bits) {
    size_t len = 0;
    uint8_t* block = const_cast<uint8_t*>(ctaBlock(image, tag, &len));
    if (block == nullptr || len < at) return false;
    uint8_t v = static_cast<uint8_t>((block[at] & ~mask) | bits);
    if (block[at] == v) return false;
    block[at] = v;
    fixBlock(image + kEdidBlock);
    return true;
}

}  // namespace

bool edidBlockValid(const uint8_t* block) { return blockSum(block) == 0; }

bool edidImageValid(const uint8_t* image) {
    if (std::memcmp(image, kHeader, sizeof kHeader) != 0 || !edidBlockValid(image)) return false;
    return image[kExtensionCount] == 0 || edidBlockValid(image + kEdidBlock);
}

void edidRepairChecksums(uint8_t* image) {
    fixBlock(image);
    if (image[kExtensionCount] != 0) fixBlock(image + kEdidBlock);
}

int edidLoadTemplates() {
    int rc = 0;
    for (int t = 0; t < 2; ++t) {
        uint8_t buf[kEdidBytes + 1];
        FILE* f = fl_open(kTemplateFile[t], "rb");
        size_t n = f ? std::fread(buf, 1, sizeof buf, f) : 0;
        fl_close(f);
        if (n != kEdidBytes || !edidImageValid(buf)) {
            PRINT(PRINT_GENERAL, "\033[31medid: template %s missing or damaged (%zu bytes)\033[0m\n", kTemplateFile[t], n);
            rc = -1;
            continue;
        }
        std::memcpy(gTemplate[t], buf, kEdidBytes);
        gTemplateLoaded[t] = true;
    }
    return rc;
}

const uint8_t* edidTemplate(EdidTemplate which) { return gTemplate[which == EdidTemplate::VGA ? 1 : 0]; }

EdidTemplate edidTemplateFor(int inp) {
    // Only inputs 5 and 6 take another signal type than HDMI.
    bool vga = (inp == 4 || inp == 5) && PM_I[inp].SEL_INPUT_TYPE == 2;
    return vga ? EdidTemplate::VGA : EdidTemplate::HDMI;
}

void initEdid_single(int inp) {
    if (inp < 0 || inp >= kEdidInputs) return;
    EdidTemplate t = edidTemplateFor(inp);
    if (!gTemplateLoaded[t == EdidTemplate::VGA ? 1 : 0]) edidLoadTemplates();
    std::memcpy(TvAppEdid[inp], edidTemplate(t), kEdidBytes);
}

bool edidSetNativeTiming(uint8_t* image, const uint8_t* dtd) {
    if (std::memcmp(image + kNativeDtd, dtd, kEdidDtdSize) == 0) return false;
    std::memcpy(image + kNativeDtd, dtd, kEdidDtdSize);
    fixBlock(image);
    return true;
}

bool edidSetDeepColor(uint8_t* image, int on) {
    return setCtaBits(image, 3, 6, kDeepColorAll, on ? kDeepColorBits : 0);
}

bool edidSetModeLines(uint8_t* image, const uint8_t* tmpl, int exclusive) {
    uint8_t want[kTimingsEnd - kEstablished];
    if (exclusive) {
        std::memset(want, 0, 3);
        std::memset(want + 3, 0x01, sizeof want - 3);  // 01 01 marks an unused standard timing
    } else {
        std::memcpy(want, tmpl + kEstablished, sizeof want);
    }
    if (std::memcmp(image + kEstablished, want, sizeof want) == 0) return false;
    std::memcpy(image + kEstablished, want, sizeof want);
    fixBlock(image);
    return true;
}

bool edidSetAudioChannels(uint8_t* image, int eight) {
    return setCtaBits(image, 1, 1, 0x07, eight ? 7 : 1);  // channels - 1
}

bool edidDecodeDtd(const uint8_t* d, VideoTiming& t) {
    const unsigned clock = d[0] | d[1] << 8;
    if (clock == 0) return false;
    const unsigned hActive = d[2] | (d[4] >> 4) << 8;
    const unsigned hBlank = d[3] | (d[4] & 0xF) << 8;
    const unsigned vField = d[5] | (d[7] >> 4) << 8;
    const unsigned vBlank = d[6] | (d[7] & 0xF) << 8;
    const unsigned hFront = d[8] | (d[11] >> 6) << 8;
    const unsigned hSync = d[9] | ((d[11] >> 4) & 3) << 8;
    const unsigned vFront = (d[10] >> 4) | ((d[11] >> 2) & 3) << 4;
    const unsigned vSync = (d[10] & 0xF) | (d[11] & 3) << 4;
    if (hActive == 0 || vField == 0 || hFront + hSync > hBlank || vFront + vSync > vBlank) return false;
    t = VideoTiming{};
    t.name = "";
    t.pixelClockKHz = clock * 10;
    t.interlaced = (d[17] & 0x80) != 0;
    t.hActive = static_cast<uint16_t>(hActive);
    t.hFront = static_cast<uint16_t>(hFront);
    t.hSync = static_cast<uint16_t>(hSync);
    t.hBack = static_cast<uint16_t>(hBlank - hFront - hSync);
    t.vActive = static_cast<uint16_t>(t.interlaced ? 2 * vField : vField);
    t.vFront = static_cast<uint16_t>(vFront);
    t.vSync = static_cast<uint16_t>(vSync);
    t.vBack = static_cast<uint16_t>(vBlank - vFront - vSync);
    return true;
}

bool edidPreferredTiming(const uint8_t* image, VideoTiming& t) {
    return edidImageValid(image) && edidDecodeDtd(image + kNativeDtd, t);
}

SinkColorCaps edidSinkColorCaps(const uint8_t* image) {
    SinkColorCaps caps;
    if (!edidImageValid(image) || image[kExtensionCount] == 0 || image[kEdidBlock] != kCtaTag) return caps;
    const uint8_t flags = image[kEdidBlock + 3];
    caps.ycbcr444 = (flags & 0x20) != 0;
    caps.ycbcr422 = (flags & 0x10) != 0;
    size_t len = 0;
    if (const uint8_t* vsdb = ctaBlock(image, 3, &len); vsdb != nullptr && len >= 6) {
        if (vsdb[6] & 0x20) caps.maxBitsPerPixel = 36;
        else if (vsdb[6] & 0x10) caps.maxBitsPerPixel = 30;
    }
    return caps;
}
