// The device-name words of the older engine: the name kept in the
// parameter EEPROM (16 bytes at 0x7E8A), which NAME? reports and NAME and
// NAME-RST change.
#pragma once

#include "commands/notifications.h"

#include <string_view>

// 1 to 16 characters: letters, digits, '-' and '_', a letter first and no
// '-' last.
bool validDeviceName(std::string_view name);

void p7kSetName(COMM_TYPE port, int id, const char* params);    // NAME <name>
void p7kResetName(COMM_TYPE port, int id, const char* params);  // NAME-RST: model + "-" + serial
void p7kGetName(COMM_TYPE port, int id, const char* params);    // NAME?
