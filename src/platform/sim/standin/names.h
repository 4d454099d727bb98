// The board's stand-in program and the device's system tools whose place it
// takes: the sandbox puts it in /bin under each of these names, and the
// program is the tool its name says.
#pragma once

namespace board::sim::standin {

inline constexpr const char* kProgram = "hx40-standin";
inline constexpr const char* kNames[] = {
    "reboot",  "halt",   "poweroff", "mount",   "umount", "flash_eraseall", "flashcp", "dd",
    "ifconfig", "route", "udhcpc",   "ntpd",    "httpd",  "killall",        "pgrep",   "pidof",
    "date",    "stty",   "hwclock",  "hostname", "tr"};

}  // namespace board::sim::standin
