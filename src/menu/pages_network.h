// Page 55, the network and serial settings: DHCP (551), the RS-232 port
// tunnelling (552), the serial matrix of eight connections through the
// serial crosspoint (553) and the user-message ports USR1 and USR2 (555).
// The power amplifier (554) and the alert system (556) are page 5's rows.
//
// Serial ports are 0..5 in the menu (PT, DATA, IN1, IN2, OUT1, OUT2); 6 is
// none for a connection, and for a user port 6 is every destination and 7
// off.
#pragma once

#include "core/functable.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

extern int32_t PB_55, PB_551, PB_5521, PB_5522, PB_553, PB_5539, PB_5551, PB_5552;
extern int32_t PB_5531, PB_5532, PB_5533, PB_5534, PB_5535, PB_5536, PB_5537, PB_5538;
// The DHCP item's value: the stored network record's mode (0..2), taken
// from the record whenever the item is drawn or the protocol reads it.
extern uint8_t networkDHCPMode;
// Loads networkDHCPMode from the stored record; unchanged when the record
// cannot be read.
void loadNetworkDHCPMode();

// Sets a slot of the crosspoint to its pair in PM: which 2 is connection
// (node / 10) mod 10 (slot n - 1), which 0 and 1 the user port USR1 or USR2
// (slots 8 and 9, the user-message output to the port's destination). The
// slot's previous pair is the one remembered from its last change (at first
// the stored pairs), so the old switch opens.
void handle_connections(int node, int which);
// 1 when the destination item of a connection must not take its new
// destination: a user port drives every destination, or the one chosen;
// 0 otherwise (and for none).
int check_destination_lock_by_user(int node);

// Actions shared by the items of a kind (the node says which item).
void func5522x(int node);
void func5551x(int node);
void func5552x(int node);
void func555x5(int node);
void func553x(int node);
void func553xx(int node);
void func5539(int row);
void func5511(int row);
// The user port's stored message on the OSD text console, as hex.
void func555x6(int port);
// Sends the user port's stored message, as its key does.
void func555x7(int port);

// The lines func555x6 lists: "%02X " a byte, ten bytes a line, at most
// twenty lines, then "..." when the message is longer; "N.A" when empty.
std::vector<std::string> userMessageLines(const char* text, int length);

void osd_func553(int row);
void osd_func553x(int row);
void osd_func553xx(int row);
void osd_func5511(int row);
void osd_func55516(int row);
void osd_func55526(int row);
void osd_func55517(int row);
void osd_func55527(int row);

std::span<const FuncRow> networkPageRows();
