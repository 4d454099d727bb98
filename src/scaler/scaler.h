// The least of the scaler engine that the OSD and the menus build on:
// register access through the host-bus window, the output's vertical sync,
// the OSD memory map and its bring-up (parts, font, palettes).
#pragma once

#include "scaler/regs.h"

#include <cstdint>

// Writes the low count bytes of value (count = the code's low byte, at most
// 8), least significant byte first, at the code's offset in its bank (raised
// by 0x0B for channel 1); CS3_mutex is held for the whole access. The flag
// has no effect.
void write_C812(uint32_t code, uint64_t value, int channel, int flag);
// Reads the same way; 0 for a byte count of 0.
uint64_t read_C812(uint32_t code, int channel);

// Waits for one output vertical sync of the channel (bounded poll).
void wait1_povs(int channel);

// The OSD memory map (chip-memory addresses; strides in 128-byte units).
extern uint32_t PS_OSDSAD0;    // OSD picture plane 0
extern uint32_t PS_OSDSAD1;    // OSD picture plane 1
extern uint32_t ST_OSDAD;      // the plane being drawn into
extern uint32_t PS_OSDFSAD;    // font
extern uint32_t PS_OSDPSAD;    // parts bitmap plane
extern uint32_t PARAM_OSDMWI;  // stride of an OSD plane
extern uint32_t PS_OSDRMWI;    // stride of the parts plane

// The scaler channel (0 or 1) whose OSD shows the menu; switch_osd sets it.
extern uint8_t OSD_CHANNEL;

// Puts the OSD on the channel PM.DISPLAY_MODE chooses: in transition mode
// (0) channel 1, whose output is the preview, so that the menu stays off the
// program output; in overlay mode (1, and any other value) channel 0, whose
// output carries the composed picture. A window still shown on the channel
// left behind is switched off; the next screen shows it on the new one.
void switch_osd();

// The native-resolution browser's text: the two hints, then the name of
// preferredTiming[index] centred at (320, 234) in colour on 255.
void osdDispNative(int index, int colour, int deep_colour);
// The output-resolution browser's text: the output format's name centred at
// (320, 234) in colour on 255.
void osdDispOutput(int format, int colour);

// The forced-factory-reset marker: a scaler register that keeps its value
// over a restart (the chip is not reset before start-up reads it). A path
// that wants the next start to restore the factory values writes
// kFactoryResetMarker there before it restarts the device.
inline constexpr uint32_t PI_FACTORY_RST = scaler_reg::FACTORY_MARKER;
inline constexpr uint8_t kFactoryResetMarker = 0xFA;
void setFactoryResetMarker();
// At start, before the scaler is reset: true when the marker is set; it is
// cleared, so that the next start does not reset again.
bool checkFactoryResetMarker();
// The scaler's soft reset at start: every register back to its power-on value.
void scalerReset();

// The parts table: line n of ../memfiles/parts.csv is part n.
inline constexpr int kOsdPartsMax = 64;
inline constexpr int kOsdPartsLine = 400;
extern char OSDPARTS_TBL[kOsdPartsMax][kOsdPartsLine];
extern int OSDPARTS_COUNT;  // lines loaded

// Uploads the parts bitmap and the font into chip memory, reads the parts
// table and loads the palettes of channel 0 and then channel 1.
void load_parts();

// The OSD bring-up: the memory map (into the chip as well), the output
// timing of both channels from PM, then load_parts().
void scaler_osd_init();

// The scaler chip's bring-up at start (after the parameter memory is loaded).
void scalerBringUp();
