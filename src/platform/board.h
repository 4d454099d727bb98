// The board root: every absolute path of the device resolves under one folder.
//
// Nothing else in the program opens a device path: files are opened through
// board::path(), programs are started in the sandbox of the exec layer
// (exec.h). Texts
// that only name a device path (messages, replies, generated scripts) keep
// the device's path and are marked with board::deviceText().
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace board {

// Opens the board rooted at dir: checks that it was prepared by
// "hx40-sim init", makes it the process's board and changes the working
// directory to <root>/root/app/bin. Returns false with a message otherwise.
bool open(const std::string& dir, std::string* error);

// Takes the board for this process: a lock on <root>/run/app.lock, held
// until the process ends. False, with who holds it, when another program
// runs on the board.
bool lock(std::string* error);

// Forgets the board (tests that open several roots in one process).
void close();

bool isOpen();

// Canonical absolute path of the board root ("" when no board is open).
const std::string& root();

// Maps a device path under the root, as a child in the sandbox would find
// it: "/dev/ttyS0" becomes "<root>/dev/ttyS0"; a relative path starts at the
// working directory (<root>/root/app/bin); "." and ".." are resolved, and so
// are links on the way, an absolute link naming a path of the board (links
// in the board's /dev are the system's). A path that already starts with the
// root is taken as mapped. A path that leaves the root (one starting with the
// root that ".." takes out, a loop of links) is refused, and so is every
// absolute path without an open board: the result lies under a folder that
// cannot exist, never a real path.
std::string path(std::string_view devicePath);

// True when p (absolute, or relative to the working directory) lies inside
// the root once "." and ".." are resolved lexically.
bool isInsideRoot(std::string_view p);

// The device's name of hostPath when it is root or lies under it ("/" for
// root itself), compared as written; nothing when it lies elsewhere.
std::optional<std::string> deviceView(std::string_view root, std::string_view hostPath);

// Lexical normalisation: removes ".", "..", repeated slashes. Keeps a
// leading "/" for absolute paths.
std::string normalise(std::string_view p);

// Marks a literal that names a device path without opening it.
constexpr const char* deviceText(const char* text) { return text; }

// Where a board root is prepared: the folder given with --board-root or
// HX40_BOARD_ROOT ("" when neither is given).
std::string rootFromArgsOrEnv(int& argc, char** argv);

}  // namespace board
