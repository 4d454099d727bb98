// The simulated board's control word "pm": read and change fields of PM and
// PM_I by name, and save the dirty zones ("pm save"), as the main task does.
#pragma once

void pmRegisterSimCtl();
