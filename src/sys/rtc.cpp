#include "sys/rtc.h"

#include "platform/hw.h"
#include "sys/print.h"

#include <cstring>

int SetRTC(const struct tm* time) {
    if (time == nullptr) return 2;
    int rc = board::rtc::set(*time);
    if (rc != 0) PRINT(PRINT_GENERAL, "SetRTC: %s\n", std::strerror(rc));
    return rc;
}
