// The simulated board: prepared once by "hx40-sim init", started by the
// program after board::open(), stopped on every exit path.
#pragma once

#include <string>

namespace board::sim {

struct InitOptions {
    std::string shareDir;  // skeleton/ and memfiles/ to copy into the root
    int tcpPort = 5000;
    int udpPort = 50000;
    int wsPort = 7681;
    int tunnelPort = 0;    // the factory values' tunnelling port; 0: theirs
    bool verbose = false;  // the factory network record's verbose word
};

// Folder of the running executable (where hx40_app, hx40-sim and
// hx40-standin are built); the shared data lies in ../share/hx40 from there.
std::string installDir();

// Builds a board root in dir (which must be missing or empty).
bool prepareRoot(const std::string& dir, const InitOptions& options, std::string* error);

// Starts the board's services for the open root: configuration, journal,
// serial ports, control socket, pid file.
bool start(std::string* error);

// The program finished starting ("ping" answers "OK ready") once main is
// through its start-up and the protocol thread has opened the control ports.
void setReady();
void setControlPortsReady();
bool ready();

// Stops the services and removes the pid file, the socket and the links.
void stop();

// The program ends because it was asked to (SIGTERM, the interrupt signal,
// "quit"), not by itself: <root>/run/stopped tells "hx40-sim run" not to
// start it again. Safe to call while stop() runs on another thread.
inline constexpr const char* kStoppedMark = "/run/stopped";
void stopRequested();

}  // namespace board::sim

namespace board {
// Everything the board must undo before the process ends: queues, services.
void shutdown();
}  // namespace board
