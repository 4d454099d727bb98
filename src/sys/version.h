// The firmware's version text and build date.
#pragma once

// "%02d.%02d.%02d.%04d.%c%d": major, minor, patch, build number, D (debug
// build) or R, board revision.
const char* getVersionStr();
// "YYYY/MM/DD HH:MM:SS", 19 characters.
const char* getBuildDate();
