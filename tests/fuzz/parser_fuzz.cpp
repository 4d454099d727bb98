// Feeds arbitrary blocks to a control-protocol session: line framing with
// brackets and carry-over, addressing, chains, every parameter type, the
// default command, routing, and upload packets after a command switched the
// session into upload mode.
//
// Input: byte 0 picks the transport (bits 0-1) and whether an upload starts
// before the first block (bit 2, announced size = byte 1 * 64); then blocks,
// each a length byte followed by that many bytes.

#include "protocol/parser.h"
#include "protocol/session.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace Protocol7700;

namespace {

class FuzzCommand : public CommandSpec {
public:
    FuzzCommand(const std::string& name, const std::vector<ParameterType>& types, unsigned mandatory,
                CmdResponseType response, int result)
        : CommandSpec(name, "fuzz", types, mandatory, response), result_(result) {}
    ActionReturnType OnAction(Session* session, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& iface) const override {
        for (const ParameterValue& v : params) {
            switch (v.type) {
            case PARAM_INTEGER: reply += std::to_string(v.integer); break;
            case PARAM_STRING: reply += v.text; break;
            case PARAM_SIZED_STRING: reply.append(v.text.data(), static_cast<size_t>(v.length)); break;
            case PARAM_IPV4: reply += std::to_string(v.address); break;
            default: std::abort();  // the parser passed a value that failed to convert
            }
            reply += ',';
        }
        if (GetName() == "UPLOAD" && !params.empty()) session->StartFileUpLoad("fuzz-upload.bin", params.front().integer);
        if (GetName() == "*") reply = "~01@" + reply + "\r\n";  // the default command frames its own reply
        if (GetName() == "WSOFF") iface.clear();
        if (GetName() == "SETX") workaround_namespace::is_command_set = true;
        return result_;
    }

private:
    int result_;
};

struct Setup {
    Parser parser;
    FuzzCommand defaultCommand{"*", {}, 0, RESPONSE_REQUESTER, 0};
    std::string dir;

    Setup() {
        char tmpl[] = "/tmp/hx40-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
        dir = tmpl;
        const auto I = PARAM_INTEGER, T = PARAM_STRING, S = PARAM_SIZED_STRING, A = PARAM_IPV4;
        parser.AddCommand(new FuzzCommand("ECHO", {T, T, T, T, T, T, T}, 1, RESPONSE_REQUESTER, 0));
        parser.AddCommand(new FuzzCommand("MIX", {I, T, S, A}, 2, RESPONSE_REQUESTER, 0));
        parser.AddCommand(new FuzzCommand("ALL", {I}, 0, RESPONSE_ALL_CLIENTS, 0));
        parser.AddCommand(new FuzzCommand("FAIL", {T}, 0, RESPONSE_REQUESTER, 3));
        parser.AddCommand(new FuzzCommand("UPLOAD", {I}, 1, RESPONSE_REQUESTER, 0));
        parser.AddCommand(new FuzzCommand("WSOFF", {}, 0, RESPONSE_REQUESTER, 0));
        parser.AddCommand(new FuzzCommand("SETX", {}, 0, RESPONSE_REQUESTER, 0));
        parser.AddHelpCommand(new FuzzCommand("MODEL?", {}, 0, RESPONSE_REQUESTER, 31));
        parser.AddDefaultCommand(&defaultCommand);
        auto check = [](const std::string& text) {
            if (text.empty() || text[0] != '~') std::abort();
        };
        parser.SetOutlets(ReplyOutlets{check, check, check, [check](const std::string& t, int) { check(t); },
                                       [](const std::string&) {}});
    }
    ~Setup() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const char* const kInterfaces[] = {"tcp", "serial", "udp", "websocket"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (size < 2) return 0;
    const std::string iface = kInterfaces[data[0] & 3];
    auto session = setup.parser.CreateSession(3600, 0);
    if (data[0] & 4) session->StartFileUpLoad("fuzz-upload.bin", data[1] * 64);
    unsigned now = 0;
    for (size_t i = 2; i < size;) {
        const size_t want = data[i++];
        const size_t n = std::min(want, size - i);
        std::string result, interface = iface;
        session->Parse(reinterpret_cast<const char*>(data + i), static_cast<int>(n), now, result, interface, 5);
        // Every reply text is framed ("~01@..." or an upload's "~nnnn OK").
        if (!result.empty() && result[0] != '~') std::abort();
        i += n;
        now += 1000;
        session->IsNoActivity(now);
    }
    return 0;
}
