#include "menu/pages_info.h"

#include "commands/network_param.h"
#include "core/pm.h"
#include "core/switching.h"
#include "menu/menu_lists.h"
#include "menu/pages_misc.h"
#include "osd/json_generator.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "protocol/network.h"
#include "protocol/ws_server.h"
#include "scaler/input_formats.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "sys/fpga.h"
#include "sys/print.h"
#include "sys/timers.h"
#include "sys/version.h"
#include "upgrade/firmware_version.h"
#include "upgrade/osd_console.h"
#include "video/backend.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <mutex>

int32_t PB_515 = 0, PB_5151 = 0, PB_5152 = 0, PB_5153 = 0, PB_5154 = 0;
int32_t PB_51513 = 0, PB_51523 = 0, PB_51533 = 0, PB_51543 = 0;

char ch_info_string_buffer[2 * kInfoSlot];
char fw_info_last_read[500];
char net_string_buffer[kInfoSlot];
char hdbt_firmware_string_buffer[4 * kInfoSlot];
char hdbt_status_string_buffer[4 * kInfoSlot];

int gOutputCurrentCh = 0;

namespace {

constexpr const char* kTenBlanks = "          ";
constexpr int kHdcpPart = 20, kHdcpX = 322, kHdcpY = 130;
constexpr int kTimeX = 375, kTimeY = 446, kTimeColour = 247;
constexpr uint32_t kRefreshMs = 1000;
constexpr const char* kConnectors[4] = {"HDMI1", "HDBT1", "HDMI2", "HDBT2"};

std::mutex gInfoMutex;  // the last channel readings
ChInfoLastRead ch_info_last_read[2];

// How the pages under page 51 draw their titles and lists.
constexpr MiscView kPage51{menu_list_5, nullptr, MiscBody::Page, menu_list_51, nullptr};
constexpr MiscView kPage515{menu_list_5, menu_list_51, MiscBody::Page, menu_list_515, nullptr};
constexpr MiscView kPage515x{menu_list_51, menu_list_515, MiscBody::Page, menu_list_515x, nullptr};
constexpr MiscView kInfo51x{menu_list_5, menu_list_51, MiscBody::Page, nullptr, nullptr};

void field(char (&out)[kInfoField], const std::string& text) { std::snprintf(out, kInfoField, "%s", text.c_str()); }

std::string format(const char* fmt, int whole, int tenth, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, fmt, whole, tenth, unit);
    return text;
}

void console_lines(Osd& o, int blankLines) {
    for (int i = 0; i < blankLines; ++i) o << console::endl;
}

}  // namespace

void copyInfoDocument(char* slot, size_t size, const std::string& document) {
    static std::mutex docMutex;
    std::lock_guard lock(docMutex);
    std::snprintf(slot, size, "%s", document.c_str());
}

// ---- Channel documents ---------------------------------------------------

void func51x(int ch) {
    ch &= 1;
    struct {
        uint8_t displayMode, dwindow, outputCh[2];
    } pm{};
    underPm([&] { pm = {PM.DISPLAY_MODE, PM.DWINDOW, {PM.OUTPUT_CH[0], PM.OUTPUT_CH[1]}}; });
    // In one window CH2's page describes CH1, which is what is shown.
    const int c = ch == 1 && pm.displayMode == 1 && (pm.dwindow == 0 || pm.dwindow == 4) ? 0 : ch;
    get_input(c);
    const int formatIndex = vp.chData[c].vidFormat;
    int fh = 0, fv = 0;  // tenths of kHz and of Hz
    const uint64_t lineHalfCycles = uint64_t{PI_RGFH[c]} + 1;
    if (formatIndex < kInputFormats) {
        fh = static_cast<int>(uint64_t{PS_MCLKO} * 10 / (2000 * lineHalfCycles));
        // A field counter of 0 (a glitch) reports no rate.
        if (PI_RGFV[c] != 0) fv = static_cast<int>(uint64_t{PS_MCLKO} * 5 / (lineHalfCycles * PI_RGFV[c]));
    }
    const std::string source = getInputName(vp.chData[c].vidInput);
    const std::string resolution = getForamtName(formatIndex);
    const bool hdcp = (vp.chData[c].cFlags.load() & VP_CFLAG_HDCP) != 0;
    const std::string fhText = format("%02d.%d%s", fh / 10, fh % 10, " kHz");
    const std::string fvText = format("%02d.%d%s", fv / 10, fv % 10, " Hz");
    const std::string output = getOutputFormat(vp.outFrmt[c]);
    const bool fixed = vp.fixedOutFrmt[c] != 0;
    std::string native = "NONE";
    std::string outputLabel = "Output:";
    if (!fixed) {
        const int connector = nativeOutputConnector(c, pm.outputCh);
        gOutputCurrentCh = connector;
        native = connector >= 0 && connector < 4 ? kConnectors[connector] : "Unknown channel";
        outputLabel = native + " Native Output:";
    }

    json_generator j;
    j.add_header("Input");
    j.start_group();
    j.add_pair("Source", source);
    j.add_pair("Resolution", resolution);
    j.add_pair("HDCP", hdcp ? "ON" : "OFF");
    j.add_pair("FH", fhText);
    j.add_pair("FV", fvText);
    j.end_group();
    j.add_header("Output");
    j.start_group();
    j.add_pair("Resolution", output);
    j.add_pair("Native", native);
    j.end_group();
    j.end_json();
    copyInfoDocument(ch_info_string_buffer + kInfoSlot * ch, kInfoSlot, j.to_string());

    ChInfoLastRead r;
    r.channel = c + 1;
    field(r.input, source);
    field(r.format, resolution);
    field(r.fh, "FH: " + fhText);
    field(r.fv, "FV: " + fvText);
    field(r.outputLabel, outputLabel);
    field(r.outputFormat, output);
    r.hdcp = hdcp ? 1 : 0;
    std::lock_guard lock(gInfoMutex);
    ch_info_last_read[ch] = r;
}

ChInfoLastRead chInfoLastRead(int ch) {
    std::lock_guard lock(gInfoMutex);
    return ch_info_last_read[ch & 1];
}

void func511(int) { func51x(0); }
void func512(int) { func51x(1); }

// ---- Firmware and network documents --------------------------------------

std::string BuildVersionInfo(FirmwareVersion& list, const std::string& key) {
    static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    int a = 0, b = 0;
    std::string suffix;
    for (const auto& [name, info] : list.files()) {
        if (name.find(key) == std::string::npos) continue;
        int x = 0, y = 0, z = 0;
        // An entry whose version is not a.b.c adds nothing.
        if (std::sscanf(info.version.c_str(), "%d.%d.%d", &x, &y, &z) != 3) continue;
        a = x;
        b = y;
        suffix += kDigits[((z % 36) + 36) % 36];
    }
    return std::to_string(a) + "." + std::to_string(b) + "." + suffix;
}

void func513() {
    using namespace FirmwareVersionT;
    FirmwareVersion list;
    list.Load(FirmwareUpgradeT::S_UpdateFirmwareVersionInfo);
    const auto& files = list.files();
    json_generator j;
    j.add_header(S_application_desc);
    j.start_group();
    j.add_pair("Version", getVersionStr());
    j.add_pair("Date", getBuildDate());
    const auto jffs2 = files.find(FirmwareTypeList[1]);
    j.add_pair(S_jffs2, jffs2 != files.end() ? jffs2->second.version : "N/A");
    j.end_group();
    for (size_t k = 2; k < FirmwareTypeList.size(); ++k) {
        const std::string& name = FirmwareTypeList[k];
        const auto entry = files.find(name);
        const bool listed = entry != files.end();
        const std::string key = listed ? entry->second.description : FirmwareDescList.at(name);
        std::string value = listed ? entry->second.version : BuildVersionInfo(list, name);
        if (name == S_web) {
            char web[kWebVersionSize];
            get_web_version(web);
            value += (listed ? " _ " : "_") + std::string(web);
        }
        j.add_pair(key, value);
        if (key == S_fpga_desc) {
            char fpga[16];
            FPGA_get_string_version(fpga);
            j.add_free_text("_" + std::string(fpga));
        }
    }
    j.end_json();
    copyInfoDocument(fw_info_last_read, sizeof fw_info_last_read, j.to_string());
}

int getIP(std::string& ip, std::string& mask, std::string& gateway) {
    Network::GetIPAddress(ip);
    Network::GetNetworkMask(mask);
    gateway = "0.0.0.0";
    Network::GetDefaultGw(gateway);
    return 0;
}

void func514() {
    std::string ip, mask, gateway;
    getIP(ip, mask, gateway);
    DefaultEepromEthParam record;
    record.eepromRead();
    const int mode = record.getDHCPMode();
    json_generator j;
    j.add_pair("IP Address", ip + " ");
    j.add_pair("Netmask", mask);
    j.add_pair("Gateway", gateway);
    j.add_pair("DHCP", mode == 0 ? "OFF" : mode == 1 ? "ON" : "APIPA");
    j.end_json();
    copyInfoDocument(net_string_buffer, sizeof net_string_buffer, j.to_string());
}

void func513(int) { func513(); }
void func514(int) { func514(); }

// ---- Screens ---------------------------------------------------------------

void osd_put_time_string() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    osd_put_ascii_string(text, kTimeX, kTimeY, kTimeColour, 255, 0, 16);
}

void info_screen_end() {
    osd_put_time_string();
    osd_page_show();
    osdRefreshTimerSet(kRefreshMs);
}

void osd_func51(int row) { misc_screen(row, kPage51); }
void osd_func515(int row) { misc_screen(row, kPage515); }
void osd_func515x(int row) { misc_screen(row, kPage515x); }

void osd_func51x(int row) {
    using namespace console;
    const int ch = funcDataTbl[row].node == 512 ? 1 : 0;
    const ChInfoLastRead r = chInfoLastRead(ch);
    misc_screen_begin(row, kInfo51x);
    Osd o;
    console_lines(o, 3);
    o << grey << r.input << endl << endl;
    for (const char* line : {r.format, r.fh, r.fv}) o << black << kTenBlanks << line << endl << endl;
    o << grey << r.outputLabel << endl << endl;
    o << black << kTenBlanks << r.outputFormat << endl << endl;
    if (r.hdcp) osd_put_part(kHdcpPart, kHdcpX, kHdcpY);
    info_screen_end();
}

namespace {

void jsonScreen(int row, const char* buffer) {
    misc_screen_begin(row, kInfo51x);
    Osd o;
    console_lines(o, 3);
    o.printJson(buffer);
    info_screen_end();
}

}  // namespace

void osd_func513(int row) { jsonScreen(row, fw_info_last_read); }
void osd_func514(int row) { jsonScreen(row, net_string_buffer); }

void osd_func51513(int row) { PRINT(PRINT_GENERAL, "+++ osd_func%d +++\n", static_cast<int>(funcDataTbl[row].node)); }

// ---- Rows --------------------------------------------------------------------

namespace {

constexpr FuncRow textRow(uint32_t node, char* buffer, void (*action)(int), void (*screen)(int)) {
    return miscRow(node, FT_TEXT, buffer, 0, 0, 0, 0, 2, action, screen);
}
constexpr FuncRow pageRow(uint32_t node, int32_t* cursor, int32_t max, void (*screen)(int)) {
    return miscRow(node, FT_PAGE, cursor, 0, max, 1, 0, 5, nullptr, screen);
}

}  // namespace

std::span<const FuncRow> infoPageRows() {
    static const auto rows = std::to_array<FuncRow>({
        textRow(511, ch_info_string_buffer, func511, osd_func51x),
        textRow(512, ch_info_string_buffer + kInfoSlot, func512, osd_func51x),
        textRow(513, fw_info_last_read, func513, osd_func513),
        textRow(514, net_string_buffer, func514, osd_func514),
        pageRow(515, &PB_515, 3, osd_func515),
        pageRow(5151, &PB_5151, 1, osd_func515x),
        pageRow(5152, &PB_5152, 1, osd_func515x),
        pageRow(5153, &PB_5153, 1, osd_func515x),
        pageRow(5154, &PB_5154, 1, osd_func515x),
        textRow(51511, hdbt_firmware_string_buffer, func51511, osd_func515x1),
        textRow(51512, hdbt_status_string_buffer, func51512, osd_func515x2),
        pageRow(51513, &PB_51513, 0, osd_func51513),
        textRow(51521, hdbt_firmware_string_buffer + kInfoSlot, func51521, osd_func515x1),
        textRow(51522, hdbt_status_string_buffer + kInfoSlot, func51522, osd_func515x2),
        pageRow(51523, &PB_51523, 0, nullptr),
        textRow(51531, hdbt_firmware_string_buffer + 2 * kInfoSlot, func51531, osd_func515x1),
        textRow(51532, hdbt_status_string_buffer + 2 * kInfoSlot, func51532, osd_func515x2),
        pageRow(51533, &PB_51533, 0, nullptr),
        textRow(51541, hdbt_firmware_string_buffer + 3 * kInfoSlot, func51541, osd_func515x1),
        textRow(51542, hdbt_status_string_buffer + 3 * kInfoSlot, func51542, osd_func515x2),
        pageRow(51543, &PB_51543, 0, nullptr),
    });
    return rows;
}
