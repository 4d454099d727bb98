// The command classes of the device's control vocabulary. Each row of the
// command table names one of them; their words, help texts and parameters
// live in the table, their behaviour here.
#pragma once

#include "commands/command_specs.h"
#include "commands/identity_commands.h"
#include "commands/network_commands.h"
#include "commands/tbar_user_commands.h"

#include <string>

namespace NorvaCommands {

using Protocol7700::ActionReturnType;
using Protocol7700::ParameterValue;
using Protocol7700::Session;

// The answer of a body that is not built: "<WORD> not built", never its
// parameters (they may carry passwords).
ActionReturnType notBuilt(const std::string& word, std::string& reply);

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
