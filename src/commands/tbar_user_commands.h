// The hardware T-bar controller's presence question, the T-bar words that
// carry no action, and the two user keys USR1 and USR2 whose messages go out
// on the user-message serial port. All run on the protocol thread.
#pragma once

#include "commands/command_body.h"

namespace NorvaCommands {

// clang-format off
NORVA_COMMAND(tbarInfoCommand, tbarInfoCommandSpec);
NORVA_COMMAND(TbarCommand, TbarCommandSpec);
NORVA_COMMAND(SpeedCommand, SpeedCommandSpec);
NORVA_COMMAND(ModeCommand, ModeCommandSpec);
NORVA_COMMAND(BinCommand, BinCommandSpec);
NORVA_COMMAND(DBinCommand, DBinCommandSpec);
// clang-format on

}  // namespace NorvaCommands
