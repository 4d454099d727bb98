// Picture building on the scaler: a channel's input measurement, windows,
// colour, deinterlacer and filters from PM, and the picture states the menus
// and the main task switch (freeze, output fill, blank, colour bars).
// Every operation writes one journal line with its arguments.
//
// "4K" below means the channel's PM.OUTPUT_RES_SEL is 42: both scaler
// channels then drive the one 4K output, CH1 leading.
#pragma once

#include <cstdint>

// Measured input counters of each channel (get_input): the input line in
// half master-clock cycles less one, and the lines of a field. The line rate
// is PS_MCLKO / (2 (PI_RGFH + 1)) Hz, the field rate that over PI_RGFV.
extern uint32_t PI_RGFH[2];
extern uint32_t PI_RGFV[2];
// The scaler's master clock, Hz.
extern uint32_t PS_MCLKO;

// Working values the menu engine clears at its start.
extern uint8_t FLG_AUTO_RETURN;
extern uint8_t sigchg;          // 1 when get_input found a channel's input format changed
extern uint8_t PM_CCMODE;
extern uint16_t PM_NR_CHG[2];   // 1 when a picture build changed the channel's noise filters
extern uint16_t PM_BNR_CHG[2];  // the same for the block noise filter
extern uint8_t PM_INTEN;

// Values the saved-values file writes.
extern uint8_t PM_IFORMAT[2];   // input format of the channel at its last measurement
extern uint8_t PM_FSYNRST[2];
extern uint8_t PM_CTEMP[2];     // colour temperature applied by the last picture build
extern uint8_t PM_LANGUAGE;
extern uint8_t PM_NOSIG_BK[2];  // no-signal colour at the last picture build
extern uint8_t PM_FLIP[2];      // projection at the last picture build
extern uint8_t PM_2ND_OUTPUT;
extern uint8_t PS_OP_MODE;      // 1: the saved-values file is not written

// Rebuilds the channel's picture from PM: measures the input, writes the
// capture and display windows, colour, deinterlacer, filters and sharpness,
// and calls the channel page's projection(ch) for the mirror register.
void build_picture(int ch, const char* caller, int line);
// Sets PM's input window of the channel to the whole active input of its
// format (and, with automatic aspect, its active start).
void calc_input_window_init(int ch);
// Sets PM's output window of the channel: left alone while customised
// windows are in force; the input's size centred when the channel follows
// the input (SCAN 0) and the input fits; the whole output otherwise.
void calc_display_window_init(int ch);
// Measures the channel's input: PI_RGFH, PI_RGFV and the format register.
void get_input(int ch);
// Applies PM.HSHARP/VSHARP (CH2 in 4K: nothing; CH1 in 4K: CH2 as well).
void set_sharpness(int ch);
// Programs the master clock and each channel's output pixel clock.
void set_clock_p2();

// Blanks (on 1) or opens the channel's output; withBlackout keeps the sync
// and sends black, without it the output stops.
void blankBetweenStates(int ch, int on, const char* caller, int line, int withBlackout);
// Applies the three colour-management levels; changed names the one that
// changed (0 to 2).
void set_clrm(int ch, int level1, int level2, int level3, int changed);
// Freezes (1) or releases (0) the channel's picture (in 4K both channels).
void set_image_frozen(int ch, int on);
// Output fill colour and mode (0 off, 2 on), 8 bits a component.
void set_ofill(int ch, int mode, int r, int g, int b);
void set_ofill_ch1(int mode, int r, int g, int b);
void set_ofill_ch2(int mode, int r, int g, int b);
// Writes the 4K colour bars into frame memory and shows them on both channels.
void set_4k_color_bar();
