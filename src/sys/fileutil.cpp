#include "sys/fileutil.h"

#include "platform/board.h"

#include <string>

FILE* fl_open(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return std::fopen(board::path(path).c_str(), mode);
}

char* fl_gets(char* buffer, int size, FILE* file) {
    if (buffer == nullptr || file == nullptr || size <= 0) return nullptr;
    return std::fgets(buffer, size, file);
}

int fl_close(FILE* file) { return file ? std::fclose(file) : -1; }

int fl_save(const char* path, const void* buffer, size_t length) {
    FILE* f = fl_open(path, "wb");
    if (f == nullptr) return -1;
    size_t n = length ? std::fwrite(buffer, 1, length, f) : 0;
    int rc = std::fclose(f);
    return (n == length && rc == 0) ? 0 : -1;
}

int setInputsLabels(const char* labels) {
    if (labels == nullptr) return -1;
    std::string line = labels;
    if (line.empty() || line.back() != '\n') line += '\n';
    return fl_save(board::path("/root/app/conf/input_labels").c_str(), line.data(), line.size());
}
