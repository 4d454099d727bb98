#include "upgrade/valens.h"

#include "core/functable.h"
#include "osd/osd_message.h"
#include "platform/journal.h"
#include "sys/i2c.h"
#include "sys/msgq.h"
#include "sys/mydosystem.h"
#include "sys/print.h"
#include "sys/spi.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"
#include "video/backend.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <span>
#include <sys/stat.h>
#include <vector>

std::atomic<int> valence_update_in_operation_mode{0};
std::atomic<int> valens_update_ch_in_operation{0};
std::atomic<int> valens_init_done_check{0};

namespace {

constexpr const char* kMemDir = "../memfiles/";
constexpr uint32_t kLongJobTimeoutMs = 3600000;
constexpr uint32_t kPollMs = 10;
constexpr uint32_t kSettleMs = 20;
constexpr int kPageSize = 256;

// Serial-flash commands.
constexpr uint8_t kWriteEnable = 0x06, kWriteDisable = 0x04, kChipErase = 0xC7, kReadStatus = 0x05,
                  kPageProgram = 0x02;
constexpr uint8_t kBusy = 0x01;

// Pins of a direction's transceivers on its I/O expander: the route of the
// SPI master to a channel's flash (port 0) and each channel's chip line.
struct Pins {
    const char* label;       // "RX" / "TX"
    const char* prefix;      // image names
    int spiDevice;
    int bus;
    uint8_t expander;        // 8-bit address
    uint8_t routeMask;
    uint8_t route[2];        // per channel
    uint8_t line[2];         // per channel
};
constexpr Pins kPins[2] = {
    {"RX", "VS100R", SPI_DEV_HDBT_RX_FLASH, 0, 0x48, 0x0C, {0x04, 0x08}, {0x01, 0x02}},
    {"TX", "VS100T", SPI_DEV_HDBT_TX_FLASH, 1, 0x4A, 0xC0, {0x40, 0x80}, {0x20, 0x10}},
};

const Pins& pinsOf(int direction) { return kPins[direction == valense_output ? 1 : 0]; }

struct Version {
    int major = 0, minor = 0, patch = 0;
    bool operator==(const Version&) const = default;
};

std::mutex gVersionMutex;
char current_valens_version[2][2][20] = {{"0", "0"}, {"0", "0"}};

void setLine(const Pins& p, int channel, int port, bool high) {
    PCA9535_update_pins_output(p.line[channel], high ? p.line[channel] : 0, p.bus, p.expander, port);
}

void route(int direction, int channel, bool on) {
    const Pins& p = pinsOf(direction);
    PCA9535_update_pins_output(p.routeMask, on ? p.route[channel] : 0, p.bus, p.expander, 0);
    board::journal("valens.route", "%s CH%d %s", p.label, channel + 1, on ? "on" : "off");
}

// Leading decimal digits of text (0 without any).
int leadingNumber(const char* text) {
    int v = 0;
    for (; *text >= '0' && *text <= '9'; ++text) v = v * 10 + (*text - '0');
    return v;
}

// Three fields of text split at separator, each read as a decimal number;
// false when the text does not have three.
bool threeNumbers(const char* text, char separator, Version& out) {
    char fields[3][20];
    int count = 0;
    if (Splite(text, &count, fields, separator) != 0 || count != 3) return false;
    out = {leadingNumber(fields[0]), leadingNumber(fields[1]), leadingNumber(fields[2])};
    return true;
}

// The running version: the part of the text after its first blank, a.b.c;
// 0.0.0 when the text does not give one.
Version runningVersion(int direction, int channel, bool verbose) {
    const std::string text = valensVersion(direction, channel);
    const size_t blank = text.find(' ');
    const std::string tail = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    Version v;
    if (!threeNumbers(tail.c_str(), '.', v)) v = {};
    if (verbose) {
        PRINT(PRINT_GENERAL, "current_valens_version[%d][%d] = %s\n", direction, channel, text.c_str());
        PRINT(PRINT_GENERAL, "tmpString = %s\n", tail.c_str());
        PRINT(PRINT_GENERAL, "current ver = %d.%d.%d\n", v.major, v.minor, v.patch);
    }
    return v;
}

// The image's version from its name (VS100RX_1_2_3.bin gives 1.2.3);
// 255.255.255 without an image or a versioned name.
Version imageVersion(int direction) {
    Version v{255, 255, 255};
    std::string name;
    if (get_memfile_valens_version_file_name(direction, name) == 0) {
        const size_t underscore = name.find('_');
        Version parsed;
        if (underscore != std::string::npos && threeNumbers(name.c_str() + underscore + 1, '_', parsed)) v = parsed;
    }
    PRINT(PRINT_GENERAL, "memefiles ver = %d.%d.%d\n", v.major, v.minor, v.patch);
    return v;
}

// NoImage: none, or an empty one; the flash was not touched.
enum class Programmed { Done, NoImage, Failed };

bool stillBusy(int status) { return (status & kBusy) != 0; }

// The flash steps of load_file_to_eeprom.
Programmed programFlash() {
    const int device = valence_update_in_operation_mode;
    const int direction = device == kPins[1].spiDevice ? valense_output : valense_input;
    const int channel = valens_update_ch_in_operation;
    std::string name;
    std::string path = kMemDir;
    FILE* image = nullptr;
    if (get_memfile_valens_version_file_name(direction, name) == 0) {
        path += name;
        image = std::fopen(path.c_str(), "rb");
    }
    if (image == nullptr) {
        PRINT(PRINT_GENERAL, "\033[33mfailed to fetch file %s - make sure the file exist\033[0m\n", path.c_str());
        return Programmed::NoImage;
    }
    // An empty image would leave the chip erased and report success.
    struct stat st {};
    if (::fstat(::fileno(image), &st) == 0 && st.st_size == 0) {
        std::fclose(image);
        PRINT(PRINT_GENERAL, "\033[33mthe file %s is empty - nothing is written\033[0m\n", path.c_str());
        board::journal("valens.program", "%s CH%d refused: %s is empty", pinsOf(direction).label, channel + 1,
                       name.c_str());
        return Programmed::NoImage;
    }
    PRINT(PRINT_GENERAL, "got file %s from file system\n", path.c_str());
    board::journal("valens.program", "%s CH%d image=%s", pinsOf(direction).label, channel + 1, name.c_str());

    Programmed result = Programmed::Done;
    const char* why = nullptr;
    io_spi(SPI_SINGLE, device, kWriteEnable);
    io_spi(SPI_SINGLE, device, kChipErase);
    PRINT(PRINT_GENERAL, "erasing chip, please wait...\n");
    if (stillBusy(wait_eeprom_sycle(kValensEraseWaitMs))) {
        result = Programmed::Failed;
        why = "the erase never ended";
    } else {
        PRINT(PRINT_GENERAL, "reseting valens pre programing\n");
        reset_valens(direction, channel);
        Sleep(kSettleMs);
    }
    uint8_t page[kPageSize];
    for (uint32_t offset = 0; result == Programmed::Done;) {
        const size_t n = std::fread(page, 1, sizeof page, image);
        if (n == 0) {
            // The end of the file, unless the read failed.
            if (std::ferror(image)) {
                result = Programmed::Failed;
                why = "the image could not be read";
            }
            break;
        }
        io_spi(SPI_SINGLE, device, kWriteEnable);
        if (stillBusy(wait_eeprom_sycle())) {
            result = Programmed::Failed;
            why = "the flash stayed busy";
            break;
        }
        io_spi(SPI_CONTINUE, device, kPageProgram);
        io_spi(SPI_CONTINUE, device, static_cast<uint8_t>(offset >> 16));
        io_spi(SPI_CONTINUE, device, static_cast<uint8_t>(offset >> 8));
        io_spi(SPI_CONTINUE, device, static_cast<uint8_t>(offset));
        for (size_t i = 0; i + 1 < n; ++i) io_spi(SPI_CONTINUE, device, page[i]);
        io_spi(SPI_END, device, page[n - 1]);
        if (stillBusy(wait_eeprom_sycle())) {
            result = Programmed::Failed;
            why = "the flash stayed busy";
            break;
        }
        offset += static_cast<uint32_t>(n);
    }
    std::fclose(image);
    if (result == Programmed::Failed) {
        PRINT(PRINT_GENERAL, "\033[31mprogramming %s: %s\033[0m\n", path.c_str(), why);
        board::journal("valens.program", "%s CH%d failed: %s", pinsOf(direction).label, channel + 1, why);
        return result;
    }
    PRINT(PRINT_GENERAL, "UPLOAD DONE\n");
    return result;
}

}  // namespace

std::string valensVersion(int direction, int channel) {
    std::lock_guard lock(gVersionMutex);
    return current_valens_version[direction & 1][channel & 1];
}

void setValensVersion(int direction, int channel, const std::string& text) {
    std::lock_guard lock(gVersionMutex);
    std::snprintf(current_valens_version[direction & 1][channel & 1], sizeof current_valens_version[0][0], "%s", text.c_str());
}

int Splite(const char* text, int* count, char fields[][20], char separator) {
    if (text == nullptr || *text == '\0' || std::strchr(text, separator) == nullptr) return -1;
    const int n = 1 + static_cast<int>(std::count(text, text + std::strlen(text), separator));
    if (n > 3) return -1;
    for (int i = 0; i < n; ++i) {
        const char* end = std::strchr(text, separator);
        const size_t len = end ? static_cast<size_t>(end - text) : std::strlen(text);
        std::snprintf(fields[i], 20, "%.*s", static_cast<int>(std::min<size_t>(len, 19)), text);
        text = end ? end + 1 : text + len;
    }
    *count = n;
    return 0;
}

int get_memfile_valens_version_file_name(int direction, std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kMemDir, ec)) {
        std::error_code typeEc;
        if (!e.is_regular_file(typeEc)) continue;
        const std::string n = e.path().filename().string();
        if (n.rfind(pinsOf(direction).prefix, 0) != 0) continue;
        if (n.size() >= 4 && n.compare(n.size() - 4, 4, ".old") == 0) continue;
        names.push_back(n);
    }
    if (names.empty()) return -1;
    // Name order, so that the choice does not depend on the folder's layout:
    // a plain name, which forces an update, comes before a versioned one.
    name = *std::min_element(names.begin(), names.end());
    return 0;
}

int compare_valens_version_info(int direction, int channel) {
    const Version running = runningVersion(direction, channel, true);
    const Version image = imageVersion(direction);
    const int same = running.major != 0 && running == image ? 1 : 0;
    board::journal("valens.compare", "%s CH%d running=%d.%d.%d image=%d.%d.%d same=%d", pinsOf(direction).label,
                   channel + 1, running.major, running.minor, running.patch, image.major, image.minor, image.patch,
                   same);
    return same;
}

void load_valens_version_info() {
    for (int node : {51511, 51521, 51531, 51541}) runFuncInd(funcNum2TblInx(node));
    PRINT(PRINT_GENERAL, "current_valens_version[valense_input][CH1] = %s\n", valensVersion(valense_input, 0).c_str());
    PRINT(PRINT_GENERAL, "current_valens_version[valense_input][CH2] = %s\n", valensVersion(valense_input, 1).c_str());
    PRINT(PRINT_GENERAL, "current_valens_version[valense_output][CH1] = %s\n", valensVersion(valense_output, 0).c_str());
    PRINT(PRINT_GENERAL, "current_valens_version[valense_output][CH2] = %s\n", valensVersion(valense_output, 1).c_str());
}

int wait_eeprom_sycle(uint32_t limitMs) {
    const int device = valence_update_in_operation_mode;
    for (uint32_t waited = 0;; waited += kPollMs) {
        io_spi(SPI_CONTINUE, device, kReadStatus);
        const int status = io_spi(SPI_STATUS_END, device, 0xFF);
        if (!stillBusy(status) || waited >= limitMs) return status;
        WDT_Clear();
        Sleep(kPollMs);
    }
}

int load_file_to_eeprom() { return programFlash() == Programmed::Done ? 0 : -1; }

int update_valens(int direction, int channel) {
    const Pins& p = pinsOf(direction);
    int idle = 0;
    if (!valence_update_in_operation_mode.compare_exchange_strong(idle, p.spiDevice)) {
        PRINT(PRINT_GENERAL, "update operation already in motion. please wait and try again later...\n");
        return -1;
    }
    valens_update_ch_in_operation = channel;
    board::journal("valens.update", "%s CH%d start", p.label, channel + 1);
    route(direction, channel, true);
    const Programmed r = programFlash();
    if (r != Programmed::NoImage) io_spi(SPI_SINGLE, p.spiDevice, kWriteDisable);
    // The route is released on every path, so that the transceiver can run.
    route(direction, channel, false);
    if (r == Programmed::Done) {
        PRINT(PRINT_GENERAL, "write ended successfully\n");
        PRINT(PRINT_GENERAL, "reseting valens post programing\n");
    }
    if (r != Programmed::NoImage) {
        reset_valens(direction, channel);
        Sleep(kSettleMs);
    }
    valence_update_in_operation_mode = 0;
    board::journal("valens.update", "%s CH%d %s", p.label, channel + 1, r == Programmed::Done ? "done" : "failed");
    return r == Programmed::Done ? 0 : -1;
}

int rename_valens_files(int direction, int plain) {
    const Pins& p = pinsOf(direction);
    char wanted[40];
    if (plain) {
        std::snprintf(wanted, sizeof wanted, "%sX.bin", p.prefix);
    } else {
        // The name comes from a transceiver that reports a version: CH1, or
        // CH2 when CH1 does not; neither leaves the name as it is.
        Version v = runningVersion(direction, 0, false);
        if (v.major == 0) v = runningVersion(direction, 1, false);
        if (v.major == 0) {
            PRINT(PRINT_GENERAL, "rename_valens_files: no %s transceiver reports a version\n", p.label);
            return -1;
        }
        std::snprintf(wanted, sizeof wanted, "%sX_%d_%d_%d.bin", p.prefix, v.major, v.minor, v.patch);
    }
    std::string current;
    if (get_memfile_valens_version_file_name(direction, current) != 0) {
        PRINT(PRINT_GENERAL, "rename_valens_files: no %s image\n", p.label);
        return -1;
    }
    PRINT(PRINT_GENERAL, "change from %s to %s\n", current.c_str(), wanted);
    if (current == wanted) return 0;
    const std::string line = std::string("mv ") + kMemDir + current + " " + kMemDir + wanted;
    return MyDoSystem(line.c_str());
}

namespace {

// One change of a chip line: the expander port, the level, the wait after.
struct LineStep {
    int port;
    bool high;
    uint32_t waitMs;
};
// A reset pulses the line (the transmitters' port 1 first); a hold leaves
// it low until the next reset.
constexpr LineStep kResetTx[] = {{1, false, 100}, {1, true, 200}, {0, false, 100}, {0, true, 0}};
constexpr LineStep kResetRx[] = {{0, false, 100}, {0, true, 0}};
constexpr LineStep kShutTx[] = {{1, false, 200}, {0, false, 0}};
constexpr LineStep kShutRx[] = {{0, false, 0}};

void driveLines(const char* what, int direction, int channel, std::span<const LineStep> tx,
                std::span<const LineStep> rx) {
    const Pins& p = pinsOf(direction);
    const std::span<const LineStep> steps = direction == valense_output ? tx : rx;
    channel &= 1;
    PRINT(PRINT_GENERAL, "%s valence %s CH%d\n", what, p.label, channel + 1);
    board::journal(what[0] == 'r' ? "valens.reset" : "valens.shut", "%s CH%d", p.label, channel + 1);
    for (const LineStep& s : steps) {
        setLine(p, channel, s.port, s.high);
        if (s.waitMs) Sleep(s.waitMs);
    }
}

}  // namespace

void reset_valens(int direction, int channel) {
    driveLines("reset", direction, channel, kResetTx, kResetRx);
}

void shut_valens(int direction, int channel) {
    driveLines("shut", direction, channel, kShutTx, kShutRx);
}

void shut_all_valens() {
    shut_valens(valense_input, 0);
    shut_valens(valense_output, 0);
    shut_valens(valense_input, 1);
    shut_valens(valense_output, 1);
}

int valens_init() {
    if (valens_init_done_check.exchange(1)) return -1;
    const int row = pthread_get_cb();
    const uint32_t saved = WDT_getTimeout(row);
    WDT_setTimeout(row, static_cast<int>(kLongJobTimeoutMs));

    load_valens_version_info();
    PRINT(PRINT_GENERAL, "valens %s CH[%d] - init start \n", "RX", 1);
    bool attempted = false, updated = false;
    for (int direction : {valense_input, valense_output}) {
        for (int channel : {0, 1}) {
            const char* label = pinsOf(direction).label;
            if (compare_valens_version_info(direction, channel) == 1) {
                PRINT(PRINT_GENERAL, "valens %s CH%d is already up to date\n", label, channel + 1);
                continue;
            }
            putFrameOsd("Memfile Upgrade In Progress...", "Do Not Turn Off The Device", -1, kOsdFrameWarning);
            attempted = true;
            PRINT(PRINT_GENERAL, "\033[31mvalens %s CH%d is NOT up to date - updating now\n\033[0m\n", label,
                  channel + 1);
            if (update_valens(direction, channel) == -1) {
                PRINT(PRINT_GENERAL, "\033[31mFAILED to update valns\n\033[0m");
            } else {
                PRINT(PRINT_GENERAL, "UPDATE SUCCEDED\n");
                updated = true;
            }
        }
    }
    if (updated) {
        load_valens_version_info();
        rename_valens_files(valense_input, 0);
        rename_valens_files(valense_output, 0);
        SI9136_init_all();
        // Keys pressed during the update are dropped.
        _EXMSG m;
        while (get_message_q(E_EXMSG_TYPE_KEYPAD, &m) >= 0) {
        }
        putFrameOsd("Configuring Upgrades...", "", -1, kOsdFrameWarning);
        Sleep(1000);
    }
    // The notice goes also when every update failed.
    if (attempted) removeOsdString();
    board::journal("valens.init", "attempted=%d updated=%d", attempted ? 1 : 0, updated ? 1 : 0);
    WDT_setTimeout(row, static_cast<int>(saved));
    return 0;
}
