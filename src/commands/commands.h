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
class GetNameCommand final : public NotBuilt<Protocol7700::GetNameCommandSpec> { using NotBuilt::NotBuilt; };
class SetNameCommand final : public NotBuilt<Protocol7700::SetNameCommandSpec> { using NotBuilt::NotBuilt; };
// clang-format on

// The default command: every word no command claims goes to the older
// engine. The engine is not built yet, so the word is answered "not built"
// (framed here: the parser sends the default command's reply unchanged).
class DefaultCommandSpec final : public Protocol7700::TableCommandSpec, public NotBuiltBody {
public:
    using TableCommandSpec::TableCommandSpec;
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
