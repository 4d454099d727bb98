// The menu's time-out (timer 2) as the main task and the menus drive it.
#pragma once

#include <cstdint>

// When the menu is open: clears the menu-open bit, stops timer 2, posts key
// 38 (close) to the menu engine and sleeps 50 ms; otherwise nothing. Timer
// 2's expiry calls it.
void exitOsdMenu();
// gOsdTimeOut = 30000 x value ms and timer 2 restarts with it; for value 0
// the timer stops and the dirty parameter zones are saved.
void resetOsdTimer(int value);
// Restarts timer 2 with the current gOsdTimeOut.
void restartOsdTimer();
// Opens the menu: the menu-open bit, gOsdTimeOut = timeOutMs and timer 2.
void openOsdMenu(uint32_t timeOutMs);
// The menu's own time-out, 30000 x PM.OSDTM ms (shortcuts have shorter ones).
uint32_t menuTimeOutMs();
