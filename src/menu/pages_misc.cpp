#include "menu/pages_misc.h"

#include "core/audio.h"
#include "core/osd_timer.h"
#include "core/pm.h"
#include "core/switching.h"
#include "menu/menu_lists.h"
#include "menu/pages_upgrade.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "pending.h"
#include "scaler/input_formats.h"
#include "scaler/scaler.h"
#include "sys/locks.h"
#include "sys/print.h"

int32_t PB_5 = 0, PB_51 = 0, PB_52 = 0, PB_53 = 0, PB_54 = 0;
int32_t PB_Stub = 0;
int32_t channelSyncCtrl = 0;
int32_t gIactHst[2] = {0, 0};
int32_t gIactVst[2] = {0, 0};

namespace {

constexpr int kMiscTab = 4;
constexpr int kBarX = 350, kBarY = 220, kBarColour = 248;
constexpr int kKeyingNoteY = 138, kKeyingNoteColour = 199;

void osd_funcMisc(int row);

// Page 5's rows. Pages 51 and 54 draw with the information and upgrade
// pages' own screens.
const std::array kNodes = std::to_array<MiscNode>({
    {miscRow(5, FT_PAGE, &PB_5, 0, 5, 1, 0, 5, nullptr, osd_funcMisc), {nullptr, nullptr, MiscBody::Page, menu_list_5, nullptr}},
    {miscRow(51, FT_PAGE, &PB_51, 0, 4, 1, 0, 5, nullptr, osd_func51), {menu_list_5, nullptr, MiscBody::Page, menu_list_51, nullptr}},
    {miscRow(52, FT_PAGE, &PB_52, 0, 5, 1, 0, 5, nullptr, osd_funcMisc), {menu_list_5, nullptr, MiscBody::Page, menu_list_52, nullptr}},
    {miscRow(521, FT_S16, &PM.OSDPOSH, 0, 2047, 1, 8, 3, nullptr, osd_func521), {menu_list_5, menu_list_52, MiscBody::Bar, nullptr, "PM.OSDPOSH"}},
    {miscRow(522, FT_S16, &PM.OSDPOSV, 0, 2047, 1, 8, 3, nullptr, osd_func522), {menu_list_5, menu_list_52, MiscBody::Bar, nullptr, "PM.OSDPOSV"}},
    {miscRow(523, FT_S8, &PM.OSDTRAN, 0, 1, 1, 0, 5, nullptr, osd_funcMisc), {menu_list_5, menu_list_52, MiscBody::List, menu_list_OFF_ON, "PM.OSDTRAN"}},
    {miscRow(524, FT_S8, &PM.OSDGAIN, 1, 4, 1, 0, 3, func524, osd_funcMisc), {menu_list_5, menu_list_52, MiscBody::Bar, nullptr, "PM.OSDGAIN"}},
    {miscRow(525, FT_S16, &PM.OSDBIAS, -128, 127, 8, 0, 3, func525, osd_funcMisc), {menu_list_5, menu_list_52, MiscBody::Bar, nullptr, "PM.OSDBIAS"}},
    {miscRow(526, FT_S8, &PM.OSDTM, 0, 2, 1, 0, 5, func526, osd_funcMisc), {menu_list_5, menu_list_52, MiscBody::List, menu_list_526, "PM.OSDTM"}},
    {miscRow(53, FT_PAGE, &PB_53, 0, 4, 1, 0, 5, nullptr, osd_funcMisc), {menu_list_5, nullptr, MiscBody::Page, menu_list_53, nullptr}},
    {miscRow(531, FT_S16, &PM.CHROMA_KEYING_R, 0, 240, 16, 32, 3, func534, osd_funcMisc), {menu_list_5, menu_list_53, MiscBody::Bar, nullptr, "PM.CHROMA_KEYING_R"}},
    {miscRow(532, FT_S16, &PM.CHROMA_KEYING_G, 0, 240, 16, 32, 3, func534, osd_funcMisc), {menu_list_5, menu_list_53, MiscBody::Bar, nullptr, "PM.CHROMA_KEYING_G"}},
    {miscRow(533, FT_S16, &PM.CHROMA_KEYING_B, 0, 240, 16, 32, 3, func534, osd_funcMisc), {menu_list_5, menu_list_53, MiscBody::Bar, nullptr, "PM.CHROMA_KEYING_B"}},
    {miscRow(534, FT_S8, &PM.CHROMA_KEYING, 0, 1, 1, 0, 5, func534, osd_func534), {menu_list_5, menu_list_53, MiscBody::List, menu_list_OFF_ON, "PM.CHROMA_KEYING"}},
    {miscRow(535, FT_S8, &PM.LUMA_KEYING, 0, 1, 1, 0, 5, func535, osd_func535), {menu_list_5, menu_list_53, MiscBody::List, menu_list_OFF_ON, "PM.LUMA_KEYING"}},
    {miscRow(54, FT_PAGE, &PB_54, 0, 1, 1, 0, 5, nullptr, osd_func54), {menu_list_5, nullptr, MiscBody::Page, menu_list_54, nullptr}},
    {miscRow(554, FT_S8, &PM.POWER_AMPLIFIER, 0, 4, 1, 0, 7, func554, osd_funcMisc), {menu_list_5, menu_list_55, MiscBody::List, menu_list_554, "PM.POWER_AMPLIFIER"}},
    {miscRow(556, FT_S8, &PM.ALERT_SYSTEM, 0, 1, 1, 0, 5, nullptr, osd_funcMisc, 0), {menu_list_5, menu_list_55, MiscBody::List, menu_list_ON_OFF, "PM.ALERT_SYSTEM"}},
    // Protocol only: no screen.
    {miscRow(7510, FT_S32, &channelSyncCtrl, 0, 3, 1, 0, 1, func7510, nullptr, 0), {}},
    {miscRow(7531, FT_S32, &gIactHst[0], 0, 1, 1, 0, 8, func7531, nullptr, 0), {}},
    {miscRow(7532, FT_S32, &gIactVst[0], 0, 1, 1, 0, 8, func7532, nullptr, 0), {}},
    {miscRow(7541, FT_S32, &gIactHst[1], 0, 1, 1, 0, 8, func7541, nullptr, 0), {}},
    {miscRow(7542, FT_S32, &gIactVst[1], 0, 1, 1, 0, 8, func7542, nullptr, 0), {}},
    // Its meaning is not known; the RAM record is long enough for its 32 bits.
    {miscRow(7550, FT_S32, &PM.NODE7550, 0, 3, 1, 0, 1, nullptr, nullptr), {}},
});

void osd_funcMisc(int row) {
    if (const MiscView* v = misc_view_of(kNodes, row)) misc_screen(row, *v);
}

// Keying needs two windows on screen: overlay mode, and a layout that is
// not one window alone.
bool twoWindows() {
    return underPm([] { return PM.DISPLAY_MODE != 0 && PM.DWINDOW != 0 && PM.DWINDOW != 4; });
}

struct RegWrite {
    uint32_t code;
    uint64_t value;
};

void writeAll(std::span<const RegWrite> writes, int channel) {
    for (const RegWrite& w : writes) write_C812(w.code, w.value, channel, 0);
}

// The OSD position screens first keep the window inside the output.
void positionScreen(int row, int horizontal) {
    const int position = underPm([&] { return horizontal ? PM.OSDPOSH : PM.OSDPOSV; });
    delimitOsdPos(horizontal, 0, position);
    osd_funcMisc(row);
}

// A keying item that cannot act says why and shows its flag off.
void keyingScreen(int row, uint8_t PMRec::*flag, uint8_t PMRec::*other, const char* blocked, int blockedX) {
    const char* note = nullptr;
    int x = 320;
    if (!twoWindows()) {
        note = "Available in Dual Windows Mode";
    } else if (underPm([&] { return PM.*other != 0; })) {
        note = blocked;
        x = blockedX;
    }
    if (note != nullptr) underPm([&] { PM.*flag = 0; });
    const MiscView& v = *misc_view_of(kNodes, row);
    misc_screen_begin(row, v);
    if (note != nullptr) osd_put_ascii_string(note, x, kKeyingNoteY, kKeyingNoteColour, 255, 0, 16);
    misc_screen_body(row, v, formated_osd_list(v.list));
    osd_page_show();
}

// The input's active start of a channel from the input timing table: word 1
// horizontal, 3 vertical; -1 without a format or with an input type the
// table does not have.
void activeStart(int channel, int word, int32_t* out) {
    const int format = vp.chData[channel].vidFormat;
    const int type = underPm([&] { return PM.SEL_INPUT_TYPE[channel]; });
    PRINT(PRINT_GENERAL, "format  = %d\n", format);
    const int32_t v = format < kInputFormats && type < kInputTypes
                          ? static_cast<int32_t>(buildPictureParam[format][type][word])
                          : -1;
    underPm([&] { *out = v; });
}

}  // namespace

void misc_screen_begin(int row, const MiscView& view) {
    osd_page_begin(row, kMiscTab);
    osd_put_title(row, view.top, view.item, 0);
}

void misc_screen_body(int row, const MiscView& view, const formated_osd_list& list) {
    switch (view.body) {
    case MiscBody::Page:
        osd_put_list(row, underPm([&] { return funcIntAt(row, 0); }), list, 1);
        break;
    case MiscBody::List: {
        const int32_t value = underPm([&] { return getVal(row); });
        PRINT(PRINT_GENERAL, "+++ %s =  %d \n", view.field, static_cast<int>(value));
        osd_put_list(row, value, list, 1);
        break;
    }
    case MiscBody::Bar: {
        const int32_t value = underPm([&] { return getVal(row); });
        PRINT(PRINT_GENERAL, "+++ %s =  %d \n", view.field, static_cast<int>(value));
        osd_put_pbar(row, value, kBarX, kBarY, kBarColour);
        break;
    }
    }
}

void misc_screen(int row, const MiscView& view) {
    misc_screen_begin(row, view);
    misc_screen_body(row, view, formated_osd_list(view.list));
    osd_page_show();
}

const MiscView* misc_view_of(std::span<const MiscNode> nodes, int row) {
    if (row <= 0 || row >= funcTableSize()) return nullptr;
    for (const MiscNode& n : nodes)
        if (n.row.node == funcDataTbl[row].node) return &n.view;
    return nullptr;
}

void osd_func521(int row) { positionScreen(row, 1); }
void osd_func522(int row) { positionScreen(row, 0); }

void osd_func534(int row) {
    keyingScreen(row, &PMRec::CHROMA_KEYING, &PMRec::LUMA_KEYING, "Unavailable with Luma Keying", 325);
}
void osd_func535(int row) {
    keyingScreen(row, &PMRec::LUMA_KEYING, &PMRec::CHROMA_KEYING, "Unavailable with Chroma Keying", 320);
}

void func524(int) {
    const int g = underPm([] { return PM.OSDGAIN; });
    osd_gain(OSD_CHANNEL, 1, g, g, g);
}

void func525(int) {
    const int b = underPm([] { return PM.OSDBIAS; });
    osd_bias(OSD_CHANNEL, b, b, b);
}

void func526(int) { resetOsdTimer(underPm([] { return PM.OSDTM; })); }

// Chroma keying on channel 1's bank; 531 to 533 apply their key colour
// through it.
void func534(int) {
    struct {
        uint8_t on, luma;
        uint16_t r, g, b;
    } k{};
    underPm([&] { k = {PM.CHROMA_KEYING, PM.LUMA_KEYING, PM.CHROMA_KEYING_R, PM.CHROMA_KEYING_G, PM.CHROMA_KEYING_B}; });
    if (k.luma != 0 || !twoWindows()) return;
    if (k.on != 0) {
        const RegWrite on[] = {{0x6A01, 1},          {0x6B01, k.r & 0xFFu}, {0x6C01, k.g & 0xFFu},
                               {0x6D01, k.b & 0xFFu}, {0x6E01, 0},          {0x6F01, 0},
                               {0x7001, 64},          {0x7101, 64},         {0x7201, 12}};
        writeAll(on, 0);
    } else {
        const RegWrite off[] = {{0x6A01, 0}, {0x6B01, 0}, {0x6C01, 0}, {0x6D01, 0}, {0x6E01, 0},
                                {0x6F01, 0}, {0x7001, 0}, {0x7101, 0}, {0x7201, 1}};
        writeAll(off, 0);
    }
    write_C812(0x7301, 0, 0, 0);
    write_C812(0x32C03, 0, 1, 0);
    PRINT(PRINT_GENERAL, "+++ func534 %d %d %d %d\n", k.on, k.r, k.g, k.b);
}

void func535(int) {
    uint8_t on = 0, chroma = 0;
    underPm([&] { on = PM.LUMA_KEYING, chroma = PM.CHROMA_KEYING; });
    if (chroma != 0 || !twoWindows()) return;
    write_C812(0x41901, 0, 0, 0);
    write_C812(0x41901, 0, 1, 0);
    write_C812(0x7301, 0, 0, 0);
    const RegWrite lumaOn[] = {{0x7201, 12}, {0x6F01, 22}, {0x6C01, 24}};
    const RegWrite lumaOff[] = {{0x7201, 1}, {0x6F01, 0}, {0x6C01, 0}};
    writeAll(on != 0 ? std::span<const RegWrite>(lumaOn) : std::span<const RegWrite>(lumaOff), 0);
}

void func554(int) {
    PRINT(PRINT_GENERAL, "+++ PM.POWER_AMPLIFIER  =  %d\n", underPm([] { return PM.POWER_AMPLIFIER; }));
    paPower();
}

void func7510(int) {
    switch (underPm([] { return channelSyncCtrl; })) {
    case 1:
        exeSyncOff(0, 0, 1);
        break;
    case 2:
        exeSyncOff(0, 0, 0);
        break;
    case 3:
        exeSyncOff(0, 1, 1);
        break;
    default:
        break;
    }
}

void func7531(int) { activeStart(0, 1, &gIactHst[0]); }
void func7532(int) { activeStart(0, 3, &gIactVst[0]); }
void func7541(int) { activeStart(1, 1, &gIactHst[1]); }
void func7542(int) { activeStart(1, 3, &gIactVst[1]); }

std::span<const FuncRow> miscPageRows() {
    static const auto rows = misc_rows(kNodes);
    return rows;
}
