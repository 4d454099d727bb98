#include "menu/saved_values.h"

#include "core/pm.h"
#include "platform/journal.h"
#include "platform/sim/ctl.h"
#include "scaler/picture.h"
#include "sys/fileutil.h"
#include "sys/locks.h"
#include "sys/print.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

// Where a slot's value comes from. PM bytes and words are read signed, the
// output windows and the OSD position unsigned; the scaler's own values
// are unsigned bytes.
enum class Kind : uint8_t { S8, S16, U16, U8, Constant };
struct Slot {
    Kind kind;
    const void* at;  // the value's address (the constant itself for Constant)
};

constexpr int kZero = 0, kOne = 1;

constexpr Slot s8(const void* p) { return {Kind::S8, p}; }
constexpr Slot s16(const void* p) { return {Kind::S16, p}; }
constexpr Slot u16(const void* p) { return {Kind::U16, p}; }
constexpr Slot u8(const void* p) { return {Kind::U8, p}; }

// The slots in file order; pairs are CH1 then CH2. The deinterlacer's
// enable and delay are PM.PD and PM.PD_DELAY.
const std::array<Slot, kSavedValues> kSlots = {{
    s8(&PM.DISPLAY_MODE), {Kind::Constant, &kZero}, {Kind::Constant, &kOne},
    s16(&PM.IACTHST[0]), s16(&PM.IACTHST[1]), s16(&PM.IACTVST[0]), s16(&PM.IACTVST[1]),
    u8(&PM_IFORMAT[0]), u8(&PM_IFORMAT[1]),
    s8(&PM.PD[0]), s8(&PM.PD[1]), s8(&PM.PD_DELAY[0]), s8(&PM.PD_DELAY[1]), s8(&PM.IPLUT[0]), s8(&PM.IPLUT[1]),
    u8(&PM_FSYNRST[0]), u8(&PM_FSYNRST[1]),
    s16(&PM.BRIGHT[0]), s16(&PM.BRIGHT[1]), s16(&PM.CONTRAST[0]), s16(&PM.CONTRAST[1]), s16(&PM.HUE[0]),
    s16(&PM.HUE[1]),
    u8(&PM_CTEMP[0]), u8(&PM_CTEMP[1]),
    s8(&PM.GAMMA[0]), s8(&PM.GAMMA[1]), s8(&PM.CLRM1[0]), s8(&PM.CLRM1[1]), s8(&PM.CLRM2[0]), s8(&PM.CLRM2[1]),
    s8(&PM.CLRM3[0]), s8(&PM.CLRM3[1]),
    s8(&PM.HSHARP[0]), s8(&PM.HSHARP[1]), s8(&PM.VSHARP[0]), s8(&PM.VSHARP[1]),
    s8(&PM.HNR[0]), s8(&PM.HNR[1]), s8(&PM.VNR[0]), s8(&PM.VNR[1]), s8(&PM.TNR[0]), s8(&PM.TNR[1]),
    s8(&PM.BNR[0]), s8(&PM.BNR[1]), s8(&PM.MNR[0]), s8(&PM.MNR[1]), s8(&PM.COMB[0]), s8(&PM.COMB[1]),
    s8(&PM.DIAG[0]), s8(&PM.DIAG[1]),
    s8(&PM.SCAN[0]),
    u16(&PM.OWIN_HST[0]), u16(&PM.OWIN_HST[1]), u16(&PM.OWIN_HW[0]), u16(&PM.OWIN_HW[1]),
    u16(&PM.OWIN_VST[0]), u16(&PM.OWIN_VST[1]), u16(&PM.OWIN_VW[0]), u16(&PM.OWIN_VW[1]),
    s16(&PM.IWIN_HST[0]), s16(&PM.IWIN_HST[1]), s16(&PM.IWIN_HW[0]), s16(&PM.IWIN_HW[1]),
    s16(&PM.IWIN_VST[0]), s16(&PM.IWIN_VST[1]), s16(&PM.IWIN_VW[0]), s16(&PM.IWIN_VW[1]),
    u8(&PM_LANGUAGE),
    u8(&PM_NOSIG_BK[0]), u8(&PM_NOSIG_BK[1]),
    s8(&PM.UPSIDEDOWN[0]), s8(&PM.UPSIDEDOWN[1]),
    u8(&PM_FLIP[0]), u8(&PM_FLIP[1]),
    s8(&PM.OSDTRAN), s8(&PM.OSDGAIN), u8(&PM_2ND_OUTPUT), u16(&PM.OSDPOSH), u16(&PM.OSDPOSV),
}};

int32_t slotValue(const Slot& s) {
    switch (s.kind) {
    case Kind::S8: return *static_cast<const int8_t*>(s.at);
    case Kind::U8: return *static_cast<const uint8_t*>(s.at);
    case Kind::Constant: return *static_cast<const int*>(s.at);
    case Kind::S16:
    case Kind::U16: {
        uint16_t v;
        std::memcpy(&v, s.at, sizeof v);
        return s.kind == Kind::S16 ? int32_t{static_cast<int16_t>(v)} : int32_t{v};
    }
    }
    return 0;
}

constexpr size_t kLine = 5;

std::string handleCtl(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[1] == "save") {
        save_menu_param();
        return "OK saved";
    }
    if (args.size() == 3 && args[1] == "restore") {
        int which = 0;
        if (std::sscanf(args[2].c_str(), "%d", &which) != 1) return "ERR restore takes a number";
        restore_menu_param(which);
        return "OK";
    }
    return "ERR usage: menu-values save | menu-values restore N";
}

}  // namespace

std::string savedMenuValuesText() {
    std::string text;
    text.reserve(kSavedValues * kLine);
    MutexLock lock(PM_mutex);
    for (const Slot& s : kSlots) {
        // Negative values keep their low 16 bits, so that every line stays
        // four digits and a line feed.
        char line[kLine + 1];
        std::snprintf(line, sizeof line, "%04x\n", static_cast<unsigned>(slotValue(s)) & 0xFFFFu);
        text.append(line, kLine);
    }
    return text;
}

void save_menu_param() {
    if (PS_OP_MODE == 1) return;
    const std::string text = savedMenuValuesText();
    const int rc = fl_save(kSavedValuesFile, text.data(), text.size());
    board::journal("save_menu_param", "%s %zu bytes%s", kSavedValuesFile, text.size(), rc == 0 ? "" : " failed");
}

void restore_menu_param(int which) {
    const char* path = which == 0 ? kSavedValuesFile : which == 1 ? kInitialValuesFile : nullptr;
    if (path == nullptr) {
        PRINT(PRINT_GENERAL, "restore_menu_param:Undefine Param");
        return;
    }
    FILE* f = fl_open(path, "r");
    if (f == nullptr) {
        PRINT(PRINT_GENERAL, "restore_menu_param:file open error");
        board::journal("restore_menu_param", "%s cannot be opened", path);
        return;
    }
    // Nothing is read back; the file is not kept open either.
    fl_close(f);
    Channel = 0;
    board::journal("restore_menu_param", "%s", path);
}

void menuValuesRegisterSimCtl() {
    board::sim::ctl::add("menu-values", "menu-values save | restore N   the saved menu values file", handleCtl);
}
