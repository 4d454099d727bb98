#include "platform/journal.h"
#include "support/temp_board.h"

#include <gtest/gtest.h>
#include <string>

// A device that runs for days under a control system's polling must not
// fill its disk with journal lines: the file rotates at its bound, one older
// file is kept, and no line is lost at the switch.
TEST(BoardJournal, RotatesAtItsBoundKeepingOneOlderFile) {
    hx40test::TempBoard board(true, true);
    const int lines = 3 * static_cast<int>(board::kJournalRotateBytes / 60);
    for (int i = 0; i < lines; ++i) {
        board::journal("parseVidCmd", "params=\" 1,931\" status=6 line=%d", i);
        if (i % 20000 == 0) board::journalFlush();  // never more held than the writer may keep
    }
    const std::string now = board.read("sim/journal.log");
    const std::string old = board.read("sim/journal.log.1");
    EXPECT_LE(now.size(), 2 * board::kJournalRotateBytes);
    EXPECT_GT(old.size(), board::kJournalRotateBytes / 2);
    EXPECT_LE(old.size(), 2 * board::kJournalRotateBytes);
    EXPECT_FALSE(board.exists("sim/journal.log.2"));

    const std::string last = "line=" + std::to_string(lines - 1) + "\n";
    EXPECT_EQ(now.substr(now.size() - last.size()), last);
    // The first line of the new file follows the last of the older one.
    auto numberAt = [](const std::string& text, size_t lineStart) {
        return std::stoi(text.substr(text.find("line=", lineStart) + 5));
    };
    const size_t lastOld = old.rfind('\n', old.size() - 2) + 1;
    EXPECT_EQ(numberAt(now, 0), numberAt(old, lastOld) + 1);
}
