// The real hx40_app on a temporary board root with free loopback ports, as
// the end-to-end tests drive it. The root is the only entry of a fresh
// folder, so that a test sees whatever lands next to it. Teardown always
// stops the program, removes its queues and the folders, and fails the test
// on a sanitizer report.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hx40test {

// A loopback port free for TCP and UDP that no other test process gets (it
// stays this process's); 0, with a test failure, when none is left.
int freePort();

class SimDevice {
public:
    SimDevice();  // prepares the root; start() runs the program
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Starts hx40_app and waits until it answers "ping" with "OK ready".
    // Returns false (and the program's log in why) when it does not.
    bool start(const std::vector<std::string>& args = {}, std::string* why = nullptr, int timeoutMs = 30000);
    // The same under "hx40-sim run", as a person runs the device: the
    // process (stop, waitExit, running) is then hx40-sim's.
    bool startUnderRunLoop(std::string* why = nullptr, int timeoutMs = 30000);
    // The pid of the running hx40_app (its pid file), or 0.
    pid_t appPid() const;
    // SIGTERM and wait: the exit status (128 + signal when killed).
    int stop(int timeoutMs = 20000);
    // Waits for the program to end by itself: its status, or -1 on time-out.
    int waitExit(int timeoutMs);
    bool running();
    pid_t pid() const { return pid_; }

    std::string ctl(const std::string& line);
    bool waitFor(const std::function<bool()>& pred, int timeoutMs);
    bool waitJournal(const std::string& needle, int timeoutMs);

    std::string file(const std::string& rel) const { return root_ + "/" + rel; }
    std::string read(const std::string& rel) const;
    std::string log() const { return read("run/app.log"); }
    // Asks the program to write out its journal first, while it runs.
    std::string journal() const;
    const std::string& root() const { return root_; }
    const std::string& parent() const { return parent_; }

    int tcpPort = 0;
    int udpPort = 0;
    int wsPort = 0;
    int tunnelPort = 0;
    int fileLimit = 0;  // > 0: the program's limit of open descriptors

private:
    bool launch(std::vector<std::string> words, std::string* why, int timeoutMs);
    std::string parent_;
    std::string root_;
    pid_t pid_ = -1;
    int status_ = -1;
    bool reap(int timeoutMs);
};

}  // namespace hx40test
