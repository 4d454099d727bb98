#include "protocol/parser.h"

#include "protocol/common_commands.h"
#include "protocol/log_channel.h"
#include "protocol/session.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace workaround_namespace {
std::string interface_name;
bool is_command_set = false;
}  // namespace workaround_namespace

namespace Protocol7700 {

ILogChannel* st_parser_log = nullptr;

namespace {

// Words that are dispatched but kept out of HELP's list.
const char* const kHiddenNames[] = {
    "FCT-MAC",      "NTMC?",           "EDID-IN-AUDIO-CH?", "DIR",        "TYPE?",
    "LABELS?",      "LABELS",          "COLOR-SPACE-IN?",   "HDCP-IN?",   "MODELINE?",
    "COLOR-DEPTH?", "EDID-IN-RESOLUTION?", "VOLUME-IN?",
};

bool hidden(const std::string& name) {
    return std::any_of(std::begin(kHiddenNames), std::end(kHiddenNames),
                       [&](const char* h) { return name == h; });
}

// A broken registration is a programming error: stop, in every build.
void fatalAssert(bool ok, const char* expression) {
    if (ok) return;
    std::fprintf(stderr, "Assertion failed: %s\n", expression);
    std::abort();
}

// The C locale's blanks and letters (the program never sets another).
bool space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view trim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && space(text[b])) ++b;
    while (e > b && space(text[e - 1])) --e;
    return text.substr(b, e - b);
}

}  // namespace

void to_upper(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void split(std::vector<std::string>& out, const std::string& text, char delimiter, bool skipEmpty) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(delimiter, pos);
        if (end == std::string::npos) end = text.size();
        if (!(skipEmpty && end == pos)) out.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
}

Parser::Parser() {
    st_parser_log = IChannelsFactory::Instance().GetLogChannel("protocol");
    st_parser_log->info("log starts");
    SetDestinationId(1);
    help_ = new HelpCommand();
    AddCommand(help_);
    AddCommand(new EmptyCommand());
    AddCommonCommands(this);
}

Parser::~Parser() {
    for (auto& [name, command] : m_commands) delete command;
}

void Parser::SetDestinationId(unsigned id) {
    destination_ = id;
    prefix_ = (id <= 9 ? "~0" : "~") + std::to_string(id) + "@";
}

void Parser::AddCommand(const CommandSpec* command) {
    fatalAssert(m_commands.find(command->GetName()) == m_commands.end(),
                "m_commands.find(command->GetName()) == m_commands.end()");
    m_commands[command->GetName()] = command;
    if (!hidden(command->GetName())) help_->AddCommand(command);
    st_parser_log->info("AddCommand %s", command->GetName().c_str());
}

void Parser::AddHelpCommand(const CommandSpec* command) {
    helpOnly_.emplace_back(command);
    help_->AddCommand(command);
}

void Parser::AddDefaultCommand(const CommandSpec* command) {
    fatalAssert(m_defcommands.find(command->GetName()) == m_defcommands.end(),
                "m_defcommands.find(command->GetName()) == m_defcommands.end()");
    m_defcommands[command->GetName()] = command;
    st_parser_log->info("AddDefaultCommand %s", command->GetName().c_str());
}

std::unique_ptr<Session> Parser::CreateSession(int timeout, int now) const {
    return std::make_unique<Session>(this, static_cast<unsigned>(timeout), static_cast<unsigned>(now));
}

namespace {
// The parameter text an error line repeats.
std::string shown(const CommandSpec& command, const std::string& raw) {
    return command.HidesParameters() ? "****" : raw;
}
}  // namespace

std::string Parser::BuildErrorMessage(const std::string& name, const std::string& params,
                                      const std::list<ParameterValue>&, ActionReturnType code) const {
    return prefix_ + name + " " + params + " ERR" + std::to_string(code) + "\r\n";
}

void Parser::Parse(Session* session, const std::string& line, std::string& result, std::string& interface,
                   int websocketId) const {
    workaround_namespace::interface_name = interface;
    size_t hash = line.find('#');
    if (hash == std::string::npos) {
        st_parser_log->debug("did not find #");
        return;
    }
    std::string_view rest = std::string_view(line).substr(hash + 1);
    // The address ends at the first '@' anywhere, so a parameter holding '@'
    // silences the line; the older engine frames its lines the same way.
    size_t at = rest.find('@');
    if (at != std::string_view::npos) {
        const std::string destination(rest.substr(0, at));
        char* end = nullptr;
        long id = std::strtol(destination.c_str(), &end, 10);
        if (end != destination.c_str() + destination.size()) {
            st_parser_log->debug("error in parsing destination id %s", destination.c_str());
            return;
        }
        if (id != static_cast<long>(destination_)) {
            st_parser_log->debug("destination no match %ld %u", id, destination_);
            return;
        }
        rest.remove_prefix(at + 1);
    }

    // The commands between '|', as split() cuts them: an empty line is one
    // empty command, a trailing '|' adds none. Every line's replies are
    // kept: a block of several lines answers each.
    size_t pos = 0;
    do {
        size_t end = rest.find('|', pos);
        if (end == std::string_view::npos) end = rest.size();
        bool stop = false;
        runCommand(session, rest.substr(pos, end - pos), result, interface, websocketId, stop);
        if (stop) break;
        pos = end + 1;
    } while (pos < rest.size());
}

void Parser::runCommand(Session* session, std::string_view chained, std::string& gathered,
                        const std::string& interface, int websocketId, bool& stop) const {
    // Views into the line: it outlives the action, which the values refer to.
    const std::string_view text = trim(chained);
    const size_t blank = text.find(' ');
    const std::string_view typed = text.substr(0, blank);
    const std::string_view raw = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    std::string word(trim(typed));
    to_upper(word);
    if (word.size() > 1 && word[0] == '#') word.erase(0, 1);

    const CommandSpec* target = nullptr;
    std::vector<std::string> params;  // the values refer to these until the action returns
    std::list<ParameterValue> values;
    auto found = m_commands.find(word);
    const bool byDefault = found == m_commands.end();
    if (!byDefault) {
        target = found->second;
        if (!convert(*target, word, std::string(raw), params, values)) {
            // Never broadcast, and it ends the line; a web client gets it
            // back like any other reply.
            const std::string out = BuildErrorMessage(word, shown(*target, std::string(raw)), values, 1);
            st_parser_log->debug("command %s OnAction error", word.c_str());
            if (interface == "websocket") {
                if (outlets_.websockets) outlets_.websockets(out, websocketId);
            } else {
                gathered += out;
            }
            stop = true;
            return;
        }
    } else {
        if (m_defcommands.empty()) {
            st_parser_log->debug("command %s not found", word.c_str());
            return;
        }
        // The default command gets the word as typed and the raw text, unchecked.
        target = m_defcommands.begin()->second;
        values.push_back(ParameterValue::Text(typed));
        if (blank != std::string_view::npos) values.push_back(ParameterValue::Text(raw));
    }

    // Each command routes by its own copy: an action that changes the
    // interface changes it for its own reply only.
    std::string actionInterface = interface;
    std::string reply;
    std::string out;
    workaround_namespace::is_command_set = false;
    const ActionReturnType rc = target->OnAction(session, values, reply, actionInterface);
    if (rc != 0) {
        const std::string name = byDefault ? std::string(typed) : word;
        out = BuildErrorMessage(name, shown(*target, std::string(raw)), values, rc);
        st_parser_log->debug("command %s OnAction error", name.c_str());
        if (outlets_.console) {
            char line[160];
            std::snprintf(line, sizeof line, "command %.100s OnAction ret error %d\n", name.c_str(), rc);
            outlets_.console(line);
        }
    } else if (byDefault) {
        out = std::move(reply);  // the default command frames its own reply
    } else if (!reply.empty()) {
        route(prefix_, reply, "\r\n", *target, actionInterface, websocketId, gathered);
        return;
    }
    route("", out, "", *target, actionInterface, websocketId, gathered);
    st_parser_log->debug("running command %s return message %s", word.c_str(), out.c_str());
}

bool Parser::convert(const CommandSpec& command, const std::string& word, const std::string& raw,
                     std::vector<std::string>& params, std::list<ParameterValue>& values) const {
    const std::vector<ParameterType>& types = command.GetParameterTypes();
    split(params, raw, ',', false);
    if (params.size() < command.GetMandatoryCount()) {
        st_parser_log->debug("command %s need %u  MandatoryParameters and found %zu", word.c_str(),
                             command.GetMandatoryCount(), params.size());
        return false;
    }
    for (size_t i = 0; i < params.size(); ++i) {
        params[i] = std::string(trim(params[i]));
        if (i >= types.size()) {
            st_parser_log->debug("command %s with more parameter than expected", word.c_str());
            return false;
        }
        ParameterValue v = ParameterValue::BuildParameter(params[i], types[i]);
        if (v.type == PARAM_INVALID) {
            st_parser_log->debug("command %s with bad parameter", word.c_str());
            return false;
        }
        values.push_back(v);
    }
    return true;
}

void Parser::route(std::string_view head, std::string_view body, std::string_view tail, const CommandSpec& target,
                   const std::string& interface, int websocketId, std::string& gathered) const {
    const bool everyone = target.GetResponseType() == RESPONSE_ALL_CLIENTS || workaround_namespace::is_command_set;
    workaround_namespace::is_command_set = false;
    if (head.empty() && body.empty() && tail.empty()) return;
    if (!everyone && interface != "websocket") {
        // The requester's own reply: straight onto its text, never copied.
        gathered.append(head).append(body).append(tail);
        return;
    }
    std::string text;
    text.reserve(head.size() + body.size() + tail.size());
    text.append(head).append(body).append(tail);
    if (everyone) {
        if (outlets_.serials) outlets_.serials(text);
        if (outlets_.tcps) outlets_.tcps(text);
        if (outlets_.udps) outlets_.udps(text);
        if (outlets_.websockets) outlets_.websockets(text, 0);
    } else if (outlets_.websockets) {
        outlets_.websockets(text, websocketId);
    }
}

}  // namespace Protocol7700
