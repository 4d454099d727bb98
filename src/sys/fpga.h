// The FPGA (output clocks and transition effects), its image in
// ../memfiles/ ("selka.rbf", or "selka_A_B_C.rbf" carrying its version),
// the output-link step and the audio DSP.
#pragma once

// The running FPGA's version as "%d.%d.%d" (text holds at least 16 bytes):
// 0, or 1 when the FPGA does not answer.
int FPGA_get_string_version(char* text);

// Renames the image to its plain name (plain 1), so that the start-up check
// reprograms the FPGA, or to its versioned name from the running version
// (plain 0), through "mv"; the result of the move (1 when there is no image).
int rename_rbf_file(int plain);

// 0 when the versions "a.b.c" are equal, non-zero otherwise.
int compare_FPGA_versions(const char* a, const char* b);

// The start-up check: reprograms the configuration flash from the image
// when the versions differ, the flash is blank or force is set. 0 when the
// FPGA is ready afterwards, 1 otherwise.
int FPGA_init(bool force);

// The output-link set-up step after a window-mode change: the FPGA's links
// carry one window's picture or two (vp.numInputs).
void iEBsetLVDS();

// The audio DSP: start-up and the background poll (0 = answering).
int DSP_ADAU1442_init();
