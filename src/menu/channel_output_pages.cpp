// Page 38 of each channel page (48 for CH2): projection, freeze, blank and
// mute, sync-off, test patterns, no-signal colour and the input-change
// effect. Every action works on the calling thread's Channel.
#include "menu/channel_output_pages.h"

#include "commands/notifications.h"
#include "core/audio.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "core/switching.h"
#include "menu/channel_pages.h"
#include "menu/menu_state.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "scaler/scaler.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"
#include "video/backend.h"

#include <cstdio>

int32_t PB_38, PB_48, PB_382, PB_482, PB_383, PB_483, PB_3831, PB_4831;

namespace {

constexpr uint32_t kMirror = 0x12301;
constexpr int kLedFreeze[2] = {23, 25}, kLedBlank[2] = {24, 26};
constexpr uint32_t kNodeTestPattern[2] = {384, 484};
constexpr uint32_t kNodeSyncOff[2] = {3832, 4832};

// Test pattern registers (the scaler's meaning of them is its own).
constexpr uint32_t kPatBars = 0x13501, kPatLevel = 0x13101, kPatKind = 0x13201, kPatWidth = 0x13302;
constexpr uint32_t kPatBarWidth = 0x13B01, kPat540 = 0x54003, kPat32C = 0x32C03;
constexpr uint32_t kVideoSource = 0x54301, kUpdate = 0x402, kReg557 = 0x55701, kRegB28 = 0xB2801;

// The countdown of the immediate sync-off.
constexpr int kCountFrom = 5, kPollsPerCount = 4;
constexpr uint32_t kPollMs = 250;
constexpr int kCountFg = 199, kTextFg = 0, kTextBg = 255, kTextSize = 16;

int channel() { return Channel == 1 ? 1 : 0; }
bool output4k(int ch) { return PM.OUTPUT_RES_SEL[ch] == kOutputFormat4K; }
bool overlay() { return PM.DISPLAY_MODE == 1; }
// CH2 in overlay mode with one window: its picture is not shown.
bool hiddenCh2(int ch) { return ch == 1 && overlay() && (PM.DWINDOW == 0 || PM.DWINDOW == 4); }
bool showsNoSignalFill(int ch) { return (vp.chData[ch].cFlags.load() & VP_CFLAG_NO_SIGNAL) != 0; }


// An output asleep in sync-off wakes with the channel's tuned key.
void wakeIfSyncOff(int ch) {
    if (gIsSyncOff[ch] != 1) return;
    _EXMSG m;
    m.key = ch == 0 ? KEY_CH1_TUNED : KEY_CH2_TUNED;
    m.mode = static_cast<uint16_t>(mode_stat.load());
    m.source = KEY_SOURCE_PROGRAM;
    send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
}

// Freeze and blank share their ending: the LED word posted, a sleeping
// output woken.
void keyLed(int ch, int led, bool on) {
    post_led(on ? build_led_state_(led, hiddenCh2(ch) ? 0 : 255, 1, 7, 1, 0) : build_led_state(led, 0, 0, 0, 0));
    wakeIfSyncOff(ch);
}

void muteOutputs(int ch, bool mute) { backEnd_MuteCtl(ch, mute ? 0 : 1, "func3823", __LINE__); }

void patternOne(int ch, int onChannel) {
    write_C812(kPatBars, 0, onChannel, 0);
    write_C812(kPatLevel, 255, onChannel, 0);
    write_C812(kPatKind, 4, onChannel, 0);
    write_C812(kPatWidth, (PS_PANELACTHW[ch] + 256u) & 0xFFFF, onChannel, 0);
    write_C812(kPat540, 0xFF00, onChannel, 0);
    write_C812(kPat32C, 0, onChannel, 0);
}

void patternOn(int ch) {
    if (PM.BLANK[ch] == 1) {
        blackout(1, ch, BLACKOUT_OFF, "func384", __LINE__);
        backEnd_MuteCtl(ch, 0, "func384", __LINE__);
    }
    wakeIfSyncOff(ch);
    audioSwitchExe(kAudioTestPattern, ch, "func384", __LINE__);
    if (overlay() && ch == 0) audioSwitchExe(kAudioTestPattern, 1, "func384", __LINE__);
    if (showsNoSignalFill(ch)) set_ofill(ch, 0, 0, 0, 0);
    if (PM.TEST_PATTERN[ch] == 1) {
        patternOne(ch, ch);
        if (output4k(ch)) {
            patternOne(ch, 1);
            write_C812(kVideoSource, 0, 0, 0);
            write_C812(kVideoSource, 0, 1, 0);
        }
    } else if (output4k(ch)) {
        set_4k_color_bar();
    } else {
        write_C812(kPatBars, 1, ch, 0);
        write_C812(kPatLevel, 0, ch, 0);
        // A 16-bit value into a one-byte register: the chip takes the low byte.
        write_C812(kPatBarWidth, static_cast<uint16_t>(PS_PANELACTHW[ch] * 0.125 + 0.5 - 1.0), ch, 0);
    }
}

void patternOff(int ch, int row) {
    if (PM.BLANK[ch] == 1) {
        // The blank now blacks the picture out; the mute that held it goes.
        blackout(1, ch, BLACKOUT_ON, "func384", __LINE__);
        backEnd_MuteCtl(ch, 1, "func384", __LINE__);
    }
    write_C812(kPatBars, 0, ch, 0);
    write_C812(kPatLevel, 0, ch, 0);
    if (output4k(ch) || vp.fixedOutFrmt[ch] == kOutputFormat4K) {
        write_C812(kUpdate, 0x4924, 0, 0);
        write_C812(kPatBars, 0, 1, 0);
        write_C812(kPatLevel, 0, 1, 0);
        for (int c = 0; c < 2; ++c) write_C812(kVideoSource, 0x80, c, 0);
        for (int c = 0; c < 2; ++c) write_C812(kReg557, 1, c, 0);
        write_C812(kRegB28, 0x10, 1, 0);
        build_picture(0, "func384", __LINE__);
    }
    if (!overlay()) {
        if (gAudioPowerUpInitFlag[ch] == 0) audioSwitch(ch, 0, 0, 1);
    } else if (PM.TEST_PATTERN[0] == 0 && gAudioPowerUpInitFlag[0] == 0) {
        audioSwitch(0, 0, 0, 1);
    }
    func385(row);
}

// One count of the immediate sync-off on screen.
void drawCountdown(int row, int n) {
    channelScreenBegin(row);
    channelTitle(row);
    print_overlay_warning_if_needed();
    osd_put_ascii_string("Press MENU to abort", 360, 170, kCountFg, kTextBg, 0, kTextSize);
    osd_put_ascii_string("After Sync is Off", 363, 202, kTextFg, kTextBg, 0, kTextSize);
    osd_put_ascii_string("Press relevant Key To Revert", 334, 234, kTextFg, kTextBg, 0, kTextSize);
    char text[32];
    std::snprintf(text, sizeof text, " Triggers In %d Sec", n);
    osd_put_ascii_string(text, 360, 138, kCountFg, kTextBg, 0, kTextSize);
    channelScreenEnd();
    // The count stays on screen; the next one is drawn into the other plane.
    osd_swap();
    reprepareOsd();
}

// How the countdown ended: five seconds without MENU or LEFT, one of those
// keys, or the menu closed under it.
enum class Countdown { RanOut, Aborted, MenuClosed };

Countdown countDown(int row) {
    for (int n = kCountFrom; n >= 1; --n) {
        drawCountdown(row, n);
        for (int poll = 0; poll < kPollsPerCount; ++poll) {
            if (!menuIsOpen()) return Countdown::MenuClosed;
            _EXMSG m;
            const bool got = get_message_q(E_EXMSG_TYPE_KEYPAD, &m) >= 0;
            WDT_Clear();
            // Only MENU and LEFT count here; other keys are taken and dropped.
            if (got && (m.key == KEY_MENU || m.key == KEY_LEFT)) return Countdown::Aborted;
            Sleep(kPollMs);
        }
    }
    return Countdown::RanOut;
}

// Back on page 383/483.
void toParent() {
    reprepareOsd();
    st_num = st_num / 10;
    osd_func383(funcNum2TblInx(st_num));
}

void immidiate_syncOff_menu(int row) {
    const int ch = channel();
    setModalKeys(true);
    const Countdown end = countDown(row);
    setModalKeys(false);
    if (end == Countdown::MenuClosed) return;
    toParent();
    if (end == Countdown::RanOut) PI_SYNC_OFF[ch] = 1;
}

// Screens whose list is followed by the single-window warning.
void osd_func3831(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelPageBody(row);
    print_single_window_warning_if_needed(0);
    channelScreenEnd();
}

void osd_func38311(int row) {
    const int ch = channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    if (!print_overlay_warning_if_needed() && PM.AUTO_SYNC_OFF[ch]) {
        const int n = PM.SYNC_OFF_IDLE[ch];
        char text[48];
        if (n == 0) {
            channelWarning("Triggers After 20 Idle Seconds", 332);
        } else {
            std::snprintf(text, sizeof text, n == 1 ? "Triggers After %d Idle Minute" : "Triggers After %d Idle Minutes", n);
            channelWarning(text, 340);
        }
    }
    channelScreenEnd();
}

void osd_func384(int row) {
    const int ch = channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    if (!print_single_window_warning_if_needed(0)) {
        if (PM.TEST_PATTERN[ch] == 1) channelWarning("       Clear Content", 340, 138);
        else if (PM.TEST_PATTERN[ch] == 2) channelWarning("        HDCP Content", 340, 138);
    }
    channelScreenEnd();
}

void osd_func386(int row) {
    const int ch = channelScreenBegin(row);
    const bool in4k = output4k(ch);
    if (in4k) {
        // Holding the last picture is not possible in 4K.
        MutexLock lock(PM_mutex);
        PM.INPUT_CHANGE_EFFECT[ch] = 0;
    }
    channelTitle(row);
    channelListBody(row);
    if (in4k) channelWarning("Fade-Thru-Black Only in 4k2k30", 326);
    channelScreenEnd();
}

}  // namespace

void projection(int ch) {
    if (ch != 0 && ch != 1) return;
    static const char* const kNames[] = {"Set Front projection ", "Set Back projection ", "Set Ceiling Front projection ",
                                         "Set Ceiling Back projection "};
    const int v = PM.UPSIDEDOWN[ch];
    if (v >= 0 && v <= 3) PRINT(PRINT_GENERAL, "%s\n", kNames[v]);
    // Rear and ceiling-front pictures are mirrored.
    const int mirror = v == 1 || v == 2 ? 1 : 0;
    if (output4k(ch)) {
        write_C812(kMirror, static_cast<uint64_t>(mirror), 0, 0);
        write_C812(kMirror, static_cast<uint64_t>(mirror), 1, 0);
    } else {
        write_C812(kMirror, static_cast<uint64_t>(mirror), ch, 0);
    }
}

void func381(int) { build_picture(channel(), "func381", __LINE__); }

void func3821(int) {
    const int ch = channel();
    const bool pattern = PM.TEST_PATTERN[ch] != 0;
    const bool frozen = PM.FREEZE[ch] != 0;
    if (!hiddenCh2(ch) && !pattern) set_image_frozen(ch, frozen ? 1 : 0);
    backEnd_MuteCtl(ch, frozen ? 0 : 1, "func3821", __LINE__);
    if (!frozen && !pattern) build_picture(ch, "func3821", __LINE__);
    keyLed(ch, kLedFreeze[ch], frozen);
}

void func3822(int) {
    const int ch = channel();
    const bool blanked = PM.BLANK[ch] != 0;
    if (!hiddenCh2(ch)) {
        // A test pattern is not blacked out: its outputs are muted instead.
        if (PM.TEST_PATTERN[ch] != 0) backEnd_MuteCtl(ch, blanked ? 0 : 1, "func3822", __LINE__);
        else blackout(1, ch, blanked ? BLACKOUT_ON : BLACKOUT_OFF, "func3822", __LINE__);
    }
    keyLed(ch, kLedBlank[ch], blanked);
}

void func3823(int) {
    const int ch = channel();
    const bool mute = PM.MUTE[ch] != 0;
    muteOutputs(ch, mute);
    if (overlay() && ch == 0) muteOutputs(1, mute);
}

void func4823(int row) { twin<func3823, TwinGuard::Overlay>(row); }

void func38311(int) {
    const int ch = channel();
    if (PI_SYNC_OFF[ch] || PM.AUTO_SYNC_OFF[ch]) return;
    sync_off_deactivate(ch, 0);
}

void func3832(int) {
    const int ch = channel();
    if (PI_SYNC_OFF[ch] == 0) sync_off_deactivate(ch, 0);
}

void func384(int row) {
    const int ch = channel();
    if (hiddenCh2(ch)) return;
    if (PM.TEST_PATTERN[ch] != 0) patternOn(ch);
    else patternOff(ch, row);
    for (int c = 0; c < 2; ++c) p7kEvForceAnnounceInt(kNodeTestPattern[c], PM.TEST_PATTERN[c], static_cast<uint8_t>(c));
}

void func484(int row) { func384(row); }

void func385(int) {
    const int ch = channel();
    if (!showsNoSignalFill(ch)) return;
    int r = 0, g = 0, b = 0;
    setNoSignalColorParams(r, g, b, ch);
    if (ch == 0) {
        set_ofill_ch1(2, r, g, b);
        if (output4k(0)) set_ofill_ch2(2, r, g, b);
    } else {
        set_ofill_ch2(2, r, g, b);
    }
}

void enforce_test_pattern(int channel) {
    if ((channel != 0 && channel != 1) || PM.TEST_PATTERN[channel] == 0) return;
    ChannelAs scope(channel);
    func384(funcNum2TblInx(static_cast<int>(kNodeTestPattern[channel])));
}

void osd_func383(int row) { channelPageScreen(row); }

void osd_func3823(int row) {
    const int ch = channelScreenBegin(row);
    const int icon = 25 + (PM.MUTE[ch] != 0 ? 1 : 0);
    if (gOsdTimeOut == kOsdTimeOutMute) {
        // The mute shortcut: the icon alone in a small window.
        osd_put_part(17, 0, 0);
        osd_put_part(icon, 0, 0);
        osd_on(OSD_CHANNEL, 100, 78, 100, 78, 1, 238, 238, 238, 255);
        osd_write_inh_ct(0, 1);
        return;
    }
    channelTitle(row);
    channelListBody(row);
    if (!print_overlay_warning_if_needed()) osd_put_part(icon, 420, 100);
    channelScreenEnd();
}

void osd_func3832(int row) {
    const int ch = channelScreenBegin(row);
    channelTitle(row);
    print_overlay_warning_if_needed();
    const bool acts = !(PM.DISPLAY_MODE != 0 && ch == 1);
    if (acts && PI_SYNC_OFF[ch]) channelWarning("Sync is off already", 360, 170);
    channelScreenEnd();
    if (acts && !PI_SYNC_OFF[ch]) immidiate_syncOff_menu(row);
    for (int c = 0; c < 2; ++c) p7kEvForceAnnounceInt(kNodeSyncOff[c], PI_SYNC_OFF[c], static_cast<uint8_t>(c));
}

namespace {

// The rows hold the flags themselves (a byte row on an int flag reads and
// writes its low byte).
static_assert(sizeof(PI_SYNC_OFF[0]) == sizeof(int) && std::atomic<int>::is_always_lock_free);

constexpr ChannelItem kItems[] = {
    {38, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_38, PB_48), 0, 6},
    {381, acts<func381>(), 5, channelListScreen, FT_CH_S8, both(PM.UPSIDEDOWN), 0, 3},
    {382, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_382, PB_482), 0, 2},
    {3821, acts<func3821>(), 5, channelListScreen, FT_CH_S8, both(PM.FREEZE), 0, 1},
    {3822, acts<func3822>(), 5, channelListScreen, FT_CH_S8, both(PM.BLANK), 0, 1},
    {3823, {func3823, func4823}, 5, osd_func3823, FT_CH_S8, both(PM.MUTE), 0, 1},
    {383, kNoAction, 5, osd_func383, FT_PAGE, cursors(PB_383, PB_483), 0, 1},
    {3831, kNoAction, 5, osd_func3831, FT_PAGE, cursors(PB_3831, PB_4831), 0, 1},
    {38311, acts<func38311>(), 5, osd_func38311, FT_CH_S8, both(PM.AUTO_SYNC_OFF), 0, 1},
    {38312, kNoAction, 3, channelBarScreen, FT_CH_S8, both(PM.SYNC_OFF_IDLE), 0, 5},
    {3832, acts<func3832>(), 7, osd_func3832, FT_S8, both(PI_SYNC_OFF), 0, 2},
    {384, {func384, func484}, 5, osd_func384, FT_CH_S8, both(PM.TEST_PATTERN), 0, 2},
    {385, acts<func385>(), 5, channelListScreen, FT_CH_S8, both(PM.NOSIG_COLOR), 0, 2},
    {386, kNoAction, 5, osd_func386, FT_CH_S8, both(PM.INPUT_CHANGE_EFFECT), 0, 1},
};
constexpr auto kRows = channelRows<kItems>();

}  // namespace

std::span<const FuncRow> channelOutputRows() { return kRows; }
