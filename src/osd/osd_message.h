// A two-line message in a frame over the picture (firmware updates, notices
// of the main task), drawn in the menu window on OSD_CHANNEL.
#pragma once

// Frame style of warnings: red frame and first line.
inline constexpr int kOsdFrameWarning = 3;

// Shows line1 and line2 centred in a frame; line2 may be null or empty.
// With time > 0 the message goes away by itself after time ms; with -1 (or
// 0) it stays until removeOsdString. A new message replaces the last one.
void putFrameOsd(const char* line1, const char* line2, int time, int frame);
// Takes the message away and redraws the menu's base screen: with the menu
// closed the OSD goes off, with the menu open the menu redraws its screen.
void removeOsdString();
