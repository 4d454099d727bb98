// Handlers of the older engine's words that are neither table functions nor
// name words: device identity, power and panel lock, clock and time zone,
// notification routing, diagnostics and raw chip access, the settings of the
// tunnel's and the user ports, and the audio/video words that need more than
// one table function. Each has the engine's handler form and answers through
// its reply helpers; all run on the protocol thread.
#pragma once

#include "commands/notifications.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The clock could not be set (beyond the engine's own error numbers).
inline constexpr int P7K_ERR_RTC = 12;

// Identity in the parameter EEPROM (model 0x7E81, serial number 0x7E9A).
void p7kGetModel(COMM_TYPE port, int id, const char* params);   // MODEL?
void p7kSetModel(COMM_TYPE port, int id, const char* params);   // FCT-MODEL <model>
void p7kSetSerial(COMM_TYPE port, int id, const char* params);  // FCT-SN <14 digits>
void p7kGetSerial(COMM_TYPE port, int id, const char* params);  // SN?

// Power, panel lock, clock, time zone, routing and diagnostics.
void p7kPower(COMM_TYPE port, int id, const char* params);          // POWER 0|1|ON|OFF
void p7kGetPower(COMM_TYPE port, int id, const char* params);       // POWER?
void p7kLockPanel(COMM_TYPE port, int id, const char* params);      // LOCK-FP 0|1|ON|OFF
void p7kGetLockPanel(COMM_TYPE port, int id, const char* params);   // LOCK-FP?
void p7kSetTime(COMM_TYPE port, int id, const char* params);        // TIME Mon,31-12-2024,23:59:00
void p7kGetTime(COMM_TYPE port, int id, const char* params);        // TIME?
void p7kSetTimeZone(COMM_TYPE port, int id, const char* params);    // TIME-LOC <hours.minutes>,<dst>
void p7kGetTimeZone(COMM_TYPE port, int id, const char* params);    // TIME-LOC?
void p7kSetVerbose(COMM_TYPE port, int id, const char* params);     // VERBOSE 0|1
void p7kGetVerbose(COMM_TYPE port, int id, const char* params);     // VERBOSE?
void p7kDebug(COMM_TYPE port, int id, const char* params);          // DEBUG 0,<hex mask> | 1
void p7kDump(COMM_TYPE port, int id, const char* params);           // DUMP, DUMPALL
void p7kDelayedMenuAction(COMM_TYPE port, int id, const char* params);  // FACTORY, RESET
void p7kSystem(COMM_TYPE port, int id, const char* params);         // SYSTEM <command line>
void p7kReleaseSerial(COMM_TYPE port, int id, const char* params);  // SYSTEM_
void p7kUserQuery(COMM_TYPE port, int id, const char* params);      // ZUSR <text>
void p7kPhyReset(COMM_TYPE port, int id, const char* params);       // PHY-RESET

// Raw chip access and tests.
void p7kSelectReceiver(COMM_TYPE port, int id, const char* params);  // ADV <receiver>,<x>
void p7kMemoryTest(COMM_TYPE port, int id, const char* params);      // DDR <a>,<b>
void p7kDisplayState(COMM_TYPE port, int id, const char* params);    // DISPLAY? <output>
void p7kI2cWrite(COMM_TYPE port, int id, const char* params);        // I2C bus,chip,reg,value (hex)
void p7kI2cRead(COMM_TYPE port, int id, const char* params);         // I2C? bus,chip,reg[,count]
void p7kScalerWrite(COMM_TYPE port, int id, const char* params);     // IPC bank,reg,value
void p7kScalerRead(COMM_TYPE port, int id, const char* params);      // IPC? bank,reg
void p7kSpiWrite(COMM_TYPE port, int id, const char* params);        // SPI device,reg,value
void p7kSpiRead(COMM_TYPE port, int id, const char* params);         // SPI? device,word

// The tunnel's and the user ports' settings, the user messages.
void p7kSetUart(COMM_TYPE port, int id, const char* params);            // UART baud,bits,parity,stop
void p7kGetUart(COMM_TYPE port, int id, const char* params);            // UART?
void p7kSetTunnel(COMM_TYPE port, int id, const char* params);          // PTNL-CFG UDP|TCP,<port>
void p7kGetTunnel(COMM_TYPE port, int id, const char* params);          // PTNL-CFG?
void p7kUserPortConfig(COMM_TYPE port, int id, const char* params);     // CBIN
void p7kStoreUserMessage(COMM_TYPE port, int id, const char* params);   // DBIN
void p7kSendUserMessage(COMM_TYPE port, int id, const char* params);    // BIN

// Audio and video.
void p7kGetVolume(COMM_TYPE port, int id, const char* params);        // VOLUME? <channel>
void p7kSetCustomWindow(COMM_TYPE port, int id, const char* params);  // WIN-CUST
void p7kGetCustomWindow(COMM_TYPE port, int id, const char* params);  // WIN-CUST? <channel>
void p7kGetMicMix(COMM_TYPE port, int id, const char* params);        // MIX? 0
void p7kRoute(COMM_TYPE port, int id, const char* params);            // ROUTE <layer>,<channel>,<input>

// Reports the custom output windows as WIN-CUST? does, routed as
// notifications are: 0 channel 1, 1 channel 2, any other value channel 1
// and, in the two-window report mode, channel 2 as well. Any thread.
void get_win_cust_of_all_windows(int which);
// Pulses the Ethernet PHY's reset through the scaler's port registers.
void phy_reset_hw();

// The comma fields of a parameter text as get_param cuts them: none for an
// empty text; an empty string for an empty field ("1,,2", "1,").
std::vector<std::string> p7kFields(const char* params);
// A decimal integer with an optional leading '-', nothing else.
bool p7kDecimal(std::string_view field, long long& value);
// Hexadecimal digits only (no "0x"), at most 16.
bool p7kHex(std::string_view field, unsigned long long& value);
// A text field of the parameter EEPROM: it ends at a zero or an unwritten
// byte, or fills the field without a terminator. False when it cannot be read.
bool p7kStoredText(uint16_t offset, uint16_t size, std::string& text);
// Stores text zero-padded in the field and answers OK, or error 8 when the
// EEPROM does not take it. text fits the field.
void p7kStoreText(COMM_TYPE port, int id, const char* params, uint16_t offset, uint16_t size, std::string_view text);
// One user port word: "USR1" -> 1, "USR2" -> 2, else 0.
int p7kUserPort(std::string_view field);
// "0"/"OFF" -> 0, "1"/"ON" -> 1 (any case); -3 for another number, -1
// for anything else.
int p7kOnOff(const char* params);
