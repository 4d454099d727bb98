// The menu engine's state that screens and other subsystems read: where the
// menu stands, the key of the step being run, and the flags the key drivers
// and the pages share with it.
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

// Set during a step that must save the parameter memory at its end.
extern std::atomic<uint8_t> immidiateSave;
// Plus/minus steps since the last new key press; the key drivers clear it.
extern std::atomic<uint32_t> acceleratePlusMinus;
// While non-zero the user's navigation keys are ignored (the T-bar page sets
// it; a new key press on the panel or the remote clears it).
extern std::atomic<uint32_t> wait_till_release_key;

// Notices a step shows at its end; pages raise them.
extern std::atomic<uint8_t> disconnect_printing_flag;
extern std::atomic<uint8_t> launching_printing_flag;
extern std::atomic<uint8_t> reset_defaults_printing_flag;
