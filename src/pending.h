// Placeholders for what later subsystems own. Each prints "PENDING: <name>"
// under mask 0x200 and writes "pending <name>" to the journal (with its
// arguments where the callers' arguments matter), so a missing part is never
// mistaken for a working one. Each issue that builds one of these deletes
// its entry here (and in pending.cpp).
#pragma once

#include <atomic>
#include <cstdint>

// Thread bodies of the thread table.
void* port_tunneling_thread(void*);  // PTNL

// Serial-port tunnelling, as the menu's tunnelling items drive it: the
// thread reopens its network socket with the mode and port of PM, or
// reopens /dev/ttyS2 with the serial settings of PM.
void reconfigure_socket();
void port_tunneling_rs232_configuration();

// Screens of page 5's information and upgrade pages (items 1 and 4).
void osd_func51(int row);
void osd_func54(int row);

// Shared flags of the menu engine and the upgrade.
extern std::atomic<int> valence_update_in_operation_mode;

// Start-up steps of other subsystems, in the order main calls them.
void switchWebIndexPages(bool enable);
void clocksInit();

// Reports the custom-window geometry to the control ports (0 channel 0,
// 1 channel 1, other values every window); the older engine's handlers own it.
void get_win_cust_of_all_windows(int which);

// The HDBaseT transceivers: the start-up firmware check, and holding all
// four in reset for power saving.
int valens_init();
void shut_all_valens();
