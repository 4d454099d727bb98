#include "protocol/common_commands.h"

#include "protocol/network.h"
#include "protocol/parser.h"

namespace Protocol7700 {
namespace {

// NET-MAC? and NTMC? answer alike, with the word "NET-MAC".
std::string macReply() { return std::string("NET-MAC ") + Network::GetMacAddress(); }

}  // namespace

GetNetIPCommand::GetNetIPCommand() : CommandSpec("NET-IP?", "Get device IP address", RESPONSE_REQUESTER) {}

ActionReturnType GetNetIPCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                           std::string&) const {
    std::string address;
    Network::GetIPAddress(address);
    reply = "NET-IP " + address;
    return 0;
}

// The help text repeats NET-IP?'s; HELP shows it as the device always did.
GetNetMaskCommand::GetNetMaskCommand() : CommandSpec("NET-MASK?", "Get device IP address", RESPONSE_REQUESTER) {}

ActionReturnType GetNetMaskCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                             std::string&) const {
    std::string mask;
    Network::GetNetworkMask(mask);
    reply = "NET-MASK " + mask;
    return 0;
}

GetNetMacCommand::GetNetMacCommand() : CommandSpec("NET-MAC?", "Read MAC address", RESPONSE_REQUESTER) {}

ActionReturnType GetNetMacCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                            std::string&) const {
    reply = macReply();
    return 0;
}

GetNtmcCommand::GetNtmcCommand() : CommandSpec("NTMC?", "Read MAC address", RESPONSE_REQUESTER) {}

ActionReturnType GetNtmcCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                          std::string&) const {
    reply = macReply();
    return 0;
}

void AddCommonCommands(Parser* parser) {
    parser->AddCommand(new GetNetIPCommand());
    parser->AddCommand(new GetNetMaskCommand());
    parser->AddCommand(new GetNetMacCommand());
    parser->AddCommand(new GetNtmcCommand());
}

}  // namespace Protocol7700
