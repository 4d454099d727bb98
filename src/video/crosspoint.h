// The serial crosspoint between the RS-232 ports: eight serial-matrix
// connections (slots 0..7, stored in PM as CONNECTION n) and the two
// user-message ports (slots 8 USR1, 9 USR2), whose output is crosspoint
// source 6. Ports are 0..5 as the crosspoint numbers them; 6 means none.
// At most one source drives a destination.
#pragma once

inline constexpr int kXpointSlots = 10;
inline constexpr int kXpointUsr1Slot = 8;
inline constexpr int kXpointNone = 6;
inline constexpr int kXpointUserSource = 6;

// Slots 0..7: opens the old pair (when both ends were set), closes the new
// one, remembers it, then opens every other connection to the same
// destination (it becomes none in PM). Slots 8 and 9 ignore the pairs and
// route the user-message output to the port's stored destination (PM bytes
// 300, 305): 7 off, 6 every destination after resetting all connections,
// else that port with ports 4 and 5 exchanged. 0, or 2 for a bad argument.
int ADG2188_set_connection_switch(int connection, int oldSource, int oldDestination, int newSource,
                                  int newDestination);
// Pulses the reset: every switch opens, the eight connections become none
// (6) in PM and in the table, and the user ports' routes are off.
void ADG2188_reset_all_connections();
// Opens every other connection with the same destination as this one and
// clears it to none in PM.
void ADG2188_handle_non_exclusive_connection_switch(int connection);

// Start-up: the crosspoint from the stored connections and user ports.
void ADG2188_init();

// The remembered pair of a slot (user slots: source 6 and the destination
// as stored, 6 all or 7 off).
struct XpointPair {
    int source;
    int destination;
};
XpointPair ADG2188_connection(int slot);
// Counts ADG2188_init calls: what was read from the table before the last
// one no longer holds.
unsigned ADG2188_generation();

// The crosspoint's number of a menu port (4 and 5 are wired the other way).
int ADG2188_port(int menuPort);
