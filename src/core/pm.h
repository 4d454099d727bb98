// The parameter memory (PM), the per-input records (PM_I), the video-path
// state (vp) and the current channel of each thread.
//
// PM is a byte image kept in EEPROM zones; rows of the function table point
// into it by address, so every field sits at a fixed offset (checked below).
// Per-channel fields are pairs [CH1, CH2]. Multi-byte fields are little-endian
// and are read through getVal16/getVal32 by table code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct PMRec {
    uint16_t RATIO[2];               // 0
    uint16_t IACTHST[2];             // 4
    uint16_t IACTVST[2];             // 8
    uint16_t IWIN_HST[2];            // 12
    uint16_t IWIN_HW[2];             // 16
    uint16_t IWIN_VST[2];            // 20
    uint16_t IWIN_VW[2];             // 24
    int16_t BRIGHT[2];               // 28
    int16_t CONTRAST[2];             // 32
    int16_t CHROMA[2];               // 36
    int16_t HUE[2];                  // 40
    uint8_t SCAN[2];                 // 44
    uint8_t OVERSCAN[2];             // 46
    uint8_t RATIO_SHIFT_MODE[2];     // 48
    int8_t HSHARP[2];                // 50
    int8_t VSHARP[2];                // 52
    uint8_t COLOR_TEMP[2];           // 54
    uint8_t GAMMA[2];                // 56
    uint8_t CLRM1[2];                // 58
    uint8_t CLRM2[2];                // 60
    uint8_t CLRM3[2];                // 62
    uint8_t PD[2];                   // 64
    uint8_t PD_DELAY[2];             // 66
    uint8_t IPLUT[2];                // 68
    uint8_t DIAG[2];                 // 70
    uint8_t HNR[2];                  // 72
    uint8_t VNR[2];                  // 74
    uint8_t TNR[2];                  // 76
    uint8_t BNR[2];                  // 78
    uint8_t MNR[2];                  // 80
    uint8_t COMB[2];                 // 82
    uint8_t HDCP_MODE[2];            // 84: the shown input's PM_I values
    uint8_t COLOR_SPACE[2];          // 86
    uint8_t AUTOPOS[2];              // 88
    int8_t INP_VOLUME[2];            // 90
    uint8_t reserved92[8];           // 92
    uint8_t ANALOG_TAKEOVER[2];      // 100: nodes 392/492, the TAKE's audio-fade flags
    uint8_t reserved102[10];         // 102: end of the per-input block
    uint8_t DWINDOW;                 // 112
    uint8_t DISPLAY_MODE;            // 113: 0 transition, 1 overlay
    uint8_t OUTPUT_RES_SEL[2];       // 114: 42 = 4K
    uint8_t reserved116;             // 116
    uint8_t OUTPUT_CH[2];            // 117
    uint8_t DEEP_COLOR;              // 119
    uint8_t SAMPLING_RATE;           // 120
    uint8_t HDCP_MODE_OUT;           // 121
    uint8_t TRANS_SPEED;             // 122
    uint8_t TRANS_MODE;              // 123
    uint8_t TRANS_EFFECT;            // 124
    uint8_t TRANS_DIR;               // 125
    uint8_t T_BAR;                   // 126
    uint8_t T_BAR_SMOOTHNESS;        // 127
    int8_t TIME_ZONE;                // 128: hours, stored negated
    uint8_t DAYLIGHT_SAVING;         // 129
    uint8_t SEL_INPUT[2];            // 130: counted from 1
    uint16_t OWIN_HST[2];            // 132
    uint16_t OWIN_HW[2];             // 136
    uint16_t OWIN_VST[2];            // 140
    uint16_t OWIN_VW[2];             // 144
    uint16_t LIP_SYNC[2];            // 148
    uint8_t UPSIDEDOWN[2];           // 152
    uint8_t MUTE[2];                 // 154
    uint8_t FREEZE[2];               // 156
    uint8_t BLANK[2];                // 158
    uint8_t AUTO_SYNC_OFF[2];        // 160
    uint8_t TEST_PATTERN[2];         // 162
    uint8_t SYNC_OFF_IDLE[2];        // 164: 0 = 20 s, n = n minutes
    uint8_t NOSIG_COLOR[2];          // 166
    uint8_t PASS_THROUGH[2];         // 168
    uint8_t AUDIO_SOURCE[2];         // 170: 0 follows video, n = input n
    int8_t VOLUME[2];                // 172
    uint16_t OSDPOSH;                // 174
    uint16_t OSDPOSV;                // 176
    uint8_t OSDTRAN;                 // 178
    uint8_t OSDGAIN;                 // 179
    int16_t OSDBIAS;                 // 180
    uint8_t OSDTM;                   // 182: menu time-out in units of 30 s
    uint8_t PI_TAKE;                 // 183
    int8_t BASS[2];                  // 184
    int8_t MID[2];                   // 186
    int8_t TREBLE[2];                // 188
    uint8_t INPUT_CHANGE_EFFECT[2];  // 190: 1 = freeze instead of blacking out
    uint8_t AUTO_SWITCH_MODE[2];     // 192: 0 off, 1 priority scan, 2 last connected
    uint8_t AUTO_SWITCH_PRIORITY[8][2];     // 194 + 2 * (place - 1) + channel
    uint8_t AUTO_SWITCH_PARTICIPATION[8][2];  // 210 + 2 * (place - 1) + channel
    uint8_t CHROMA_KEYING;           // 226
    uint8_t reserved227;             // 227
    uint16_t CHROMA_KEYING_R;        // 228
    uint16_t CHROMA_KEYING_G;        // 230
    uint16_t CHROMA_KEYING_B;        // 232
    uint8_t LUMA_KEYING;             // 234
    uint8_t reserved235;             // 235
    uint8_t ALERT_SYSTEM;            // 236
    uint8_t POWER_AMPLIFIER;         // 237
    uint16_t MIC1_TA_ATTACK_TIME;    // 238
    uint16_t MIC1_TA_HOLD_TIME;      // 240
    uint16_t MIC1_TA_RELEASE_TIME;   // 242
    uint8_t MIC1_TA_DEPTH;           // 244
    int8_t MIC1_TA_TRIGGER;          // 245
    uint8_t MIC1_MODE;               // 246
    int8_t MIC1_MIX;                 // 247
    uint16_t MIC1_VOLUME;            // 248
    uint16_t MIC1_DELAY;             // 250
    uint8_t MIC1_MUTE;               // 252
    uint8_t reserved253;             // 253
    uint16_t MIC2_TA_ATTACK_TIME;    // 254
    uint16_t MIC2_TA_HOLD_TIME;      // 256
    uint16_t MIC2_TA_RELEASE_TIME;   // 258
    uint8_t MIC2_TA_DEPTH;           // 260
    int8_t MIC2_TA_TRIGGER;          // 261
    uint8_t MIC2_MODE;               // 262
    int8_t MIC2_MIX;                 // 263
    uint16_t MIC2_VOLUME;            // 264
    uint16_t MIC2_DELAY;             // 266
    uint8_t MIC2_MUTE;               // 268
    int8_t LINE_MIX;                 // 269
    uint8_t LINE_MUTE;               // 270
    struct {
        uint8_t SOURCE;              // 269 + 2n
        uint8_t DESTINATION;         // 270 + 2n
    } CONNECTION[8];                 // 271: serial-matrix connections 1 to 8 (6 = none)
    uint8_t PORT_TUNNELING_MODE;     // 287: 1 TCP, else UDP
    uint32_t PORT_TUNNELING_PORT_NUMBER;  // 288
    uint8_t PORT_TUNNELING_BAUD;     // 292
    uint8_t PORT_TUNNELING_DATA_BITS;  // 293
    uint8_t PORT_TUNNELING_PARITY;   // 294
    uint8_t PORT_TUNNELING_STOP_BITS;  // 295
    uint8_t USER1_BAUD;              // 296
    uint8_t USER1_DATA_BITS;         // 297
    uint8_t USER1_PARITY;            // 298
    uint8_t USER1_STOP_BITS;         // 299
    uint8_t USER1_DESTINATION;       // 300: 0 PT .. 5 OUT2, 6 ALL, 7 NONE
    uint8_t USER2_BAUD;              // 301
    uint8_t USER2_DATA_BITS;         // 302
    uint8_t USER2_PARITY;            // 303
    uint8_t USER2_STOP_BITS;         // 304
    uint8_t USER2_DESTINATION;       // 305
    uint8_t SEL_INPUT_TYPE[2];       // 306: 0 HDMI, 1 component, 2 VGA, 3 composite
    int8_t BALANCE[2];               // 308
    uint8_t reserved310[16];         // 310
    uint8_t NODE7550[4];             // 326: a 32-bit value that runs past the stored 328 bytes
    uint8_t reserved330[2];          // 330
};

// The stored image keeps the device's 328 bytes; the record in RAM is longer
// so that the 32-bit value at 326 never runs past it (its bounds keep the
// bytes beyond 328 zero).
inline constexpr size_t kPmStoredSize = 328;
inline constexpr size_t kPmZoneSize = 384;

static_assert(sizeof(PMRec) == 332);
static_assert(offsetof(PMRec, ANALOG_TAKEOVER) == 100);
static_assert(offsetof(PMRec, DWINDOW) == 112);
static_assert(offsetof(PMRec, DISPLAY_MODE) == 113);
static_assert(offsetof(PMRec, OUTPUT_RES_SEL) == 114);
static_assert(offsetof(PMRec, OUTPUT_CH) == 117);
static_assert(offsetof(PMRec, DEEP_COLOR) == 119);
static_assert(offsetof(PMRec, SAMPLING_RATE) == 120);
static_assert(offsetof(PMRec, HDCP_MODE_OUT) == 121);
static_assert(offsetof(PMRec, TRANS_SPEED) == 122);
static_assert(offsetof(PMRec, TRANS_MODE) == 123);
static_assert(offsetof(PMRec, TRANS_EFFECT) == 124);
static_assert(offsetof(PMRec, TRANS_DIR) == 125);
static_assert(offsetof(PMRec, T_BAR) == 126);
static_assert(offsetof(PMRec, T_BAR_SMOOTHNESS) == 127);
static_assert(offsetof(PMRec, TIME_ZONE) == 128);
static_assert(offsetof(PMRec, DAYLIGHT_SAVING) == 129);
static_assert(offsetof(PMRec, SEL_INPUT) == 130);
static_assert(offsetof(PMRec, FREEZE) == 156);
static_assert(offsetof(PMRec, BLANK) == 158);
static_assert(offsetof(PMRec, SYNC_OFF_IDLE) == 164);
static_assert(offsetof(PMRec, AUDIO_SOURCE) == 170);
static_assert(offsetof(PMRec, VOLUME) == 172);
static_assert(offsetof(PMRec, OSDPOSH) == 174);
static_assert(offsetof(PMRec, OSDPOSV) == 176);
static_assert(offsetof(PMRec, OSDTRAN) == 178);
static_assert(offsetof(PMRec, OSDGAIN) == 179);
static_assert(offsetof(PMRec, OSDBIAS) == 180);
static_assert(offsetof(PMRec, OSDTM) == 182);
static_assert(offsetof(PMRec, INPUT_CHANGE_EFFECT) == 190);
static_assert(offsetof(PMRec, AUTO_SWITCH_MODE) == 192);
static_assert(offsetof(PMRec, AUTO_SWITCH_PRIORITY) == 194);
static_assert(offsetof(PMRec, AUTO_SWITCH_PARTICIPATION) == 210);
static_assert(offsetof(PMRec, CHROMA_KEYING) == 226);
static_assert(offsetof(PMRec, CHROMA_KEYING_R) == 228);
static_assert(offsetof(PMRec, CHROMA_KEYING_G) == 230);
static_assert(offsetof(PMRec, CHROMA_KEYING_B) == 232);
static_assert(offsetof(PMRec, LUMA_KEYING) == 234);
static_assert(offsetof(PMRec, ALERT_SYSTEM) == 236);
static_assert(offsetof(PMRec, POWER_AMPLIFIER) == 237);
static_assert(offsetof(PMRec, MIC1_TA_ATTACK_TIME) == 238);
static_assert(offsetof(PMRec, MIC1_TA_HOLD_TIME) == 240);
static_assert(offsetof(PMRec, MIC1_TA_RELEASE_TIME) == 242);
static_assert(offsetof(PMRec, MIC1_TA_DEPTH) == 244);
static_assert(offsetof(PMRec, MIC1_TA_TRIGGER) == 245);
static_assert(offsetof(PMRec, MIC1_MODE) == 246);
static_assert(offsetof(PMRec, MIC1_MIX) == 247);
static_assert(offsetof(PMRec, MIC1_VOLUME) == 248);
static_assert(offsetof(PMRec, MIC1_DELAY) == 250);
static_assert(offsetof(PMRec, MIC1_MUTE) == 252);
static_assert(offsetof(PMRec, MIC2_TA_ATTACK_TIME) == 254);
static_assert(offsetof(PMRec, MIC2_MUTE) == 268);
static_assert(offsetof(PMRec, LINE_MIX) == 269);
static_assert(offsetof(PMRec, LINE_MUTE) == 270);
static_assert(offsetof(PMRec, CONNECTION) == 271);
static_assert(offsetof(PMRec, PORT_TUNNELING_MODE) == 287);
static_assert(offsetof(PMRec, PORT_TUNNELING_PORT_NUMBER) == 288);
static_assert(offsetof(PMRec, PORT_TUNNELING_BAUD) == 292);
static_assert(offsetof(PMRec, PORT_TUNNELING_STOP_BITS) == 295);
static_assert(offsetof(PMRec, USER1_BAUD) == 296);
static_assert(offsetof(PMRec, USER1_DESTINATION) == 300);
static_assert(offsetof(PMRec, USER2_BAUD) == 301);
static_assert(offsetof(PMRec, USER2_DESTINATION) == 305);
static_assert(offsetof(PMRec, SEL_INPUT_TYPE) == 306);
static_assert(offsetof(PMRec, NODE7550) == 326);

extern PMRec PM;

// Per-input values, signed bytes.
struct PMIRec {
    int8_t SEL_INPUT_TYPE;  // 0 HDMI, 1 component, 2 VGA, 3 composite
    int8_t unused1;
    int8_t HDCP_MODE;       // 0..1
    int8_t AUTOPOS;
    int8_t COLOR_SPACE;     // 0..2
    int8_t INP_VOLUME;      // -80..20
    int8_t COLOR_DEPTH;     // 0..1
    int8_t MODELINE;        // 0..1
    int8_t RESOLUTION;      // EDID native resolution 0..207 (read as a byte)
    int8_t AUDIO_CHANNELS;  // 0..1
    int8_t reserved[2];
};
static_assert(sizeof(PMIRec) == 12);

extern PMIRec PM_I[8];

// cFlags bits of a channel.
enum : uint16_t {
    VP_CFLAG_DIRTY = 0x1,   // the channel's parameter memory is to be saved
    VP_CFLAG_HDCP = 0x4,
    VP_CFLAG_NO_SIGNAL = 0x8,  // the channel shows its no-signal fill
    VP_CFLAG_SCAN_IN_PROGRESS = 0x10,
};

// gFlags bits.
enum : uint32_t {
    VP_GFLAG_MENU_OPEN = 0x1,
    VP_GFLAG_CUSTOMIZED_WIN = 0x4,
    VP_GFLAG_TRANSITION = 0x80,
    VP_GFLAG_MODAL_KEYS = 0x200,  // a thread other than MAIN reads the KEYPAD queue
    VP_GFLAG_CUSTWIN_SAVE = 0x800,
};

struct VidChannel {
    uint8_t vidInput = 0;    // _E_VID_INPUT
    uint8_t vidFormat = 255; // measured input format index; 245/255 no signal
    uint8_t audioInput = 0;
    std::atomic<uint16_t> cFlags{0};  // set and cleared by several threads
};

struct VidPath {
    VidChannel chData[2];
    uint8_t numInputs = 1;      // 2 in two-window modes
    uint8_t dDisp = 0;          // 2 = report both windows
    uint8_t outFrmt[2] = {0, 0};       // 42 = 4K
    uint8_t fixedOutFrmt[2] = {0, 0};  // 0 = native output format
    std::atomic<uint32_t> gFlags{0};
};

extern VidPath vp;

// The customised output windows of each channel.
struct CustWin {
    uint16_t HST;
    uint16_t HW;
    uint16_t VST;
    uint16_t VW;
};
extern CustWin custWin[2];

// The channel the calling thread works on (0 = CH1, 1 = CH2): each thread
// keeps its own; a thread reads 0 until it assigns one.
class CurrentChannel {
public:
    operator int() const;
    CurrentChannel& operator=(int channel);
    CurrentChannel& operator=(const CurrentChannel& other) { return *this = static_cast<int>(other); }
};
extern CurrentChannel ext_channel;
extern CurrentChannel& Channel;

// The calling thread works on channel ch until the scope ends.
class ChannelAs {
public:
    explicit ChannelAs(int ch) : saved_(Channel) { Channel = ch; }
    ~ChannelAs() { Channel = saved_; }
    ChannelAs(const ChannelAs&) = delete;
    ChannelAs& operator=(const ChannelAs&) = delete;

private:
    int saved_;
};

// Bit 0x200 of vp.gFlags: while on, a thread other than MAIN reads the
// KEYPAD queue.
inline void setModalKeys(bool on) {
    if (on) vp.gFlags.fetch_or(VP_GFLAG_MODAL_KEYS);
    else vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_MODAL_KEYS});
}
inline bool menuIsOpen() { return (vp.gFlags.load() & VP_GFLAG_MENU_OPEN) != 0; }
// Marks both channels' parameter memory to be saved (the device-wide part
// lives in every zone).
inline void markBothChannelsDirty() {
    for (auto& ch : vp.chData) ch.cFlags.fetch_or(VP_CFLAG_DIRTY);
}
