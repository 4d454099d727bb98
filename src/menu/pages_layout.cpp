#include "menu/pages_layout.h"

#include "commands/notifications.h"
#include "commands/p7k_handlers.h"
#include "core/audio.h"
#include "core/autoswitch.h"
#include "core/core_state.h"
#include "core/eeprom_map.h"
#include "core/osd_timer.h"
#include "core/output.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "core/switching.h"
#include "core/weblock.h"
#include "menu/complex_osd.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "menu/page_common.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "platform/journal.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "scaler/scaler.h"
#include "sys/eeprom.h"
#include "sys/fpga.h"
#include "sys/frontpanel.h"
#include "sys/gpio.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timers.h"
#include "sys/timeutil.h"

#include <array>
#include <mutex>

int32_t PB_2 = 0;
int32_t PB_22 = 0;
int32_t PB_24 = 0;
int32_t PB_241 = 0;
int32_t PB_242 = 0;
int output_sel = 0;

namespace {

constexpr int kTab = 1;
const PageTitle kLayoutTitle{kTab, menu_list_2, nullptr};          // 21 .. 24
const PageTitle kTransitionTitle{kTab, menu_list_2, menu_list_22};  // 221 .. 226
const PageTitle kOutputsTitle{kTab, menu_list_2, menu_list_24};     // 241 .. 245
const PageTitle kResolutionTitle{kTab, menu_list_24, menu_list_241};
const PageTitle kRoutingTitle{kTab, menu_list_24, menu_list_242};

constexpr int kNodeResolutionPage = 241;
constexpr int kNodeRoutingPage = 242;
constexpr int kNodeRouting[2] = {2421, 2422};
constexpr int kNodeResolution[2] = {2411, 2412};
constexpr int kNodeTbar = 2261;
constexpr int kNodeAutoSwitch[2] = {3871, 4871};
constexpr int kNodeTestPattern[2] = {384, 484};
constexpr int kNodePicturePosition[2] = {324, 424};  // and the next two
constexpr int kNodeMute[2] = {3823, 4823};
constexpr int kNodeInputCh2 = 41;
constexpr int kRoutingFollow = 2;  // the output shows what the other one shows
constexpr uint32_t kPassThroughPin = 32;
constexpr uint32_t kBrowseArrowMs = 25;
constexpr int kBrowseColourFirst = 0, kBrowseColour = 199;

// Web-lock notices of a T-bar run.
constexpr int kLockRunEnds = 0, kLockRunEnds2 = 1, kLockRunStarts = 2, kLockLocked = 4, kLockState = 5;

bool overlay() { return PM.DISPLAY_MODE == 1; }
bool singleWindowLayout() { return PM.DWINDOW == 0 || PM.DWINDOW == 4; }
bool customLayout() { return PM.DWINDOW == 4 || PM.DWINDOW == 5; }
bool output4k() { return PM.OUTPUT_RES_SEL[Channel == 1 ? 1 : 0] == kOutputFormat4K; }
bool outputsDiffer() { return PM.OUTPUT_RES_SEL[0] != PM.OUTPUT_RES_SEL[1]; }
void warning(const char* text, int x) { pageText(text, x, kWarningY); }
constexpr const char* kOverlayWarning = "Ineffective in Overlay Mode";
constexpr int kOverlayWarningX = 342;

void rebuildPictures() {
    for (int ch = 0; ch < 2; ++ch) {
        calc_input_window_init(ch);
        calc_display_window_init(ch);
        build_picture(ch, __func__, __LINE__);
    }
}

void releaseFreezeAndBlank() {
    handleFreeze(KEY_FREEZE_CH1, 1);
    handleFreeze(KEY_FREEZE_CH2, 1);
    handleBlank(KEY_BLANK_CH1, 1);
    handleBlank(KEY_BLANK_CH2, 1);
}

// The custom windows are in force for layouts 4 and 5 and only there.
void customWindowsForLayout() {
    if (!customLayout()) {
        vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_CUSTOMIZED_WIN});
        return;
    }
    if (vp.gFlags.load() & VP_GFLAG_CUSTOMIZED_WIN) return;
    eepromLoadCustWinData(1);
    vp.gFlags.fetch_or(VP_GFLAG_CUSTOMIZED_WIN);
}

// Both test patterns off, their actions run for each channel.
void clearTestPatterns(bool announce) {
    {
        MutexLock lock(PM_mutex);
        PM.TEST_PATTERN[0] = PM.TEST_PATTERN[1] = 0;
    }
    for (int ch = 0; ch < 2; ++ch) {
        runNodeAs(kNodeTestPattern[ch], ch);
        if (announce) p7kEvAnnounceInt(static_cast<uint32_t>(kNodeTestPattern[ch]), 0, static_cast<uint8_t>(ch));
    }
}

void announce(int node, int value, int ch) {
    p7kEvAnnounceInt(static_cast<uint32_t>(node), value, static_cast<uint8_t>(ch));
}

void setRouting(int output, int value) {
    MutexLock lock(PM_mutex);
    PM.OUTPUT_CH[output] = static_cast<uint8_t>(value);
}

// ---- output resolution ----

void setOutputs(int c, bool both, int v) {
    MutexLock lock(PM_mutex);
    PM.OUTPUT_RES_SEL[c] = static_cast<uint8_t>(v);
    if (both) PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(v);
}

void drawResolutionPage(int row) {
    pageOpen(row, kResolutionTitle);
    pageShow();
}

// The action of 2411 (c 0), 2412 (c 1) and 2413 (both).
void applyResolution(int row, int c, bool both) {
    if (st_num == kStateResolution) {
        st_num = kNodeResolutionPage;
        gBreakOutComplexOsd = BREAKOUT_NONE;
        return;
    }
    const int other = 1 - c;
    int channel = c;
    int format;
    {
        MutexLock lock(PM_mutex);
        format = PM.OUTPUT_RES_SEL[c];
        if (both || format == kOutputFormat4K || PM.OUTPUT_RES_SEL[other] == kOutputFormat4K) {
            // 4K drives both outputs: entering or leaving it, the other output follows.
            PM.OUTPUT_RES_SEL[other] = static_cast<uint8_t>(format);
            vp.fixedOutFrmt[other] = static_cast<uint8_t>(format);
            channel = 2;
        }
        vp.fixedOutFrmt[c] = static_cast<uint8_t>(format);
    }
    board::journal("func241x", "node=%d format=%d channel=%d", static_cast<int>(funcDataTbl[row].node), format,
                   channel);
    if (format == kOutputFormat4K) {
        cancelSpecialEffects();
        changeModeToSingleWindowIf_4k(format, 1);
    }
    if (menuIsOpen()) {
        // The previous formats, for the confirmation that may revert them.
        eepromWrite(static_cast<uint16_t>(eemap::kPrevOutFormat + c), 1, &vp.outFrmt[c]);
        if (channel == 2) eepromWrite(static_cast<uint16_t>(eemap::kPrevOutFormat + other), 1, &vp.outFrmt[other]);
        closeMenuFromPage();
    }
    postConversionRequest(CNV_OUTPUT_RESOLUTION, channel);
}

// ---- routing ----

void routingScreen(int row, int c) {
    formated_osd_list list(menu_list_2421);
    if (PM.OUTPUT_CH[1 - c] == kRoutingFollow) list.disable_line(row, 3, nullptr);
    pageOpen(row, kRoutingTitle);
    warning("Pressing Enter Resets Resolution", 320);
    pageList(row, list);
    pageShow();
    // Only ENTER on the item (or the protocol) applies a choice; other keys
    // show it, the engine then runs the action in the dialog state.
    const bool enterOnItem = button_num == KEY_ENTER && prv_st_num == st_num;
    const bool protocol = y_cmd_start != 0 || button_num == KEY_RUN_PROTOCOL_NODE;
    if (!enterOnItem && !protocol) st_num = c == 0 ? kStateRouting1 : kStateRouting2;
}

void applyRouting(int c) {
    if (st_num == (c == 0 ? kStateRouting1 : kStateRouting2)) {
        st_num = kNodeRouting[c];
        return;
    }
    rebuildPictures();
    const int other = 1 - c;
    if (overlay()) {
        setRouting(other, kRoutingFollow);
        announce(kNodeRouting[other], kRoutingFollow, other);
    }
    announce(kNodeRouting[c], PM.OUTPUT_CH[c], c);
    if (vp.fixedOutFrmt[c] == 0) postConversionRequest(CNV_OUTPUT_RESOLUTION, c);
    get_win_cust_of_all_windows(2);
}

// ---- T-bar ----

std::mutex m_func2261;
std::atomic<int> dumping_time{16};
uint32_t gTbarLastSent = 0;  // guarded by m_func2261
int gTbarPrevious = 0;
bool gTbarRun = false;

void tbarBar(int value) {
    constexpr int kX = 350, kY = 220, kColour = 248, kFull = 160;
    OsdPartGeometry bar{};
    const int width = osd_part_geometry(29, bar) ? bar.w - 17 : kFull;
    osd_put_part(29, kX, kY);
    const int filled = value >= 100 ? kFull : value * width / 100;
    if (filled > 0) osd_paint(kX + 8, filled, kY + 9, 13, kColour);
    osd_put_num(1, 3, value, kX + 180, kY + 8, kColour, 1, 0, 16);
}

// The T-bar family has no rows: its title is the T-bar item of page 22.
void tbarPage(const char* screen, bool overlayWarning, bool effectWarning) {
    PRINT(PRINT_GENERAL, "+++ %s MainMenu +++ \n", screen);
    osd_write_inh_ct(1, 1);
    osd_put_tab(kTab);
    osd_put_sentence(menu_list_22[5], 320, 12, 0, 0, 16, kOsdOwnColour, kOsdOwnColour);
    if (overlayWarning && overlay()) warning(kOverlayWarning, kOverlayWarningX);
    if (effectWarning && is_tbar_ineffective()) warning("Ineffective in these Conditions", kOverlayWarningX);
    tbarBar(PM.T_BAR);
    pageShow();
}

void sendTbarValue(int value) {
    _EXMSG m;
    m.param = static_cast<uint32_t>(value);
    m.time = getCurrMsCount();
    m.source = KEY_SOURCE_PROGRAM;
    send_message_q(E_EXMSG_TYPE_T_BAR, &m);
    gTbarLastSent = m.time;
}

// ---- screens without extras ----

const int* directionList(int effect) {
    switch (effect) {
    case 2: return menu_list_224_diagonal;
    case 3:
    case 8: return menu_list_224_line;
    case 4:
    case 6:
    case 7: return menu_list_224_in_out;
    case 5: return menu_list_224_hor_ver;
    case 9: return menu_list_224_chess;
    case 10: return menu_list_224_ver_hor;
    default: return nullptr;
    }
}

}  // namespace

void postConversionRequest(int code, int channel) {
    _EXMSG m;
    m.key = static_cast<uint16_t>(code);
    m.mode = static_cast<uint16_t>((channel & 0xFF) << 8);
    m.source = KEY_SOURCE_PROGRAM;
    board::journal("cnv.request", "code=%d channel=%d", code, channel);
    send_message_q(E_EXMSG_TYPE_CNV, &m);
}

// ---- screens ----

void osd_func2(int row) { pageListScreen(row, {kTab, nullptr, nullptr}, menu_list_2); }

void osd_func21(int row) {
    const bool fourK = output4k();
    if (fourK) {
        MutexLock lock(PM_mutex);
        PM.DISPLAY_MODE = 1;
    }
    static std::once_flag first;
    std::call_once(first, switch_osd);
    pageOpen(row, kLayoutTitle);
    if (fourK) warning("Overlay Mode Only", 355);
    pageList(row, formated_osd_list(menu_list_21));
    pageShow();
}

void osd_func22(int row) {
    in_tbar_process_flag = 1;
    {
        MutexLock lock(PM_mutex);
        PM.T_BAR = 0;
    }
    formated_osd_list list(menu_list_22);
    if (outputsDiffer()) {
        list.disable_line(row, 5, nullptr);
        list.disable_line(row, 6, nullptr);
    }
    pageOpen(row, kLayoutTitle);
    if (overlay()) {
        list.disable_line(row, 6, nullptr);
        warning(kOverlayWarning, kOverlayWarningX);
    } else if (PM.TRANS_EFFECT == 0) {
        list.disable_line(row, 6, "unsupported effect/direction");
    }
    pageList(row, list);
    pageShow();
}

void osd_func221(int row) {
    pageOpen(row, kTransitionTitle);
    pageBar(row);
    pageShow();
}

void osd_func222(int row) {
    pageOpen(row, kTransitionTitle);
    if (overlay()) warning(kOverlayWarning, kOverlayWarningX);
    pageList(row, formated_osd_list(menu_list_222));
    pageShow();
}

void osd_func223(int row) { pageListScreen(row, kTransitionTitle, menu_list_223); }

void osd_func224(int row) {
    pageOpen(row, kTransitionTitle);
    if (overlay()) warning(kOverlayWarning, kOverlayWarningX);
    if (const int* list = directionList(PM.TRANS_EFFECT)) pageList(row, formated_osd_list(list));
    else pageText("Not Available For This Effect", 330, 138);
    pageShow();
}

void osd_func225(int row) {
    (void)row;
    st_num = 22;
    osd_func22(funcNum2TblInx(22));
}

void osd_func226(int) { tbarPage("osd_func226", true, false); }
void osd_func2262(int) { tbarPage("osd_func2262", false, false); }

void osd_func2261(int) {
    if (y_cmd_start) {
        closeMenuFromPage();
        return;
    }
    tbarPage("osd_func2261", false, true);
    if (PM.T_BAR < 100 || overlay() || PM.TRANS_EFFECT == 0) return;
    // The end of the travel took the program: the menu goes until the keys
    // are released.
    wait_till_release_key = 1;
    empty_queue(E_EXMSG_TYPE_KEYPAD);
    osd_off(0);
    osd_off(1);
    closeMenuFromPage();
    {
        MutexLock lock(PM_mutex);
        PM.T_BAR = 0;
    }
    announce(kNodeTbar, 0, 0);
}

void osd_func23(int row) {
    formated_osd_list list(menu_list_23);
    pageOpen(row, kLayoutTitle);
    if (overlay() && output4k()) warning("One Window Only in 4k2k30", 340);
    if (!overlay()) warning("Ineffective in Transition Mode", 332);
    if (output4k())
        for (int n = 2; n <= 6; ++n) list.disable_line(row, n, nullptr);
    if (overlay() && outputsDiffer())
        for (int n : {2, 3, 4, 6}) list.disable_line(row, n, nullptr);
    pageList(row, list);
    pageShow();
}

void osd_func24(int row) {
    output_sel = 255;
    pageListScreen(row, kLayoutTitle, menu_list_24);
}

void osd_func241(int row) {
    formated_osd_list list(menu_list_241);
    if (overlay()) {
        list.disable_line(row, 1, nullptr);
        list.disable_line(row, 2, nullptr);
    }
    pageOpen(row, kOutputsTitle);
    pageList(row, list);
    pageShow();
}

void osd_func242(int row) { pageListScreen(row, kOutputsTitle, menu_list_242); }
void osd_func2421(int row) { routingScreen(row, 0); }
void osd_func2422(int row) { routingScreen(row, 1); }
void osd_func243(int row) { pageListScreen(row, kOutputsTitle, menu_list_243); }
void osd_func244(int row) { pageListScreen(row, kOutputsTitle, menu_list_244); }
void osd_func245(int row) { pageListScreen(row, kOutputsTitle, menu_list_245); }

void osd_func2411(int row) {
    const int node = static_cast<int>(funcDataTbl[row].node);
    const bool both = node == 2413;
    const int c = node == 2412 ? 1 : 0;
    if (!menuIsOpen()) {
        // The protocol's node after the menu closed: nothing to browse, the
        // action applies the format it set.
        closeMenuFromPage();
        return;
    }
    // The protocol's set with the menu open: the action applies the stored
    // format and closes the menu; browsing would start over and lose it.
    if (button_num == KEY_RUN_PROTOCOL_NODE) return;
    const int revert = vp.outFrmt[c];
    const int revert2 = vp.outFrmt[1];
    const bool differed = both && revert != revert2;
    int v = vp.fixedOutFrmt[c] != 0 ? PM.OUTPUT_RES_SEL[c] - 1 : kOutputFormat4K;
    drawResolutionPage(row);
    ComplexOsdKeys keys(kBrowseArrowMs, true);

    constexpr int kNoStep = -3;
    int key = KEY_UP;
    int colour = kBrowseColourFirst;
    for (;;) {
        if (key == KEY_UP) v = v >= kOutputFormat4K ? 0 : v + 1;
        else if (key == KEY_DOWN) v = v <= 0 ? kOutputFormat4K : v - 1;
        setOutputs(c, both, v);
        osdDispOutput(v, colour);
        _EXMSG program;
        key = keys.wait(&program);
        if (key == kComplexOsdProgramKey) {
            // An input key from the protocol switches the input; the page
            // then stands anew.
            handleInputKey(program.key, &program);
            reprepareOsd();
            drawResolutionPage(row);
            key = kNoStep;
            continue;
        }
        colour = kBrowseColour;
        if (key == KEY_MENU && gBreakOutComplexOsd == BREAKOUT_NONE) {
            MutexLock lock(PM_mutex);
            PM.OUTPUT_RES_SEL[c] = static_cast<uint8_t>(revert);
            if (both) PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(revert2);
        }
        if (key != KEY_DOWN && key != KEY_UP) break;
    }

    const int breakOut = gBreakOutComplexOsd;
    keys.release();
    PRINT(PRINT_GENERAL, "PM.OUTPUT_RES_SEL[%d]=%d, revertResolution=%d, vp.outFrmt=%d, gBreakOutOutSel=%d\r\n", c,
          PM.OUTPUT_RES_SEL[c], revert, vp.outFrmt[c], breakOut);
    if (both)
        PRINT(PRINT_GENERAL, "PM.OUTPUT_RES_SEL[%d]=%d, revertResolution=%d, vp.outFrmt=%d, gBreakOutOutSel=%d\r\n", 1,
              PM.OUTPUT_RES_SEL[1], revert2, vp.outFrmt[1], breakOut);
    board::journal("osd_func2411", "node=%d key=%d value=%d revert=%d breakout=%d", node, key, v, revert, breakOut);
    if (breakOut == BREAKOUT_TIMEOUT) {
        MutexLock lock(PM_mutex);
        PM.OUTPUT_RES_SEL[c] = static_cast<uint8_t>(revert);
        if (both) PM.OUTPUT_RES_SEL[1] = static_cast<uint8_t>(revert2);
    }
    if (key == KEY_ENTER) {
        if (v != revert) return;  // the action applies the new format
        vp.fixedOutFrmt[c] = static_cast<uint8_t>(v);
        if (both) vp.fixedOutFrmt[1] = static_cast<uint8_t>(v);
    }
    if (breakOut == BREAKOUT_PROTOCOL) exitOsdMenu();  // the menu closes: open bit, time-out, the close step
    // With the menu closed the selection ends here; it does not open anew.
    if (menuIsOpen()) {
        reprepareOsd();
        st_num = kNodeResolutionPage;
        osd_func241(funcNum2TblInx(kNodeResolutionPage));
    }
    if (!(key == KEY_ENTER && differed)) st_num = kStateResolution;
}

// ---- actions ----

void func221(int) {}
void func222(int) {}
void func235(int) {}
void func236(int) {}
void func240(int) {}

void func21(int) {
    const int mode = PM.DISPLAY_MODE;
    board::journal("func21", "mode=%d layout=%d", mode, PM.DWINDOW);
    sync_off_deactivate(2, 0);
    for (int ch = 0; ch < 2; ++ch) {
        {
            MutexLock lock(PM_mutex);
            PM.AUTO_SWITCH_MODE[ch] = 0;
        }
        {
            ChannelAs scope(ch);
            activate_autoswitching_config();
        }
        p7kEvForceAnnounceInt(static_cast<uint32_t>(kNodeAutoSwitch[ch]), 0, static_cast<uint8_t>(ch));
    }
    if (mode == 1) {
        if (outputsDiffer()) {
            changeOutput(1, PM.OUTPUT_RES_SEL[0]);
            announce(kNodeResolution[0], PM.OUTPUT_RES_SEL[0], 0);
        }
        handle_pass_through_in_mode_Swap();
        audioDisplayModeSwitch(1);
        setRouting(0, 0);
        setRouting(1, kRoutingFollow);
        announce(kNodeRouting[0], 0, 0);
        announce(kNodeRouting[1], kRoutingFollow, 1);
        if (singleWindowLayout()) {
            vp.numInputs = 1;
        } else {
            vp.numInputs = 2;
            MutexLock lock(PM_mutex);
            PM.SCAN[0] = PM.SCAN[1] = 1;
        }
        if (customLayout()) customWindowsForLayout();
        rebuildPictures();
        gio56_pin_set(gio_gioo_5A, kPassThroughPin, 0);
        audioSwitch(0, 1, 0, 1);
    } else {
        audioDisplayModeSwitch(0);
        cancelSpecialEffects();
        // The customised windows belong to the overlay layouts: each channel
        // fills its own output again, and the scan item is not left warning
        // about a layout that only the overlay mode can leave. DWINDOW is
        // kept, so the overlay mode loads them anew.
        vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_CUSTOMIZED_WIN});
        vp.numInputs = 2;
        confNewVideo(0);
        confNewVideo(1);
        if (vp.fixedOutFrmt[1] == 0) postConversionRequest(CNV_OUTPUT_RESOLUTION, 1);
    }
    clearTestPatterns(false);
    for (int ch = 0; ch < 2; ++ch) {
        announce(kNodePicturePosition[ch], PM.RATIO[ch], ch);
        announce(kNodePicturePosition[ch] + 1, PM.IACTHST[ch], ch);
        announce(kNodePicturePosition[ch] + 2, PM.IACTVST[ch], ch);
    }
    releaseFreezeAndBlank();
    if (mode == 1) webLockAnnounce(kLockLocked);
    else is_tbar_limited();
    announce(21, PM.DISPLAY_MODE, 0);
    announce(kNodeMute[0], PM.MUTE[0], 0);
    announce(kNodeMute[1], PM.MUTE[1], 1);
    if (mode == 0) announce(kNodeInputCh2, PM.SEL_INPUT[1], 1);
    // The menu's OSD goes to the channel the display mode shows.
    switch_osd();
}

void func23(int) {
    if (!overlay()) {
        board::journal("func23", "layout=%d transition mode: nothing to do", PM.DWINDOW);
        return;
    }
    board::journal("func23", "layout=%d", PM.DWINDOW);
    sync_off_deactivate(2, 0);
    handle_pass_through_in_mode_Swap();
    releaseFreezeAndBlank();
    customWindowsForLayout();
    blackout(1, 2, BLACKOUT_ON, __func__, __LINE__);
    const bool fromOneWindow = vp.numInputs == 1;
    vp.numInputs = singleWindowLayout() ? 1 : 2;
    if (!singleWindowLayout() && fromOneWindow) {
        // Both channels measure their inputs anew; their reports rebuild the
        // pictures and lift the blackout.
        confNewVideo(0);
        confNewVideo(1);
        return;
    }
    set_clock_p2();
    iEBsetLVDS();
    for (int ch = 0; ch < 2; ++ch) {
        get_input(ch);
        calc_input_window_init(ch);
        calc_display_window_init(ch);
        set_sharpness(ch);
        build_picture(ch, __func__, __LINE__);
    }
    audioSwitch(0, 1, 0, 1);
    audioSwitch(1, 1, 0, 1);
    get_win_cust_of_all_windows(2);
    blackout(1, 2, BLACKOUT_OFF, __func__, __LINE__);
    clearTestPatterns(true);
}

void func223(int) {
    {
        MutexLock lock(PM_mutex);
        PM.TRANS_DIR = 0;
    }
    is_tbar_limited();
}

void func224(int) { is_tbar_limited(); }

void func225(int) {
    if (overlay() || (vp.gFlags.load() & VP_GFLAG_TRANSITION)) {
        board::journal("func225", "take refused: %s", overlay() ? "overlay mode" : "a transition runs");
        return;
    }
    osd_off(OSD_CHANNEL);
    closeMenuFromPage();
    board::journal("func225", "take");
    post_program_key(E_EXMSG_TYPE_KEYPAD, KEY_ENTER);
}

void func2411(int row) { applyResolution(row, 0, false); }
void func2412(int row) { applyResolution(row, 1, false); }
void func2413(int row) { applyResolution(row, 0, true); }

void func242(int) {
    if (st_num == kStateRouting) {
        st_num = kNodeRoutingPage;
        return;
    }
    rebuildPictures();
    announce(kNodeRoutingPage, PM.OUTPUT_CH[0], 0);
    const bool native0 = vp.fixedOutFrmt[0] == 0, native1 = vp.fixedOutFrmt[1] == 0;
    if (native0 && native1) postConversionRequest(CNV_OUTPUT_RESOLUTION, 2);
    else if (native0) postConversionRequest(CNV_OUTPUT_RESOLUTION, 0);
    else if (native1) postConversionRequest(CNV_OUTPUT_RESOLUTION, 1);
}

void func2421(int) { applyRouting(0); }
void func2422(int) { applyRouting(1); }

void func243(int) {
    PRINT(PRINT_GENERAL, "func243: deep color %d\n", PM.DEEP_COLOR);
    postConversionRequest(CNV_DEEP_COLOR, 0);
}

void func244(int) {
    PRINT(PRINT_GENERAL, "func244: color space %d\n", PM.SAMPLING_RATE);
    postConversionRequest(CNV_COLOR_SPACE, 0);
}

void func2261(int) {
    std::lock_guard lock(m_func2261);
    int v = PM.T_BAR;
    if (v % 10 == 0 || gTbarPrevious == 0) announce(kNodeTbar, v, 0);
    if (v > 100) {
        v = 100;
        MutexLock pm(PM_mutex);
        PM.T_BAR = static_cast<uint8_t>(v);
    }
    if (v != 0 && !gTbarRun) {
        gTbarRun = true;
        tbarEnableTimerKill();
        empty_queue(E_EXMSG_TYPE_T_BAR);
        webLockAnnounce(kLockRunStarts);
    }
    const bool end = v == 0 || v == 100;
    const uint32_t since = getElapsedMs(gTbarLastSent);
    const auto wait = static_cast<uint32_t>(dumping_time.load());
    if (end || since >= wait) {
        tbarDelayTimerKill();
        if (!end && (getquestat_message_q(E_EXMSG_TYPE_T_BAR) > 10 || anyChannelInitialising()))
            board::journal("func2261", "value=%d dropped", v);
        else
            sendTbarValue(v);
    } else {
        tbarDelayTimerSet(wait - since, 0, send_message_to_tbar_thread);
    }
    if (end && gTbarRun) {
        gTbarRun = false;
        webLockAnnounce(kLockRunEnds);
        webLockAnnounce(kLockRunEnds2);
        if (v == 100) {
            MutexLock pm(PM_mutex);
            PM.T_BAR = 0;
        }
        if (menuIsOpen()) osd_func2261(0);
        else st_num = kNodeClosed;
        tbarEnableTimerSet(10000);
    }
    gTbarPrevious = v;
}

void func2262(int) { dumping_time = PM.T_BAR_SMOOTHNESS == 1 ? 100 : 16; }

void set_dumping_time(int ms) { dumping_time = ms; }
int get_dumping_time() { return dumping_time; }
void send_message_to_tbar_thread() { func2261(0); }

void handle_pass_through_in_mode_Swap() {
    const bool high = PM.PASS_THROUGH[1] == 1 && !(overlay() && singleWindowLayout());
    gio56_pin_set(gio_gioo_5A, kPassThroughPin, high ? 1 : 0);
    board::journal("handle_pass_through_in_mode_Swap", "pin=%d", high ? 1 : 0);
}

bool is_tbar_limited() {
    const bool limited = PM.TRANS_EFFECT == 0;
    webLockAnnounce(limited ? kLockLocked : kLockState);
    return limited;
}

int is_tbar_ineffective() { return PM.TRANS_EFFECT == 0 ? -1 : 0; }

int restrictTransDir(int direction) {
    int last;
    switch (PM.TRANS_EFFECT) {
    case 2:
    case 3:
    case 8: last = 3; break;
    case 4:
    case 5:
    case 6:
    case 7:
    case 10: last = 1; break;
    case 9: last = 2; break;
    default: return 255;
    }
    return direction >= 0 && direction <= last ? 0 : 255;
}

namespace {

constexpr FuncRow page(uint32_t node, void (*screen)(int), int32_t* cursor, int32_t max) {
    return {node, nullptr, 5, screen, FT_PAGE, cursor, fnI(max), fnI(0), fnI(1), fnI(0), 1};
}
constexpr FuncRow item(uint32_t node, void (*action)(int), uint32_t mode, void (*screen)(int), uint8_t* value,
                       int32_t min, int32_t max) {
    return {node, action, mode, screen, FT_S8, value, fnI(max), fnI(min), fnI(1), fnI(0), 1};
}

const std::array<FuncRow, 20> kRows = {{
    page(2, osd_func2, &PB_2, 3),
    item(21, func21, 6, osd_func21, &PM.DISPLAY_MODE, 0, 1),
    page(22, osd_func22, &PB_22, 4),
    item(221, nullptr, 3, osd_func221, &PM.TRANS_SPEED, 1, 15),
    item(222, nullptr, 5, osd_func222, &PM.TRANS_MODE, 0, 1),
    item(223, func223, 5, osd_func223, &PM.TRANS_EFFECT, 0, 5),
    item(224, func224, 5, osd_func224, &PM.TRANS_DIR, 0, 3),
    item(225, func225, 7, osd_func225, &PM.PI_TAKE, 0, 1),
    item(23, func23, 6, osd_func23, &PM.DWINDOW, 0, 5),
    page(24, osd_func24, &PB_24, 4),
    page(241, osd_func241, &PB_241, 2),
    item(2411, func2411, 7, osd_func2411, &PM.OUTPUT_RES_SEL[0], 0, 42),
    item(2412, func2412, 7, osd_func2411, &PM.OUTPUT_RES_SEL[1], 0, 42),
    item(2413, func2413, 7, osd_func2411, &PM.OUTPUT_RES_SEL[0], 0, 42),
    page(242, osd_func242, &PB_242, 1),
    item(2421, func2421, 7, osd_func2421, &PM.OUTPUT_CH[0], 0, 2),
    item(2422, func2422, 7, osd_func2422, &PM.OUTPUT_CH[1], 0, 2),
    item(243, func243, 5, osd_func243, &PM.DEEP_COLOR, 0, 1),
    item(244, func244, 5, osd_func244, &PM.SAMPLING_RATE, 0, 2),
    item(245, nullptr, 5, osd_func245, &PM.HDCP_MODE_OUT, 0, 1),
}};

}  // namespace

std::span<const FuncRow> layoutPageRows() { return kRows; }
