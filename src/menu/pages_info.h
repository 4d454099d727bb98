// Page 51, Information: the state of each channel (511, 512), the firmware
// versions (513), the network addresses (514) and, under page 515, the
// firmware and link status of the four HDBaseT transceivers (51511 to
// 51542). Each information node is a text row: its action builds a JSON
// document into the row's buffer, which the control protocol's get returns,
// and its screen draws the page from the same reading. While a page is
// shown it runs again every second.
//
// Transceiver ports: 0 the receiver of CH1 (page 5151), 1 the receiver of
// CH2, 2 the transmitter of CH1, 3 the transmitter of CH2; port = direction
// x 2 + channel.
#pragma once

#include "core/functable.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class FirmwareVersion;

extern int32_t PB_515, PB_5151, PB_5152, PB_5153, PB_5154;
extern int32_t PB_51513, PB_51523, PB_51533, PB_51543;

// The rows' text buffers: a 300-byte slot per channel or transceiver.
inline constexpr size_t kInfoSlot = 300;
extern char ch_info_string_buffer[2 * kInfoSlot];
extern char fw_info_last_read[500];
extern char net_string_buffer[kInfoSlot];
extern char hdbt_firmware_string_buffer[4 * kInfoSlot];
extern char hdbt_status_string_buffer[4 * kInfoSlot];
// The output connector the last channel document named (0 HDMI1, 1 HDBT1,
// 2 HDMI2, 3 HDBT2).
extern int gOutputCurrentCh;

// Text fields of the last readings hold at most 29 characters.
inline constexpr size_t kInfoField = 30;

// What the last channel document described, as its screen draws it.
struct ChInfoLastRead {
    int32_t channel = 0;  // the channel described, plus 1
    char input[kInfoField] = {};
    char format[kInfoField] = {};
    char fh[kInfoField] = {};            // "FH: 67.5 kHz"
    char fv[kInfoField] = {};            // "FV: 60.0 Hz"
    char outputLabel[kInfoField] = {};   // "Output:" or "<connector> Native Output:"
    char outputFormat[kInfoField] = {};
    uint8_t hdcp = 0;
};

// The items of a transceiver reading (hdbt_details), in their order.
enum HdbtField : int {
    HDBT_VERSION_ID, HDBT_VERSION_DATE, HDBT_FIRMWARE_TYPE, HDBT_HARDWARE_TYPE, HDBT_ACTIVE_BANK,
    HDBT_BER_1, HDBT_BER_2, HDBT_LINK, HDBT_HDMI, HDBT_MODE, HDBT_CABLE, HDBT_SQI_1, HDBT_SQI_2,
    HDBT_RX_SENSE, HDBT_5V, HDBT_BYPASS_HPD, HDBT_CURRENT_HPD, HDBT_FIELDS
};
struct HdbtInfoLastRead {
    int32_t port = 0;
    char field[HDBT_FIELDS][kInfoField] = {};
    uint8_t valid = 0;  // 1 when the last reading succeeded
};

struct HdbtItem {
    uint16_t reg;
    int bytes;  // the status byte and the data bytes
    const char* name;
};
inline constexpr int kHdbtItems = 13;
extern const HdbtItem hdbt_details[kHdbtItems];

// The channel document of channel ch into its slot.
void func51x(int ch);
void func513();
void func514();
// A transceiver's firmware (mode 0) or status (mode 1) document into the
// port's slot; a transceiver that does not answer keeps the slot as it was.
void func515XX(int port, int mode);

// The actions of the rows.
void func511(int row);
void func512(int row);
void func513(int row);
void func514(int row);
void func51511(int row);
void func51512(int row);
void func51521(int row);
void func51522(int row);
void func51531(int row);
void func51532(int row);
void func51541(int row);
void func51542(int row);

// Address and mask of eth0 and the default gateway ("0.0.0.0" when there
// is none); 0.
int getIP(std::string& ip, std::string& mask, std::string& gateway);
// The version of an item that spans several files: a.b of the last entry
// whose name contains key, then one character per such entry ('0' to '9',
// 'A' to 'Z' by its third number modulo 36).
std::string BuildVersionInfo(FirmwareVersion& list, const std::string& key);

// Puts a document into a row's slot, cut to the slot's size.
void copyInfoDocument(char* slot, size_t size, const std::string& document);

// Copies of the last readings, for the screens.
ChInfoLastRead chInfoLastRead(int ch);
HdbtInfoLastRead hdbtInfoLastRead(int port);

// Screens.
void osd_func51(int row);
void osd_func51x(int row);
void osd_func513(int row);
void osd_func514(int row);
void osd_func515(int row);
void osd_func515x(int row);
void osd_func515x1(int row);
void osd_func515x2(int row);
void osd_func51513(int row);
// The local date and time at the foot of every information page.
void osd_put_time_string();
// The end of every information screen: the time, the OSD on, and the page
// again in a second.
void info_screen_end();

std::span<const FuncRow> infoPageRows();
