// The two user-message ports USR1 and USR2: each has a stored message
// (/root/persist/user1_msg.txt and user2_msg.txt, the file's bytes are the
// message) that the user-message thread "USRS_MSG" sends on /dev/ttyS3 with
// the port's serial settings from PM when its key is pressed.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int {
    USR1 = 1,
    USR2 = 2,
};
inline constexpr int kUserMessageMax = 1024;
// The request code on the USR1 and USR2 queues.
inline constexpr uint16_t USR_MSG_SEND = 2;
// Ends the thread and closes its port (a test's end).
inline constexpr uint16_t USR_MSG_QUIT = 3;
// How long send_custom_user_message waits for the thread to send.
inline constexpr int kCustomWaitMs = 10000;

// Stores the port's message (at most 1024 bytes) and rewrites its file:
// 0, or -1 (bad port or length, or the file cannot be written).
int set_user_message(int port, const char* text, int length);
// Re-reads the port's message file: the text (a buffer of the calling
// thread, valid until its next call) and its length; nullptr for a bad port.
const char* get_usr_message(int port, int* length);
// Sends text once in place of the stored message, which stays as it is;
// waits until the thread has sent it or 10 s have passed. 0, or -1.
int send_custom_user_message(int port, const char* text, int length);
// The user keys: the thread sends the port's stored message.
void usr1_key_pressing();
void usr2_key_pressing();
// The port is set up again from PM before its next message.
void usr1_tty_reconfiguration();
void usr2_tty_reconfiguration();
// Start-up: creates missing message files (empty).
void writeUserMessageFiles();

// The serial settings of a port's PM indexes, as the thread applies them.
struct UserTtySettings {
    int baud;      // 1200 .. 115200
    int dataBits;  // 5 .. 8
    char parity;   // 'N', 'O', 'E', 'M', 'S'
    int stopBits;  // 1 or 2
};
UserTtySettings userTtySettings(int port);

void* users_message_thread(void*);
