#include "commands/p7k_engine.h"

#include "commands/commands.h"
#include "commands/p7k_words.h"
#include "core/get_param.h"
#include "core/pm.h"
#include "platform/sim/ctl.h"
#include "sys/print.h"
#include "sys/watchdog.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>

std::atomic<uint8_t> gBlock_p7k{0};

namespace {

// One framing record per port kind. The protocol thread alone uses them.
struct Framer {
    bool inside = false;  // a start character was seen, its CR not yet
    std::string record;   // from the start character on
    std::deque<std::string> complete;
};
Framer gFramers[2];

Framer* framerOf(COMM_TYPE port) {
    return port == COMM_CONTROL_PORTS || port == COMM_WEBSOCKET ? &gFramers[port] : nullptr;
}

bool isStart(char c) { return c == '#' || c == '~'; }

uint16_t sizeOf(const std::string& text) { return static_cast<uint16_t>(std::min<size_t>(text.size() + 1, UINT16_MAX)); }

}  // namespace

void p7kSend(COMM_TYPE port, const std::string& text) {
    protocol_out_specific_port(port, sizeOf(text), "%s", text.c_str());
}

void protocol_out_success(COMM_TYPE, int id, const char* params) {
    const std::string text = getPreAnswer() + p7kWordOfId(id) + (params ? params : "") + " OK\r\n";
    protocol_out_all_port(sizeOf(text), "%s", text.c_str());
}

void protocol_out_error(COMM_TYPE port, int id, const char* params, int code) {
    char tail[24];
    std::snprintf(tail, sizeof tail, " ERR %03d\r\n", code);
    p7kSend(port, getPreAnswer() + p7kWordOfId(id) + (params ? params : "") + tail);
}


int scalerCmdOk(COMM_TYPE port, int id, const char* params) {
    markBothChannelsDirty();
    protocol_out_success(port, id, params);
    return 0;
}

int str_cncmp(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) break;
    }
    return 0;
}

int parse_cmd_params(const char* text, std::string out[], int count) {
    const char* cur = text;
    int n = 0;
    while (cur != nullptr) {
        const char* next = nullptr;
        const int len = get_param(&cur, &next);
        if (len == 0) {
            if (next == nullptr && n == 0) break;  // no field at all
            PRINT(PRINT_GENERAL, "fail on parse_cmd_params\n");
            return -1;  // an empty field
        }
        const std::string field(cur, static_cast<size_t>(len));
        const bool step = field == "++" || field == "--";
        const size_t digits = field[0] == '-' ? 1 : 0;
        bool number = field.size() > digits;
        for (size_t i = digits; i < field.size(); ++i) number = number && std::isdigit(static_cast<unsigned char>(field[i]));
        if (n == count || !(step || number)) {
            PRINT(PRINT_GENERAL, "fail on parse_cmd_params\n");
            return -1;
        }
        out[n++] = field;
        cur = next;
    }
    if (n != count) {
        PRINT(PRINT_GENERAL, "fail on parse_cmd_params\n");
        return -1;
    }
    return 0;
}

void p7kEmpty(COMM_TYPE port, int id, const char* params) { protocol_out_success(port, id, params); }

void p7kSilent(COMM_TYPE, int, const char*) {}

void p7kNotBuilt(COMM_TYPE port, int id, const char*) {
    std::string reply;
    NorvaCommands::notBuilt(p7kWordOfId(id), reply);
    p7kSend(port, getPreAnswer() + reply + "\r\n");
}

void prtcl_7k_cmd_switch(COMM_TYPE port, int id, const char* params) {
    WDT_Disable();
    struct WatchdogOn {
        ~WatchdogOn() { WDT_Enable(); }
    } on;
    if (gBlock_p7k != 0) {
        protocol_out_error(port, id, "", P7K_ERR_BLOCKED);
        return;
    }
    const P7kWord* row = id > kP7kLastId ? nullptr : p7kRowOfId(id);
    if (row == nullptr || row->handler == nullptr) {
        protocol_out_error(port, 0, params, P7K_ERR_UNKNOWN);
        return;
    }
    row->handler(port, id, params);
}

int run_protocol_command(COMM_TYPE port, const std::string& text, char) {
    std::string_view line(text);
    if (const size_t at = line.find('@'); at != std::string_view::npos) {
        // Lines addressed to another device are not ours to answer.
        if (std::strtol(text.c_str(), nullptr, 10) != 1) return 0;
        line.remove_prefix(at + 1);
    }
    for (;;) {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        const std::string_view word = line.substr(0, line.find_first_of(" |"));
        const P7kWord* row = p7kFindWord(word);
        if (row == nullptr) {
            PRINT(PRINT_GENERAL, "\033[31mCOMMAND DOES NOT EXSIST\033[0m\n");
            const std::string joined(line.substr(0, line.find(' ')));
            protocol_out_error(port, 0, joined.c_str(), P7K_ERR_UNKNOWN);
            return -128;
        }
        const size_t bar = line.find('|', word.size());
        const std::string params(line.substr(word.size(), bar == std::string_view::npos ? bar : bar - word.size()));
        // Handlers read their parameters as C strings: a NUL would cut them.
        if (params.find('\0') != std::string::npos)
            protocol_out_error(port, static_cast<int>(row->id), params.c_str(), P7K_ERR_SYNTAX);
        else
            prtcl_7k_cmd_switch(port, static_cast<int>(row->id), params.c_str());
        if (bar == std::string_view::npos) return 0;
        line.remove_prefix(bar + 1);
    }
}

int ptcl_7k_get_command(COMM_TYPE port, const char* bytes, size_t length) {
    Framer* f = framerOf(port);
    if (f == nullptr) return 0;
    bool bracket = false;  // a bracket never spans chunks
    for (size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (!f->inside) {
            if (isStart(c)) {
                f->inside = true;
                f->record.assign(1, c);
            }
            continue;
        }
        if (i + 1 == length) bracket = false;
        if (c == '[') bracket = true;
        else if (c == ']') bracket = false;
        if (!bracket && isStart(c)) {
            f->record.assign(1, c);  // a new start discards the command being framed
        } else if (!bracket && c == '\r') {
            f->complete.push_back(std::move(f->record));
            f->record.clear();
            f->inside = false;
        } else {
            f->record += c;
        }
    }
    return 0;
}

void rc_protocol_command_analyze(COMM_TYPE port) {
    Framer* f = framerOf(port);
    if (f == nullptr) return;
    while (!f->complete.empty()) {
        const std::string record = std::move(f->complete.front());
        f->complete.pop_front();
        if (record.size() > kP7kMaxLine) {
            PRINT(PRINT_GENERAL, "command of %zu characters refused\n", record.size());
            protocol_out_error(port, 0, "", P7K_ERR_SYNTAX);
            continue;
        }
        run_protocol_command(port, record.substr(1), record[0]);
    }
}

int dop7kcommand(std::string text, std::string& reply) {
    text += '\r';
    // A line that answers nothing returns nothing, not the last reply.
    NorvaCommands::returnp7kcommand(std::string());
    NorvaCommands::setp7kcommand(true);
    ptcl_7k_get_command(COMM_CONTROL_PORTS, text.data(), text.size());
    rc_protocol_command_analyze(COMM_CONTROL_PORTS);
    reply = NorvaCommands::GetReturnp7kMsg();
    NorvaCommands::setp7kcommand(false);
    NorvaCommands::returnp7kcommand(std::string());
    return 0;
}

void p7kEngineRegisterSimCtl() {
    board::sim::ctl::add("upgrade-block", "upgrade-block on|off      the older engine refuses every command with error 4",
                         [](const std::vector<std::string>& args) -> std::string {
                             if (args.size() != 2 || (args[1] != "on" && args[1] != "off"))
                                 return "ERR usage: upgrade-block on|off";
                             gBlock_p7k = args[1] == "on" ? 1 : 0;
                             return "OK upgrade-block " + args[1];
                         });
}
