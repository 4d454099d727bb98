#include "sys/fpga.h"

#include "core/pm.h"
#include "platform/hw.h"
#include "platform/journal.h"
#include "sys/mydosystem.h"
#include "sys/print.h"

#include <cstdio>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kMemDir = "../memfiles/";
constexpr const char* kPlainName = "selka.rbf";

// A versioned image's name and version: false when there is none.
bool findVersionedImage(std::string& name, int v[3]) {
    bool found = false;
    if (DIR* d = ::opendir(kMemDir)) {
        while (dirent* e = ::readdir(d)) {
            int a = 0, b = 0, c = 0, n = 0;
            std::string s = e->d_name;
            if (std::sscanf(s.c_str(), "selka_%d_%d_%d.rbf%n", &a, &b, &c, &n) == 3 &&
                static_cast<size_t>(n) == s.size()) {
                name = s;
                v[0] = a, v[1] = b, v[2] = c;
                found = true;
                break;
            }
        }
        ::closedir(d);
    }
    return found;
}

bool exists(const std::string& file) { return ::access(file.c_str(), F_OK) == 0; }

}  // namespace

int FPGA_get_string_version(char* text) {
    int v[3] = {0, 0, 0};
    bool ok = board::fpga::version(v);
    std::snprintf(text, 16, "%d.%d.%d", v[0], v[1], v[2]);
    return ok ? 0 : 1;
}

int rename_rbf_file(int plain) {
    std::string from, to;
    if (plain) {
        int v[3];
        if (!findVersionedImage(from, v)) return exists(std::string(kMemDir) + kPlainName) ? 0 : 1;
        to = kPlainName;
    } else {
        if (!exists(std::string(kMemDir) + kPlainName)) return 1;
        int v[3] = {0, 0, 0};
        board::fpga::version(v);
        char name[64];
        std::snprintf(name, sizeof name, "selka_%d_%d_%d.rbf", v[0], v[1], v[2]);
        from = kPlainName;
        to = name;
    }
    std::string line = "mv " + std::string(kMemDir) + from + " " + kMemDir + to;
    return MyDoSystem(line.c_str());
}

int compare_FPGA_versions(const char* a, const char* b) {
    int x[3] = {-1, -1, -1}, y[3] = {-2, -2, -2};
    if (a == nullptr || b == nullptr) return 1;
    if (std::sscanf(a, "%d.%d.%d", &x[0], &x[1], &x[2]) != 3) return 1;
    if (std::sscanf(b, "%d.%d.%d", &y[0], &y[1], &y[2]) != 3) return 1;
    return (x[0] == y[0] && x[1] == y[1] && x[2] == y[2]) ? 0 : 1;
}

int FPGA_init(bool force) {
    char running[16];
    FPGA_get_string_version(running);
    std::string image;
    int v[3] = {0, 0, 0};
    bool versioned = findVersionedImage(image, v);
    if (!versioned && exists(std::string(kMemDir) + kPlainName)) image = kPlainName;
    if (!image.empty()) {
        char wanted[16];
        std::snprintf(wanted, sizeof wanted, "%d.%d.%d", v[0], v[1], v[2]);
        // A plain image carries no version: it is always written.
        bool differ = !versioned || compare_FPGA_versions(running, wanted) != 0;
        if (differ || board::fpga::configBlank() || force) {
            std::printf("FPGA: programming %s (running %s)\n", image.c_str(), running);
            if (board::fpga::program(std::string(kMemDir) + image, v) != 0)
                std::printf("FPGA: programming the configuration flash failed\n");
        }
    }
    if (!board::fpga::ready()) {
        std::printf("FPGA: not ready\n");
        return 1;
    }
    return 0;
}

void iEBsetLVDS() {
    // One window in the overlay mode's single layouts, two otherwise.
    const int windows = vp.numInputs == 1 ? 1 : 2;
    board::journal("iEBsetLVDS", "windows=%d", windows);
    board::fpga::setOutputLink(windows);
}

int DSP_ADAU1442_init() {
    board::journal("dsp.init", "-");
    return board::dsp::alive() ? 0 : 1;
}
