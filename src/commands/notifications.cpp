#include "commands/notifications.h"

#include "commands/p7k_thread.h"
#include "core/core_state.h"
#include "platform/journal.h"
#include "protocol/listeners.h"
#include "protocol/parser.h"
#include "protocol/ws_server.h"
#include "sys/msgq.h"
#include "sys/print.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

std::atomic<uint8_t> gVerboseMode{0};
std::atomic<uint8_t> gFeedBackOnPowerCmd{0};

namespace NorvaCommands {
namespace {
thread_local bool bdop7kcommand = false;
thread_local std::string tx_data_buf;
}  // namespace

bool returnp7kcommand(const std::string& text) {
    tx_data_buf = text;
    return bdop7kcommand;
}
void setp7kcommand(bool capture) { bdop7kcommand = capture; }
bool getp7kcommand() { return bdop7kcommand; }
const std::string& GetReturnp7kMsg() { return tx_data_buf; }
}  // namespace NorvaCommands

namespace {

constexpr int kOwnId = 1;

// The textual forms; both end with a blank before the line end.
struct Textual {
    int function;
    const char* word;
    bool withChannel;  // "~01@VOLUME <channel>,<value> \r\n"
};
const Textual kTextual[] = {
    {953, "POWER", false},
    {927, "LOCK-FP", false},
    {3931, "VOLUME", true},
    {4931, "VOLUME", true},
};

// Formats once into a buffer on the stack; only a text that does not fit
// there is formatted a second time. The older engine hands most texts over
// whole as "%s": those are taken as they are.
std::string vformat(const char* format, va_list args) {
    if (std::strcmp(format, "%s") == 0) {
        const char* text = va_arg(args, const char*);
        return text != nullptr ? std::string(text) : std::string("(null)");
    }
    char buffer[512];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(n));
    return text;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return text;
}

// The copy for web clients: only while one is connected (nobody else
// empties queue 11), and whole or not at all.
void toWeb(const std::string& text, uint32_t websocketId) {
    if (wsi_cnt == 0) return;
    _WSMSG record;
    record.wsi = websocketId;
    if (setWsText(record, text.data(), text.size()) != 0) {
        PRINT(PRINT_GENERAL, "websocket copy of %zu bytes refused (at most %zu)\n", text.size(), kWsTextMax);
        return;
    }
    if (send_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &record) == 0) invoke_lws_callback_writeable_event();
}

// A web client's own line is answered by these copies: the parser keeps the
// captured reply of an engine line for the session, which a web client never
// reads. Only a captured reply that the parser sends to every client anyway
// (a set) is not copied, or web clients would get it twice.
bool parserSendsToEveryone(bool captured) { return captured && workaround_namespace::is_command_set; }

void allPorts(const std::string& text) {
    const bool captured = NorvaCommands::returnp7kcommand(text);
    if (!captured && !anyChannelInitialising()) NorvaCommands::PostMessage(0, text, true);
    if (!parserSendsToEveryone(captured)) toWeb(text, 0);
}

void specificPort(COMM_TYPE port, const std::string& text) {
    if (port == COMM_CONTROL_PORTS) {
        const bool captured = NorvaCommands::returnp7kcommand(text);
        if (!captured) NorvaCommands::PostMessage(0, text, false);
        if (!parserSendsToEveryone(captured)) toWeb(text, ws_msg_cli_to_srv_id());
    } else if (port == COMM_WEBSOCKET) {
        toWeb(text, ws_msg_cli_to_srv_id());
    }
}

bool announceNumber(const std::string& text) {
    if (gVerboseMode != 1 && wsi_cnt == 0) return false;
    p7kAnnounceText(text);
    return true;
}

}  // namespace

void p7kAnnounceText(const std::string& text) {
    if (gVerboseMode == 1) allPorts(text);
    else if (wsi_cnt > 0) specificPort(COMM_WEBSOCKET, text);
}

void protocol_out_all_port(uint16_t, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::string text = vformat(fmt, args);
    va_end(args);
    allPorts(text);
}

void protocol_out_specific_port(COMM_TYPE port, uint16_t size, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::string text = vformat(fmt, args);
    va_end(args);
    if (text.size() >= size)
        PRINT(PRINT_GENERAL, "Error: max_size definition in protocol_out_specific_port (%s)\n", fmt);
    specificPort(port, text);
}

void protocol_out_to_web(const std::string& text) { toWeb(text, 0); }

std::string getPreAnswer() {
    static const std::string prefix = format("~%02d@", kOwnId);
    return prefix;
}

void p7kEvAnnounceTextualIfNedded(int function, int value, int channel) {
    for (const Textual& t : kTextual) {
        if (t.function != function) continue;
        if (function == 953 && gFeedBackOnPowerCmd.exchange(0) != 0) return;
        p7kAnnounceText(t.withChannel ? format("~%02d@%s %d,%d \r\n", kOwnId, t.word, channel, value)
                               : format("~%02d@%s %d \r\n", kOwnId, t.word, value));
        return;
    }
}

void p7kEvAnnounceInt(uint32_t function, int value, uint8_t channel) {
    board::journal("p7kEvAnnounceInt", "function=%u value=%d channel=%u", function, value, channel);
    if (announceNumber(format("~%02d@Y 0,%d,%d\r\n", kOwnId, static_cast<int>(function), value)))
        p7kEvAnnounceTextualIfNedded(static_cast<int>(function), value, channel);
}

void p7kEvForceAnnounceInt(uint32_t function, int value, uint8_t channel) {
    board::journal("p7kEvForceAnnounceInt", "function=%u value=%d channel=%u", function, value, channel);
    announceNumber(format("~%02d@Y 0,%d,%d\r\n", kOwnId, static_cast<int>(function), value));
    p7kEvAnnounceTextualIfNedded(static_cast<int>(function), value, channel);
}

void p7kEvAnnounceFloat(uint32_t function, float value, uint8_t channel) {
    board::journal("p7kEvAnnounceFloat", "function=%u value=%.2f channel=%u", function, static_cast<double>(value),
                   channel);
    announceNumber(format("~%02d@Y 0,%d,%4.2lf\r\n", kOwnId, static_cast<int>(function), static_cast<double>(value)));
}

void p7kEvForceAnnounceFloat(uint32_t function, float value, uint8_t channel) {
    p7kEvAnnounceFloat(function, value, channel);
}

void p7kEvAnnounceErr(uint32_t, float code) {
    const std::string text = format("~%02d@Y ERR %03d\r\n", kOwnId, static_cast<int>(code));
    if (gVerboseMode == 1) {
        specificPort(COMM_CONTROL_PORTS, text);
        specificPort(COMM_WEBSOCKET, text);
    } else if (wsi_cnt > 0) {
        specificPort(COMM_WEBSOCKET, text);
    }
}

namespace workaround_namespace {
void send_to_websockets(const std::string& text, int websocketId) { toWeb(text, static_cast<uint32_t>(websocketId)); }
}  // namespace workaround_namespace
