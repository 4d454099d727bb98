// Placeholders for what later subsystems own. Each prints "PENDING: <name>"
// under mask 0x200 and writes "pending <name>" to the journal, so a missing
// part is never mistaken for a working one. Each issue that builds one of
// these deletes its entry here (and in pending.cpp).
#pragma once


#include "menu/menu_engine.h"  // stInit, stLoop, ichips_osd: callers still include this file
#include "menu/menu_state.h"   // the engine's key flags, cleared by the key drivers

#include <atomic>
#include <cstdint>

// Thread bodies of the thread table.
void* frontend_thread(void*);        // FEND: clears its watchdog row
void* main_task(void*);              // MAIN: drains KEYPAD (journal "main_task.key"), clears its row
void* p7k_thread(void*);             // P7KT
void* lws_service_task(void*);       // WSCK
void* port_tunneling_thread(void*);  // PTNL
void* users_message_thread(void*);   // USRS_MSG
void* auto_switch_thread(void*);     // AUTO_SWITCH
// TBAR, outside the table: blocks on the T_BAR queue (journal "tbar.value").
int create_t_bar_thread();

// Shared flags of the core, the menu engine and the upgrade.
extern std::atomic<int> is_hwtbar_connected;
extern std::atomic<int> disable_web_tbar_flg;
extern std::atomic<int> valence_update_in_operation_mode;
extern std::atomic<int> gPowerSave;
void webLockAnnounce(int n);

// Start-up steps of other subsystems, in the order main calls them.
void switchWebIndexPages(bool enable);
void clocksInit();
void writeUserMessageFiles();
void audioInit();
void frontEnd_init();
void backEnd_init();
void initOutputResolutions();
void audioUnmute();
void pulseInputHotPlug();

// The channel page's projection: writes the mirror register of the channel
// (called by the picture build).
void projection(int ch);

// The websocket server: running, and stopping it (the interrupt signal).
bool lwsServerRunning();
void lwsInterrupt();

// The application core's state that the menu engine reads.
// The menu time-out in ms (PM.OSDTM x 30000; 2000 while the volume shortcut
// is shown, 5000 while a mute shortcut is shown).
extern std::atomic<uint32_t> gOsdTimeOut;
// Non-zero while a channel initialises: no notifications meanwhile.
extern std::atomic<int> gInInitialize[2];
// A T-bar transition process runs.
extern std::atomic<int> in_tbar_process_flag;

// Protocol notifications of a changed value (node, value, channel): they
// record "pending p7kEvAnnounceInt function=.. value=.. channel=.." in the
// journal until the notifications reach the control clients.
void p7kEvAnnounceInt(uint32_t function, int value, uint8_t channel);
void p7kEvAnnounceFloat(uint32_t function, float value, uint8_t channel);
// The main task's OSD position limit: 0 when position + 640 (horizontal) or
// + 480 fits the channel's output, else 255 (with testOnly 0 it also moves
// PM.OSDPOSH or PM.OSDPOSV inside).
int delimitOsdPos(int horizontal, int testOnly, int position);
// Stops the websocket server and waits (bounded) until it is down; returns
// at once when it does not run. The server is built anew afterwards.
void reset_lws_protocol();
