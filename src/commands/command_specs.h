// The framework's abstract descriptions of the device's commands: each takes
// its word, help text, parameters and routing from its row of the command
// table and leaves the action to the command set.
#pragma once

#include "protocol/command.h"

namespace NorvaCommands {
struct CommandRow;
}

namespace Protocol7700 {

// A command described by a row of the command table.
class TableCommandSpec : public CommandSpec {
public:
    explicit TableCommandSpec(const NorvaCommands::CommandRow& row);
};

// clang-format off
class ProtocolVersionCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class FirmwareVersionCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class DirCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetWebSecurCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetWebSecurCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; bool HidesParameters() const override { return true; } };
class GetWebUserCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetWebPasswCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetWebPasswCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; bool HidesParameters() const override { return true; } };
class GetNameCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetEthernetPortCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetNetGatewayCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetDHCPCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetTypeCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetLockPanelCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetLockPanelCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetLabelsCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetLabelsCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetColorSpaceInCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetHDCPInCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetModelineCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetColorDepthInCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetEDIDInResolutionCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetEDIDInAudioChCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetVolumeInCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetSntpIPCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class TbarCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SpeedCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class ModeCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class IdentCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class BinCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class DBinCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetNameCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetEthernetPortCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetNetGatewayCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class tbarInfoCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class SetP7KBCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class GetP7KBCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
class FactoryCommandSpec : public TableCommandSpec { public: using TableCommandSpec::TableCommandSpec; };
// clang-format on

}  // namespace Protocol7700
