// The scaler chip's host-bus window.
//
// Byte 0 of the window selects a register bank; offsets 1 to 255 address the
// byte registers of the selected bank. Callers serialise their accesses with
// CS3_mutex; the window itself takes no lock of the program's.
#pragma once

#include <cstdint>

namespace board {

class ScalerWindow {
public:
    virtual ~ScalerWindow() = default;
    virtual uint8_t read8(unsigned offset) = 0;
    virtual void write8(unsigned offset, uint8_t value) = 0;
    // Sleeps until the channel's output starts its next frame (its vertical
    // sync); false when none came within timeoutMs. Takes no lock of the
    // program's: call it without CS3_mutex.
    virtual bool waitVsync(int channel, unsigned timeoutMs) = 0;
};

// The board's window (the simulated chip on this machine).
ScalerWindow& scalerWindow();

}  // namespace board
