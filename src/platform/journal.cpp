#include "platform/journal.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/prctl.h>
#include <unistd.h>

namespace board {
namespace {

std::mutex gMutex;
int gFd = -1;

unsigned long long msSinceStart() {
    static const timespec start = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return t;
    }();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec - start.tv_sec) * 1000ULL +
           static_cast<unsigned long long>((now.tv_nsec - start.tv_nsec) / 1000000L);
}

}  // namespace

void journalOpen(const std::string& root) {
    std::lock_guard lock(gMutex);
    if (gFd >= 0) ::close(gFd);
    gFd = ::open((root + "/sim/journal.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    msSinceStart();
}

void journalClose() {
    std::lock_guard lock(gMutex);
    if (gFd >= 0) ::close(gFd);
    gFd = -1;
}

void journal(const char* call, const char* fmt, ...) {
    char args[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(args, sizeof args, fmt, ap);
    va_end(ap);
    char name[17] = {};
    prctl(PR_GET_NAME, name, 0, 0, 0);
    char line[1200];
    int n = std::snprintf(line, sizeof line, "%llu %s %s %s\n", msSinceStart(), name, call, args);
    if (n < 0) return;
    if (static_cast<size_t>(n) >= sizeof line) {
        n = sizeof line - 1;
        line[n - 1] = '\n';
    }
    std::lock_guard lock(gMutex);
    if (gFd >= 0) (void)!::write(gFd, line, static_cast<size_t>(n));
}

}  // namespace board
