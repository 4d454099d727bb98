#include "menu/menu_state.h"

std::atomic<int32_t> st_num{kNodeClosed};
std::atomic<int32_t> prv_st_num{kNodeClosed};
std::atomic<int32_t> button_num{-1};
