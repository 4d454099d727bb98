// Power, panel lock, clock and time zone, notification routing and the
// diagnostic words of the older engine.
#include "commands/network_param.h"
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "commands/p7k_thread.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "platform/board.h"
#include "platform/hw.h"
#include "platform/journal.h"
#include "scaler/scaler.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/mydosystem.h"
#include "sys/print.h"
#include "sys/rtc.h"
#include "sys/timers.h"
#include "sys/timeutil.h"
#include "video/frontend.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// The board's clock in local time, as "format" prints it.
std::string localNow(const char* format) {
    const std::time_t now = board::clock::now();
    std::tm t{};
    localtime_r(&now, &t);
    char text[64];
    std::strftime(text, sizeof text, format, &t);
    return text;
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int monthDays(int month0, int year) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month0 == 1 && leapYear(year) ? 29 : kDays[month0];
}

// "<hours>[.<minutes>]" as typed: hours east of UTC, minutes the decimal
// fraction taken exactly (".3" is 30, ".45" is 45, further digits dropped).
struct Offset {
    bool negative = false;
    int hours = 0;
    int minutes = 0;
};

// Hours past kHoursBound stay there: the range check refuses them.
constexpr int kHoursBound = 100;

bool parseOffset(std::string_view f, Offset& out) {
    size_t i = 0;
    if (i < f.size() && (f[i] == '-' || f[i] == '+')) out.negative = f[i++] == '-';
    const size_t digits = i;
    for (; i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])); ++i)
        out.hours = std::min(kHoursBound, out.hours * 10 + (f[i] - '0'));
    if (i == digits) return false;
    if (i == f.size()) return true;
    if (f[i++] != '.') return false;
    for (size_t k = 0; i < f.size(); ++i, ++k) {
        if (!std::isdigit(static_cast<unsigned char>(f[i]))) return false;
        if (k == 0) out.minutes = (f[i] - '0') * 10;
        else if (k == 1) out.minutes += f[i] - '0';
    }
    return true;
}

void postPowerKey() { post_program_key(E_EXMSG_TYPE_KEYPAD, KEY_POWER); }

constexpr int kIdFactory = 46;
constexpr int kIdDumpAll = 39;
constexpr int kNodeFactoryReset = 561;
constexpr int kNodeRestart = 5621;
constexpr uint32_t kMenuActionDelayMs = 2000;

}  // namespace

void p7kPower(COMM_TYPE port, int id, const char* params) {
    const int on = p7kOnOff(params);
    if (on < 0) {
        protocol_out_error(port, id, params, on == -3 ? P7K_ERR_RANGE : P7K_ERR_SYNTAX);
        return;
    }
    const int powerSave = 1 - on;
    PRINT(PRINT_GENERAL, "set_power(), powerSave=%d\r\n", powerSave);
    protocol_out_success(port, id, params);
    if (powerSave == gPowerSave) return;
    // Set before the key goes: the main task announces the change at once.
    gFeedBackOnPowerCmd = 1;
    postPowerKey();
}

void p7kGetPower(COMM_TYPE port, int, const char*) {
    p7kSend(port, getPreAnswer() + "POWER " + std::to_string(1 - gPowerSave) + "\r\n");
}

void p7kLockPanel(COMM_TYPE port, int id, const char* params) {
    const int on = p7kOnOff(params);
    if (on < 0) {
        protocol_out_error(port, id, params, on == -3 ? P7K_ERR_RANGE : P7K_ERR_SYNTAX);
        return;
    }
    fpanel_lockstat = 1 - on;
    keypad_lock_fp();  // switches it to the wanted state, with its LED
    protocol_out_success(port, id, params);
}

void p7kGetLockPanel(COMM_TYPE port, int, const char*) {
    p7kSend(port, getPreAnswer() + "LOCK-FP " + std::to_string(fpanel_lockstat.load()) + "\r\n");
}

void p7kSetTime(COMM_TYPE port, int id, const char* params) {
    std::string text(params ? params : "");
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    const size_t colon = text.rfind(':');
    const std::string head = text.substr(0, colon);
    std::tm t{};
    long long seconds = 0;
    const char* end = colon == std::string::npos ? nullptr : strptime(head.c_str(), "%a,%d-%m-%Y,%H:%M", &t);
    if (end == nullptr || *end != '\0' || !p7kDecimal(std::string_view(text).substr(colon + 1), seconds) ||
        seconds < 0) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const int maxDays = monthDays(t.tm_mon, t.tm_year + 1900);
    if (seconds >= 60 || t.tm_mday > maxDays) {
        if (t.tm_mday > maxDays) PRINT(PRINT_GENERAL, "ERR, max %d days\n", maxDays);
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    t.tm_sec = static_cast<int>(seconds);
    if (SetRTC(&t) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_RTC);
        return;
    }
    t.tm_isdst = -1;
    if (board::clock::set(std::mktime(&t)) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_RTC);
        return;
    }
    PRINT(PRINT_GENERAL, " Set System Time (%04d-%02d-%02d %02d:%02d:%02d)\n", t.tm_year + 1900, t.tm_mon + 1,
          t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    protocol_out_success(port, id, params);
}

void p7kGetTime(COMM_TYPE port, int, const char*) {
    p7kSend(port, getPreAnswer() + "TIME " + localNow("%a,%d-%m-%Y,%H:%M:%S") + "\r\n");
}

void p7kSetTimeZone(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    Offset off;
    long long dst = 0;
    if (f.size() != 2 || !parseOffset(f[0], off) || !p7kDecimal(f[1], dst)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const int amount = off.hours * 100 + off.minutes;
    if (off.minutes >= 60 || amount > (off.negative ? 1345 : 1245) || dst < 0 || dst > 1) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    {
        MutexLock lock(PM_mutex);
        PM.TIME_ZONE = static_cast<int8_t>(off.negative ? off.hours : -off.hours);
        PM.DAYLIGHT_SAVING = static_cast<uint8_t>(dst);
    }
    markBothChannelsDirty();
    DefaultEepromEthParam rec;
    rec.eepromRead();
    rec.SetFporceFlag(0);
    rec.SaveLinuxNetworkParam();
    // POSIX counts west of UTC: an offset east is written with '-'.
    char tz[32];
    std::snprintf(tz, sizeof tz, "UTC%c%02d:%02d", off.negative || amount == 0 ? '+' : '-', off.hours, off.minutes);
    ::setenv("TZ", tz, 1);
    ::tzset();
    board::journal("timezone", "TZ=%s", tz);
    MyDoSystem("printenv");
    MyDoSystem("date");
    protocol_out_success(port, id, params);
}

void p7kGetTimeZone(COMM_TYPE port, int id, const char* params) {
    if (!p7kFields(params).empty()) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const std::time_t now = board::clock::now();
    std::tm t{};
    localtime_r(&now, &t);
    p7kSend(port, getPreAnswer() + "TIME-LOC " + localNow("%k.%M") + "," + std::to_string(t.tm_isdst > 0 ? 1 : 0) +
                      "\r\n");
}

void p7kSetVerbose(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    if (f.size() != 1) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (f[0] != "0" && f[0] != "1") {
        PRINT(PRINT_GENERAL, "fail on wrong param value\n");
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    const uint8_t verbose = f[0] == "1" ? 1 : 0;
    DefaultEepromEthParam rec;
    rec.eepromRead();
    rec.SetVerboseMode(verbose);
    if (rec.eepromWrite() != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    gVerboseMode = verbose;
    protocol_out_success(port, id, params);
}

void p7kGetVerbose(COMM_TYPE port, int id, const char* params) {
    if (!p7kFields(params).empty()) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    DefaultEepromEthParam rec;
    rec.eepromRead();
    gVerboseMode = static_cast<uint8_t>(rec.GetVerboseMode());
    p7kSend(port, getPreAnswer() + "VERBOSE " + std::to_string(gVerboseMode.load()) + "\r\n");
}

void p7kDebug(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    long long selector = 0;
    unsigned long long mask = 0;
    if (f.empty() || !p7kDecimal(f[0], selector)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
    } else if (selector == 0) {
        if (f.size() != 2 || f[1].size() > 4 || !p7kHex(f[1], mask)) {
            protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
            return;
        }
        set_debug_level(static_cast<uint16_t>(mask), 0);
        protocol_out_success(port, id, params);
    } else if (selector == 1) {
        if (f.size() != 1) {
            protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
            return;
        }
        char text[16];
        std::snprintf(text, sizeof text, "DEBUG %04X\r\n", static_cast<unsigned>(g_print_verbose_lvl.load()));
        p7kSend(port, getPreAnswer() + text);
    } else {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
    }
}

void p7kDump(COMM_TYPE port, int id, const char* params) {
    if (id == kIdDumpAll) dumpRegisters(0, 17, true);
    else dumpRegisters(0, 39, false);
    protocol_out_success(port, id, params);
}

void p7kDelayedMenuAction(COMM_TYPE port, int id, const char* params) {
    protocol_out_success(port, id, params);
    const int node = id == kIdFactory ? kNodeFactoryReset : kNodeRestart;
    const int row = funcNum2TblInx(node);
    board::journal("p7k.delayed", "node=%d row=%d", node, row);
    osdDelayTimerSet(kMenuActionDelayMs, 0, row);
}

void p7kSystem(COMM_TYPE port, int id, const char* params) {
    const char* line = params ? params : "";
    while (*line == ' ' || *line == '\t') ++line;
    PRINT(PRINT_GENERAL, " System command: %s\n", line);
    // A program the board cannot run is not reported as done.
    if (MyDoSystem(line) < 0) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kReleaseSerial(COMM_TYPE, int, const char*) {
    MyDoSystem("stty -F /dev/ttyS0 sane");
    NorvaCommands::remove_SListener();
}

void p7kUserQuery(COMM_TYPE port, int id, const char* params) {
    std::string text(params ? params : "");
    PRINT(PRINT_GENERAL, " User command: %s\n", text.c_str());
    get_info_panas(text.data());
    protocol_out_success(port, id, params);
}

void phy_reset_hw() {
    constexpr auto code = [](unsigned offset) { return (0x17u << 16) | (offset << 8) | 1u; };
    board::journal("phy_reset_hw", "bank 0x17");
    write_C812(code(0x25), 0xF7, 0, 0);
    write_C812(code(0x10), 8, 0, 0);
    write_C812(code(0x17), 0, 0, 0);
    delayMilli(10);
    write_C812(code(0x17), 8, 0, 0);
    write_C812(code(0x25), 0xFF, 0, 0);
}

void p7kPhyReset(COMM_TYPE, int, const char*) { phy_reset_hw(); }
