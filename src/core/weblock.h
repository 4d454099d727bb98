// Web-lock notices: the web page's T-bar control is locked while a hardware
// T-bar controller is connected.
#pragma once

#include <cstdint>

// Sends a web-lock state line to the web clients: 4 "locked"; 5 the state
// of the hardware T-bar ("locked" while one is connected, else "free").
// Other notice numbers have no line.
void webLockAnnounce(int n);
// The line of a notice number, nullptr when it has none.
const char* webLockText(int n);
// While the web T-bar is locked: sets the lock to v, announces it and stops
// the T-bar enable timer.
void setWebTbarEnable(int v);
// The current web-lock lines for a newly connected web client (its
// websocket id), and for no other client.
void new_wsi_announce_web_lock_messages(uint32_t websocketId);
