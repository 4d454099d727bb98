#include "menu/pages_inputs.h"

#include "commands/notifications.h"
#include "core/audio.h"
#include "core/core_state.h"
#include "core/eeprom_map.h"
#include "core/osd_timer.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "core/switching.h"
#include "menu/complex_osd.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "menu/page_common.h"
#include "menu/root_page.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "platform/journal.h"
#include "scaler/picture.h"
#include "scaler/scaler.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/print.h"
#include "sys/watchdog.h"
#include "video/edid.h"
#include "video/frontend.h"
#include "video/preferred_timing.h"

#include <array>
#include <cstddef>

int32_t PB_1 = 0;
int32_t PB_1x[kInputPages] = {};
int32_t PB_1x2[kInputPages] = {};

namespace {

constexpr int kTab = 0;
constexpr int kTypeHdmi = 0, kTypeVga = 2;
constexpr int kVgaVideoInputOffset = 24;
constexpr int kNodeTakeover[2] = {392, 492};
// cFlags bit 1: raised when a channel is re-routed to an input that became HDMI.
constexpr uint16_t kCflagHdmiRetyped = 0x2;
constexpr int kWarnX = 345, kEdidWarnX = 330, kHdmiOnlyX = 390, kWarnY = 138;
constexpr uint32_t kBrowseArrowMs = 125;
constexpr int kBrowseColourFirst = 0, kBrowseColour = 199;

const PageTitle kInputTitle{kTab, menu_list_1, menu_list_11};   // nodes 1k1 .. 1k5
const PageTitle kEdidTitle{kTab, menu_list_11, menu_list_1x2};  // nodes 1k21 .. 1k24

// The input of a node 1k, 1k.. (index k - 1); -1 for another node.
int inputOf(uint32_t node) {
    while (node >= 100) node /= 10;
    const int inp = static_cast<int>(node % 10) - 1;
    return node / 10 == 1 && inp >= 0 && inp < kInputPages ? inp : -1;
}
int inputOfRow(int row) { return row > 0 && row < funcTableSize() ? inputOf(funcDataTbl[row].node) : -1; }

bool shows(int ch, int inp) { return PM.SEL_INPUT[ch] == inp + 1; }
uint8_t announceChannel() { return static_cast<uint8_t>(Channel == 1 ? 1 : 0); }

int8_t readPmi(int inp, int8_t PMIRec::*field) {
    MutexLock lock(PM_mutex);
    return PM_I[inp].*field;
}
void writePmi(int inp, int8_t PMIRec::*field, int v) {
    MutexLock lock(PM_mutex);
    PM_I[inp].*field = static_cast<int8_t>(v);
}

// Only connectors 5 and 6 take another signal than HDMI; a stored type of
// another connector is corrected, so that no video input past the table is
// ever routed.
int inputType(int inp) {
    MutexLock lock(PM_mutex);
    int8_t& t = PM_I[inp].SEL_INPUT_TYPE;
    if ((inp != 4 && inp != 5) || t < 0 || t > 3) t = kTypeHdmi;
    return t;
}

// The channel that shows the input gets its new video input.
void retype(int ch, int inp, int type, int no_reconfigure) {
    bool takeoverCleared = false;
    int takeover;
    {
        MutexLock lock(PM_mutex);
        PM.SEL_INPUT_TYPE[ch] = static_cast<uint8_t>(type);
        if (no_reconfigure == 0 && type == kTypeHdmi && PM.ANALOG_TAKEOVER[ch] != 0) {
            PM.ANALOG_TAKEOVER[ch] = 0;
            takeoverCleared = true;
        }
        takeover = PM.ANALOG_TAKEOVER[ch];
    }
    vp.chData[ch].vidInput = static_cast<uint8_t>(getNewVidInput(ch, inp));
    if (takeoverCleared) {
        runNodeAs(kNodeTakeover[ch], ch);
        p7kEvForceAnnounceInt(static_cast<uint32_t>(kNodeTakeover[ch]), takeover, static_cast<uint8_t>(ch));
    }
    WDT_Clear();
    if (no_reconfigure == 1) return;
    if (type == kTypeHdmi) vp.chData[ch].cFlags.fetch_or(kCflagHdmiRetyped);
    confNewVideo(ch);
}

// Copies an input's value into the per-channel copy of every channel that
// shows the input, then applies it there.
template <class Apply>
void toShowingChannels(int inp, int8_t PMIRec::*field, uint8_t (PMRec::*copy)[2], Apply apply) {
    const int8_t value = readPmi(inp, field);
    for (int ch = 0; ch < 2; ++ch) {
        if (!shows(ch, inp)) continue;
        {
            MutexLock lock(PM_mutex);
            (PM.*copy)[ch] = static_cast<uint8_t>(value);
        }
        apply(ch, value);
    }
}

// An input no channel shows became HDMI: its stored zones lose the analog
// takeover, as a shown one does in PM.
void clearStoredTakeover(int inp) {
    for (int ch = 0; ch < 2; ++ch) {
        const int offset = static_cast<int>(offsetof(PMRec, ANALOG_TAKEOVER)) + ch;
        uint8_t b = 0;
        if (eepromLoadSingleParam(inp, ch, &b, offset, 1) != 0) continue;
        PRINT(PRINT_GENERAL, "[CH%d]OLD AVF source  = %d\n", ch + 1, b);
        if (b == 0) continue;
        b = 0;
        eepromSaveSingleParam(inp, ch, &b, offset, 1);
        PRINT(PRINT_GENERAL, "[CH%d]Change AVF source to %d\n", ch + 1, b);
    }
}

// The EDID patches of the colour depth, mode lines and audio channels.
void patchEdid(int node, int (*patch)(int, int), int8_t PMIRec::*field) {
    const int inp = inputOf(static_cast<uint32_t>(node));
    if (inp < 0) return;
    const int v = edidVideoInput(inp);
    if (patch(v, readPmi(inp, field)) != 0) frontEnd_Edid_Issu_Hotplug(v);
    eepromSavePMIData();
}

void listScreen(int row, const PageTitle& title, const int* list, bool activeWarning) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    pageOpen(row, title);
    if (activeWarning) print_warning_active_input_if_nedded(inp);
    pageList(row, formated_osd_list(list));
    pageShow();
}

void edidChoiceScreen(int row, const int* list) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    pageOpen(row, kEdidTitle);
    print_warning_active_input_if_nedded(inp);
    pageList(row, formated_osd_list(list));
    print_edid_warning_if_needed(inp);
    pageShow();
}

template <void (*F)(int)>
void byNode(int row) {
    F(static_cast<int>(funcDataTbl[row].node));
}

// The rows of one input page family, for input k: node suffix and fields.
struct InputRow {
    uint32_t suffix;    // node = (10 + k) * 10^digits + suffix
    uint32_t digits;    // of the suffix: 0 for the page 1k itself
    uint32_t callMode;
    int8_t PMIRec::*field;  // null: a page, with the cursor of pageCursors
    int32_t* pageCursors;
    int32_t min, max;
    void (*screen)(int);
    void (*action)(int);
};

const InputRow kFamily[] = {
    {0, 0, 5, nullptr, PB_1x, 0, 4, osd_func11, nullptr},
    {1, 1, 6, &PMIRec::SEL_INPUT_TYPE, nullptr, 0, 3, osd_func111, byNode<func1x1>},
    {2, 1, 5, nullptr, PB_1x2, 0, 3, osd_func1x2, nullptr},
    {21, 2, 7, &PMIRec::RESOLUTION, nullptr, 0, 207, osd_func1x21, byNode<func1x21>},
    {22, 2, 5, &PMIRec::COLOR_DEPTH, nullptr, 0, 1, osd_func1x22, byNode<func1x22>},
    {23, 2, 5, &PMIRec::MODELINE, nullptr, 0, 1, osd_func1x23, byNode<func1x23>},
    {24, 2, 5, &PMIRec::AUDIO_CHANNELS, nullptr, 0, 1, osd_func1x24, byNode<func1x24>},
    {3, 1, 5, &PMIRec::HDCP_MODE, nullptr, 0, 1, osd_func113, byNode<func1x3>},
    {4, 1, 5, &PMIRec::COLOR_SPACE, nullptr, 0, 2, osd_func114, byNode<func1x4>},
    {5, 1, 3, &PMIRec::INP_VOLUME, nullptr, -80, 20, osd_func115, byNode<func1x5>},
};
constexpr size_t kFamilyRows = std::size(kFamily);
constexpr size_t kRowCount = 1 + kInputPages * kFamilyRows;

std::array<FuncRow, kRowCount> makeRows() {
    std::array<FuncRow, kRowCount> rows{};
    size_t n = 0;
    rows[n++] = {1, nullptr, 5, osd_func1, FT_PAGE, &PB_1, fnI(kInputPages - 1), fnI(0), fnI(1), fnI(0), 1};
    for (int inp = 0; inp < kInputPages; ++inp) {
        const uint32_t page = 11 + static_cast<uint32_t>(inp);
        for (const InputRow& f : kFamily) {
            uint32_t node = page;
            for (uint32_t d = 0; d < f.digits; ++d) node *= 10;
            node += f.suffix;
            void* value = f.field != nullptr ? static_cast<void*>(&(PM_I[inp].*f.field))
                                             : static_cast<void*>(&f.pageCursors[inp]);
            rows[n++] = {node, f.action, f.callMode, f.screen, f.field != nullptr ? FT_S8 : FT_PAGE, value,
                         fnI(f.max), fnI(f.min), fnI(1), fnI(0), 1};
        }
    }
    return rows;
}

const std::array<FuncRow, kRowCount> kRows = makeRows();

}  // namespace

int edidVideoInput(int inp) { return inputType(inp) == kTypeHdmi ? inp : inp + kVgaVideoInputOffset; }

void print_warning_active_input_if_nedded(int inp) {
    if (shows(0, inp) || (shows(1, inp) && vp.numInputs != 1)) pageText("WARNING: Active Input", kWarnX, kWarnY);
}

int print_edid_warning_if_needed(int inp) {
    const int type = readPmi(inp, &PMIRec::SEL_INPUT_TYPE);
    if (type == kTypeHdmi || type == kTypeVga) return 0;
    pageText("Not Applicable To Input Mode", kEdidWarnX, kWarnY);
    return 1;
}

void osd_func1(int row) { pageListScreen(row, {kTab, nullptr, nullptr}, menu_list_1); }

void osd_func11(int row) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    const int type = readPmi(inp, &PMIRec::SEL_INPUT_TYPE);
    formated_osd_list list(menu_list_11);
    if (inp != 4 && inp != 5) list.disable_line(row, 1, nullptr);
    if (type != kTypeHdmi && type != kTypeVga) list.disable_line(row, 2, nullptr);
    if (type != kTypeHdmi) list.disable_line(row, 3, nullptr);
    pageOpen(row, {kTab, menu_list_1, nullptr});
    pageList(row, list);
    pageShow();
}

void osd_func111(int row) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    pageOpen(row, kInputTitle);
    if (inp != 4 && inp != 5) {
        inputType(inp);  // HDMI, whatever was stored
        pageText("HDMI Type Only", kHdmiOnlyX, kWarnY);
    } else {
        print_warning_active_input_if_nedded(inp);
    }
    pageList(row, formated_osd_list(menu_list_111));
    pageShow();
}

void osd_func1x2(int row) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    formated_osd_list list(menu_list_1x2);
    if (readPmi(inp, &PMIRec::SEL_INPUT_TYPE) == kTypeVga) {
        list.disable_line(row, 2, nullptr);
        list.disable_line(row, 4, nullptr);
    }
    pageOpen(row, kInputTitle);
    pageList(row, list);
    pageShow();
}

void osd_func1x22(int row) { edidChoiceScreen(row, menu_list_1x22); }
void osd_func1x23(int row) { edidChoiceScreen(row, menu_list_1x23); }
void osd_func1x24(int row) { edidChoiceScreen(row, menu_list_1x24); }
void osd_func113(int row) { listScreen(row, kInputTitle, menu_list_113, true); }
void osd_func114(int row) { listScreen(row, kInputTitle, menu_list_114, true); }

void osd_func115(int row) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    pageOpen(row, kInputTitle);
    print_warning_active_input_if_nedded(inp);
    pageBar(row);
    pageShow();
}

void osd_func1x21(int row) {
    const int inp = inputOfRow(row);
    if (inp < 0) return;
    if (!menuIsOpen()) {
        // The protocol's node after the menu closed: nothing to browse, the
        // action applies the value it set.
        closeMenuFromPage();
        return;
    }
    const int8_t revert = readPmi(inp, &PMIRec::RESOLUTION);
    pageOpen(row, kEdidTitle);
    print_warning_active_input_if_nedded(inp);
    print_edid_warning_if_needed(inp);
    pageShow();

    const int last = getLastNativeInd();
    ComplexOsdKeys keys(kBrowseArrowMs, false);
    // A value from the protocol past the table starts the browser inside it.
    int v = static_cast<uint8_t>(revert) % (last + 1);
    v = v == 0 ? last : v - 1;
    int key = KEY_UP;
    int colour = kBrowseColourFirst;
    for (;;) {
        if (key == KEY_UP) v = v >= last ? 0 : v + 1;
        else if (key == KEY_DOWN) v = v <= 0 ? last : v - 1;
        writePmi(inp, &PMIRec::RESOLUTION, v);
        osdDispNative(v, colour, 0);
        colour = kBrowseColour;
        key = keys.wait();
        if (key == KEY_MENU && gBreakOutComplexOsd == BREAKOUT_NONE) writePmi(inp, &PMIRec::RESOLUTION, revert);
        if (key != KEY_DOWN && key != KEY_UP) break;
    }

    PRINT(PRINT_GENERAL, "osd_func_edid_sel :1\r");
    const int breakOut = gBreakOutComplexOsd;
    keys.release();
    if (breakOut == BREAKOUT_TIMEOUT) writePmi(inp, &PMIRec::RESOLUTION, revert);
    gBreakOutComplexOsd = BREAKOUT_NONE;
    gWasHdmiEdidChg = 0;
    st_num = 10 * (inp + 1) + 102;
    if (breakOut == BREAKOUT_PROTOCOL) {
        exitOsdMenu();  // the menu closes: open bit, time-out, the close step
    } else if (menuIsOpen()) {
        reprepareOsd();
        osd_func1x2(funcNum2TblInx(st_num));
    }
    board::journal("osd_func1x21", "input=%d value=%d revert=%d breakout=%d", inp + 1,
                   static_cast<uint8_t>(readPmi(inp, &PMIRec::RESOLUTION)), static_cast<uint8_t>(revert), breakOut);
    PRINT(PRINT_GENERAL, "PM.RESOLUTION=0x%02hhX, revertNative=0x%02hhX, gBreakOutOutSel=%d\r\n",
          static_cast<unsigned char>(readPmi(inp, &PMIRec::RESOLUTION)), static_cast<unsigned char>(revert),
          gBreakOutComplexOsd.load());
}

void func1x1(int node) {
    const int inp = inputOf(static_cast<uint32_t>(node));
    if (inp < 0) return;
    const int stored = readPmi(inp, &PMIRec::SEL_INPUT_TYPE);
    PRINT(PRINT_GENERAL, "func1x1: PM_I[%d].SEL_INPUT_TYPE=%d, current=%d\n", inp, stored, inputType(inp));
    SetInputType(inp, 0);
    eepromSavePMIData();
}

void SetInputType(int inp, int no_reconfigure) {
    if (inp < 0 || inp >= kInputPages) return;
    const int type = inputType(inp);
    const int v = prepVidInput(type, inp);
    initEdid_single(inp);
    EP9442_MwRxSetInternalEdid(TvAppEdid[inp], v);
    board::journal("SetInputType", "input=%d type=%d video_input=%d", inp + 1, type, v);
    const bool ch1 = shows(0, inp);
    if (ch1 && vp.chData[0].vidInput != v) retype(0, inp, type, no_reconfigure);
    if (shows(1, inp) && vp.numInputs != 1 && vp.chData[1].vidInput != v) {
        retype(1, inp, type, no_reconfigure);
        return;
    }
    if (shows(1, inp) && vp.chData[1].vidInput == v) return;
    if (!ch1 && no_reconfigure == 0 && type == kTypeHdmi) clearStoredTakeover(inp);
}

void func1x21(int node) {
    const int inp = inputOf(static_cast<uint32_t>(node));
    if (inp < 0) return;
    const int8_t value = readPmi(inp, &PMIRec::RESOLUTION);
    const int index = static_cast<uint8_t>(value);
    const int v = edidVideoInput(inp);
    if (index > getLastNativeInd()) {
        // Stored as given (the protocol allows it), but there is no such timing.
        PRINT(PRINT_GENERAL, "func1x21: no native resolution %d, EDID of input %d kept\r\n", index, inp + 1);
        board::journal("func1x21", "input=%d index=%d not in the table", inp + 1, index);
    } else if (frontEnd_replaceNativeResolution(v, preferredTiming[index].descriptor, preferredTiming[index].name)) {
        frontEnd_Edid_Issu_Hotplug(v);
    }
    eepromSavePMIData();
    PRINT(PRINT_GENERAL, "new native: PM_I[%d].RESOLUTION 0x%02hhX \r\n", inp, static_cast<unsigned char>(value));
    p7kEvForceAnnounceInt(static_cast<uint32_t>(node), value, announceChannel());
}

void func1x22(int node) { patchEdid(node, frontEnd_replaceNativeColorDepth, &PMIRec::COLOR_DEPTH); }
void func1x23(int node) { patchEdid(node, frontEnd_replaceNativeModeLines, &PMIRec::MODELINE); }
void func1x24(int node) { patchEdid(node, frontEnd_replaceNativeAudioChannels, &PMIRec::AUDIO_CHANNELS); }

void func1x3(int node) {
    const int inp = inputOf(static_cast<uint32_t>(node));
    if (inp < 0) return;
    const int8_t value = readPmi(inp, &PMIRec::HDCP_MODE);
    uint8_t stored[eemap::kPmiSize];
    const bool read = eepromLoadPMIData(stored) == 0;
    bool carried = read && static_cast<int8_t>(stored[inp * sizeof(PMIRec) + offsetof(PMIRec, HDCP_MODE)]) == value;
    for (int ch = 0; ch < 2; ++ch)
        if (shows(ch, inp) && PM.HDCP_MODE[ch] != static_cast<uint8_t>(value)) carried = false;
    if (carried) return;
    SetInputHDCPMode(inp);
    EP9442_aimHPDHdmiVidInput(1, inp);
    WDT_Clear();
    issueHPD(inp);
    EP9442_aimHPDHdmiVidInput(1, PM.SEL_INPUT[1] - 1);  // back to channel 2's input
    eepromSavePMIData();
}

void SetInputHDCPMode(int inp) {
    if (inp < 0 || inp >= kInputPages) return;
    EP9442_HdmiEnHdcp(inp, readPmi(inp, &PMIRec::HDCP_MODE));
    toShowingChannels(inp, &PMIRec::HDCP_MODE, &PMRec::HDCP_MODE, [](int, int) {});
}

void func1x4(int node) {
    const int inp = inputOf(static_cast<uint32_t>(node));
    if (inp < 0) return;
    const auto value = static_cast<uint8_t>(readPmi(inp, &PMIRec::COLOR_SPACE));
    if ((shows(0, inp) && PM.COLOR_SPACE[0] != value) || (shows(1, inp) && PM.COLOR_SPACE[1] != value))
        SetInputColorSpace(inp);
    eepromSavePMIData();
}

void SetInputColorSpace(int inp) {
    if (inp < 0 || inp >= kInputPages) return;
    toShowingChannels(inp, &PMIRec::COLOR_SPACE, &PMRec::COLOR_SPACE, frontEnd_setColorSpace);
}

void SetInputAutopos(int inp, int no_rebuild) {
    if (inp < 0 || inp >= kInputPages) return;
    toShowingChannels(inp, &PMIRec::AUTOPOS, &PMRec::AUTOPOS, [no_rebuild](int ch, int) {
        if (no_rebuild != 1) build_picture(ch, "SetInputAutopos", __LINE__);
    });
}

void func1x5(int node) {
    const int inp = inputOf(static_cast<uint32_t>(node));
    if (inp < 0) return;
    PRINT(PRINT_GENERAL, "+++ new PM_I[%d].INP_VOLUME =  %d \r\n", inp, readPmi(inp, &PMIRec::INP_VOLUME));
    SetInputVolume(inp);
    eepromSavePMIData();
}

void SetInputVolume(int inp) {
    if (inp < 0 || inp >= kInputPages) return;
    const int8_t volume = readPmi(inp, &PMIRec::INP_VOLUME);
    auto apply = [&](int ch, int source) {
        {
            MutexLock lock(PM_mutex);
            PM.INP_VOLUME[ch] = volume;
        }
        audioSetInputVolume(source, volume, ch);
    };
    if (PM.AUDIO_SOURCE[0] != 0 || PM.AUDIO_SOURCE[1] != 0) {
        for (int ch = 0; ch < 2; ++ch)
            if (PM.AUDIO_SOURCE[ch] == inp + 1) {
                apply(ch, inp);
                PRINT(PRINT_GENERAL, "+++ set new volume to in =  %d\r\n", volume);
            }
    }
    for (int ch = 0; ch < 2; ++ch) {
        if (PM.AUDIO_SOURCE[ch] != 0 || !shows(ch, inp)) continue;
        const int source = PM.ANALOG_TAKEOVER[ch] == 1 ? inp : kAudioAnalogCh1 + ch;
        apply(ch, source);
        PRINT(PRINT_GENERAL, "+++ set new volume to in =  %d(src%d)\r\n", volume, source);
    }
}

std::span<const FuncRow> inputPageRows() { return kRows; }
