#include "sys/version.h"

#include "platform/hw.h"

#include <cstdio>
#include <cstring>

#ifndef HX40_VERSION_PATCH
#define HX40_VERSION_PATCH 0
#endif
#ifndef HX40_BUILD_NUMBER
#define HX40_BUILD_NUMBER 0
#endif

namespace {
#ifdef NDEBUG
constexpr char kBuildLetter = 'R';
#else
constexpr char kBuildLetter = 'D';
#endif

int monthNumber(const char* mmm) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i)
        if (std::strncmp(mmm, kMonths[i], 3) == 0) return i + 1;
    return 0;
}
}  // namespace

const char* getVersionStr() {
    // One buffer per thread: IOSD and the protocol thread format at once.
    thread_local char text[40];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d.%04d.%c%d", HX40_VERSION_MAJOR, HX40_VERSION_MINOR,
                  HX40_VERSION_PATCH, HX40_BUILD_NUMBER, kBuildLetter, board::boardRevision());
    return text;
}

const char* getBuildDate() {
    static const char* const date = [] {
        static char text[24];
        const char* d = __DATE__;  // "Mmm dd yyyy"
        int day = 0, year = 0;
        std::sscanf(d + 4, "%d %d", &day, &year);
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %.8s", year % 10000, monthNumber(d) % 100, day % 100,
                      __TIME__);
        return text;
    }();
    return date;
}
