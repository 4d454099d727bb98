// The scaler function parser: the protocol's access to the rows of the
// function/parameter table ("Y" command), and the window and input-type
// commands built on it.
#pragma once

#include <cstdint>
#include <string>

// Results of parseVidCmd.
inline constexpr int YST_SET = 5;       // a value was set
inline constexpr int YST_INT = 6;       // an integer is returned
inline constexpr int YST_FLOAT = 7;     // a float is returned
inline constexpr int YST_KEY = 8;       // a key function was posted
inline constexpr int YST_TEXT = 9;      // a text is returned
inline constexpr int YST_NOTHING = 11;  // handled, nothing to report (a row without a value ran its action)

// Error numbers of the "Y" reply (every other result). Chosen here once.
inline constexpr int YERR_SYNTAX = 1;       // fields missing or surplus, not numbers, operation not 0 or 1
inline constexpr int YERR_NO_FUNCTION = 2;  // no row has the function number
inline constexpr int YERR_REFUSED = 3;      // the restriction check refused the set
inline constexpr int YERR_DISABLED = 10;    // ../conf/OSD.conf disabled the node
inline constexpr int YERR_NO_VALUE = 12;    // the row holds no value to read or set

// Parses " <0 set|1 get>,<function>[,<value|+|->]" and performs it. Sets
// the calling thread's Channel from the node's leading digit (3 CH1, 4 CH2)
// for the time of the call. The text of status 9 points into the row's
// buffer.
int parseVidCmd(const char* params, float* f, int32_t* i, const char** text);

// " 1,<function>": 0 when the function has a row.
int unParseVidCmd(std::string& out, int function);

// "<channel>,<h start>,<h size>,<v start>,<v size>": the channel's custom
// output window (nodes 331..334 or 431..434). 0 or an error number.
int parseOwinVidCmd(const char* params);
// "<input 0..7>,<type 0..3>": the signal type of an input (node 1N1). 0 or an
// error number.
int parseVidInpCmd(const char* params);
// 0 when the first field is 0 or 1, else an error number.
int parseCmdWinCustStr(const char* params);

// -1 when value would change a node of the CH2 pages (leading digit 4)
// other than 4823 while the current channel's output is 4K; else 0. Takes
// no lock (the menu engine calls it holding PM_mutex).
int isParamRestricted(int row, int32_t value);

// The leading decimal digit of a node (the node itself below 11).
int nodeLeadingDigit(int node);
