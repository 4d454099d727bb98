// Restarts the device: clears the scaler's reboot marker (register code
// 0x102), runs the system's reboot command and ends the process with
// status 1.
#pragma once

[[noreturn]] void warm_boot();
