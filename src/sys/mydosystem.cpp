#include "sys/mydosystem.h"

#include "platform/exec.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr size_t kMaxWords = 15;
}

int MyDoSystem(const char* line) {
    if (line == nullptr) return -1;
    // Split in the caller: a child of a threaded process must not allocate.
    std::vector<std::string> words;
    std::string w;
    for (const char* p = line;; ++p) {
        if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\0') {
            if (!w.empty()) words.push_back(std::move(w));
            w.clear();
            if (*p == '\0') break;
        } else {
            w += *p;
        }
    }
    if (words.empty()) return -1;
    // A cut line could do something else than asked (a shortened rm or find).
    if (words.size() > kMaxWords) {
        std::fprintf(stderr, "MyDoSystem: refused, more than %zu words: %s\n", kMaxWords, line);
        return -1;
    }
    return board::exec::run(words);
}
