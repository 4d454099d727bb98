#include "osd/osd_message.h"

#include "core/pm.h"
#include "menu/menu_engine.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "scaler/scaler.h"
#include "sys/timers.h"
#include "sys/timeutil.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr int kKeyRedraw = 37;
constexpr int kWindowW = 640, kWindowH = 480, kTransparent = 239;
constexpr int kBoxX = 80, kBoxY = 180, kBoxW = 480, kBoxH = 120, kBorder = 3;
constexpr int kLine1Y = 210, kLine2Y = 250, kTextMargin = 12;
constexpr int kWhite = 255, kDark = 248, kRed = 199, kBlack = 0;

std::mutex gLock;  // the message's state; taken before the OSD lock
bool gShown = false;
uint32_t gDeadline = 0;  // ms count when a timed message goes, 0 for none

void removeLocked();

void expired() {
    std::lock_guard<std::mutex> lock(gLock);
    if (gShown && gDeadline != 0 && static_cast<int32_t>(getCurrMsCount() - gDeadline) >= 0) removeLocked();
}

Timer_Handler& timer() {
    static Timer_Handler t(expired);
    return t;
}

void centred(const char* text, int y, int colour) {
    if (text == nullptr || *text == '\0') return;
    const int width = getStrTotalCharaHw(text, 0).width;
    const int x = std::max(kBoxX + kTextMargin, kWindowW / 2 - width / 2);
    osd_put_ascii_string(text, x, y, colour, kWhite, 0, 16);
}

void removeLocked() {
    timer().stop();
    gDeadline = 0;
    gShown = false;
    const bool menuOpen = vp.gFlags & VP_GFLAG_MENU_OPEN;
    if (!menuOpen) osd_off(OSD_CHANNEL);
    reprepareOsd();
    if (menuOpen) stLoop(kKeyRedraw);
}

}  // namespace

void putFrameOsd(const char* line1, const char* line2, int time, int frame) {
    std::lock_guard<std::mutex> lock(gLock);
    const bool warning = frame == kOsdFrameWarning;
    osd_write_inh_ct(1, 1);
    osd_paint(0, kWindowW, 0, kWindowH, kTransparent);
    osd_paint(kBoxX, kBoxW, kBoxY, kBoxH, warning ? kRed : kDark);
    osd_paint(kBoxX + kBorder, kBoxW - 2 * kBorder, kBoxY + kBorder, kBoxH - 2 * kBorder, kWhite);
    centred(line1, kLine1Y, warning ? kRed : kBlack);
    centred(line2, kLine2Y, kBlack);
    osd_page_show();
    gShown = true;
    if (time > 0) {
        gDeadline = getCurrMsCount() + static_cast<uint32_t>(time);
        if (gDeadline == 0) gDeadline = 1;
        timer().start(static_cast<uint32_t>(time));
    } else {
        gDeadline = 0;
        timer().stop();
    }
}

void removeOsdString() {
    std::lock_guard<std::mutex> lock(gLock);
    if (gShown) removeLocked();
}
