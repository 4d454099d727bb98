// The menu engine's state that screens and other subsystems read: where the
// menu stands and the key of the step being run.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int32_t kNodeRoot = 0;
inline constexpr int32_t kNodeClosed = 999;

// The current node; 999 while the menu is closed.
extern std::atomic<int32_t> st_num;
// The node after the last complete step.
extern std::atomic<int32_t> prv_st_num;
// The key of the step being run, after remapping; -1 before the first.
extern std::atomic<int32_t> button_num;
