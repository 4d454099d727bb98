// Serial-port tunnelling: the thread "PTNL" bridges the second RS-232 port
// /dev/ttyS2 and one TCP client or UDP peer on the tunnelling port. Bytes
// from the port go to the client (in UDP mode to the peer that sent last;
// dropped until one has), bytes from the network are written to the port.
//
// Its settings live in PM: mode (287, 1 TCP, else UDP), port (288, low 16
// bits) and the line (292..295). The UART and PTNL-CFG words only store
// them; the menu's tunnelling items then ask the thread to reopen its socket
// (reconfigure_socket) or the port (port_tunneling_rs232_configuration).
// The thread reopens its socket after a closed connection and, while it
// waits for a TCP client, as soon as the stored mode or port changes.
//
// A socket that cannot be opened or bound leaves the tunnel idle; the thread
// tries again every second and at once after a reconfiguration. A port that
// cannot be opened ends the program with status 1.
#pragma once

#include <cstdint>
#include <termios.h>

// The line settings, by the indexes PM stores (UART and UART? use them too).
inline constexpr int baudrates[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// A word's index modulo 5 is the parity index: 0 none, 1 odd, 2 even, 3 mark, 4 space.
inline constexpr const char* parity_string_const[10] = {"NONE", "ODD", "EVEN", "MARK", "SPACE",
                                                        "N",    "O",   "E",    "M",    "S"};

struct TunnelLine {
    int baudIndex;  // into baudrates
    int dataBits;   // 5..8
    int parity;     // 0..4
    int stopBits;   // 1 or 2
};
// PM's line indexes, with the tunnel's reading of values out of range:
// 9600 baud, eight data bits, no parity, one stop bit.
TunnelLine tunnelLine();
// The raw settings the bridge gives /dev/ttyS2 for a line.
termios tunnelTermios(const TunnelLine& line);

// Thread body of "PTNL": runs for the life of the program.
void* port_tunneling_thread(void*);
// Any thread: the bridge reopens /dev/ttyS2 with the line settings of PM.
void port_tunneling_rs232_configuration();
// Any thread: the bridge drops its client and reopens its socket with the
// mode and port of PM.
void reconfigure_socket();
// Prints "<prefix> <address>:<port>" of the socket's peer (mask 0x200).
void print_IP_address(int socket, const char* prefix);
// Ends the bridge (the program never does; tests do): the thread body
// closes its descriptors and returns.
void port_tunneling_stop();
