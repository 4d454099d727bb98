// A parser on a temporary board, with commands of every parameter kind and
// every routing case registered, and the outlets recorded.
#pragma once

#include "protocol/parser.h"
#include "protocol/session.h"
#include "support/temp_board.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace hx40test {

using Protocol7700::ActionReturnType;
using Protocol7700::CmdResponseType;
using Protocol7700::CommandSpec;
using Protocol7700::ParameterType;
using Protocol7700::ParameterValue;

using Action = std::function<ActionReturnType(const std::list<ParameterValue>&, std::string& reply, std::string& iface)>;

class TestCommand : public CommandSpec {
public:
    TestCommand(const std::string& name, const std::vector<ParameterType>& types, unsigned mandatory,
                CmdResponseType response, Action action, const std::string& help = "test word")
        : CommandSpec(name, help, types, mandatory, response), action_(std::move(action)) {}
    ActionReturnType OnAction(Protocol7700::Session*, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& iface) const override {
        return action_(params, reply, iface);
    }

private:
    Action action_;
};

// Shows what an action received: each value as "<type>:<content>" joined by
// blanks, the content being the integer, the text (with ":<length>" for
// sized texts) or the address bytes.
std::string describe(const std::list<ParameterValue>& params);

struct Sent {
    std::vector<std::string> serials, tcps, udps, console;
    std::vector<std::pair<std::string, int>> websockets;
};

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest();

    // Parses one line as the transport iface would; returns the requester's text.
    std::string line(const std::string& text, const std::string& iface = "tcp", int websocketId = 0);
    void addDefault(const std::string& name, Action action);

    TempBoard board_;
    Protocol7700::Parser parser_;
    Sent sent_;
    std::vector<std::unique_ptr<CommandSpec>> defaults_;
};

}  // namespace hx40test
