// Small file helpers. Absolute device paths are mapped under the board root;
// relative paths resolve from the working directory (inside the root).
#pragma once

#include <cstddef>
#include <cstdio>

FILE* fl_open(const char* path, const char* mode);
// One line into buffer (fgets); nullptr at the end or on failure.
char* fl_gets(char* buffer, int size, FILE* file);
int fl_close(FILE* file);
// Writes length bytes of buffer as the whole file: 0, or -1 when it could
// not be written completely.
int fl_save(const char* path, const void* buffer, size_t length);

// Writes the comma-separated input label list as the one line of
// /root/app/conf/input_labels: 0, or -1.
int setInputsLabels(const char* labels);
