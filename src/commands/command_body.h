// What the command bodies share: the declaration of a command class with its
// action, and positional access to the values the parser converted.
#pragma once

#include "commands/command_specs.h"
#include "protocol/parser.h"

#include <list>
#include <string>
#include <vector>

namespace NorvaCommands {

using Protocol7700::ActionReturnType;
using Protocol7700::ParameterValue;
using Protocol7700::Session;

// A command class of the table: its description comes from its row (or from
// the framework), its action is defined beside the others of its kind.
#define NORVA_COMMAND(Class, Spec)                                                                         \
    class Class final : public Protocol7700::Spec {                                                        \
    public:                                                                                                \
        using Spec::Spec;                                                                                  \
        ActionReturnType OnAction(Session* session, const std::list<ParameterValue>& params,               \
                                  std::string& reply, std::string& interface) const override;              \
    }

// The values the client sent, by position (only the positions it sent).
class Args {
public:
    explicit Args(const std::list<ParameterValue>& params) : values_(params.begin(), params.end()) {}
    size_t size() const { return values_.size(); }
    int integer(size_t at) const { return values_[at].integer; }
    std::string text(size_t at) const { return std::string(values_[at].text); }
    // Upper-cased text.
    std::string word(size_t at) const {
        std::string w = text(at);
        Protocol7700::to_upper(w);
        return w;
    }

private:
    std::vector<ParameterValue> values_;
};

}  // namespace NorvaCommands
