// The exec policy: the one way the program starts another program.
//
// On the simulated board a program resolves only in <root>/sim-bin (stand-ins
// of our own and a few plain file tools); every absolute path in an argument
// word, or in the text of a script, is mapped under the board root; a word
// that would still resolve outside the root is refused. Scripts run under
// bash through the board's "sh" stand-in, which translates their text.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace board::exec {

// Folder of the stand-ins inside the root.
inline constexpr const char* kStandinDir = "sim-bin";

// Rewrites every absolute path that starts at a word boundary in text (shell
// words, redirections, "[ -f ... ]" tests, "." includes, PATH lists) under
// root. Bodies of here-documents are kept as written: they are data. Paths
// already inside root are left alone, so the rewrite can be applied twice.
std::string translateText(std::string_view text, const std::string& root);

// What the policy would run for argv, without running it.
struct Plan {
    bool ok = false;
    std::string error;               // why it was refused
    std::string program;             // absolute path to execute
    std::vector<std::string> argv;   // argv[0] is the program's name
};
Plan plan(const std::vector<std::string>& argv);

// Descriptors for the child's standard streams (-1 = inherit).
struct Io {
    int in = -1;
    int out = -1;
    int err = -1;
};

// Starts argv under the policy. Returns the child's pid, or -1 when the
// policy refused it or it could not be started (error says why; the refusal
// is also printed and written to the journal).
pid_t spawn(const std::vector<std::string>& argv, const Io& io = {}, std::string* error = nullptr);

// Waits for a child started by spawn: its exit status, 128 + signal number
// when a signal ended it, -1 when it cannot be waited for.
int wait(pid_t pid);

// spawn + wait: the child's exit status, or -1 when it could not be started.
int run(const std::vector<std::string>& argv, std::string* error = nullptr);

// The environment given to children: the process's own with PATH set to the
// stand-in folder and HOME, TMPDIR and HX40_BOARD_ROOT inside the root.
std::vector<std::string> childEnvironment(const std::string& root);

}  // namespace board::exec
