// The system message queues: one System V queue per type, created by main.
//
// Queues 11 and 12 carry websocket text (_WSMSG), every other queue _EXMSG.
// The record type chooses the size of every send and receive, so a caller
// cannot receive a record into a buffer of the wrong size.
#pragma once

#include <cstddef>
#include <cstdint>

enum _E_EXMSG_TYPE {
    E_EXMSG_TYPE_KEYPAD = 0,
    E_EXMSG_TYPE_LED = 1,
    E_EXMSG_TYPE_FPANEL = 2,
    E_EXMSG_TYPE_VFM = 3,
    E_EXMSG_TYPE_CNV = 4,
    E_EXMSG_TYPE_STLOOP = 5,
    E_EXMSG_TYPE_USR1 = 6,
    E_EXMSG_TYPE_USR2 = 7,
    E_EXMSG_TYPE_AUTO_SCAN_CH1 = 8,
    E_EXMSG_TYPE_AUTO_SCAN_CH2 = 9,
    E_EXMSG_TYPE_CAP_XML = 10,
    E_EXMSG_TYPE_WS_SRV_TO_CLI = 11,
    E_EXMSG_TYPE_WS_CLI_TO_SRV = 12,
    E_EXMSG_TYPE_T_BAR = 13,
    E_EXMSG_TYPE_MAX = 14,
};

// Sources of a key.
enum : uint8_t {
    KEY_SOURCE_PROGRAM = 1,  // injected protocol keys, T-bar TAKE, automatic switching, tuned notices
    KEY_SOURCE_PANEL = 2,    // pressed on the front panel or the remote
};

struct _EXMSG {
    long type = 0;        // queue number + 1 (set by send_message_q)
    uint16_t key = 0;     // key or signal code; the LED command word on the LED queue
    uint16_t mode = 0;    // keys: the panel's switching mode; VFM and CNV: byte 1 is the channel
    uint32_t param = 0;   // parameter word (the table row of key 42, the T-bar value)
    uint32_t time = 0;    // T-bar values: when the value was taken (ms)
    uint8_t source = 0;   // KEY_SOURCE_*
};

// Websocket text: up to 4000 bytes travel in one record; only the used part
// of text is sent.
inline constexpr size_t kWsTextMax = 4000;
struct _WSMSG {
    long type = 0;
    uint32_t wsi = 0;     // the web connection (0 = every connection)
    uint32_t length = 0;  // bytes used in text, at most kWsTextMax
    char text[kWsTextMax + 1] = {};
};

// Creates the 14 queues; 0, or -1 when one cannot be created (the ones made
// are removed again).
int create_message_queues();
// Removes them (also done by sys_exit).
void remove_message_queues();

// Sends one record on the type's queue: three tries 10 ms apart; 0 when
// sent, -1 otherwise. A _WSMSG longer than kWsTextMax is refused, never cut.
int send_message_q(int type, const _EXMSG* msg);
int send_message_q(int type, const _WSMSG* msg);

// Takes one record without waiting: -1 when none waits (other failures are
// printed under 0x200), else the number of bytes received.
int get_message_q(int type, _EXMSG* msg);
int get_message_q(int type, _WSMSG* msg);

// Takes one record, waiting for it; -1 when the queue is gone.
int get_message_q_block(int type, _EXMSG* msg);
int get_message_q_block(int type, _WSMSG* msg);

// Number of records waiting, or -1 when the status call fails.
int getquestat_message_q(int type);

// Discards every record waiting on the queue.
void empty_queue(int type);

// Sets a _WSMSG's text (refused over kWsTextMax): 0 or -1.
int setWsText(_WSMSG& msg, const char* text, size_t length);
