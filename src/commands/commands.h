// The command classes of the device's control vocabulary. Each row of the
// command table names one of them; their words, help texts and parameters
// live in the table, their behaviour here.
#pragma once

#include "commands/command_specs.h"

#include <string>

namespace NorvaCommands {

using Protocol7700::ActionReturnType;
using Protocol7700::ParameterValue;
using Protocol7700::Session;

// ---- bodies not built yet --------------------------------------------------
// Every class below answers "<WORD> not built" and never its parameters
// (WEB-PASSW carries passwords). Building a body means replacing the class's
// line by a class of its own; the command-set tests list the words that remain.

// Marks a command whose body is not built.
class NotBuiltBody {
public:
    virtual ~NotBuiltBody() = default;
};

ActionReturnType notBuilt(const std::string& word, std::string& reply);

template <class Spec>
class NotBuilt : public Spec, public NotBuiltBody {
public:
    using Spec::Spec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override {
        return notBuilt(this->GetName(), reply);
    }
};

// clang-format off
class BuildDateCommand final : public NotBuilt<Protocol7700::BuildDateCommandSpec> { using NotBuilt::NotBuilt; };
class ProtocolVersionCommand final : public NotBuilt<Protocol7700::ProtocolVersionCommandSpec> { using NotBuilt::NotBuilt; };
class FirmwareVersionCommand final : public NotBuilt<Protocol7700::FirmwareVersionCommandSpec> { using NotBuilt::NotBuilt; };
class DirCommand final : public NotBuilt<Protocol7700::DirCommandSpec> { using NotBuilt::NotBuilt; };
class GetWebSecurCommand final : public NotBuilt<Protocol7700::GetWebSecurCommandSpec> { using NotBuilt::NotBuilt; };
class SetWebSecurCommand final : public NotBuilt<Protocol7700::SetWebSecurCommandSpec> { using NotBuilt::NotBuilt; };
class GetWebUserCommand final : public NotBuilt<Protocol7700::GetWebUserCommandSpec> { using NotBuilt::NotBuilt; };
class GetWebPasswCommand final : public NotBuilt<Protocol7700::GetWebPasswCommandSpec> { using NotBuilt::NotBuilt; };
class SetWebPasswCommand final : public NotBuilt<Protocol7700::SetWebPasswCommandSpec> { using NotBuilt::NotBuilt; };
class GetEthernetPortCommand final : public NotBuilt<Protocol7700::GetEthernetPortCommandSpec> { using NotBuilt::NotBuilt; };
class GetNetGatewayCommand final : public NotBuilt<Protocol7700::GetNetGatewayCommandSpec> { using NotBuilt::NotBuilt; };
class GetDHCPCommand final : public NotBuilt<Protocol7700::GetDHCPCommandSpec> { using NotBuilt::NotBuilt; };
class GetTypeCommand final : public NotBuilt<Protocol7700::GetTypeCommandSpec> { using NotBuilt::NotBuilt; };
class SetLockPanelCommand final : public NotBuilt<Protocol7700::SetLockPanelCommandSpec> { using NotBuilt::NotBuilt; };
class GetLockPanelCommand final : public NotBuilt<Protocol7700::GetLockPanelCommandSpec> { using NotBuilt::NotBuilt; };
class GetLabelsCommand final : public NotBuilt<Protocol7700::GetLabelsCommandSpec> { using NotBuilt::NotBuilt; };
class SetLabelsCommand final : public NotBuilt<Protocol7700::SetLabelsCommandSpec> { using NotBuilt::NotBuilt; };
class GetColorSpaceInCommand final : public NotBuilt<Protocol7700::GetColorSpaceInCommandSpec> { using NotBuilt::NotBuilt; };
class GetHDCPInCommand final : public NotBuilt<Protocol7700::GetHDCPInCommandSpec> { using NotBuilt::NotBuilt; };
class GetModelineCommand final : public NotBuilt<Protocol7700::GetModelineCommandSpec> { using NotBuilt::NotBuilt; };
class GetColorDepthInCommand final : public NotBuilt<Protocol7700::GetColorDepthInCommandSpec> { using NotBuilt::NotBuilt; };
class GetEDIDInResolutionCommand final : public NotBuilt<Protocol7700::GetEDIDInResolutionCommandSpec> { using NotBuilt::NotBuilt; };
class GetEDIDInAudioChCommand final : public NotBuilt<Protocol7700::GetEDIDInAudioChCommandSpec> { using NotBuilt::NotBuilt; };
class GetVolumeInCommand final : public NotBuilt<Protocol7700::GetVolumeInCommandSpec> { using NotBuilt::NotBuilt; };
class GetSntpIPCommand final : public NotBuilt<Protocol7700::GetSntpIPCommandSpec> { using NotBuilt::NotBuilt; };
class TbarCommand final : public NotBuilt<Protocol7700::TbarCommandSpec> { using NotBuilt::NotBuilt; };
class SpeedCommand final : public NotBuilt<Protocol7700::SpeedCommandSpec> { using NotBuilt::NotBuilt; };
class ModeCommand final : public NotBuilt<Protocol7700::ModeCommandSpec> { using NotBuilt::NotBuilt; };
class IdentCommand final : public NotBuilt<Protocol7700::IdentCommandSpec> { using NotBuilt::NotBuilt; };
class BinCommand final : public NotBuilt<Protocol7700::BinCommandSpec> { using NotBuilt::NotBuilt; };
class DBinCommand final : public NotBuilt<Protocol7700::DBinCommandSpec> { using NotBuilt::NotBuilt; };
class SetEthernetPortCommand final : public NotBuilt<Protocol7700::SetEthernetPortCommandSpec> { using NotBuilt::NotBuilt; };
class SetNetGatewayCommand final : public NotBuilt<Protocol7700::SetNetGatewayCommandSpec> { using NotBuilt::NotBuilt; };
class SetNetMacCommand final : public NotBuilt<Protocol7700::TableCommandSpec> { using NotBuilt::NotBuilt; };
class tbarInfoCommand final : public NotBuilt<Protocol7700::tbarInfoCommandSpec> { using NotBuilt::NotBuilt; };
class SetNetIPCommand final : public NotBuilt<Protocol7700::TableCommandSpec> { using NotBuilt::NotBuilt; };
class SetEchoCommand final : public NotBuilt<Protocol7700::TableCommandSpec> { using NotBuilt::NotBuilt; };
class SetNetMaskCommand final : public NotBuilt<Protocol7700::TableCommandSpec> { using NotBuilt::NotBuilt; };
class SetDHCPCommand final : public NotBuilt<Protocol7700::TableCommandSpec> { using NotBuilt::NotBuilt; };
class SetSntpIPCommand final : public NotBuilt<Protocol7700::TableCommandSpec> { using NotBuilt::NotBuilt; };
class SetP7KBCommand final : public NotBuilt<Protocol7700::SetP7KBCommandSpec> { using NotBuilt::NotBuilt; };
class GetP7KBCommand final : public NotBuilt<Protocol7700::GetP7KBCommandSpec> { using NotBuilt::NotBuilt; };
// clang-format on

// ---- the older engine's words -----------------------------------------------
// The default command: every word no command claims runs through the older
// engine as "#" + word + " " + raw text; its complete reply ("~01@" and line
// end included) goes back unchanged.
class DefaultCommandSpec final : public Protocol7700::TableCommandSpec {
public:
    using TableCommandSpec::TableCommandSpec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& interface) const override;
};

// NAME?: the older engine's answer, framed once by the parser.
class GetNameCommand final : public Protocol7700::GetNameCommandSpec {
public:
    using GetNameCommandSpec::GetNameCommandSpec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& interface) const override;
};

// NAME <name>: stored by the older engine; the host name follows only a
// name the engine accepted, so the two never disagree.
class SetNameCommand final : public Protocol7700::SetNameCommandSpec {
public:
    using SetNameCommandSpec::SetNameCommandSpec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                              std::string& interface) const override;
};

// ---- help-only words -------------------------------------------------------
// HELP lists and describes these words; the parser never runs them (they
// reach the older engine through the default command).
class HelpOnlyCommand : public Protocol7700::TableCommandSpec {
public:
    using TableCommandSpec::TableCommandSpec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string&,
                              std::string&) const override {
        return 31;
    }
};

class FactoryCommand final : public Protocol7700::FactoryCommandSpec {
public:
    using FactoryCommandSpec::FactoryCommandSpec;
    ActionReturnType OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                              std::string&) const override {
        reply = "FACTORY OK";
        return 0;
    }
};

// clang-format off
class SetLocCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetTimeLocCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetVmuteCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class ModelCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class ResetCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class NameRstCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetTimeCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetTimeCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class PowerCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetUartCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetUartCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetPtnlCfgCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetPtnlCfgCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class CbinCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetVerboseCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetVerboseCommand final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetHdcpMode final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetHdcpMode final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetVidRes final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetVidRes final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetSerialNumber final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetVolume final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetVolume final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetInOutVolume final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetInOutVolume final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetRoute final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetRoute final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class GetMute final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class SetMute final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
class ScalerCmd final : public HelpOnlyCommand { using HelpOnlyCommand::HelpOnlyCommand; };
// clang-format on

}  // namespace NorvaCommands
