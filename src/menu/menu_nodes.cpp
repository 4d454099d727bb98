// Node numbers (their digits spell the way from the root) and what the
// engine does with a row outside the step itself.
#include "commands/notifications.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_engine.h"
#include "menu/menu_state.h"
#include "osd/osd.h"
#include "sys/locks.h"
#include "sys/print.h"

namespace {

constexpr int kMicSecond = 3962;  // microphone 2's page; 3961 is microphone 1's
constexpr int kMicOther = 3963;

int digits(int n, int& power) {
    int d = 1;
    power = 1;
    for (int q = n; q >= 10; q /= 10) {
        ++d;
        power *= 10;
    }
    return d;
}

}  // namespace

int find_osd_hierarchy_num(int n, int* depth_out) {
    if (n < 11) {
        if (depth_out) *depth_out = 1;
        return n;
    }
    int power;
    const int d = digits(n, power);
    if (depth_out) *depth_out = d;
    return n / power;
}

int replace_osd_hierarchy_num(int n, int d) {
    if (n < 11) return d;
    int power;
    digits(n, power);
    return d * power + n % power;
}

int replace_osd_microphone_hierarchy_num(int n) {
    if (n == kMicOther) return n;
    PRINT(PRINT_GENERAL, "st_num:%d\n", n);
    int q = n, div = 1;
    while (q > kMicSecond) {
        q /= 10;
        div *= 10;
    }
    PRINT(PRINT_GENERAL, "n:%d div:%d\n", q, div);
    if (q == kMicSecond - 1) {
        PRINT(PRINT_GENERAL, "3961: stnum + div =%d\n", n + div);
        return n + div;
    }
    PRINT(PRINT_GENERAL, "3962: stnum - div =%d\n", n - div);
    return n - div;
}

void tracebackPbValues(int row) {
    if (row < 0 || row >= funcTableSize()) return;
    int node = static_cast<int>(funcDataTbl[row].node);
    // The root has no page above it, and an item digit 0 names no line.
    while (node > 0 && node % 10 != 0) {
        const int parent = node / 10;
        const int prow = funcNum2TblInx(parent);
        if (prow == 0 || funcDataTbl[prow].type != FT_PAGE) return;
        {
            MutexLock lock(PM_mutex);
            funcSetIntAt(prow, Channel, node % 10 - 1);
        }
        if (parent == 0) return;
        node = parent;
    }
}

void checkSetPmUnsave(int row) {
    if (row < 0 || row >= funcTableSize()) return;
    FuncRow& r = funcDataTbl[row];
    if (r.type == FT_KEY || r.type == FT_PAGE || r.type == FT_TEXT || !(r.change & kRowChanged)) return;
    r.change &= static_cast<uint8_t>(~kRowChanged);
    vp.chData[Channel == 1 ? 1 : 0].cFlags.fetch_or(VP_CFLAG_DIRTY);
}

void announcePmChanged(int row) {
    if (row < 0 || row >= funcTableSize()) return;
    const FuncRow& r = funcDataTbl[row];
    const auto channel = static_cast<uint8_t>(Channel == 1 ? 1 : 0);
    const bool initialising = gInInitialize[0] || gInInitialize[1];
    if (r.type >= FT_S8 && r.type <= 14) {
        int32_t v = 0;
        if (getIntParam(row, &v) == 6 && !initialising) p7kEvAnnounceInt(r.node, v, channel);
    } else if (r.type <= FT_FLOAT_CH) {
        float v = 0;
        if (getFloatParam(row, &v) == 7 && !initialising) p7kEvAnnounceFloat(r.node, v, channel);
    }
}

void osd_return(int n) {
    st_num = n;
    const int row = funcNum2TblInx(n);
    if (funcDataTbl[row].screen != nullptr) funcDataTbl[row].screen(row);
}

void checkDispEntireSystemControl(int row) {
    if (row < 0 || row >= funcTableSize()) return;
    const FuncRow& r = funcDataTbl[row];
    switch (r.type) {
    case FT_KEY:
    case FT_PAGE:
    case FT_TEXT:
    case FT_FLOAT_CH:
    case FT_S8_CH:
    case FT_S16_CH:
    case FT_S32_CH:
        return;  // pages, texts and per-channel values
    default:
        break;
    }
    if (r.node == 321 || r.node == 421 || r.node == 480) return;
    osd_put_ascii_string("Entire System Control       ", 320, 12, 0, 255, 0, 16);
}

void setBlinkTransparentOsd() {}
