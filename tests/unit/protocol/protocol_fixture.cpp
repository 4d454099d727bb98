#include "protocol_fixture.h"

#include <cstdio>

namespace hx40test {

using namespace Protocol7700;

std::string describe(const std::list<ParameterValue>& params) {
    std::string out;
    for (const ParameterValue& v : params) {
        if (!out.empty()) out += ' ';
        out += std::to_string(v.type) + ":";
        switch (v.type) {
        case PARAM_INTEGER: out += std::to_string(v.integer); break;
        case PARAM_STRING: out += std::string(v.text); break;
        case PARAM_SIZED_STRING: out += std::string(v.text) + ":" + std::to_string(v.length); break;
        case PARAM_IPV4: {
            const auto* b = reinterpret_cast<const unsigned char*>(&v.address);
            char text[20];
            std::snprintf(text, sizeof text, "%u,%u,%u,%u", b[0], b[1], b[2], b[3]);
            out += text;
            break;
        }
        default: out += "?";
        }
    }
    return out;
}

ProtocolTest::ProtocolTest() {
    const auto T = PARAM_STRING, I = PARAM_INTEGER;
    auto echo = [](const std::list<ParameterValue>& p, std::string& reply, std::string&) {
        for (const auto& v : p) reply += (reply.empty() ? "" : " ") + std::string(v.text);
        return 0;
    };
    auto show = [](const std::string& word) {
        return [word](const std::list<ParameterValue>& p, std::string& reply, std::string&) {
            reply = word + " " + describe(p);
            return 0;
        };
    };
    parser_.AddCommand(new TestCommand("ECHO", {T, T, T, T, T, T, T}, 1, RESPONSE_REQUESTER, echo));
    parser_.AddCommand(new TestCommand("INT", {I, I}, 1, RESPONSE_REQUESTER, show("INT")));
    parser_.AddCommand(new TestCommand("IP", {PARAM_IPV4}, 1, RESPONSE_REQUESTER, show("IP")));
    parser_.AddCommand(new TestCommand("SIZED", {T, PARAM_SIZED_STRING}, 2, RESPONSE_REQUESTER, show("SIZED")));
    parser_.AddCommand(new TestCommand("FAIL", {I}, 0, RESPONSE_REQUESTER,
                                       [](const std::list<ParameterValue>&, std::string& reply, std::string&) {
                                           reply = "ignored";
                                           return 7;
                                       }));
    parser_.AddCommand(new TestCommand("ALL", {T}, 0, RESPONSE_ALL_CLIENTS, echo));
    parser_.AddCommand(new TestCommand("QUIET", {}, 0, RESPONSE_ALL_CLIENTS,
                                       [](const std::list<ParameterValue>&, std::string&, std::string&) { return 0; }));
    parser_.AddCommand(new TestCommand("SETX", {T}, 0, RESPONSE_REQUESTER,
                                       [](const std::list<ParameterValue>&, std::string& reply, std::string&) {
                                           workaround_namespace::is_command_set = true;
                                           reply = "SETX done";
                                           return 0;
                                       }));
    parser_.AddCommand(new TestCommand("WSOFF", {}, 0, RESPONSE_REQUESTER,
                                       [](const std::list<ParameterValue>&, std::string& reply, std::string& iface) {
                                           if (iface == "websocket") iface.clear();
                                           reply = "WSOFF";
                                           return 0;
                                       }));
    parser_.SetOutlets(ReplyOutlets{
        [this](const std::string& t) { sent_.serials.push_back(t); },
        [this](const std::string& t) { sent_.tcps.push_back(t); },
        [this](const std::string& t) { sent_.udps.push_back(t); },
        [this](const std::string& t, int id) { sent_.websockets.emplace_back(t, id); },
        [this](const std::string& t) { sent_.console.push_back(t); },
    });
}

std::string ProtocolTest::line(const std::string& text, const std::string& iface, int websocketId) {
    std::string result, interface = iface;
    parser_.Parse(nullptr, text, result, interface, websocketId);
    return result;
}

void ProtocolTest::addDefault(const std::string& name, Action action) {
    defaults_.push_back(std::make_unique<TestCommand>(name, std::vector<ParameterType>{}, 0, RESPONSE_REQUESTER,
                                                      std::move(action), "Default handler"));
    parser_.AddDefaultCommand(defaults_.back().get());
}

}  // namespace hx40test
