// A prepared board root for the upgrade's actions, version lists and
// checks, with helpers to lay out a package and read what the tools did.
#pragma once

#include "support/temp_board.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace hx40test {

// Bytes that show a misplaced or cut write: a counter mixed with a seed.
inline std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return s;
}

// md5sum's answer for a host file: the test's oracle.
inline std::string md5sumOf(const std::string& hostPath) {
    std::string cmd = "md5sum '" + hostPath + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return "";
    char buf[64] = {};
    size_t n = std::fread(buf, 1, 32, p);
    ::pclose(p);
    return std::string(buf, n);
}

// fstab with mtd4 main, as a new board has it.
inline constexpr const char* kFstabMtd4Main =
    "proc\t\t/proc\t\tproc\tdefaults\t0\t0\n"
    "sysfs\t\t/sys\t\tsysfs\tdefaults\t0\t0\n"
    "tmpfs\t\t/dev/shm\ttmpfs\tdefaults\t0\t0\n"
    "none\t\t/proc/bus/usb\tusbfs\tdefaults\t0\t0\n"
    "/dev/mtdblock6\t/root/persist\tjffs2\tdefaults\t0\t0\n"
    "/dev/mtdblock4\t/root/app\tjffs2\tdefaults\t0\t0\n"
    "/dev/mtdblock5\t/root/app.bk\tjffs2\tdefaults\t0\t0\n";

class UpgradeTest : public ::testing::Test {
protected:
    void SetUp() override { board_ = std::make_unique<TempBoard>(); }
    void TearDown() override { board_.reset(); }

    const std::string& root() const { return board_->root(); }
    std::string read(const std::string& rel) const { return board_->read(rel); }
    bool exists(const std::string& rel) const { return board_->exists(rel); }
    void write(const std::string& rel, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(board_->file(rel)).parent_path());
        board_->write(rel, text);
    }
    void executable(const std::string& rel, const std::string& text) const {
        write(rel, text);
        ::chmod(board_->file(rel).c_str(), 0755);
    }
    void conf(const std::string& line) const { board_->write("sim/board.conf", read("sim/board.conf") + line + "\n"); }
    // The stand-ins' log with the board root taken out of every path.
    std::string tools() const {
        std::string log = read("sim/tools.log");
        for (size_t at; (at = log.find(root())) != std::string::npos;) log.erase(at, root().size());
        return log;
    }
    void clearTools() const { board_->write("sim/tools.log", ""); }

    std::unique_ptr<TempBoard> board_;
};

}  // namespace hx40test
