// The settings of the tunnel and of the two user ports, and the user
// messages.
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/get_param.h"
#include "core/pm.h"
#include "core/usrmsg.h"
#include "menu/menu_engine.h"
#include "protocol/parser.h"
#include "protocol/port_tunneling.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/print.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

const char* const destination_string_const[8] = {"PT", "DATA", "IN1", "IN2", "OUT1", "OUT2", "ALL", "NONE"};

std::string upper(std::string s) {
    Protocol7700::to_upper(s);
    return s;
}

// The indexes PM stores for a serial line: baud, data bits - 5, parity,
// stop bits - 1; false when a value is not one the line can take.
bool lineIndexes(const std::string* f, uint8_t out[4]) {
    long long baud = 0, bits = 0, stop = 0;
    const auto b = std::find(std::begin(baudrates), std::end(baudrates), p7kDecimal(f[0], baud) ? baud : -1);
    const auto p = std::find_if(std::begin(parity_string_const), std::end(parity_string_const),
                                [&](const char* w) { return upper(f[2]) == w; });
    if (b == std::end(baudrates) || !p7kDecimal(f[1], bits) || bits < 5 || bits > 8 ||
        p == std::end(parity_string_const) || !p7kDecimal(f[3], stop) || stop < 1 || stop > 2)
        return false;
    out[0] = static_cast<uint8_t>(b - std::begin(baudrates));
    out[1] = static_cast<uint8_t>(bits - 5);
    out[2] = static_cast<uint8_t>((p - std::begin(parity_string_const)) % 5);
    out[3] = static_cast<uint8_t>(stop - 1);
    return true;
}

bool transportWord(const std::string& f) { return upper(f) == "UART" || upper(f) == "ETH"; }

// The text of "[<text>]" at the end of a user-message line, exactly length
// bytes between the brackets; an empty answer is fine, else the diagnostic.
const char* bracketText(const char* rest, long long length, std::string& text) {
    if (length < 0 || length > kUserMessageMax) return "number of bytes param error";
    while (*rest == ' ' || *rest == '\t') ++rest;
    if (*rest != '[') return "wrong format message error";
    const size_t available = std::strlen(rest + 1);
    if (available < static_cast<size_t>(length) + 1 || rest[1 + length] != ']') return "wrong size message error";
    text.assign(rest + 1, static_cast<size_t>(length));
    for (const char* p = rest + 2 + length; *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return "To many params error";
    return nullptr;
}

// "<USRn>,<word>...": the leading comma fields of a user-message line, and
// where the text behind them starts.
const char* leadingFields(const char* params, std::string* out, int count) {
    const char* cur = params ? params : "";
    for (int i = 0; i < count; ++i) {
        const char* next = nullptr;
        const int len = get_param(&cur, &next);
        out[i].assign(cur, static_cast<size_t>(len));
        if (next == nullptr) return i + 1 == count ? cur + len : nullptr;
        cur = next;
    }
    return cur;
}

void refusedUserMessage(COMM_TYPE port, int id, const char* params, const char* why) {
    PRINT(PRINT_GENERAL, "%s\n", why);
    protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
}

}  // namespace

void p7kSetUart(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    uint8_t idx[4];
    if (f.size() != 4) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (!lineIndexes(f.data(), idx)) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    {
        MutexLock lock(PM_mutex);
        PM.PORT_TUNNELING_BAUD = idx[0];
        PM.PORT_TUNNELING_DATA_BITS = idx[1];
        PM.PORT_TUNNELING_PARITY = idx[2];
        PM.PORT_TUNNELING_STOP_BITS = idx[3];
    }
    markBothChannelsDirty();
    protocol_out_success(port, id, params);
}

void p7kGetUart(COMM_TYPE port, int, const char*) {
    const TunnelLine line = tunnelLine();
    p7kSend(port, getPreAnswer() + "UART " + std::to_string(baudrates[line.baudIndex]) + "," +
                      std::to_string(line.dataBits) + "," + parity_string_const[line.parity] + "," +
                      std::to_string(line.stopBits) + "\r\n");
}

void p7kSetTunnel(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    const bool digits = f.size() == 2 && !f[1].empty() && f[1].size() <= 5 &&
                        std::all_of(f[1].begin(), f[1].end(), [](char c) { return c >= '0' && c <= '9'; });
    const unsigned long tunnelPort = digits ? std::strtoul(f[1].c_str(), nullptr, 10) : 0;
    // A number past 65535 would put the tunnel on its low 16 bits, not on
    // the port it reports.
    if (!digits || tunnelPort > 64000 || (upper(f[0]) != "UDP" && upper(f[0]) != "TCP")) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    {
        MutexLock lock(PM_mutex);
        PM.PORT_TUNNELING_MODE = upper(f[0]) == "TCP" ? 1 : 0;
        PM.PORT_TUNNELING_PORT_NUMBER = static_cast<uint32_t>(tunnelPort);
    }
    markBothChannelsDirty();
    protocol_out_success(port, id, params);
}

void p7kGetTunnel(COMM_TYPE port, int, const char*) {
    uint8_t mode = 0;
    uint32_t tunnelPort = 0;
    {
        MutexLock lock(PM_mutex);
        mode = PM.PORT_TUNNELING_MODE;
        tunnelPort = PM.PORT_TUNNELING_PORT_NUMBER;
    }
    p7kSend(port, getPreAnswer() + "PTNL-CFG " + (mode == 0 ? "UDP" : mode == 1 ? "TCP" : "UNKNOWN") + "," +
                      std::to_string(static_cast<int>(tunnelPort)) + "\r\n");
}

void p7kUserPortConfig(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    const int user = f.size() == 7 ? p7kUserPort(f[0]) : 0;
    uint8_t idx[4];
    const auto dest = f.size() == 7 ? std::find_if(std::begin(destination_string_const),
                                                   std::end(destination_string_const),
                                                   [&](const char* w) { return upper(f[6]).rfind(w, 0) == 0; })
                                    : std::end(destination_string_const);
    if (user == 0 || !transportWord(f[1]) || !lineIndexes(&f[2], idx) || dest == std::end(destination_string_const)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    {
        MutexLock lock(PM_mutex);
        // Each field by name: a write through one member's address may not run into the next.
        const auto set = [&](uint8_t& baud, uint8_t& bits, uint8_t& parity, uint8_t& stop, uint8_t& destination) {
            baud = idx[0];
            bits = idx[1];
            parity = idx[2];
            stop = idx[3];
            destination = static_cast<uint8_t>(dest - std::begin(destination_string_const));
        };
        if (user == USR1) set(PM.USER1_BAUD, PM.USER1_DATA_BITS, PM.USER1_PARITY, PM.USER1_STOP_BITS, PM.USER1_DESTINATION);
        else set(PM.USER2_BAUD, PM.USER2_DATA_BITS, PM.USER2_PARITY, PM.USER2_STOP_BITS, PM.USER2_DESTINATION);
    }
    markBothChannelsDirty();
    runFuncInd(funcNum2TblInx(user == USR1 ? 55515 : 55525));
    // The port takes the new line settings before its next message.
    if (user == USR1) usr1_tty_reconfiguration();
    else usr2_tty_reconfiguration();
    stLoop(KEY_MENU_REFRESH);
    protocol_out_success(port, id, params);
}

void p7kStoreUserMessage(COMM_TYPE port, int id, const char* params) {
    std::string f[2];
    const char* rest = leadingFields(params, f, 2);
    long long length = -1;
    std::string text;
    const int user = p7kUserPort(f[0]);
    if (user == 0) return refusedUserMessage(port, id, params, "usr param error");
    if (rest == nullptr || !p7kDecimal(f[1], length)) return refusedUserMessage(port, id, params, "number of bytes param error");
    if (const char* why = bracketText(rest, length, text)) return refusedUserMessage(port, id, params, why);
    if (set_user_message(user, text.data(), static_cast<int>(text.size())) != 0)
        return refusedUserMessage(port, id, params, "the message cannot be stored");
    stLoop(KEY_MENU_REFRESH);
    protocol_out_success(port, id, params);
}

void p7kSendUserMessage(COMM_TYPE port, int id, const char* params) {
    std::string f[3];
    const char* rest = leadingFields(params, f, 3);
    long long length = 0;
    std::string text;
    const int user = p7kUserPort(f[0]);
    if (user == 0) {
        // The device answers a wrong port word twice.
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return refusedUserMessage(port, id, params, "usr param error");
    }
    if (!transportWord(f[1])) return refusedUserMessage(port, id, params, "usr param error");
    if (!p7kDecimal(f[2], length)) return refusedUserMessage(port, id, params, "number of bytes param error");
    if (length == -1) {
        if (user == USR1) usr1_key_pressing();
        else usr2_key_pressing();
        return protocol_out_success(port, id, params);
    }
    if (rest == nullptr) return refusedUserMessage(port, id, params, "number of bytes param error");
    if (const char* why = bracketText(rest, length, text)) return refusedUserMessage(port, id, params, why);
    if (send_custom_user_message(user, text.data(), static_cast<int>(text.size())) != 0)
        return refusedUserMessage(port, id, params, "the message was not sent");
    protocol_out_success(port, id, params);
}
