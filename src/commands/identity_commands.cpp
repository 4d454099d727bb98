#include "commands/identity_commands.h"

#include "commands/settings_files.h"
#include "core/switching.h"
#include "platform/board.h"
#include "sys/frontpanel.h"
#include "sys/version.h"

namespace NorvaCommands {
namespace {

constexpr ActionReturnType kLabelsFile = 5;  // the input labels file cannot be opened

}  // namespace

ActionReturnType BuildDateCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                            std::string&) const {
    reply = std::string("BUILD-DATE ") + getBuildDate();
    return 0;
}

ActionReturnType FirmwareVersionCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                                  std::string&) const {
    reply = std::string("VERSION ") + getVersionStr();
    return 0;
}

ActionReturnType ProtocolVersionCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                                  std::string&) const {
    reply = "PROTOCOL-VER 7700:01.05";
    return 0;
}

ActionReturnType DirCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                      std::string&) const {
    reply = "DIR " + std::to_string(listdir(board::deviceText("/root/app/memfiles/web"), 0)) + " OK";
    return 0;
}

ActionReturnType IdentCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                        std::string&) const {
    // The LEDs run through their colours (about 0.6 s), then show both
    // channels' state again.
    test_leds();
    ledsOnManager(0);
    ledsOnManager(1);
    reply = "IDENTIFY-SLV  OK";
    return 0;
}

ActionReturnType GetLockPanelCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                               std::string&) const {
    reply = "LOCK-FP " + std::to_string(keypad_get_locked_status_fp());
    return 0;
}

ActionReturnType SetLockPanelCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                               std::string&) const {
    // Any value but the current state toggles the lock.
    if (Args(params).integer(0) != keypad_get_locked_status_fp()) keypad_lock_fp();
    reply = "LOCK-FP " + std::to_string(keypad_get_locked_status_fp()) + " OK";
    return 0;
}

ActionReturnType GetLabelsCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                            std::string&) const {
    std::string line;
    if (readInputLabels(line) != 0) return kLabelsFile;
    reply = "LABELS " + line;
    return 0;
}

ActionReturnType SetLabelsCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                            std::string&) const {
    const Args args(params);
    std::vector<std::string> labels;
    for (size_t i = 0; i < args.size(); ++i) labels.push_back(args.text(i));
    std::string line;
    if (writeInputLabels(labels) != 0 || readInputLabels(line) != 0) return kLabelsFile;
    reply = "LABELS " + line + " OK";
    return 0;
}

ActionReturnType SetEchoCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                          std::string&) const {
    const Args args(params);
    for (size_t i = 0; i < args.size(); ++i) reply += (i > 0 ? "," : "") + args.text(i);
    return 0;
}

}  // namespace NorvaCommands
