// A text snapshot of the picture-related menu values: 80 values, one a line
// as four lower-case hexadecimal digits ("%04x\n"), in ../conf/default_saved.txt.
// No menu node, command or start-up step runs these; they are kept as a
// service pair, and restoring reads no values.
#pragma once

#include <string>

inline constexpr int kSavedValues = 80;
inline constexpr const char* kSavedValuesFile = "../conf/default_saved.txt";
inline constexpr const char* kInitialValuesFile = "../conf/default_initial.txt";

// Writes the file; nothing while the scaler's PS_OP_MODE is 1.
void save_menu_param();
// 0 selects default_saved.txt, 1 default_initial.txt; sets the calling
// thread's channel to 0 when the file opens.
void restore_menu_param(int which);
// The 400 bytes of the file for the current values.
std::string savedMenuValuesText();

// "hx40-sim ctl ROOT menu-values save|restore N": runs the pair in the
// program (the simulated board's way to reach them).
void menuValuesRegisterSimCtl();
