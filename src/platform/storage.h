// Mounting a removable FAT partition (the upgrade's USB key): the one way
// the program calls mount(2).
#pragma once

#include <string>

namespace board::storage {

// Flag of mount(2): do not update access times.
inline constexpr unsigned long kNoAccessTime = 0x400;

// mount(2) of source (a device path such as "/dev/sdb1") on target (a
// folder) with the file-system type: 0, or an errno value (ENODEV when no
// such partition, EBUSY when target is mounted already).
int mount(const std::string& source, const std::string& target, const std::string& type, unsigned long flags);

}  // namespace board::storage
