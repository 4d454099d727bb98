// The first three items of each channel page: the channel's input (31/41),
// the scan and aspect page (32x/42x) and the customised output window
// (33x/43x). Every action works on the calling thread's Channel.
#include "menu/channel_input_pages.h"

#include "commands/notifications.h"
#include "commands/p7k_handlers.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "core/switching.h"
#include "menu/channel_output_pages.h"
#include "menu/channel_pages.h"
#include "menu/pages_layout.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/timeutil.h"

#include <atomic>

namespace {

constexpr int kNodeLayoutWindow = 23;
constexpr int kNodeTestPattern = 384;
constexpr uint8_t kLayoutOneCustom = 4, kLayoutTwoCustom = 5;
constexpr int kReportAllWindows = 2;
constexpr uint32_t kAutoAspectWaitMs = 1000, kTooBigShownMs = 1000;

// 1 while the customisation-loss warning is shown and not yet confirmed
// (the menu draws, the protocol thread may run the action).
std::atomic<uint8_t> prevCustScan{0};

int channel() { return Channel == 1 ? 1 : 0; }
bool output4k(int ch) { return PM.OUTPUT_RES_SEL[ch] == kOutputFormat4K; }
bool customisedWindows() { return (vp.gFlags.load() & VP_GFLAG_CUSTOMIZED_WIN) != 0; }
bool autoAspect(int ch) { return PM.RATIO_SHIFT_MODE[ch] == 0; }
bool twoWindowOverlay() { return PM.DISPLAY_MODE == 1 && PM.DWINDOW != 0 && PM.DWINDOW != 4; }

void setByte(uint8_t& field, uint8_t value) {
    MutexLock lock(PM_mutex);
    field = value;
}

// The picture of the channel rebuilt and its custom windows reported.
void rebuildAndReport(int ch, const char* caller, int line) {
    build_picture(ch, caller, line);
    get_win_cust_of_all_windows(ch);
}

// The customised output window items: which field the item moves and how
// the window is kept on the output.
struct OwinItem {
    int node;  // page 3's
    int isStart, isHorizontal;
    uint16_t* size;
    uint16_t* start;
    bool ch2TakesLayout4;  // from DWINDOW 0, CH2 takes layout 4 as well
};
constexpr OwinItem kOwinItems[] = {
    {331, 1, 1, PM.OWIN_HW, PM.OWIN_HST, false},
    {332, 0, 1, PM.OWIN_HW, PM.OWIN_HST, true},
    {333, 1, 0, PM.OWIN_VW, PM.OWIN_VST, false},
    {334, 0, 0, PM.OWIN_VW, PM.OWIN_VST, false},
};

// delimitOwin checks and corrects the thread channel's window, so the
// thread works on channel c for the time of the check (also when c is the
// other channel of a two-window layout).
void limitWindow(const OwinItem& w, int c) {
    ChannelAs scope(c);
    delimitOwin(w.isStart, w.isHorizontal, 0, w.size[c], w.start[c]);
}

void customWindow(const OwinItem& w) {
    const int ch = channel();
    if (PM.DISPLAY_MODE == 0 || output4k(ch)) return;
    if (!customisedWindows()) {
        eepromLoadCustWinData(1);
        vp.gFlags.fetch_or(VP_GFLAG_CUSTOMIZED_WIN);
        if (PM.DWINDOW != kLayoutOneCustom && PM.DWINDOW != kLayoutTwoCustom) {
            const uint8_t layout = PM.DWINDOW != 0                  ? kLayoutTwoCustom
                                   : ch == 0 || w.ch2TakesLayout4 ? kLayoutOneCustom
                                                                  : PM.DWINDOW;
            setByte(PM.DWINDOW, layout);
            p7kEvForceAnnounceInt(kNodeLayoutWindow, layout, 0);
        }
    }
    if (PM.DWINDOW == kLayoutOneCustom || PM.DWINDOW == kLayoutTwoCustom) {
        vp.gFlags.fetch_or(VP_GFLAG_CUSTWIN_SAVE);
        limitWindow(w, ch);
        build_picture(ch, __func__, __LINE__);
        if (PM.DWINDOW == kLayoutTwoCustom) {
            limitWindow(w, 1 - ch);
            build_picture(1 - ch, __func__, __LINE__);
        }
    }
    get_win_cust_of_all_windows(w.node == 331 ? kReportAllWindows : ch);
    // The test pattern of CH1 would cover CH2's window.
    if (w.node == 331 && ch == 1 && PM.TEST_PATTERN[0] != 0) {
        Channel = 0;
        setByte(PM.TEST_PATTERN[0], 0);
        func384(funcNum2TblInx(kNodeTestPattern));
        Channel = 1;
    }
}

const OwinItem& owinItem(int row) {
    const int node = page3Node(row > 0 && row < funcTableSize() ? static_cast<int>(funcDataTbl[row].node) : 0);
    for (const OwinItem& w : kOwinItems)
        if (w.node == node) return w;
    return kOwinItems[0];
}

void aspectValue(const char* caller, int line) {
    const int ch = channel();
    if (PM.FREEZE[ch] == 0) build_picture(ch, caller, line);
    get_win_cust_of_all_windows(ch);
}

// The aspect value screens: the bar, then the warnings.
void aspectScreenTop(int row) {
    channelTitle(row);
    channelBarBody(row);
}

void osd_func31(int row) { channelListScreen(row); }

}  // namespace

void func31(int) {
    const int ch = channel();
    const int shown = vidInputToConnector(vp.chData[ch].vidInput);
    // Re-selecting the shown input from the menu does nothing; a protocol
    // command always re-applies it.
    if (shown == PM.SEL_INPUT[ch] - 1 && y_cmd_start == 0) return;
    blackout(0, output4k(0) || output4k(1) ? 2 : ch, BLACKOUT_ON, __func__, __LINE__);
    vp.chData[ch].vidInput = static_cast<uint8_t>(getNewVidInputPM(ch, PM.SEL_INPUT[ch] - 1));
    ledsOnManager(ch);
    confNewVideo(ch);
    if (PM.BLANK[ch] != 0 && !twoWindowOverlay()) blankBetweenStates(ch, 1, __func__, __LINE__, 1);
    handleFreeze(ch == 0 ? KEY_FREEZE_CH1 : KEY_FREEZE_CH2, 1);
    handleBlank(ch == 0 ? KEY_BLANK_CH1 : KEY_BLANK_CH2, 1);
}

void func321(int) {
    if (prevCustScan == 1) return;  // the first change under custom windows only warns
    const int ch = channel();
    if (!customisedWindows()) {
        rebuildAndReport(ch, __func__, __LINE__);
        return;
    }
    setByte(PM.DWINDOW, 0);
    func23(funcNum2TblInx(kNodeLayoutWindow));
}

void func322(int) { rebuildAndReport(channel(), __func__, __LINE__); }

void func323(int) {
    const int ch = channel();
    build_picture(ch, __func__, __LINE__);
    if (gAudioPowerUpInitFlag[ch] == 0) confNewVideo(ch);
    get_win_cust_of_all_windows(ch);
    if (autoAspect(ch)) Sleep(kAutoAspectWaitMs);
    const uint32_t base = ch == 0 ? 320 : 420;
    p7kEvForceAnnounceInt(base + 4, PM.RATIO[ch], 0);
    p7kEvForceAnnounceInt(base + 5, PM.IACTHST[ch], 0);
    p7kEvForceAnnounceInt(base + 6, PM.IACTVST[ch], 0);
}

void func324(int) { aspectValue(__func__, __LINE__); }
void func325(int) { aspectValue(__func__, __LINE__); }
void func326(int) { aspectValue(__func__, __LINE__); }

void func331(int row) { customWindow(owinItem(row)); }
void func332(int row) { customWindow(owinItem(row)); }
void func333(int row) { customWindow(owinItem(row)); }
void func334(int row) { customWindow(owinItem(row)); }

void osd_func321(int row) {
    const int ch = channelScreenBegin(row);
    bool tooBig = false;
    // At most one message, the first that applies.
    if (print_single_window_warning_if_needed(0)) {
    } else if (twoWindowOverlay() || PM.DISPLAY_MODE > 1) {
        channelWarning("Follow Output Only", 360);
        setByte(PM.SCAN[ch], 1);
    } else if (customisedWindows()) {
        if (prevCustScan == 1) {
            prevCustScan = 0;
        } else {
            channelWarning("WARNING: Customization Loss!", 335);
            prevCustScan = 1;
        }
    } else if (PM.SCAN[ch] == 0 && (PS_PANELACTHW[ch] < PM.IWIN_HW[ch] || PS_PANELACTVW[ch] < PM.IWIN_VW[ch])) {
        channelWarning("Input Too Big To Follow", 342);
        setByte(PM.SCAN[ch], 1);
        tooBig = true;
    }
    channelTitle(row);
    channelListBody(row);
    channelScreenEnd();
    if (tooBig) {
        Sleep(kTooBigShownMs);
        channelWarning("                            ", 335);
    }
}

void osd_func323(int row) {
    channelScreenBegin(row);
    print_freez_warning_if_needed();
    channelTitle(row);
    channelListBody(row);
    print_single_window_warning_if_needed(0);
    channelScreenEnd();
}

void osd_func324(int row) {
    const int ch = channelScreenBegin(row);
    if (PM.RATIO[ch] < 60 && output4k(ch)) {
        MutexLock lock(PM_mutex);
        PM.RATIO[ch] = 60;
    }
    aspectScreenTop(row);
    if (!print_single_window_warning_if_needed(0) && !print_freez_warning_if_needed()) {
        if (autoAspect(ch)) channelWarning("Ineffective in Auto Mode.", 346, 138);
        else if (PM.RATIO[ch] == 60 && output4k(ch)) channelWarning("Limited to 60 in 4k2k30.", 348, 138);
    }
    channelScreenEnd();
}

void osd_func325(int row) {
    const int ch = channelScreenBegin(row);
    aspectScreenTop(row);
    if (!print_single_window_warning_if_needed(0) && !print_freez_warning_if_needed() && autoAspect(ch))
        channelWarning("Volatile Parameter in Auto Mode.", 320, 138);
    channelScreenEnd();
}

void osd_func326(int row) {
    const int ch = channelScreenBegin(row);
    aspectScreenTop(row);
    print_single_window_warning_if_needed(0);  // suppresses nothing here
    if (!print_freez_warning_if_needed() && autoAspect(ch)) channelWarning("Volatile Parameter in Auto Mode.", 320, 138);
    channelScreenEnd();
}

void change_to_customized_if_nedded(int row) {
    if (!customisedWindows()) runFuncInd(row);
}

void osd_func33x(int row) {
    const int ch = channelScreenBegin(row);
    // Opening an item switches to the customised layout.
    change_to_customized_if_nedded(row);
    if (PM.DISPLAY_MODE == 0) channelWarning("Ineffective in Transition Mode", 328);
    else print_single_window_warning_if_needed(0);
    channelTitle(row);
    int value = getVal(row);
    if (page3Node(static_cast<int>(funcDataTbl[row].node)) == 332 && output4k(ch)) value *= 2;
    channelBarBody(row, value);
    channelScreenEnd();
}

namespace {

constexpr ChannelItem kItems[] = {
    {31, acts<func31>(), 6, osd_func31, FT_S8, both(PM.SEL_INPUT), 1, 8},
    {32, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_32, PB_42), 0, 5},
    {321, acts<func321>(), 5, osd_func321, FT_CH_S8, both(PM.SCAN), 0, 3},
    {322, acts<func322>(), 5, channelListScreen, FT_CH_S8, both(PM.OVERSCAN), 0, 3},
    {323, acts<func323>(), 6, osd_func323, FT_CH_S8, both(PM.RATIO_SHIFT_MODE), 0, 2},
    {324, acts<func324>(), 3, osd_func324, FT_CH_S16, both(PM.RATIO), 8, 4000, 1, 8},
    {325, acts<func325>(), 3, osd_func325, FT_CH_S16, both(PM.IACTHST), 20, 729, 1, 8},
    {326, acts<func326>(), 3, osd_func326, FT_CH_S16, both(PM.IACTVST), 4, 239, 1, 8},
    {33, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_33, PB_43), 0, 3},
    {331, acts<func331, TwinGuard::SingleWindow>(), 0, osd_func33x, FT_CH_S16, both(PM.OWIN_HST), 0, 2046, 1, 8},
    {332, acts<func332, TwinGuard::SingleWindow>(), 0, osd_func33x, FT_CH_S16, both(PM.OWIN_HW), 16, 3840, 1, 8},
    {333, acts<func333, TwinGuard::SingleWindow>(), 0, osd_func33x, FT_CH_S16, both(PM.OWIN_VST), 0, 2046, 1, 8},
    {334, acts<func334, TwinGuard::SingleWindow>(), 0, osd_func33x, FT_CH_S16, both(PM.OWIN_VW), 9, 2160, 1, 8},
};
constexpr auto kRows = channelRows<kItems>();

}  // namespace

std::span<const FuncRow> channelInputRows() { return kRows; }
