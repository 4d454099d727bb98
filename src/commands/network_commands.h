// Commands on the network record (address, mask, gateway, DHCP, MAC, time
// server, the TCP and UDP control ports), the RS-232 control port's speed and
// the web page's security. A set word stores the value and applies it to the
// system at once; a new control port or speed is taken over by the running
// transports. All run on the protocol thread.
#pragma once

#include "commands/command_body.h"

namespace NorvaCommands {

// clang-format off
NORVA_COMMAND(GetWebSecurCommand, GetWebSecurCommandSpec);
NORVA_COMMAND(SetWebSecurCommand, SetWebSecurCommandSpec);
NORVA_COMMAND(GetWebUserCommand, GetWebUserCommandSpec);
NORVA_COMMAND(GetWebPasswCommand, GetWebPasswCommandSpec);
NORVA_COMMAND(SetWebPasswCommand, SetWebPasswCommandSpec);
NORVA_COMMAND(GetEthernetPortCommand, GetEthernetPortCommandSpec);
NORVA_COMMAND(SetEthernetPortCommand, SetEthernetPortCommandSpec);
NORVA_COMMAND(GetNetGatewayCommand, GetNetGatewayCommandSpec);
NORVA_COMMAND(SetNetGatewayCommand, SetNetGatewayCommandSpec);
NORVA_COMMAND(GetDHCPCommand, GetDHCPCommandSpec);
NORVA_COMMAND(SetDHCPCommand, TableCommandSpec);
NORVA_COMMAND(SetNetIPCommand, TableCommandSpec);
NORVA_COMMAND(SetNetMaskCommand, TableCommandSpec);
NORVA_COMMAND(SetNetMacCommand, TableCommandSpec);
NORVA_COMMAND(GetSntpIPCommand, GetSntpIPCommandSpec);
NORVA_COMMAND(SetSntpIPCommand, TableCommandSpec);
NORVA_COMMAND(GetP7KBCommand, GetP7KBCommandSpec);
NORVA_COMMAND(SetP7KBCommand, SetP7KBCommandSpec);
// clang-format on

}  // namespace NorvaCommands
