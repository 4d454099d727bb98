// The function/parameter table: one row per menu node or protocol function.
//
// The menu engine, the protocol's scaler command and the main task all reach
// the parameters through it. Each page group contributes its rows; the table
// is built once at start (funcTableInstallProgram) before the threads run.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

union FuncNum {
    int32_t i;
    float f;
};
constexpr FuncNum fnI(int32_t v) { return FuncNum{.i = v}; }
constexpr FuncNum fnF(float v) {
    FuncNum n{};
    n.f = v;
    return n;
}

// Value types.
enum : uint32_t {
    FT_FLOAT = 0,
    FT_FLOAT_CH = 1,   // indexed by the calling thread's channel
    FT_TEXT = 2,       // text buffer of an information page
    FT_S8 = 3,         // 3, 5, 6: one byte read signed; 4 indexed by channel
    FT_S8_CH = 4,
    FT_S16 = 7,        // 7, 9, 10: 16 bits read signed; 8 indexed by channel
    FT_S16_CH = 8,
    FT_S32 = 11,       // 11, 13, 14: 32 bits; 12 indexed by channel
    FT_S32_CH = 12,
    FT_PAGE = 15,      // the value is the page cursor (32-bit)
    FT_KEY = 20,       // protocol key function, no value
};

struct FuncRow {
    uint32_t node;
    void (*action)(int row);  // result ignored
    uint32_t callMode;        // 0..8, the order of screen and action in a menu step
    void (*screen)(int row);
    uint32_t type;
    void* value;
    FuncNum max, min, step, fast;  // floats for types 0 and 1
    uint8_t enable;  // 1 = enabled; ../conf/OSD.conf may change it at start
    uint8_t change;  // bit 1: plus or minus touched the row since the last save
    uint8_t confOff; // 1 when ../conf/OSD.conf disabled the row: the protocol refuses it as well
    uint8_t spare;
};

struct FuncRowGroup {
    const char* name;
    std::span<const FuncRow> rows;
};

// Row 0 is the sentinel: nodes without a row map to it.
inline constexpr uint32_t kSentinelNode = 57005;

extern std::vector<FuncRow> funcDataTbl;

// The node that key 39 and node 1000 lead the menu engine to.
extern std::atomic<int32_t> gProtFuncNum;

// Builds the table: the sentinel, then the groups' rows in order.
void funcTableInstall(std::span<const FuncRowGroup> groups);
// The program's table: every page group's rows (funcTableGroups).
void funcTableInstallProgram();
std::span<const FuncRowGroup> programRowGroups();
// Start-up: the program's table with the enable bytes of ../conf/OSD.conf.
void funcTableInit();

// Sets enable bytes (and confOff) from an enable list: "node 0|1" per line,
// '#' starts a comment; a later line of a node wins. A missing file changes
// nothing. Returns the rows changed.
int funcTableLoadEnables(const char* path = "../conf/OSD.conf");

int funcTableSize();
int funcNum2TblInx(int node);  // first row 1.. with the node; 0 when none
void runFuncInd(int row);
int isFuncEnable(int node);    // 0 no row, 1 for type 20, else the enable byte

// Width in bytes of an integer type (3..15), 0 for the others.
int funcTypeWidth(uint32_t type);
// The value's address for a channel (types 1, 4, 8, 12 step by channel).
void* funcValuePtr(int row, int channel);

// Without a lock (the caller holds PM_mutex where it matters): the integer
// value of a row of types 3 to 15 for a channel, sign-extended, and its
// store truncated to the row's width. 0 / nothing for a row without one.
int32_t funcIntAt(int row, int channel);
void funcSetIntAt(int row, int channel, int32_t value);

// Read under PM_mutex; channel 255 = the calling thread's channel. Return 6
// (7 for floats), or 128 with the value untouched for a type that does not
// hold one.
int getIntParam(int row, int32_t* value, int channel = 255);
int getFloatParam(int row, float* value, int channel = 255);

// The row's value through its pointer, without the channel step and
// without a lock (the menu engine holds PM_mutex): types 3 to 6 a signed
// byte, 7 to 10 a signed 16-bit value, 11 to 14 32 bits; -1 for others.
int32_t getVal(int row);
void setVal(int row, int32_t value);
