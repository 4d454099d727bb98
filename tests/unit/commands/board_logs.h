// What the stand-ins of a test board recorded.
#pragma once

#include "support/temp_board.h"

#include <string>

namespace hx40test {

// sim/tools.log with the board root written "<root>".
inline std::string toolsLog(const TempBoard& board) {
    std::string log = board.read("sim/tools.log");
    for (size_t at; (at = log.find(board.root())) != std::string::npos;) log.replace(at, board.root().size(), "<root>");
    return log;
}

}  // namespace hx40test
