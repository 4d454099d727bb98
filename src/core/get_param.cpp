#include "core/get_param.h"

#include <cstring>

namespace {

bool isSpace(char c) { return c == '\t' || c == ' ' || c == '\n' || c == '\r'; }

}  // namespace

int get_param(const char** cursor, const char** next) {
    *next = nullptr;
    const char* p = *cursor;
    if (p == nullptr) return 0;
    while (isSpace(*p)) ++p;
    *cursor = p;
    if (*p == '\0') return 0;
    const char* comma = std::strchr(p, ',');
    const char* end = comma ? comma : p + std::strlen(p);
    if (comma) *next = comma + 1;
    while (end > p && isSpace(end[-1])) --end;
    return static_cast<int>(end - p);
}

int get_param(char** cursor, char** next) {
    const char* c = *cursor;
    const char* n = nullptr;
    int len = get_param(&c, &n);
    *cursor = const_cast<char*>(c);
    *next = const_cast<char*>(n);
    return len;
}
