#include "support/temp_board.h"

#include "commands/web_param.h"
#include "platform/board.h"
#include "platform/journal.h"
#include "platform/msgq.h"
#include "platform/sim/sim_board.h"
#include "platform/sim/board_conf.h"
#include "sys/i2c.h"
#include "sys/msgq.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace hx40test {

std::string makeTempDir(const std::string& prefix) {
    std::string tmpl = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

std::string readFile(const std::string& path) {
    board::journalFlush();  // the board's journal lines so far are in its file
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TempBoard::TempBoard(bool open, bool startServices) {
    root_ = fs::canonical(makeTempDir("hx40-test-")).string();
    board::sim::InitOptions o;
    o.shareDir = HX40_SHARE_DIR;
    std::string error;
    if (!board::sim::prepareRoot(root_, o, &error)) throw std::runtime_error("prepareRoot: " + error);
    if (open && !board::open(root_, &error)) throw std::runtime_error("board::open: " + error);
    if (open && startServices) {
        if (!board::sim::start(&error)) throw std::runtime_error("board::sim::start: " + error);
        started_ = true;
    } else if (open) {
        // The board's own settings, not those an earlier board left.
        board::sim::mutableConf() = board::sim::BoardConf();
        board::sim::mutableConf().load(root_ + "/sim/board.conf");
    }
    g_i2c_critical_errors = 0;
}

TempBoard::~TempBoard() {
    // A daemon restart the test set off runs on this board: it ends first
    // (bounded), not while the board or the process goes away under it.
    restartsDone();
    // The program's queue ids go with the queues: the next test's board
    // creates its own.
    remove_message_queues();
    if (started_) board::shutdown();
    if (board::root() == root_) {
        board::close();
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
    }
    board::msgq::removeListed(root_);
    std::error_code ec;
    fs::remove_all(root_, ec);
}

bool restartsDone() {
    for (int i = 0; i < 500 && CMyDoSystem::Live() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return CMyDoSystem::Live() == 0;
}

std::string TempBoard::read(const std::string& rel) const { return readFile(file(rel)); }

void TempBoard::write(const std::string& rel, const std::string& text) const {
    board::journalFlush();  // a journal emptied here stays empty of older lines
    fs::create_directories(fs::path(file(rel)).parent_path());
    std::ofstream(file(rel), std::ios::binary) << text;
}

bool TempBoard::exists(const std::string& rel) const { return fs::exists(fs::symlink_status(file(rel))); }

}  // namespace hx40test
