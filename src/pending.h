// Placeholders for what later subsystems own. Each prints "PENDING: <name>"
// under mask 0x200 and writes "pending <name>" to the journal (with its
// arguments where the callers' arguments matter), so a missing part is never
// mistaken for a working one. Each issue that builds one of these deletes
// its entry here (and in pending.cpp).
#pragma once

#include "menu/menu_engine.h"  // stInit, stLoop, ichips_osd: callers still include this file
#include "menu/menu_state.h"   // the engine's key flags, cleared by the key drivers

#include <atomic>
#include <cstdint>

// Thread bodies of the thread table.
void* p7k_thread(void*);             // P7KT
void* lws_service_task(void*);       // WSCK
void* port_tunneling_thread(void*);  // PTNL

// Shared flags of the menu engine and the upgrade.
extern std::atomic<int> valence_update_in_operation_mode;

// Start-up steps of other subsystems, in the order main calls them.
void switchWebIndexPages(bool enable);
void clocksInit();

// The channel page's projection: writes the mirror register of the channel
// (called by the picture build).
void projection(int ch);

// The websocket server: running, and stopping it (the interrupt signal).
bool lwsServerRunning();
void lwsInterrupt();

// Stops the websocket server and waits (bounded) until it is down; returns
// at once when it does not run. The server is built anew afterwards.
void reset_lws_protocol();

// Actions of the channel pages that the main task runs with its own
// channel set (freeze, blank, mute, test pattern).
void func3821(int row);
void func3822(int row);
void func3823(int row);
void func4823(int row);
void func384(int row);
void func484(int row);
void enforce_test_pattern(int channel);

// Protocol notifications and the websocket copy of a text.
void p7kEvAnnounceInt(uint32_t function, int value, uint8_t channel);
void p7kEvForceAnnounceInt(uint32_t function, int value, uint8_t channel);
void p7kEvAnnounceFloat(uint32_t function, float value, uint8_t channel);
void protocol_out_to_web(const char* text);

// The HDBaseT transceivers: the start-up firmware check, and holding all
// four in reset for power saving.
int valens_init();
void shut_all_valens();
