// A person's view of the menu: the time from a 30 ms tap of MENU to the
// written scene (sim/osd/scene.txt) showing the menu open, and the CPU the
// simulated board's picture writer spends per OSD frame, against a frame
// that writes every picture (what "snapshot" does), in the same run.
#include "bench.h"
#include "support/sim_device.h"
#include "support/temp_board.h"

#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

// Waits for a new scene.txt for which pred holds; false on time-out.
template <class Pred>
bool awaitScene(int watch, const std::string& file, Pred pred, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    for (;;) {
        const int left =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) return false;
        pollfd p{watch, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) continue;
        bool scene = false;
        ssize_t n = ::read(watch, buf, sizeof buf);
        for (ssize_t at = 0; at < n;) {
            auto* e = reinterpret_cast<inotify_event*>(buf + at);
            if (e->len > 0 && std::string(e->name) == "scene.txt") scene = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
        if (scene && pred(hx40test::readFile(file))) return true;
    }
}

uint64_t frameOf(const std::string& scene) { return std::strtoull(scene.c_str() + 6, nullptr, 10); }

}  // namespace

void menuBench(const Options& o) {
    hx40test::SimDevice device;
    if (!startDevice(device, "menu")) return;
    const pid_t pid = device.appPid();
    const std::string scene = device.file("sim/osd/scene.txt");
    int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ::inotify_add_watch(watch, device.file("sim/osd").c_str(), IN_MOVED_TO);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // start-up pictures written

    auto open = [](const std::string& s) { return s.find("window on") != std::string::npos && s.find("Main Menu") != std::string::npos; };
    auto closed = [](const std::string& s) { return s.find("window on") == std::string::npos; };
    const int taps = o.quick ? 4 : 10;
    std::vector<double> latencyMs, frameMs, snapshotMs, ratios;
    bool lost = false;
    for (int run = 0; run < o.runs && !lost; ++run) {
        const uint64_t cpu0 = threadCpuNs(pid, "SIMOSD");
        const uint64_t frames0 = frameOf(hx40test::readFile(scene));
        for (int i = 0; i < taps && !lost; ++i) {
            const auto t0 = Clock::now();
            device.ctl("key tap MENU 30");
            if (!awaitScene(watch, scene, open, 3000)) lost = true;
            latencyMs.push_back(seconds(Clock::now() - t0) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the board is idle again
            device.ctl("key tap MENU 30");
            if (!awaitScene(watch, scene, closed, 3000)) lost = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the board is idle again
        }
        const uint64_t cpu1 = threadCpuNs(pid, "SIMOSD");
        const uint64_t frames1 = frameOf(hx40test::readFile(scene));
        // Every picture, as the snapshot command writes them (on its own thread).
        const int snapshots = 5;
        const uint64_t s0 = threadCpuNs(pid, "SIMCTL");
        for (int i = 0; i < snapshots; ++i) device.ctl("snapshot");
        const uint64_t s1 = threadCpuNs(pid, "SIMCTL");
        if (frames1 <= frames0) continue;
        const double perFrame = static_cast<double>(cpu1 - cpu0) / 1e6 / static_cast<double>(frames1 - frames0);
        const double perSnapshot = static_cast<double>(s1 - s0) / 1e6 / snapshots;
        frameMs.push_back(perFrame);
        snapshotMs.push_back(perSnapshot);
        ratios.push_back(perFrame / perSnapshot);
    }
    ::close(watch);
    Row key{"menu key (30 ms tap) to the new scene", millis(median(latencyMs)) + " (max " + millis(quantile(latencyMs, 1.0)) + ")",
            "-", {}, "", ""};
    if (lost) key.note = "a scene did not come within 3 s";
    addRow(key);
    addRow(Row{"CPU per OSD frame (picture writer)", millis(median(frameMs)), millis(median(snapshotMs)) + " (every picture)",
               ratios, "<= 10 ms", "", frameMs});
}

}  // namespace bench
