#include "menu/menu_state.h"

std::atomic<int32_t> st_num{kNodeClosed};
std::atomic<int32_t> prv_st_num{kNodeClosed};
std::atomic<int32_t> button_num{-1};

std::atomic<uint8_t> immidiateSave{0};
std::atomic<uint32_t> acceleratePlusMinus{0};
std::atomic<uint32_t> wait_till_release_key{0};

std::atomic<uint8_t> disconnect_printing_flag{0};
std::atomic<uint8_t> launching_printing_flag{0};
std::atomic<uint8_t> reset_defaults_printing_flag{0};
