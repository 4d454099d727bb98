// The older command engine: every word the class parser does not know
// reaches it through the default command as "#" + word + " " + raw text.
// The engine frames the line, looks its words up in the word table, runs
// each command's handler and answers "~01@..." through the reply helpers.
// It runs on the protocol thread only; while dop7kcommand runs a line, the
// replies of that thread are captured for the caller instead of being posted.
#pragma once

#include "commands/notifications.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Set while the firmware upgrade or the rollback runs: every command is
// refused with error 4.
extern std::atomic<uint8_t> gBlock_p7k;

// Error numbers of the engine's "ERR 00n" replies.
inline constexpr int P7K_ERR_SYNTAX = 1;   // syntax or parameter count
inline constexpr int P7K_ERR_UNKNOWN = 2;  // unknown word, or a word without a case
inline constexpr int P7K_ERR_RANGE = 3;    // value out of range
inline constexpr int P7K_ERR_BLOCKED = 4;  // upgrade or rollback running
inline constexpr int P7K_ERR_I2C = 8;      // the chip did not answer

// Lines longer than this (start character to line end) are refused.
inline constexpr size_t kP7kMaxLine = 255;

// Runs one line (without its CR) for port kind 0 and returns in reply what
// it answered: the engine's complete text ("~01@" prefix and line end
// included; for a chain, the last text), or nothing when it answered
// nothing. 0.
int dop7kcommand(std::string text, std::string& reply);

// Framing: feeds received bytes of a port kind; complete commands wait
// until rc_protocol_command_analyze runs them, oldest first. 0.
int ptcl_7k_get_command(COMM_TYPE port, const char* bytes, size_t length);
void rc_protocol_command_analyze(COMM_TYPE port);
// One command line behind its start character: address check, lookup and
// the '|' chain. 0, or -128 when a word is unknown.
int run_protocol_command(COMM_TYPE port, const std::string& text, char start);
// Runs the handler of a command id with the watchdog off, and switches the
// watchdog on afterwards.
void prtcl_7k_cmd_switch(COMM_TYPE port, int id, const char* params);

// "~01@<word><params> OK\r\n" to every port.
void protocol_out_success(COMM_TYPE port, int id, const char* params);
// "~01@<word><params> ERR <code, three digits>\r\n" to the port.
void protocol_out_error(COMM_TYPE port, int id, const char* params, int code);
// Marks both channels' parameter memory to be saved, then answers OK. 0.
int scalerCmdOk(COMM_TYPE port, int id, const char* params);
// A text to the port, sized by the text.
void p7kSend(COMM_TYPE port, const std::string& text);

// Exactly count comma fields of text into out, each a decimal integer with
// an optional leading '-', or "++" or "--"; 0, or -1 otherwise.
int parse_cmd_params(const char* text, std::string out[], int count);
// Case-insensitive comparison of at most n bytes: 0 equal (or both ended),
// -1 when a sorts first, 1 when b does.
int str_cncmp(const char* a, const char* b, size_t n);

// Handlers of the word table that belong to the engine itself.
void p7kEmpty(COMM_TYPE port, int id, const char* params);     // the empty word: OK
void p7kSilent(COMM_TYPE port, int id, const char* params);    // no reply
void p7kNotBuilt(COMM_TYPE port, int id, const char* params);  // "<WORD> not built"

// "hx40-sim ctl ROOT upgrade-block on|off": sets gBlock_p7k as the upgrade does.
void p7kEngineRegisterSimCtl();
