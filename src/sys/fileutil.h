// Small file helpers. Absolute device paths are mapped under the board root;
// relative paths resolve from the working directory (inside the root).
#pragma once

#include <cstddef>
#include <cstdio>

FILE* fl_open(const char* path, const char* mode);
// One line into buffer (fgets); nullptr at the end or on failure.
char* fl_gets(char* buffer, int size, FILE* file);
int fl_close(FILE* file);
// Replaces the file with length bytes of buffer: written to path.tmp in the
// same folder, flushed to the medium and renamed over it, so that the file
// holds its old or its new content, never a part (a full disk, a power
// cut). 0, or -1 (errno set; the file untouched, path.tmp removed).
int fl_save(const char* path, const void* buffer, size_t length);
// The next count saves fail with ENOSPC before they write anything, as on
// a full file system (tests of what a failed save leaves).
void fl_inject_save_failures(int count);

// Writes the comma-separated input label list as the one line of
// /root/app/conf/input_labels: 0, or -1.
int setInputsLabels(const char* labels);
