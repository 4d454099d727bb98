#include "platform/journal.h"

#include "platform/fdio.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace board {
namespace {

// Lines held for the writer at most; past it lines are dropped and counted.
constexpr size_t kPendingMax = 4u << 20;
// The writer lets lines gather this long before it writes them, and after
// a write it looks again at this pace for a while before it waits to be
// woken: while lines keep coming, no caller ever has to wake it.
constexpr auto kGather = std::chrono::milliseconds(10);
constexpr int kLingerRounds = 100;
constexpr auto kFlushWait = std::chrono::seconds(2);
constexpr size_t kArgsMax = 1024;
constexpr size_t kLineMax = 1200;

// Never destroyed: threads may still journal while the process exits.
struct Journal {
    std::mutex m;
    std::condition_variable wake;     // the writer waits here
    std::condition_variable written;  // flushes wait here
    std::string pending;
    unsigned long long appended = 0;  // lines taken so far
    unsigned long long flushed = 0;   // lines in the file (or dropped)
    unsigned long long dropped = 0;
    bool writerIdle = false;
    bool flushWanted = false;
    bool clearWanted = false;
    bool stop = false;
    bool open = false;
    std::atomic<bool> taking{false};  // open, read without the lock
    std::thread writer;
    // The writer's own: touched only by it (and by open and close, while no
    // writer runs).
    int fd = -1;
    std::string path;
    size_t size = 0;
};

Journal& J() {
    static Journal* j = new Journal;
    return *j;
}

thread_local char tName[17];
thread_local bool tNamed = false;

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

const char* threadName() {
    if (!tNamed) {
        std::memset(tName, 0, sizeof tName);
        prctl(PR_GET_NAME, tName, 0, 0, 0);
        tNamed = true;
    }
    return tName;
}

// Appends a batch to the file, rotating it first when it would pass the
// bound. Called by the writer only, without the lock.
void writeOut(Journal& j, const std::string& batch, bool clear) {
    if (j.fd < 0) return;
    if (clear) {
        (void)!::ftruncate(j.fd, 0);
        j.size = 0;
    }
    if (j.size + batch.size() > kJournalRotateBytes) {
        // Someone may have emptied the file behind our back: ask it.
        struct stat st{};
        if (::fstat(j.fd, &st) == 0) j.size = static_cast<size_t>(st.st_size);
        if (j.size > 0 && j.size + batch.size() > kJournalRotateBytes) {
            const std::string old = j.path + ".1";
            if (::rename(j.path.c_str(), old.c_str()) == 0) {
                int fd = ::open(j.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
                if (fd >= 0) {
                    ::close(j.fd);
                    j.fd = fd;
                    j.size = 0;
                }
            }
        }
    }
    board::writeFully(j.fd, batch.data(), batch.size());  // a full disk loses the batch, never the program
    j.size += batch.size();
}

void writerLoop() {
    Journal& j = J();
    ::prctl(PR_SET_NAME, "SIMJOURNAL", 0, 0, 0);
    // Woken, it never takes the processor from the thread that woke it.
    const sched_param policy{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &policy);
    std::unique_lock lock(j.m);
    int quietRounds = kLingerRounds;
    for (;;) {
        if (j.pending.empty() && !j.clearWanted) {
            if (j.stop) return;
            if (quietRounds >= kLingerRounds) {
                j.writerIdle = true;
                j.wake.wait(lock, [&] { return j.stop || !j.pending.empty() || j.clearWanted; });
                j.writerIdle = false;
            } else {
                ++quietRounds;
            }
        }
        // Lines come in bursts: one write takes them all.
        if (!j.stop && !j.flushWanted) j.wake.wait_for(lock, kGather, [&] { return j.stop || j.flushWanted; });
        if (j.pending.empty() && !j.clearWanted && !j.flushWanted) continue;
        std::string batch;
        batch.swap(j.pending);
        const unsigned long long upto = j.appended;
        const unsigned long long lost = std::exchange(j.dropped, 0);
        const bool clear = std::exchange(j.clearWanted, false);
        j.flushWanted = false;
        lock.unlock();
        if (lost > 0) {
            char note[96];
            const int n = std::snprintf(note, sizeof note, "%llu %s journal.dropped lines=%llu\n", msSinceStart(),
                                        "SIMJOURNAL", lost);
            batch.append(note, static_cast<size_t>(n));
        }
        writeOut(j, batch, clear);
        lock.lock();
        j.flushed = upto;
        j.written.notify_all();
        quietRounds = 0;
    }
}

}  // namespace

void journalOpen(const std::string& root) {
    journalClose();
    Journal& j = J();
    std::lock_guard lock(j.m);
    j.path = root + "/sim/journal.log";
    j.fd = ::open(j.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    struct stat st{};
    j.size = j.fd >= 0 && ::fstat(j.fd, &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
    j.pending.clear();
    j.flushed = j.appended;
    j.dropped = 0;
    j.stop = false;
    j.clearWanted = false;
    j.flushWanted = false;
    j.open = j.fd >= 0;
    j.taking = j.open;
    msSinceStart();
    if (j.open) j.writer = std::thread(writerLoop);
}

void journalClose() {
    Journal& j = J();
    std::thread writer;
    {
        std::lock_guard lock(j.m);
        if (!j.open) return;
        j.open = false;
        j.taking = false;
        j.stop = true;
        writer = std::move(j.writer);
    }
    j.wake.notify_all();
    if (writer.joinable()) writer.join();
    std::lock_guard lock(j.m);
    if (j.fd >= 0) ::close(j.fd);
    j.fd = -1;
    j.written.notify_all();
}

void journalFlush() {
    Journal& j = J();
    std::unique_lock lock(j.m);
    if (!j.open || j.flushed >= j.appended) return;
    const unsigned long long target = j.appended;
    j.flushWanted = true;
    j.wake.notify_all();
    j.written.wait_for(lock, kFlushWait, [&] { return !j.open || j.flushed >= target; });
}

void journalClear() {
    Journal& j = J();
    std::unique_lock lock(j.m);
    if (!j.open) return;
    j.pending.clear();
    j.clearWanted = true;
    j.flushWanted = true;
    const unsigned long long target = j.appended;
    j.wake.notify_all();
    j.written.wait_for(lock, kFlushWait, [&] { return !j.open || (j.flushed >= target && !j.clearWanted); });
}

void journalThreadRenamed() { tNamed = false; }

namespace {

// Starts a line: "<ms> <thread> <call> "; returns where the arguments go.
char* head(char* line, const char* call) {
    char* at = std::to_chars(line, line + 24, msSinceStart()).ptr;
    *at++ = ' ';
    const char* name = threadName();
    const size_t nameLen = std::strlen(name);
    std::memcpy(at, name, nameLen);
    at += nameLen;
    *at++ = ' ';
    const size_t callLen = std::min(std::strlen(call), static_cast<size_t>(100));
    std::memcpy(at, call, callLen);
    at += callLen;
    *at++ = ' ';
    return at;
}

void take(const char* line, size_t len) {
    Journal& j = J();
    std::lock_guard lock(j.m);
    if (!j.open) return;
    if (j.pending.size() + len > kPendingMax) {
        ++j.dropped;
        return;
    }
    j.pending.append(line, len);
    ++j.appended;
    if (j.writerIdle) {
        j.writerIdle = false;
        j.wake.notify_one();
    }
}

}  // namespace

void journal(const char* call, const char* fmt, ...) {
    if (!J().taking.load(std::memory_order_relaxed)) return;
    char line[kLineMax];
    char* at = head(line, call);
    const size_t room = std::min(kArgsMax, static_cast<size_t>(line + kLineMax - 1 - at));
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(at, room, fmt, ap);
    va_end(ap);
    if (n > 0) at += std::min(static_cast<size_t>(n), room - 1);
    *at++ = '\n';
    take(line, static_cast<size_t>(at - line));
}

void journalText(const char* call, std::string_view args) {
    if (!J().taking.load(std::memory_order_relaxed)) return;
    char line[kLineMax];
    char* at = head(line, call);
    const size_t n = std::min({args.size(), kArgsMax - 1, static_cast<size_t>(line + kLineMax - 1 - at)});
    std::memcpy(at, args.data(), n);
    at += n;
    *at++ = '\n';
    take(line, static_cast<size_t>(at - line));
}

}  // namespace board
