#include "sys/print.h"

#include "sys/locks.h"
#include "sys/scaler_bus.h"
#include "sys/timeutil.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

std::atomic<uint16_t> g_print_verbose_lvl{0};

namespace {

constexpr const char* kLogDir = "../logs";
constexpr int kKeptDumps = 10;
constexpr unsigned kDumpBanks = 256;
constexpr unsigned kChannel2Banks = 0x0B;  // channel 2's registers lie this many banks up

std::mutex gDumpMutex;
std::mutex gEventMutex;
const uint32_t gStartMs = getCurrMsCount();

// Numbers of the existing dumps, ascending.
std::vector<int> dumpNumbers() {
    std::vector<int> nums;
    if (DIR* d = ::opendir(kLogDir)) {
        while (dirent* e = ::readdir(d)) {
            int n = 0;
            char tail[8] = {};
            if (std::sscanf(e->d_name, "regs_dump%d.%4s", &n, tail) == 2 && std::strcmp(tail, "log") == 0 && n >= 0)
                nums.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(nums.begin(), nums.end());
    return nums;
}

std::string dumpName(int n) {
    char name[64];
    std::snprintf(name, sizeof name, "%s/regs_dump%03d.log", kLogDir, n);
    return name;
}

}  // namespace

void set_debug_level(uint16_t mask, int /*flag*/) { g_print_verbose_lvl = mask; }

void initPrintVerbose() {
    const char* v = std::getenv("PRINT_VERBOSE");
    if (v == nullptr || *v == '\0') return;
    char* end = nullptr;
    unsigned long mask = std::strtoul(v, &end, 16);
    if (*end != '\0') return;
    g_print_verbose_lvl = static_cast<uint16_t>(mask);
}

void print_gated(uint16_t mask, const char* fmt, ...) {
    if ((g_print_verbose_lvl & mask) == 0) return;
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::fflush(stdout);
}

void dumpbuff(const void*, int) {}

int dumpRegisters() { return dumpRegisters(0, kDumpBanks - 1, false); }

int dumpRegisters(unsigned firstBank, unsigned lastBank, bool extras) {
    std::lock_guard lock(gDumpMutex);
    std::vector<int> nums = dumpNumbers();
    int next = nums.empty() ? 0 : nums.back() + 1;
    std::string name = dumpName(next);
    FILE* f = std::fopen(name.c_str(), "w");
    if (f == nullptr) {
        PRINT(PRINT_GENERAL, "dumpRegisters: cannot write %s\n", name.c_str());
        return -1;
    }
    std::vector<unsigned> banks;
    for (unsigned bank = firstBank; bank <= lastBank && bank < kDumpBanks; ++bank) {
        banks.push_back(bank);
        if (extras && bank + kChannel2Banks < kDumpBanks) banks.push_back(bank + kChannel2Banks);
    }
    for (unsigned bank : banks) {
        uint8_t regs[256] = {};
        {
            // The lock is held per bank only, never across the file writes.
            MutexLock l(CS3_mutex);
            for (unsigned off = 1; off < 256; ++off) regs[off] = scaler_bus_read(bank, off);
        }
        std::fprintf(f, "bank %02X\n", bank);
        for (unsigned row = 0; row < 256; row += 16) {
            std::fprintf(f, "%02X:", row);
            for (unsigned i = 0; i < 16; ++i) std::fprintf(f, " %02X", regs[row + i]);
            std::fputc('\n', f);
        }
    }
    std::fclose(f);
    nums.push_back(next);
    while (nums.size() > static_cast<size_t>(kKeptDumps)) {
        ::unlink(dumpName(nums.front()).c_str());
        nums.erase(nums.begin());
    }
    logEvent("register dump %s", name.c_str());
    return next;
}

bool print_with_intervals(PrintInterval& gate) {
    gate.elapsed = false;
    if (!gate.enabled) return false;
    if (getElapsedMs(gate.last) >= gate.intervalMs) {
        gate.last = getCurrMsCount();
        gate.elapsed = true;
    }
    return gate.elapsed;
}

void logEvent(const char* fmt, ...) {
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    uint32_t ms = getElapsedMs(gStartMs);
    std::lock_guard lock(gEventMutex);
    if (FILE* f = std::fopen("../logs/events.log", "a")) {
        std::fprintf(f, "[%6u.%03u] %s\n", ms / 1000, ms % 1000, text);
        std::fclose(f);
    }
}
