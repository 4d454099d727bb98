// Control-protocol commands: each describes itself (word, help text,
// parameter types, mandatory count, where its reply goes) and carries its
// action. The parser checks counts and types from the description before the
// action runs, so an action never re-checks them.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Protocol7700 {

class Session;

// An action's result: 0 success, otherwise the error number sent as "ERR<n>".
using ActionReturnType = int;

enum ParameterType : int32_t {
    PARAM_INVALID = 0,  // a value that failed to convert
    PARAM_INTEGER = 1,
    PARAM_STRING = 2,
    PARAM_SIZED_STRING = 3,
    PARAM_IPV4 = 4,
};

enum CmdResponseType : int32_t {
    RESPONSE_REQUESTER = 1,    // the reply goes back to the requester
    RESPONSE_ALL_CLIENTS = 2,  // the reply goes to every control client
};

struct ParameterValue {
    ParameterType type = PARAM_INVALID;
    // The value word, by type: the integer (1); the text (2 and 3), a view of
    // the parser's copy of the parameter, valid while the action runs; the
    // IPv4 address as four bytes in network byte order (4).
    int32_t integer = 0;
    std::string_view text;
    uint32_t address = 0;
    // Number of characters for type 3; 0 for every other type.
    int32_t length = 0;

    // Converts one (already trimmed) parameter text. The result refers to
    // text, which must outlive it.
    static ParameterValue BuildParameter(const std::string& text, ParameterType type);
    // A text value of any bytes, unchecked (what the default command gets).
    static ParameterValue Text(std::string_view text);
};

class CommandSpec {
public:
    CommandSpec(const std::string& name, const std::string& description, CmdResponseType response);
    CommandSpec(const std::string& name, const std::string& description, const std::vector<ParameterType>& types,
                unsigned mandatory, CmdResponseType response);
    virtual ~CommandSpec() = default;
    CommandSpec(const CommandSpec&) = delete;
    CommandSpec& operator=(const CommandSpec&) = delete;

    const std::string& GetName() const { return name_; }
    const std::string& GetDescription() const { return description_; }
    const std::vector<ParameterType>& GetParameterTypes() const { return types_; }
    unsigned GetMandatoryCount() const { return mandatory_; }
    CmdResponseType GetResponseType() const { return response_; }
    // True for words whose parameters are secrets (passwords): error lines
    // show "****" instead of the text the client sent.
    virtual bool HidesParameters() const { return false; }

    // Fills reply (no prefix, no line end; empty sends nothing) and returns
    // 0, or returns an error number. params holds the values the client sent,
    // in order. interface is the transport's name; an action may change it
    // for the routing of its own reply.
    virtual ActionReturnType OnAction(Session* session, const std::list<ParameterValue>& params, std::string& reply,
                                      std::string& interface) const = 0;

private:
    std::string name_;
    std::string description_;
    std::vector<ParameterType> types_;
    unsigned mandatory_ = 0;
    CmdResponseType response_ = RESPONSE_REQUESTER;
};

class HelpCommand : public CommandSpec {
public:
    HelpCommand();
    // Lists the word (a command with an empty name is ignored).
    void AddCommand(const CommandSpec* command);
    ActionReturnType OnAction(Session* session, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& interface) const override;

private:
    std::map<std::string, std::string> help_;  // word -> description
    std::string list_;
};

// The command of an empty line ("#"), answered " OK".
class EmptyCommand : public CommandSpec {
public:
    EmptyCommand();
    ActionReturnType OnAction(Session* session, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& interface) const override;
};

// BUILD-DATE?'s description; the command set supplies the action.
class BuildDateCommandSpec : public CommandSpec {
public:
    BuildDateCommandSpec();
};

}  // namespace Protocol7700
