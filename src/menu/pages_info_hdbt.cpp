// The HDBaseT transceiver pages: a reading of a transceiver's firmware or
// status items over I2C bus 3, its JSON document and its screens.
#include "menu/menu_lists.h"
#include "menu/pages_info.h"
#include "menu/pages_misc.h"
#include "osd/json_generator.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "sys/i2c.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "upgrade/osd_console.h"
#include "upgrade/valens.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

const HdbtItem hdbt_details[kHdbtItems] = {
    {0xF501, 5, "Version ID"},
    {0xF502, 5, "Version Date"},
    {0xF504, 5, "Firmware Type"},
    {0xF505, 5, "Hardware Type"},
    {0xF506, 5, "Active Bank"},
    {0xF602, 6, "BER (E-10)"},
    {0xF603, 2, "Link Status"},
    {0xF604, 2, "HDMI Status"},
    {0xF605, 2, "Operation Mode"},
    {0xF607, 5, "Cable Length"},
    {0xF608, 5, "Secondary Quality Indicator"},
    {0xF60B, 2, "5V/HPD Status"},
    {0xF901, 2, "Ethernet PHY address"},
};

namespace {

enum : int {
    kItemVersion = 0, kItemDate, kItemFirmwareType, kItemHardwareType, kItemBank,
    kItemBer, kItemLink, kItemHdmi, kItemMode, kItemCable, kItemQuality, kItemHpd,
};

constexpr int kBus = 3;
constexpr uint8_t kChip[4] = {0x50, 0x52, 0x56, 0x54};  // ports 0 to 3
constexpr uint8_t kReady = 100;
constexpr uint8_t kNoAnswer = 0x55;  // a mark the chip's answer overwrites
constexpr int kRetries = 4;
constexpr uint32_t kRetryMs = 100;
constexpr int kHdbtModeValue = 7;

constexpr const char* kLinkTexts[4] = {"No link is active", "HDBaseT link is active", "LPPF link is active",
                                       "Fallback link is active"};
constexpr const char* kHdmiTexts[4] = {"No HDMI", "HDMI ON", "HDCP ON", "Unknown"};
constexpr const char* kModeTexts[16] = {"HDMI Pass Through", "Ethernet Fallback mode", "N.A", "N.A",
                                        "Low Power mode 1", "Low Power mode 2", "Long Reach mode", "HDBaseT mode",
                                        "Disconnected", "N.A", "N.A", "N.A", "N.A", "N.A", "N.A", "N.A"};
constexpr const char* kNoLink = "No link is active";
constexpr const char* kNotApplicable = "N.A";

constexpr int kNaX = 460, kNaY = 138, kNaColour = 199;
constexpr MiscView kInfo515x{menu_list_515, menu_list_515x, MiscBody::Page, nullptr, nullptr};

// What a port keeps between readings: each item's last answer (a failed
// read leaves it as it was) and the retries of the version reading.
struct PortState {
    uint8_t answer[kHdbtItems][8] = {};
    int retries = 0;
};

std::mutex gMutex;  // the two arrays below; never held over a reading
PortState gState[4];
HdbtInfoLastRead hdbt_info_last_read[4];
std::atomic<unsigned> gBlink{0};

void readItem(int port, int item, uint8_t* answer) {
    I2C_WordReg_BurstRead(kBus, kChip[port], hdbt_details[item].reg, answer, hdbt_details[item].bytes);
}

std::string text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string text(const char* fmt, ...) {
    char buf[64];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

bool is(const char (&field)[kInfoField], const char* value) { return std::strcmp(field, value) == 0; }

// One reading's document and the record the screens draw from.
class Reading {
public:
    explicit Reading(HdbtInfoLastRead& last) : last_(last) {}

    void pair(int item, const std::string& value, int field) {
        j_.add_pair(key(item), value);
        set(field, value);
    }
    void array(int item, std::initializer_list<std::pair<std::string, int>> values) {
        j_.add_header(key(item));
        j_.start_dim();
        for (const auto& [value, field] : values) {
            j_.add_value(value);
            set(field, value);
        }
        j_.end_dim();
    }
    std::string document() {
        j_.end_json();
        return j_.to_string();
    }

private:
    static const char* key(int item) {
        if (item == kItemCable) return "Cable length";
        if (item == kItemHpd) return "5V/HPD STATUS";
        return hdbt_details[item].name;
    }
    void set(int field, const std::string& value) {
        std::snprintf(last_.field[field], kInfoField, "%s", value.c_str());
    }
    json_generator j_;
    HdbtInfoLastRead& last_;
};

std::string onOff(bool on) { return on ? "ON" : "OFF"; }

// "-<value>" for a non-zero quality byte, " 0" for 0.
std::string quality(char name, uint8_t v) {
    return text("Ch. %c=%c%ddB", name, v ? '-' : ' ', v ? v : 0);
}

}  // namespace

void func515XX(int port, int mode) {
    port &= 3;
    const int direction = port / 2, channel = port % 2;
    PortState st;
    HdbtInfoLastRead last;
    {
        std::lock_guard lock(gMutex);
        st = gState[port];
        last = hdbt_info_last_read[port];
    }
    last.port = port;
    uint8_t* type = st.answer[kItemFirmwareType];
    for (;;) {
        type[1] = kNoAnswer;
        readItem(port, kItemFirmwareType, type);
        if (type[1] != kNoAnswer) {
            st.retries = 0;
            last.valid = 1;
            break;
        }
        if (st.retries < kRetries) {
            Sleep(kRetryMs);
            ++st.retries;
            continue;
        }
        // No answer: the slot keeps its document, the page shows "NA".
        last.valid = 0;
        {
            std::lock_guard lock(gMutex);
            gState[port] = st;
            hdbt_info_last_read[port] = last;
        }
        reset_valens(direction, channel);
        setValensVersion(direction, channel, "NO FIRM 0.0.0");
        return;
    }

    const bool tx = type[1] != 0;
    Reading r(last);
    bool hdbtMode = false;
    const int first = mode == 0 ? kItemVersion : kItemBer;
    const int lastItem = mode == 0 ? kItemBank : kItemHpd;
    for (int item = first; item <= lastItem; ++item) {
        if ((item == kItemQuality && tx) || (item == kItemHpd && !tx)) continue;
        uint8_t* a = st.answer[item];
        a[0] = 0;
        readItem(port, item, a);
        const bool ready = a[0] == kReady;
        if (!ready)
            PRINT(PRINT_GENERAL,
                  "\033[33mis_ready=0x%x (is_ready!=0x64 -> OVERFLOW!!!); vs100_item_index %d TIMEOUT ON VALNS "
                  "READ\033[0m\n",
                  a[0], item);
        const uint8_t d1 = a[1], d2 = a[2], d3 = a[3], d4 = a[4], d5 = a[5];
        switch (item) {
        case kItemVersion: {
            const std::string v = text("%cX %X.%X.%X", tx ? 'T' : 'R', d1 >> 4,
                                       ((d1 << 12) + (d2 << 4) + (d3 >> 4)) & 0xFFFF, d3 & 15);
            r.pair(item, v, HDBT_VERSION_ID);
            setValensVersion(direction, channel, v);
            break;
        }
        case kItemDate: r.pair(item, text("%d %d %d", (d1 << 8) + d2, d3, d4), HDBT_VERSION_DATE); break;
        case kItemFirmwareType:
        case kItemHardwareType:
            r.pair(item, std::string("HDBaseT ") + (d1 ? "Transmitter" : "Receiver"),
                   item == kItemFirmwareType ? HDBT_FIRMWARE_TYPE : HDBT_HARDWARE_TYPE);
            break;
        case kItemBank:
            r.pair(item, text("%s FW bank (sector %d)", d1 ? "Updatable" : "Basic", d4), HDBT_ACTIVE_BANK);
            break;
        case kItemBer:
            if (tx) {
                r.pair(item, text("Total=%d", d5), HDBT_BER_1);
                std::snprintf(last.field[HDBT_BER_2], kInfoField, "%s", "");
            } else {
                r.array(item, {{text("Video=%d Audio=%d", d1, d2), HDBT_BER_1},
                               {text("Blank=%d Control=%d", d3, d4), HDBT_BER_2}});
            }
            break;
        case kItemLink: r.pair(item, kLinkTexts[d1 & 3], HDBT_LINK); break;
        case kItemHdmi: r.pair(item, kHdmiTexts[d1 & 3], HDBT_HDMI); break;
        case kItemMode: {
            // Judged by the link just read and the cable length of the
            // port's previous reading.
            const bool disconnected = is(last.field[HDBT_LINK], kNoLink) && is(last.field[HDBT_CABLE], kNotApplicable);
            r.pair(item, disconnected ? "Disconnected" : kModeTexts[d1 & 15], HDBT_MODE);
            hdbtMode = (d1 & 15) == kHdbtModeValue;
            break;
        }
        case kItemCable: {
            std::string length = kNotApplicable;
            if (ready && !hdbtMode) {
                length = "Applicable in HDBaseT mode only";
            } else if (ready) {
                const int meters = d3 * 256 + d4;
                length = meters == 0     ? std::string("Less than 20 meters")
                         : meters >= 255 ? std::string("More than 110 meters")
                                         : text("%d meters", meters);
            }
            r.pair(item, length, HDBT_CABLE);
            break;
        }
        case kItemQuality:
            r.array(item, {{quality('A', d1) + " " + quality('B', d2), HDBT_SQI_1},
                           {quality('C', d3) + " " + quality('D', d4), HDBT_SQI_2}});
            break;
        case kItemHpd: {
            const bool off = is(last.field[HDBT_LINK], kNoLink) && is(last.field[HDBT_CABLE], kNotApplicable);
            auto bit = [&](int b) { return onOff(!off && (d1 >> b & 1)); };
            r.array(item, {{"RX Sense status   " + bit(3), HDBT_RX_SENSE},
                           {"5V Status           " + bit(2), HDBT_5V},
                           {"Bypass HPD status " + bit(1), HDBT_BYPASS_HPD},
                           {"Current HPD         " + bit(0), HDBT_CURRENT_HPD}});
            break;
        }
        default: break;
        }
    }
    char* slot = (mode == 0 ? hdbt_firmware_string_buffer : hdbt_status_string_buffer) + kInfoSlot * port;
    copyInfoDocument(slot, kInfoSlot, r.document());
    std::lock_guard lock(gMutex);
    gState[port] = st;
    hdbt_info_last_read[port] = last;
}

HdbtInfoLastRead hdbtInfoLastRead(int port) {
    std::lock_guard lock(gMutex);
    return hdbt_info_last_read[port & 3];
}

void func51511(int) { func515XX(0, 0); }
void func51512(int) { func515XX(0, 1); }
void func51521(int) { func515XX(1, 0); }
void func51522(int) { func515XX(1, 1); }
void func51531(int) { func515XX(2, 0); }
void func51532(int) { func515XX(2, 1); }
void func51541(int) { func515XX(3, 0); }
void func51542(int) { func515XX(3, 1); }

// ---- Screens -----------------------------------------------------------------

namespace {

// The port of a transceiver page's row (5151x is port 0).
int portOf(int row) { return (static_cast<int>(funcDataTbl[row].node / 10 % 10) - 1) & 3; }

// The common start; false (after "NA") when the last reading failed.
bool transceiverScreen(int row, HdbtInfoLastRead& r) {
    r = hdbtInfoLastRead(portOf(row));
    misc_screen_begin(row, kInfo515x);
    if (r.valid) return true;
    osd_put_ascii_string("NA", kNaX, kNaY, kNaColour, 255, 0, 16);
    info_screen_end();
    return false;
}

void item(Osd& o, const char* label, std::initializer_list<const char*> values, Osd::Manipulator colour = console::black) {
    o << console::grey << label << console::endl;
    for (const char* v : values) o << colour << "   " << v << console::endl;
}

}  // namespace

void osd_func515x1(int row) {
    HdbtInfoLastRead r;
    if (!transceiverScreen(row, r)) return;
    Osd o;
    for (int i = 0; i < 3; ++i) o << console::endl;
    item(o, "Version ID:", {r.field[HDBT_VERSION_ID]});
    item(o, "Version Date:", {r.field[HDBT_VERSION_DATE]});
    item(o, "Firmware Type:", {r.field[HDBT_FIRMWARE_TYPE]});
    item(o, "Hardware Type:", {r.field[HDBT_HARDWARE_TYPE]});
    item(o, "Active Bank:", {r.field[HDBT_ACTIVE_BANK]});
    info_screen_end();
}

void osd_func515x2(int row) {
    HdbtInfoLastRead r;
    if (!transceiverScreen(row, r)) return;
    const bool receiver = r.port < 2;
    Osd o;
    o.SetTop(o.Top() - 50);
    for (int i = 0; i < 5; ++i) o << console::endl;
    if (receiver) item(o, "BER (E-10):", {r.field[HDBT_BER_1], r.field[HDBT_BER_2]});
    else item(o, "BER (E-10):", {r.field[HDBT_BER_1]});
    item(o, "Link Status:", {r.field[HDBT_LINK]});
    item(o, "HDMI Status:", {r.field[HDBT_HDMI]});
    // A disconnected link blinks: red and black on alternate refreshes.
    const bool blinkRed = is(r.field[HDBT_MODE], "Disconnected") && (gBlink++ & 1) == 0;
    item(o, "Operation Mode:", {r.field[HDBT_MODE]}, blinkRed ? console::red : console::black);
    item(o, "Cable length:", {r.field[HDBT_CABLE]});
    if (receiver) {
        item(o, "Secondary Quality Indicator:", {r.field[HDBT_SQI_1], r.field[HDBT_SQI_2]});
    } else {
        item(o, "5V/HPD STATUS:",
             {r.field[HDBT_RX_SENSE], r.field[HDBT_5V], r.field[HDBT_BYPASS_HPD], r.field[HDBT_CURRENT_HPD]});
    }
    info_screen_end();
}
