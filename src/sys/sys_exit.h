#pragma once

// Ends the process with code after undoing what the board must not keep
// (message queues, the board's services). Every exit path goes through here.
[[noreturn]] void sys_exit(int code);
