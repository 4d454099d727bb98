// The exec layer: the one way the program starts another program.
//
// Every child runs in a sandbox made with bubblewrap whose "/" is the board
// root: the root's own folders are bound in, the host's /usr read-only, /bin
// (and /sbin, a link to it) holds the board's stand-ins over the device's
// system tools, /dev holds the board's devices, /proc is the kernel's, and
// the child gets fresh pid, network, uts and ipc namespaces and no
// capabilities. Children see the device's paths as they are and can name
// nothing outside the root, whatever they compute at run time. When the
// sandbox cannot be made, no child runs.
#pragma once

#include <string>
#include <vector>

namespace board::exec {

// Inside the sandbox the board's own /proc files (mounts, partitions,
// net/route) are here; /proc is the kernel's.
inline constexpr const char* kBoardProc = "/sim/proc";
// A file of the board's /proc: <root>/proc/name, or inside the sandbox
// (root "") under kBoardProc.
inline std::string boardProcFile(const std::string& root, const char* name) {
    return (root.empty() ? std::string(kBoardProc) : root + "/proc") + "/" + name;
}

// Runs argv in the sandbox and waits for it: the child's exit status
// (128 + signal number when a signal ended it), or -1 when it could not be
// started: no sandbox, or no such program inside it (error says why). The
// program is looked up on the device's PATH inside the sandbox; a script
// without "#!" runs under /bin/sh.
int run(const std::vector<std::string>& argv, std::string* error = nullptr);

// "" when the sandbox can be made on this machine, otherwise why not. Checked
// once per process; the first check that fails says why on stderr and in the
// journal.
const std::string& sandboxProblem();

}  // namespace board::exec
