#include "core/pm_fields.h"

#include "core/eeprom_map.h"
#include "core/pm.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

static_assert(std::endian::native == std::endian::little, "stored images are little-endian");

namespace {

template <class T>
using Elem = std::remove_all_extents_t<T>;

template <class T>
constexpr uint8_t countOf() {
    return static_cast<uint8_t>(sizeof(T) / sizeof(Elem<T>));
}

// A PM field as declared in PMRec.
#define PMF(f)                                                                                                   \
    ImageField {                                                                                                 \
        "PM." #f, Image::PM, static_cast<uint16_t>(offsetof(PMRec, f)), sizeof(Elem<decltype(PMRec::f)>),       \
            countOf<decltype(PMRec::f)>(), sizeof(Elem<decltype(PMRec::f)>),                                    \
            std::is_signed_v<Elem<decltype(PMRec::f)>>                                                           \
    }

// A byte of every PM_I record.
#define PMIF(f)                                                                                                  \
    ImageField {                                                                                                 \
        "PM_I." #f, Image::PMI, static_cast<uint16_t>(offsetof(PMIRec, f)), 1, 8, sizeof(PMIRec), true          \
    }

const ImageField kFields[] = {
    PMF(RATIO), PMF(IACTHST), PMF(IACTVST), PMF(IWIN_HST), PMF(IWIN_HW), PMF(IWIN_VST), PMF(IWIN_VW),
    PMF(BRIGHT), PMF(CONTRAST), PMF(CHROMA), PMF(HUE), PMF(SCAN), PMF(OVERSCAN), PMF(RATIO_SHIFT_MODE),
    PMF(HSHARP), PMF(VSHARP), PMF(COLOR_TEMP), PMF(GAMMA), PMF(CLRM1), PMF(CLRM2), PMF(CLRM3), PMF(PD),
    PMF(PD_DELAY), PMF(IPLUT), PMF(DIAG), PMF(HNR), PMF(VNR), PMF(TNR), PMF(BNR), PMF(MNR), PMF(COMB),
    PMF(HDCP_MODE), PMF(COLOR_SPACE), PMF(AUTOPOS), PMF(INP_VOLUME), PMF(ANALOG_TAKEOVER),
    PMF(DWINDOW), PMF(DISPLAY_MODE), PMF(OUTPUT_RES_SEL), PMF(OUTPUT_CH), PMF(DEEP_COLOR),
    PMF(SAMPLING_RATE), PMF(HDCP_MODE_OUT), PMF(TRANS_SPEED), PMF(TRANS_MODE), PMF(TRANS_EFFECT),
    PMF(TRANS_DIR), PMF(T_BAR), PMF(T_BAR_SMOOTHNESS), PMF(TIME_ZONE), PMF(DAYLIGHT_SAVING), PMF(SEL_INPUT),
    PMF(OWIN_HST), PMF(OWIN_HW), PMF(OWIN_VST), PMF(OWIN_VW), PMF(LIP_SYNC), PMF(UPSIDEDOWN), PMF(MUTE),
    PMF(FREEZE), PMF(BLANK), PMF(AUTO_SYNC_OFF), PMF(TEST_PATTERN), PMF(SYNC_OFF_IDLE), PMF(NOSIG_COLOR),
    PMF(PASS_THROUGH), PMF(AUDIO_SOURCE), PMF(VOLUME), PMF(OSDPOSH), PMF(OSDPOSV), PMF(OSDTRAN),
    PMF(OSDGAIN), PMF(OSDBIAS), PMF(OSDTM), PMF(PI_TAKE), PMF(BASS), PMF(MID), PMF(TREBLE),
    PMF(INPUT_CHANGE_EFFECT), PMF(AUTO_SWITCH_MODE), PMF(AUTO_SWITCH_PRIORITY),
    PMF(AUTO_SWITCH_PARTICIPATION), PMF(CHROMA_KEYING), PMF(CHROMA_KEYING_R), PMF(CHROMA_KEYING_G),
    PMF(CHROMA_KEYING_B), PMF(LUMA_KEYING), PMF(ALERT_SYSTEM), PMF(POWER_AMPLIFIER),
    PMF(MIC1_TA_ATTACK_TIME), PMF(MIC1_TA_HOLD_TIME), PMF(MIC1_TA_RELEASE_TIME), PMF(MIC1_TA_DEPTH),
    PMF(MIC1_TA_TRIGGER), PMF(MIC1_MODE), PMF(MIC1_MIX), PMF(MIC1_VOLUME), PMF(MIC1_DELAY), PMF(MIC1_MUTE),
    PMF(MIC2_TA_ATTACK_TIME), PMF(MIC2_TA_HOLD_TIME), PMF(MIC2_TA_RELEASE_TIME), PMF(MIC2_TA_DEPTH),
    PMF(MIC2_TA_TRIGGER), PMF(MIC2_MODE), PMF(MIC2_MIX), PMF(MIC2_VOLUME), PMF(MIC2_DELAY), PMF(MIC2_MUTE),
    PMF(LINE_MIX), PMF(LINE_MUTE),
    {"PM.CONNECTION_SOURCE", Image::PM, offsetof(PMRec, CONNECTION), 1, 8, 2, false},
    {"PM.CONNECTION_DESTINATION", Image::PM, offsetof(PMRec, CONNECTION) + 1, 1, 8, 2, false},
    PMF(PORT_TUNNELING_MODE), PMF(PORT_TUNNELING_PORT_NUMBER), PMF(PORT_TUNNELING_BAUD),
    PMF(PORT_TUNNELING_DATA_BITS), PMF(PORT_TUNNELING_PARITY), PMF(PORT_TUNNELING_STOP_BITS),
    PMF(USER1_BAUD), PMF(USER1_DATA_BITS), PMF(USER1_PARITY), PMF(USER1_STOP_BITS), PMF(USER1_DESTINATION),
    PMF(USER2_BAUD), PMF(USER2_DATA_BITS), PMF(USER2_PARITY), PMF(USER2_STOP_BITS), PMF(USER2_DESTINATION),
    PMF(SEL_INPUT_TYPE), PMF(BALANCE),
    // A 32-bit value whose last two bytes lie past the stored image.
    {"PM.NODE7550", Image::PM, offsetof(PMRec, NODE7550), 4, 1, 4, false},

    PMIF(SEL_INPUT_TYPE), PMIF(HDCP_MODE), PMIF(AUTOPOS), PMIF(COLOR_SPACE), PMIF(INP_VOLUME),
    PMIF(COLOR_DEPTH), PMIF(MODELINE), PMIF(RESOLUTION), PMIF(AUDIO_CHANNELS),

    {"VP.VID_INPUT", Image::VP, eemap::vpimg::kChannel + 0, 1, 2, 3, false},
    {"VP.VID_FORMAT", Image::VP, eemap::vpimg::kChannel + 1, 1, 2, 3, false},
    {"VP.AUDIO_INPUT", Image::VP, eemap::vpimg::kChannel + 2, 1, 2, 3, false},
    {"VP.NUM_INPUTS", Image::VP, eemap::vpimg::kNumInputs, 1, 1, 1, false},
    {"VP.DDISP", Image::VP, eemap::vpimg::kDDisp, 1, 1, 1, false},
    {"VP.OUT_FRMT", Image::VP, eemap::vpimg::kOutFrmt, 1, 2, 1, false},
    {"VP.FIXED_OUT_FRMT", Image::VP, eemap::vpimg::kFixedOutFrmt, 1, 2, 1, false},

    {"CUSTWIN.HST", Image::CUSTWIN, 0, 2, 2, 8, false},
    {"CUSTWIN.HW", Image::CUSTWIN, 2, 2, 2, 8, false},
    {"CUSTWIN.VST", Image::CUSTWIN, 4, 2, 2, 8, false},
    {"CUSTWIN.VW", Image::CUSTWIN, 6, 2, 2, 8, false},

    {"PREV_OUT_FORMAT", Image::PREV_FORMAT, 0, 1, 2, 1, false},
    {"MODEL_NAME", Image::MODEL, 0, 1, eemap::kModelNameSize, 1, false},
    {"SERIAL_NUMBER", Image::SERIAL, 0, 8, 1, 8, false},
};

#undef PMF
#undef PMIF

}  // namespace

std::span<const ImageField> imageFields() { return kFields; }

const ImageField* findImageField(std::string_view name) {
    for (const ImageField& f : kFields)
        if (name == f.name) return &f;
    return nullptr;
}

size_t imageSize(Image image) {
    switch (image) {
    case Image::PM: return kPmStoredSize;
    case Image::PMI: return eemap::kPmiSize;
    case Image::VP: return eemap::kVpSize;
    case Image::CUSTWIN: return eemap::kCustWinSize;
    case Image::PREV_FORMAT: return 2;
    case Image::MODEL: return eemap::kModelNameSize;
    case Image::SERIAL: return eemap::kSerialNumberSize;
    }
    return 0;
}

int64_t readField(const uint8_t* image, const ImageField& f, int i) {
    const uint8_t* p = image + f.offset + i * f.stride;
    switch (f.size) {
    case 1: return f.isSigned ? int64_t{static_cast<int8_t>(*p)} : int64_t{*p};
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return f.isSigned ? int64_t{static_cast<int16_t>(v)} : int64_t{v};
    }
    case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return f.isSigned ? int64_t{static_cast<int32_t>(v)} : int64_t{v};
    }
    default: {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return static_cast<int64_t>(v);
    }
    }
}

void writeField(uint8_t* image, const ImageField& f, int i, int64_t v) {
    uint64_t u = static_cast<uint64_t>(v);
    std::memcpy(image + f.offset + i * f.stride, &u, f.size);
}

bool fieldHolds(const ImageField& f, int64_t v) {
    if (f.size >= 8) return v >= 0;
    int bits = 8 * f.size;
    if (f.isSigned) return v >= -(int64_t{1} << (bits - 1)) && v < (int64_t{1} << (bits - 1));
    return v >= 0 && v < (int64_t{1} << bits);
}
