// The real-time clock chip.
#pragma once

#include <ctime>

// Writes the broken-down time to the clock chip: 0 on success.
int SetRTC(const struct tm* time);
