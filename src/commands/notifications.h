// Notifications of changed functions and the distribution of the older
// engine's replies. Text leaves on two roads: queued for the transports'
// poll loop (PostMessage) and, while web clients are connected, copied for
// them as a _WSMSG on queue 11. Callable from any thread: each call formats
// into its own buffers.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// 1: notifications go to every control port and every web client; any
// other value: to web clients only, to the one whose line was taken last
// (to every web client until one has sent a line). Loaded from the network
// record's verbose word at start; changed by VERBOSE.
extern std::atomic<uint8_t> gVerboseMode;
// Set by POWER when it changed the power state: the next textual POWER
// notification is swallowed (the command already answered).
extern std::atomic<uint8_t> gFeedBackOnPowerCmd;

// Port kinds of the older engine's output.
enum COMM_TYPE : int {
    COMM_CONTROL_PORTS = 0,  // the transports' listeners
    COMM_WEBSOCKET = 1,      // web clients only
};

namespace NorvaCommands {
// The older engine's reply capture. While the flag is set on a thread, the
// output functions called on that thread store each text (the last one
// wins) instead of posting it to the listeners; copies for web clients are
// still sent. Per thread: a notification of another thread is never taken
// for the reply of the line the protocol thread runs.
bool returnp7kcommand(const std::string& text);  // stores the text; returns the flag
void setp7kcommand(bool capture);
bool getp7kcommand();
const std::string& GetReturnp7kMsg();
}  // namespace NorvaCommands

// Every control client and every web client. Nothing reaches the control
// ports while a channel initialises. size is the caller's estimate: texts
// are never cut for it.
void protocol_out_all_port(uint16_t size, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Port 0: the serial listeners (the reply of a line run for the class
// parser is captured instead), plus a copy for the web client whose line
// was taken last; port 1: that copy only; other ports: nothing.
void protocol_out_specific_port(COMM_TYPE port, uint16_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// A copy for every web client.
void protocol_out_to_web(const std::string& text);

// "~01@": the reply prefix with the device's own id.
std::string getPreAnswer();

// A notification text, routed by gVerboseMode: every port with verbose on,
// else the web client whose line was taken last.
void p7kAnnounceText(const std::string& text);

// "~01@Y 0,<function>,<value>\r\n", routed by gVerboseMode; the forced form
// always runs the textual follow-up.
void p7kEvAnnounceInt(uint32_t function, int value, uint8_t channel);
void p7kEvForceAnnounceInt(uint32_t function, int value, uint8_t channel);
// "~01@Y 0,<function>,<value with two decimals>\r\n"; no textual form.
void p7kEvAnnounceFloat(uint32_t function, float value, uint8_t channel);
void p7kEvForceAnnounceFloat(uint32_t function, float value, uint8_t channel);
// The error reply of "Y" with the code: "~01@Y ERR %03d\r\n".
void p7kEvAnnounceErr(uint32_t function, float code);
// The textual form of functions 953 (POWER), 927 (LOCK-FP), 3931 and 4931
// (VOLUME); other functions have none.
void p7kEvAnnounceTextualIfNedded(int function, int value, int channel);

namespace workaround_namespace {
// A text for one web client (id 0: every web client) while any is
// connected; a text longer than a record is refused, not cut.
void send_to_websockets(const std::string& text, int websocketId);
}  // namespace workaround_namespace
