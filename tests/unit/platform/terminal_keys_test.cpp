#include "platform/sim/panel_sim.h"

#include <gtest/gtest.h>
#include <string>

TEST(TerminalKeys, TerminalKeysBecomePanelCommands) {
    const struct {
        std::string in;
        std::string line;
        size_t used;
    } cases[] = {
        {"\x1b[A", "key tap UP", 3},     {"\x1b[B", "key tap DOWN", 3},  {"\x1b[C", "key tap RIGHT", 3},
        {"\x1b[D", "key tap LEFT", 3},   {"\x1b", "key tap MENU", 1},    {"\r", "key tap ENTER", 1},
        {"M", "key hold MENU 3200", 1},  {"1x", "key tap IN1_1", 1},     {"*", "key tap IN2_8", 1},
        {"B", "key tap BLANK2", 1},      {"f", "key tap FREEZE1", 1},    {"a", "key tap MODE", 1},
        {"l", "key hold LOCK 3200", 1},  {"p", "key tap POWER", 1},      {"s", "snapshot", 1},
        {"q", "quit", 1},                {"\x03", "quit", 1},            {"z", "", 1},
    };
    for (const auto& c : cases) {
        size_t used = 0;
        EXPECT_EQ(board::sim::panel::terminalKeyCommand(c.in, used), c.line) << c.in;
        EXPECT_EQ(used, c.used) << c.in;
    }
}

TEST(TerminalKeys, KeyNamesOfTheControlSocket) {
    const std::pair<const char*, int> cases[] = {{"MENU", 0},   {"LOCK", 7},    {"MODE", 10},  {"BLANK2", 11},
                                                 {"FREEZE1", 14}, {"IN1_1", 15}, {"IN1_8", 22}, {"IN2_1", 23},
                                                 {"IN2_8", 30}, {"POWER", 33},  {"40", 40},    {"64", -1},
                                                 {"menu", -1},  {"", -1}};
    for (auto [name, code] : cases) EXPECT_EQ(board::sim::panel::keyCode(name), code) << name;
}
