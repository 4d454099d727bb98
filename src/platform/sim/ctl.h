// The board's control socket, <root>/run/simctl.sock: one request line per
// connection ("key tap MENU", "state", ...), one reply ("OK ..." or
// "ERR ..."), then the board closes the connection. Device models register
// their commands and their part of "state" here.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace board::sim::ctl {

using Handler = std::function<std::string(const std::vector<std::string>& args)>;

// Registers a command; args[0] is the command word. A later registration of
// the same word replaces the earlier one.
void add(const std::string& word, const std::string& usage, Handler handler);

// Adds a section to the reply of "state": "[name]" followed by fn's lines.
void addState(const std::string& name, std::function<std::string()> fn);

// Adds a part to "snapshot" (write what the board shows now: pictures,
// LEDs); fn returns a short note such as "frame 12". The reply is "OK "
// followed by every part's note, in the order they were added.
void addSnapshot(const std::string& name, std::function<std::string()> fn);

// Runs one request line and returns the reply (also used by tests).
std::string dispatch(const std::string& line);

bool start(const std::string& socketPath, std::string* error);
void stop();

// Client side: sends line to the board at root, fills reply. False when the
// board does not answer.
bool request(const std::string& root, const std::string& line, std::string& reply, int timeoutMs = 10000);

std::vector<std::string> splitWords(const std::string& line);

}  // namespace board::sim::ctl
