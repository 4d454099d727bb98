// The program's file digest (md5File, as the upgrade checks an item)
// against md5sum on the same 256 MiB file, page cache warm; the ratio is
// md5sum's time over the program's (above 1: the program is faster).
#include "bench.h"
#include "upgrade/md5.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

constexpr size_t kFileBytes = 256u << 20;

bool makeFile(const std::string& path, size_t bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::mt19937_64 random(19);
    std::vector<uint64_t> block(1 << 17);
    bool ok = true;
    for (size_t done = 0; ok && done < bytes; done += block.size() * 8) {
        for (uint64_t& w : block) w = random();
        ok = ::write(fd, block.data(), block.size() * 8) == static_cast<ssize_t>(block.size() * 8);
    }
    ::close(fd);
    return ok;
}

// md5sum's digest of path, and its wall time in seconds.
std::string md5sum(const std::string& path, double& secondsTaken) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return "";
    const auto t0 = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::execlp("md5sum", "md5sum", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    secondsTaken = seconds(Clock::now() - t0);
    return text.substr(0, 32);
}

}  // namespace

void md5Bench(const Options& o) {
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "hx40-bench-md5-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) return;
    // A relative name: the program maps absolute ones under its board root.
    const std::string file = "item.bin";
    const std::string cwd = fs::current_path().string();
    fs::current_path(dir);
    std::fprintf(stderr, "md5: writing %zu MiB\n", kFileBytes >> 20);
    const size_t bytes = o.quick ? kFileBytes / 4 : kFileBytes;
    if (makeFile(file, bytes)) {
        double warm = 0;
        const std::string expected = md5sum(file, warm);  // also warms the page cache
        std::vector<double> program, baseline, ratios;
        bool agree = true;
        for (int run = 0; run < o.runs; ++run) {
            double tool = 0, own = 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (run % 2 == 0)) {
                    std::string digest;
                    const auto t0 = Clock::now();
                    const bool ok = md5File(file, digest);
                    own = seconds(Clock::now() - t0);
                    agree = agree && ok && digest == expected;
                } else {
                    agree = agree && md5sum(file, tool) == expected;
                }
            }
            const double mib = static_cast<double>(bytes) / (1 << 20);
            program.push_back(mib / own);
            baseline.push_back(mib / tool);
            ratios.push_back(tool / own);
        }
        auto speed = [](double v) { return std::to_string(static_cast<int>(v)) + " MiB/s"; };
        Row row{"MD5 of a " + std::to_string(bytes >> 20) + " MiB file (page cache warm)", speed(median(program)),
                speed(median(baseline)) + " (md5sum)", ratios, ">= 1.0", ""};
        if (!agree) row.note = "the digests differ from md5sum's";
        addRow(row);
    }
    fs::current_path(cwd);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace bench
