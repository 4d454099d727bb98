// A board root prepared in a fresh temporary folder and opened in this
// process; removed (with its queues) when the object goes.
#pragma once

#include <string>

namespace hx40test {

class TempBoard {
public:
    // open: make it the process's board (board::open) and start its services.
    explicit TempBoard(bool open = true, bool startServices = false);
    ~TempBoard();
    TempBoard(const TempBoard&) = delete;
    TempBoard& operator=(const TempBoard&) = delete;

    const std::string& root() const { return root_; }
    std::string file(const std::string& rel) const { return root_ + "/" + rel; }
    std::string read(const std::string& rel) const;
    void write(const std::string& rel, const std::string& text) const;
    bool exists(const std::string& rel) const;

private:
    std::string root_;
    bool started_ = false;
};

std::string readFile(const std::string& path);
// Waits (bounded) until every web daemon restart a test set off has
// finished; false when one still runs.
bool restartsDone();
std::string makeTempDir(const std::string& prefix);

}  // namespace hx40test
