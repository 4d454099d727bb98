// The command classes that hand their line to the older engine.
#include "commands/commands.h"
#include "commands/p7k_engine.h"
#include "platform/net.h"
#include "protocol/parser.h"

#include <string>

namespace NorvaCommands {

namespace {

std::string texts(std::list<ParameterValue>::const_iterator from, std::list<ParameterValue>::const_iterator to) {
    std::string out;
    for (; from != to; ++from) out += from->text;
    return out;
}

// The parser answers a web client through its session like any other.
void answerThroughSession(std::string& interface) {
    if (interface == "websocket") interface.clear();
}

// The engine's line without its "~01@" and final line end: the parser frames it again.
void unframe(std::string& reply) {
    reply.erase(0, std::min<size_t>(4, reply.size()));
    if (reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0) reply.resize(reply.size() - 2);
}

}  // namespace

ActionReturnType DefaultCommandSpec::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                              std::string& interface) const {
    const std::string word = params.empty() ? std::string() : std::string(params.front().text);
    const std::string rest = params.empty() ? std::string() : texts(std::next(params.begin()), params.end());
    dop7kcommand("#" + word + " " + rest, reply);
    answerThroughSession(interface);
    return 0;
}

ActionReturnType GetNameCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                          std::string& interface) const {
    dop7kcommand("#" + GetName(), reply);
    answerThroughSession(interface);
    unframe(reply);
    return 0;
}

ActionReturnType SetNameCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                          std::string& interface) const {
    const std::string name = texts(params.begin(), params.end());
    // Every client gets the reply from the parser; the engine need not copy it to web clients.
    workaround_namespace::is_command_set = true;
    dop7kcommand("#NAME " + name, reply);
    answerThroughSession(interface);
    unframe(reply);
    constexpr std::string_view kOk = " OK";
    if (reply.size() >= kOk.size() && reply.compare(reply.size() - kOk.size(), kOk.size(), kOk) == 0)
        board::net::setHostName(name);  // a failure (a name the system refuses) leaves the host name
    return 0;
}

}  // namespace NorvaCommands
