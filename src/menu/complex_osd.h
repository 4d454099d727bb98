// The browsers of the menu that read keys themselves (native resolution,
// output resolution): while one runs, the IOSD thread sits inside the
// page's screen, bit 0x200 of vp.gFlags leaves the KEYPAD queue to it, and
// only the protocol's scaler command and the menu time-out can end it from
// outside, through gBreakOutComplexOsd.
#pragma once

#include <atomic>
#include <cstdint>

struct _EXMSG;

// How a browser was left from outside.
enum : int {
    BREAKOUT_NONE = 0,
    BREAKOUT_PROTOCOL = 1,  // the control protocol took over: the menu closes
    BREAKOUT_TIMEOUT = 2,   // the menu time-out expired: the value is restored
};
extern std::atomic<int> gBreakOutComplexOsd;

// Called by the protocol's scaler command while the menu is open
// (BREAKOUT_PROTOCOL) and by the menu's time-out (BREAKOUT_TIMEOUT). Only a
// browser that is waiting takes the mark, so none is left behind for the
// next one.
void breakOutComplexOsd(int reason);

// What a wait returns besides an arrow (0 back, 1 enter, 2, 3).
inline constexpr int kComplexOsdBrokenOut = -1;
inline constexpr int kComplexOsdProgramKey = -2;

// One browser's hold on the KEYPAD queue, for its lifetime: bit 0x200 of
// vp.gFlags raised, a pending time-out mark cleared.
class ComplexOsdKeys {
public:
    // arrowPauseMs: the pause after each arrow; programKeys: keys that the
    // program made (source 1) come back to the caller instead of being
    // refused.
    ComplexOsdKeys(uint32_t arrowPauseMs, bool programKeys);
    ~ComplexOsdKeys();
    ComplexOsdKeys(const ComplexOsdKeys&) = delete;
    ComplexOsdKeys& operator=(const ComplexOsdKeys&) = delete;

    // Waits for a key, clearing the watchdog while it waits. LEFT counts as
    // MENU (0) and RIGHT as ENTER (1); an arrow restarts the menu time-out
    // and returns after the pause. Other keys show "   Ineffective
    // Keystroke" for 500 ms and the wait goes on. kComplexOsdBrokenOut once
    // a break-out is marked (after 125 ms); kComplexOsdProgramKey with the
    // message in *program when program keys were asked for.
    int wait(_EXMSG* program = nullptr);
    // Gives the queue back (bit 0x200 cleared); the destructor does it too.
    void release();

private:
    uint32_t arrowPauseMs_;
    bool programKeys_;
    bool held_ = true;
};
