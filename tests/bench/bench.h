// The benchmarks' small harness: samples and their summary, the one table
// they print, loopback sockets, the baseline servers as child processes and
// the CPU time of a thread of another process.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hx40test {
class SimDevice;
}

namespace bench {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d);
double median(std::vector<double> v);
// The p-quantile (0..1) by nearest rank.
double quantile(std::vector<double> v, double p);

struct Options {
    int runs = 5;
    bool quick = false;  // shorter measurements, for a first look
    std::vector<std::string> only;
    bool wants(const std::string& section) const;
};

// One line of the table: what was measured, the program's and the
// baseline's medians (as text, with units), the ratio of every run, and the
// goal that ratio's median must meet (">= 0.85", "<= 2.0"; empty: none).
// With values, the goal is on their median instead ("<= 10 ms").
struct Row {
    std::string work;
    std::string program;
    std::string baseline;
    std::vector<double> ratios;
    std::string goal;
    std::string note;
    std::vector<double> values;
};

void addRow(Row row);
// Prints every row added so far; false when a goal was missed.
bool printTable();

// "12.3 k/s", "41 us", "1.23 ms" ...
std::string rate(double perSecond);
std::string micros(double us);
std::string millis(double ms);

// Loopback TCP.
int listenLoopback(int port, int backlog);
int connectLoopback(int port, int receiveBuffer = 0);
bool sendAll(int fd, const std::string& text);
// Reads until text holds needle or timeoutMs passes; appends to text.
bool readUntil(int fd, std::string& text, const std::string& needle, int timeoutMs);
// Reads until text holds n bytes or more.
bool readBytes(int fd, std::string& text, size_t n, int timeoutMs);

// A baseline server started from the folder of this program; stopped (and
// reaped) with the object.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool ok() const { return pid_ > 0 && ready_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// Nanoseconds a thread of a process spent on a CPU (its schedstat); the
// first thread whose name is comm, or the whole process when comm is empty.
uint64_t threadCpuNs(pid_t pid, const std::string& comm);
// Voluntary plus involuntary context switches of that thread.
uint64_t threadSwitches(pid_t pid, const std::string& comm);
// Nanoseconds the calling thread spent on a CPU.
uint64_t selfCpuNs();

// Starts the real program on a fresh simulated board; false (said on
// stderr) when it does not come up.
bool startDevice(hx40test::SimDevice& device, const char* section);

// The sections; each adds its rows.
void protocolBench(const Options& o);
void fanoutBench(const Options& o);
void md5Bench(const Options& o);
void menuBench(const Options& o);
// Drives a running server only (for profiling it): --drive PORT LINE CLIENTS DEPTH SECONDS.
void driveOnly(int port, const std::string& line, int clients, int depth, double seconds);

}  // namespace bench
