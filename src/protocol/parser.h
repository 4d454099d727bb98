// The control-protocol line parser: one per process, filled with the command
// table before any transport runs, then used from the protocol loop thread
// only (it takes no lock).
//
// A line is "#[address@]command[|command...]"; a command is a word, then
// after the first blank its parameters separated by ','. The reply to a
// command is "~01@" + its text + "\r\n", or "~01@WORD params ERRn\r\n".
#pragma once

#include "protocol/command.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ILogChannel;

namespace workaround_namespace {
// The transport name of the line being parsed ("serial", "tcp", "udp",
// "websocket").
extern std::string interface_name;
// Set by an action whose reply concerns every control client; the parser
// clears it before each action and after routing the reply.
extern bool is_command_set;
}  // namespace workaround_namespace

namespace Protocol7700 {

class Session;

extern ILogChannel* st_parser_log;

// Where replies go that do not return to the requester. The command set
// connects them to the transports; a hook left empty drops its texts.
struct ReplyOutlets {
    std::function<void(const std::string&)> serials;           // every serial client
    std::function<void(const std::string&)> tcps;              // every TCP client
    std::function<void(const std::string&)> udps;              // every known UDP peer
    std::function<void(const std::string&, int)> websockets;   // one web client by id; 0 = every web client
    std::function<void(const std::string&)> console;           // diagnostics of mask bit 0x200
};

class Parser {
public:
    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    void SetDestinationId(unsigned id);
    const std::string& GetPrefix() const { return prefix_; }
    void SetOutlets(ReplyOutlets outlets) { outlets_ = std::move(outlets); }

    // Dispatches the word to the command; the parser owns the command. A
    // word registered twice stops the process.
    void AddCommand(const CommandSpec* command);
    // Lists the word in HELP only; the parser owns the command but never
    // runs it (the word reaches the default command).
    void AddHelpCommand(const CommandSpec* command);
    // Receives every word no command claims (only the first by name is
    // used); not owned. A name registered twice stops the process.
    void AddDefaultCommand(const CommandSpec* command);

    // A session bound to this parser; timeout in seconds (0 = never idle).
    std::unique_ptr<Session> CreateSession(int timeout, int now) const;

    // Parses one line (without its line end) and appends to result the text
    // meant for the requester. interface names the transport; websocketId
    // is the requesting web client (0 elsewhere).
    void Parse(Session* session, const std::string& line, std::string& result, std::string& interface,
               int websocketId) const;

    std::string BuildErrorMessage(const std::string& name, const std::string& params,
                                  const std::list<ParameterValue>& values, ActionReturnType code) const;

private:
    void runCommand(Session* session, std::string_view chained, std::string& gathered,
                    const std::string& interface, int websocketId, bool& stop) const;
    // Checks the count and converts the parameters; false on a parameter error.
    bool convert(const CommandSpec& command, const std::string& word, const std::string& raw,
                 std::vector<std::string>& params, std::list<ParameterValue>& values) const;
    // The reply is head + body + tail, kept in pieces until a copy is needed.
    void route(std::string_view head, std::string_view body, std::string_view tail, const CommandSpec& target,
               const std::string& interface, int websocketId, std::string& gathered) const;

    unsigned destination_ = 0;
    std::string prefix_;
    std::map<std::string, const CommandSpec*> m_commands;
    std::map<std::string, const CommandSpec*> m_defcommands;
    std::vector<std::unique_ptr<const CommandSpec>> helpOnly_;
    HelpCommand* help_ = nullptr;
    ReplyOutlets outlets_;
};

// Upper-cases text in place.
void to_upper(std::string& text);

// Appends the texts between delimiters to out, as a stream reads lines:
// none for an empty text, none after a trailing delimiter, empty ones
// elsewhere kept unless skipEmpty.
void split(std::vector<std::string>& out, const std::string& text, char delimiter, bool skipEmpty);

}  // namespace Protocol7700
