// Commands that tell what the device is (build date, versions, web files),
// identify it by its LEDs, lock its front panel, read and write the input
// labels, report the stored settings of all eight inputs in one line, and
// echo text back to the web page. All run on the protocol thread.
#pragma once

#include "commands/command_body.h"
#include "core/pm.h"

namespace NorvaCommands {

// clang-format off
NORVA_COMMAND(BuildDateCommand, BuildDateCommandSpec);
NORVA_COMMAND(ProtocolVersionCommand, ProtocolVersionCommandSpec);
NORVA_COMMAND(FirmwareVersionCommand, FirmwareVersionCommandSpec);
NORVA_COMMAND(DirCommand, DirCommandSpec);
NORVA_COMMAND(IdentCommand, IdentCommandSpec);
NORVA_COMMAND(GetLockPanelCommand, GetLockPanelCommandSpec);
NORVA_COMMAND(SetLockPanelCommand, SetLockPanelCommandSpec);
NORVA_COMMAND(GetLabelsCommand, GetLabelsCommandSpec);
NORVA_COMMAND(SetLabelsCommand, SetLabelsCommandSpec);
NORVA_COMMAND(SetEchoCommand, TableCommandSpec);
// clang-format on

// One value of every input: the word without its '?', a blank, then the
// eight stored values of inputs 1 to 8 as signed numbers joined by ','.
template <class Spec, int8_t PMIRec::*Value>
class InputStatusCommand : public Spec {
public:
    using Spec::Spec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override {
        const std::string& word = this->GetName();
        reply = word.substr(0, word.size() - 1) + " ";
        for (int input = 0; input < 8; ++input) {
            if (input > 0) reply += ',';
            reply += std::to_string(PM_I[input].*Value);
        }
        return 0;
    }
};

// clang-format off
class GetTypeCommand final : public InputStatusCommand<Protocol7700::GetTypeCommandSpec, &PMIRec::SEL_INPUT_TYPE> { using InputStatusCommand::InputStatusCommand; };
class GetHDCPInCommand final : public InputStatusCommand<Protocol7700::GetHDCPInCommandSpec, &PMIRec::HDCP_MODE> { using InputStatusCommand::InputStatusCommand; };
class GetColorSpaceInCommand final : public InputStatusCommand<Protocol7700::GetColorSpaceInCommandSpec, &PMIRec::COLOR_SPACE> { using InputStatusCommand::InputStatusCommand; };
class GetVolumeInCommand final : public InputStatusCommand<Protocol7700::GetVolumeInCommandSpec, &PMIRec::INP_VOLUME> { using InputStatusCommand::InputStatusCommand; };
class GetColorDepthInCommand final : public InputStatusCommand<Protocol7700::GetColorDepthInCommandSpec, &PMIRec::COLOR_DEPTH> { using InputStatusCommand::InputStatusCommand; };
class GetModelineCommand final : public InputStatusCommand<Protocol7700::GetModelineCommandSpec, &PMIRec::MODELINE> { using InputStatusCommand::InputStatusCommand; };
class GetEDIDInResolutionCommand final : public InputStatusCommand<Protocol7700::GetEDIDInResolutionCommandSpec, &PMIRec::RESOLUTION> { using InputStatusCommand::InputStatusCommand; };
class GetEDIDInAudioChCommand final : public InputStatusCommand<Protocol7700::GetEDIDInAudioChCommandSpec, &PMIRec::AUDIO_CHANNELS> { using InputStatusCommand::InputStatusCommand; };
// clang-format on

}  // namespace NorvaCommands
