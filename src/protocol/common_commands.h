// The network queries every parser answers by itself.
#pragma once

#include "protocol/command.h"

namespace Protocol7700 {

class Parser;

class GetNetIPCommand : public CommandSpec {
public:
    GetNetIPCommand();
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override;
};

class GetNetMaskCommand : public CommandSpec {
public:
    GetNetMaskCommand();
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override;
};

class GetNetMacCommand : public CommandSpec {
public:
    GetNetMacCommand();
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override;
};

// Kept for older control systems; answers exactly as NET-MAC?.
class GetNtmcCommand : public CommandSpec {
public:
    GetNtmcCommand();
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override;
};

// Registers NET-IP?, NET-MASK?, NET-MAC? and NTMC?, in that order.
void AddCommonCommands(Parser* parser);

}  // namespace Protocol7700
