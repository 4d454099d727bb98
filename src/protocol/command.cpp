#include "protocol/command.h"

#include "protocol/parser.h"

#include <arpa/inet.h>
#include <climits>
#include <cstdlib>

namespace Protocol7700 {

ParameterValue ParameterValue::BuildParameter(const std::string& text, ParameterType type) {
    ParameterValue v;
    switch (type) {
    case PARAM_INTEGER: {
        const char* begin = text.c_str();
        char* end = nullptr;
        long n = std::strtol(begin, &end, 10);
        if (end != begin + text.size()) return v;  // trailing text, or a NUL inside
        // The device's long is 32 bits: out-of-range values clamp there.
        if (n > INT32_MAX) n = INT32_MAX;
        if (n < INT32_MIN) n = INT32_MIN;
        v.integer = static_cast<int32_t>(n);
        break;
    }
    case PARAM_STRING:
        // A NUL would cut the text wherever it is kept or used as a C string.
        if (text.find('\0') != std::string::npos) return v;
        return Text(text);
    case PARAM_SIZED_STRING:
        // Carries its length: any byte stays.
        v.text = text;
        v.length = static_cast<int32_t>(text.size());
        break;
    case PARAM_IPV4: {
        in_addr a{};
        if (text.find('\0') != std::string::npos || ::inet_pton(AF_INET, text.c_str(), &a) != 1) return v;
        v.address = a.s_addr;
        break;
    }
    default:
        return v;
    }
    v.type = type;
    return v;
}

ParameterValue ParameterValue::Text(std::string_view text) {
    ParameterValue v;
    v.type = PARAM_STRING;
    v.text = text;
    return v;
}

CommandSpec::CommandSpec(const std::string& name, const std::string& description, CmdResponseType response)
    : name_(name), description_(description), response_(response) {}

CommandSpec::CommandSpec(const std::string& name, const std::string& description,
                         const std::vector<ParameterType>& types, unsigned mandatory, CmdResponseType response)
    : name_(name), description_(description), types_(types), mandatory_(mandatory), response_(response) {}

HelpCommand::HelpCommand()
    : CommandSpec("HELP", "Get Help on Commands", {PARAM_STRING}, 0, RESPONSE_REQUESTER),
      list_("Device available protocol 7700 commands : ") {}

void HelpCommand::AddCommand(const CommandSpec* command) {
    if (command->GetName().empty()) return;
    help_[command->GetName()] = command->GetDescription();
    list_ += command->GetName() + ", ";
}

ActionReturnType HelpCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                       std::string&) const {
    if (params.empty()) {
        reply = list_;
        return 0;
    }
    std::string word(params.front().text);
    to_upper(word);
    auto it = help_.find(word);
    reply = it == help_.end() ? "NO HELP FOR THIS COMMAND!" : it->second;
    return 0;
}

EmptyCommand::EmptyCommand() : CommandSpec("", "Empty Commad", RESPONSE_REQUESTER) {}

ActionReturnType EmptyCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                        std::string&) const {
    reply = " OK";
    return 0;
}

BuildDateCommandSpec::BuildDateCommandSpec() : CommandSpec("BUILD-DATE?", "Get the build date", RESPONSE_REQUESTER) {}

}  // namespace Protocol7700
