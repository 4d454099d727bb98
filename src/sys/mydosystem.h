#pragma once

// Runs a command line without a shell, in the sandbox of the exec layer: the
// line is split at blanks into at most 15 words, the first is looked up as a
// program on the device's PATH, and the caller waits.
// Redirections, pipes and quotes are plain words. Returns the exit status, or
// -1 when the program cannot be started or the line has more than 15 words.
int MyDoSystem(const char* line);
