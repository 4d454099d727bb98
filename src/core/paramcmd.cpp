#include "core/paramcmd.h"

#include "core/core_state.h"
#include "core/functable.h"
#include "core/get_param.h"
#include "core/pm.h"
#include "core/switching.h"
#include "menu/complex_osd.h"
#include "menu/menu_engine.h"
#include "menu/pages_network.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr int kKeyFunctionBase = 920;
constexpr int kOutput4K = 42;

// Gets of the protocol key functions: the state the key toggles.
struct KeyGet {
    int node;
    int32_t (*get)();
};
const KeyGet kKeyGets[] = {
    {927, [] { return int32_t{fpanel_lockstat.load()}; }},
    {930, [] { return int32_t{mode_stat.load()}; }},
    {931, [] { return int32_t{PM.BLANK[1]}; }},
    {932, [] { return int32_t{PM.FREEZE[1]}; }},
    {933, [] { return int32_t{PM.BLANK[0]}; }},
    {934, [] { return int32_t{PM.FREEZE[0]}; }},
    {953, [] { return int32_t{1 - gPowerSave.load()}; }},
};

// Rows whose value is a copy of a record kept elsewhere: the copy is loaded
// before the protocol reads or steps it.
struct RowSource {
    int node;
    void (*load)();
};
const RowSource kRowSources[] = {
    {5511, loadNetworkDHCPMode},
};

void loadRowSource(int node) {
    for (const RowSource& s : kRowSources)
        if (s.node == node) s.load();
}

// The thread works on the channel of a channel-page node for the time of a
// command; every path restores it.
class ChannelScope {
public:
    explicit ChannelScope(int node) : saved_(Channel) {
        int digit = nodeLeadingDigit(node);
        if (digit == 3) Channel = 0;
        else if (digit == 4) Channel = 1;
    }
    ~ChannelScope() { Channel = saved_; }
    ChannelScope(const ChannelScope&) = delete;
    ChannelScope& operator=(const ChannelScope&) = delete;

private:
    int saved_;
};

void postKey(int queue, int key) {
    if (post_program_key(queue, static_cast<uint16_t>(key)) != 0) PRINT(PRINT_GENERAL, "parseVidCmd: key %d not posted on queue %d\n", key, queue);
}

bool parseInt(std::string_view s, int64_t& out) {
    if (s.empty() || s.size() > 20) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    std::string text(s);
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    // Values beyond 32 bits clamp to the 32-bit range, as on the device.
    out = std::clamp<long long>(v, INT32_MIN, INT32_MAX);
    return true;
}

bool parseFloat(std::string_view s, float& out) {
    if (s.empty() || s.size() > 40) return false;
    std::string text(s);
    char* end = nullptr;
    out = std::strtof(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

// Up to max comma fields of params; false when there are more or one is empty.
bool splitFields(const char* params, std::string_view* fields, int max, int& n) {
    n = 0;
    const char* cur = params;
    while (cur != nullptr) {
        const char* next = nullptr;
        int len = get_param(&cur, &next);
        if (len == 0) {
            if (next == nullptr && *cur == '\0') break;  // end of the text, or a trailing comma
            return false;                                // an empty field
        }
        if (n == max) return false;
        fields[n++] = std::string_view(cur, static_cast<size_t>(len));
        cur = next;
    }
    return true;
}

// The sync-off requests do not wake the output they put to sleep: their
// action wakes it when the request is cleared.
constexpr int kSyncOffNodes[] = {3832, 4832};
bool wakesOutput(int node) { return std::ranges::find(kSyncOffNodes, node) == std::end(kSyncOffNodes); }

bool isValueType(uint32_t type) { return type <= FT_FLOAT_CH || (type >= 3 && type <= FT_PAGE); }

// The restriction rules of a set that read PM; true when refused. Called
// with PM_mutex held.
bool refusedByPm(int node, int row, int32_t value) {
    if ((node >= 511 && node <= 514) || (node >= 51500 && node <= 51599)) return true;
    if (node == 534 || node == 535) {
        uint8_t otherKeying = node == 534 ? PM.LUMA_KEYING : PM.CHROMA_KEYING;
        if (otherKeying != 0 || PM.DISPLAY_MODE == 0 || PM.DWINDOW == 0 || PM.DWINDOW == 4) return true;
    }
    if (node == 55312 || node == 55322 || node == 55332 || node == 55342) {
        uint8_t d1 = PM.USER1_DESTINATION, d2 = PM.USER2_DESTINATION;
        if (value != 6 && (d1 == 6 || d2 == 6 || d1 == value || d2 == value)) return true;
    }
    // 541 and 542 (the upgrade entries) pass.
    return isParamRestricted(row, value) != 0;
}

// The OSD position must keep the menu inside the output; asked without
// PM_mutex (the test reads the output format).
bool refusedOsdPosition(int node, int32_t value) {
    return (node == 521 || node == 522) && delimitOsdPos(node == 521, 1, value) == 255;
}

int getRow(int node, int row, float* f, int32_t* i, const char** text) {
    const FuncRow& r = funcDataTbl[row];
    if (r.type == FT_KEY) {
        for (const KeyGet& k : kKeyGets)
            if (k.node == node) {
                MutexLock lock(PM_mutex);
                *i = k.get();
                return YST_INT;
            }
        return YERR_NO_VALUE;
    }
    // Rows of call mode 8 hold a value their action measures for the get.
    if (r.type == FT_TEXT || r.callMode == 8) runFuncInd(row);
    if (r.type == FT_TEXT) {
        *text = static_cast<const char*>(r.value);
        return YST_TEXT;
    }
    if (r.type <= FT_FLOAT_CH) return getFloatParam(row, f) == 7 ? YST_FLOAT : YERR_NO_VALUE;
    if (r.type >= 3 && r.type <= 14) return getIntParam(row, i) == 6 ? YST_INT : YERR_NO_VALUE;
    return YERR_NO_VALUE;
}

int64_t clampInt(int row, int64_t v) {
    const FuncRow& r = funcDataTbl[row];
    return r.max.i >= r.min.i ? std::clamp<int64_t>(v, r.min.i, r.max.i) : v;
}

float clampFloat(int row, float v) {
    const FuncRow& r = funcDataTbl[row];
    return r.max.f >= r.min.f ? std::clamp(v, r.min.f, r.max.f) : v;
}

// A set of one node with the value text (already checked: the row exists
// and is enabled; Channel is the node's). A row without a value (a text or
// a node that only acts) runs its action and has nothing to report.
int setRow(int node, int row, std::string_view valueText) {
    const FuncRow& r = funcDataTbl[row];
    if (r.type != FT_TEXT && !isValueType(r.type)) return YERR_NO_VALUE;
    void* p = r.type == FT_TEXT ? nullptr : funcValuePtr(row, Channel);
    bool isFloat = r.type <= FT_FLOAT_CH;
    bool relative = valueText == "+" || valueText == "-";
    int64_t iv = 0;
    float fv = 0;
    if (p != nullptr && !relative && !(isFloat ? parseFloat(valueText, fv) : parseInt(valueText, iv)))
        return YERR_SYNTAX;
    {
        MutexLock lock(PM_mutex);
        if (p != nullptr) {
            int sign = valueText == "-" ? -1 : 1;
            if (relative && isFloat) {
                float cur;
                std::memcpy(&cur, p, sizeof cur);
                fv = cur + static_cast<float>(sign) * r.step.f;
            } else if (relative) {
                iv = int64_t{funcIntAt(row, Channel)} + sign * int64_t{r.step.i};
            }
            // Values outside the bounds are stored at the nearest bound.
            if (isFloat) fv = clampFloat(row, fv);
            else iv = clampInt(row, iv);
        }
        if (refusedByPm(node, row, isFloat ? static_cast<int32_t>(fv) : static_cast<int32_t>(iv))) return YERR_REFUSED;
    }
    if (refusedOsdPosition(node, static_cast<int32_t>(iv))) return YERR_REFUSED;
    if (p != nullptr) {
        MutexLock lock(PM_mutex);
        if (isFloat) {
            std::memcpy(p, &fv, sizeof fv);
        } else {
            funcSetIntAt(row, Channel, static_cast<int32_t>(iv));
        }
    }
    // The channel's tuned key wakes an output that sleeps in sync-off, once
    // the value is in place.
    if (wakesOutput(node)) postKey(E_EXMSG_TYPE_KEYPAD, Channel == 1 ? KEY_CH2_TUNED : KEY_CH1_TUNED);
    if (!menuIsOpen()) {
        runFuncInd(row);
    } else {
        breakOutComplexOsd(BREAKOUT_PROTOCOL);  // a browser waiting for keys gives way and the menu closes
        stLoopNode(node);
    }
    return p != nullptr ? YST_SET : YST_NOTHING;
}

// The node's row; 0 when it can be used, else the error number. The table's
// own enable byte only makes a row selectable in the menu (some rows exist
// for the protocol alone); a row that OSD.conf disabled is refused here too.
int rowOf(int node, int& row) {
    row = funcNum2TblInx(node);
    if (row == 0) return YERR_NO_FUNCTION;
    return funcDataTbl[row].confOff ? YERR_DISABLED : 0;
}

// Sets one node to a value text on the path of the "Y" set.
int setNode(int node, std::string_view valueText) {
    int row = 0;
    if (int err = rowOf(node, row)) return err;
    ChannelScope scope(node);
    return setRow(node, row, valueText);
}

int parseVidCmdFields(const char* params, float* f, int32_t* i, const char** text) {
    std::string_view fields[3];
    int n = 0;
    if (params == nullptr || !splitFields(params, fields, 3, n) || n < 2) return YERR_SYNTAX;
    if (fields[0] != "0" && fields[0] != "1") return YERR_SYNTAX;
    bool isGet = fields[0] == "1";
    int64_t number = 0;
    if (fields[1][0] == '-' || fields[1][0] == '+' || !parseInt(fields[1], number)) return YERR_SYNTAX;
    int node = static_cast<int>(number), row = 0;
    if (int err = rowOf(node, row)) return err;

    ChannelScope scope(node);
    loadRowSource(node);
    if (isGet) {
        if (n != 2) return YERR_SYNTAX;
        return getRow(node, row, f, i, text);
    }
    if (funcDataTbl[row].type == FT_KEY) {
        // The key reaches the main task through the front-panel thread.
        postKey(E_EXMSG_TYPE_FPANEL, node - kKeyFunctionBase);
        return YST_KEY;
    }
    if (n != 3) return YERR_SYNTAX;
    return setRow(node, row, fields[2]);
}

}  // namespace

int nodeLeadingDigit(int node) {
    if (node < 11) return node;
    while (node >= 10) node /= 10;
    return node;
}

int isParamRestricted(int row, int32_t value) {
    if (row <= 0 || row >= funcTableSize()) return 0;
    int node = static_cast<int>(funcDataTbl[row].node);
    if (nodeLeadingDigit(node) != 4 || node == 4823) return 0;
    int ch = Channel == 1 ? 1 : 0;
    if (PM.OUTPUT_RES_SEL[ch] != kOutput4K) return 0;
    uint32_t type = funcDataTbl[row].type;
    if (type >= 3 && type <= FT_PAGE && funcDataTbl[row].value != nullptr && funcIntAt(row, Channel) == value) return 0;
    return -1;
}

int parseVidCmd(const char* params, float* f, int32_t* i, const char** text) {
    int status = parseVidCmdFields(params, f, i, text);
    std::string shown(params ? params : "");
    if (shown.size() > 80) shown.resize(80);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    board::journal("parseVidCmd", "params=\"%s\" status=%d", shown.c_str(), status);
    return status;
}

int unParseVidCmd(std::string& out, int function) {
    if (funcNum2TblInx(function) == 0) return -1;
    out = " 1," + std::to_string(function);
    return 0;
}

int parseOwinVidCmd(const char* params) {
    std::string_view fields[5];
    int n = 0;
    if (params == nullptr || !splitFields(params, fields, 5, n) || n != 5) return YERR_SYNTAX;
    if (fields[0] != "0" && fields[0] != "1") return YERR_SYNTAX;
    int base = fields[0] == "0" ? 330 : 430;
    for (int k = 1; k <= 4; ++k) {
        int st = setNode(base + k, fields[k]);
        if (st != YST_SET) return st;
    }
    return 0;
}

int parseVidInpCmd(const char* params) {
    std::string_view fields[2];
    int n = 0;
    if (params == nullptr || !splitFields(params, fields, 2, n) || n != 2) return YERR_SYNTAX;
    if (fields[0].size() != 1 || fields[0][0] < '0' || fields[0][0] > '7') return YERR_SYNTAX;
    int st = setNode(100 + 10 * (fields[0][0] - '0' + 1) + 1, fields[1]);
    return st == YST_SET ? 0 : st;
}

int parseCmdWinCustStr(const char* params) {
    if (params == nullptr) return YERR_SYNTAX;
    const char* cur = params;
    const char* next = nullptr;
    int len = get_param(&cur, &next);
    std::string_view first(cur, static_cast<size_t>(len));
    return first == "0" || first == "1" ? 0 : YERR_SYNTAX;
}
