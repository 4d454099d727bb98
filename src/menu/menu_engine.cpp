#include "menu/menu_engine.h"

#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "core/pm_store.h"
#include "menu/menu_state.h"
#include "menu/page_common.h"
#include "menu/root_page.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "platform/journal.h"
#include "scaler/output_formats.h"
#include "scaler/picture.h"
#include "scaler/scaler.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timers.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Nodes with a rule of their own in a step.
constexpr int32_t kNodeLayoutMode = 23;       // layout mode, limited in 4K
constexpr int32_t kNodeLayoutCh1 = 33, kNodeLayoutCh2 = 43;
constexpr int32_t kNodeTbar = 2261;           // the T-bar page holds while a transition runs
constexpr int32_t kNodeNativeCh1 = 2421, kNodeNativeCh2 = 2422;
constexpr int32_t kNodeVolumeCh1 = 3931, kNodeVolumeCh2 = 4931;
constexpr int32_t kNodeMuteCh2 = 4823;        // still acts in 4K
constexpr int32_t kNodeMicPage = 396;
constexpr int32_t kNodeInfoCh1 = 511, kNodeInfoCh2 = 512;
constexpr int32_t kNodeDisconnect = 5539;     // a notice, not a page
constexpr int32_t kNodeLaunch1 = 55517, kNodeLaunch2 = 55527;
constexpr int32_t kNodeResetCh1 = 38729, kNodeResetCh2 = 48729;

constexpr int kQueueDropAbove = 10;
// Key 39's parameter word: this bit marks a node carried with the key.
constexpr uint32_t kParamHasNode = 0x80000000u;
constexpr uint32_t kPauseFirstMs = 20, kPauseRepeatMs = 40;
constexpr uint32_t kFastFrom = 10;  // plus/minus steps before the fast step takes over
constexpr uint32_t kSaveMs = 400, kNoticeMs = 500;

// Texts of the save and the notices (pageText).
constexpr int kNoticeX = 403, kNoticeY = 426;
constexpr int kNativeX = 340, kNativeY = 394;
constexpr int kResetX = 340;

bool isInt(uint32_t type) { return type >= FT_S8 && type <= 14; }
bool isFloat(uint32_t type) { return type <= FT_FLOAT_CH; }
bool isDialogState(int32_t node) { return node >= kDialogFirst && node <= kDialogLast; }
bool inRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }
bool in4k() { return PM.OUTPUT_RES_SEL[Channel == 1 ? 1 : 0] == kOutputFormat4K; }

// Keys a user navigates with; these alone wait for a key release and may be
// dropped from a full queue.
bool isNavigationKey(int key) {
    return (key >= KEY_MENU && key <= KEY_RIGHT) || key == KEY_FAST_PLUS || key == KEY_FAST_MINUS ||
           key == KEY_MENU_HELD;
}

void blank(int count, int x, int y) { pageText(std::string(static_cast<size_t>(count), ' ').c_str(), x, y); }

void traceTo(int32_t node) { tracebackPbValues(funcNum2TblInx(node)); }

// The close sequence: the closed-menu screen, the OSD off, and the open bit
// with its time-out gone.
void closeMenu() {
    osd_func999(funcNum2TblInx(kNodeClosed));
    osd_off(OSD_CHANNEL);
    if (vp.gFlags.fetch_and(~VP_GFLAG_MENU_OPEN) & VP_GFLAG_MENU_OPEN) osdTimerKill();
}

// While the menu is open: the volume shortcut turns the arrows into the
// volume of a channel, otherwise LEFT is back and RIGHT enter. False when
// the step ends here.
bool remapKey(int& key) {
    if (!(vp.gFlags & VP_GFLAG_MENU_OPEN)) return true;
    if (gOsdTimeOut == kOsdTimeOutVolume) {
        if (key == KEY_RIGHT || key == KEY_LEFT) {
            key = key == KEY_RIGHT ? KEY_UP : KEY_DOWN;
            st_num = kNodeVolumeCh1;
        } else if (key == KEY_DOWN || key == KEY_UP) {
            if (PM.DISPLAY_MODE != 0) return false;
            st_num = kNodeVolumeCh2;
        }
    } else if (key == KEY_LEFT) {
        key = KEY_MENU;
    } else if (key == KEY_RIGHT) {
        key = KEY_ENTER;
    }
    return true;
}

// The cursor of the entry row: its page cursor, or a scratch word for a row
// that is not a page (its value is no cursor and must not be written as one).
int32_t* entryCursor(int entry, int32_t& scratch) {
    const FuncRow& r = funcDataTbl[entry];
    return r.type == FT_PAGE && r.value != nullptr ? static_cast<int32_t*>(r.value) : &scratch;
}

void toggleCursor(int32_t* cursor, int32_t a, int32_t b) {
    MutexLock lock(PM_mutex);
    if (*cursor == a) *cursor = b;
    else if (*cursor == b) *cursor = a;
}

// Key 40 (MENU held): the same place on the other channel's pages.
void twinPage(int32_t* cursor) {
    const int32_t node = st_num;
    const int digit = find_osd_hierarchy_num(node);
    if (node == kNodeInfoCh1 || node == kNodeInfoCh2) {
        st_num = kNodeInfoCh1 + kNodeInfoCh2 - node;
        traceTo(st_num);
    } else if (node == kNodeMicPage) {
        toggleCursor(cursor, 0, 1);
    } else if (inRange(node, 3960, 3969) || inRange(node, 39600, 39699) || inRange(node, 396000, 396999)) {
        st_num = replace_osd_microphone_hierarchy_num(node);
        traceTo(st_num);
    } else if (digit == 3 || digit == 4) {
        st_num = replace_osd_hierarchy_num(node, 7 - digit);
        traceTo(st_num);
    } else if (digit == 0) {
        toggleCursor(cursor, 2, 3);  // the two channel tabs of the root
    }
}

void enter(int entry, int32_t cursor) {
    const int32_t node = st_num;
    if (funcDataTbl[entry].type != FT_PAGE || find_osd_hierarchy_num(node) == 9) {
        PRINT(PRINT_GENERAL, "immidiateSave: st_num = %d, channel = %d\n", node, static_cast<int>(Channel));
        immidiateSave = 1;
        return;
    }
    const int64_t child = static_cast<int64_t>(node) * 10 + 1 + cursor;
    if (child < 0 || child > INT32_MAX) return;
    // A child without a row falls on the sentinel, which is enabled.
    if (funcDataTbl[funcNum2TblInx(static_cast<int>(child))].enable != 1) return;
    if (child == kNodeDisconnect) {
        disconnect_printing_flag = 1;
        return;
    }
    st_num = static_cast<int32_t>(child);
    if (child == kNodeLaunch1 || child == kNodeLaunch2) launching_printing_flag = 1;
    if (child == kNodeResetCh1 || child == kNodeResetCh2) reset_defaults_printing_flag = 1;
}

// Key 39's node: carried with the key, or the one the poster left.
int32_t protocolNode(uint32_t param) {
    return (param & kParamHasNode) ? static_cast<int32_t>(param & ~kParamHasNode) : gProtFuncNum.load();
}

// A channel page's action works on the channel of its own node (3... CH1,
// 4... CH2), whatever page the thread drew last, as on the protocol path.
int actionChannel(int row) {
    const int digit = find_osd_hierarchy_num(static_cast<int>(funcDataTbl[row].node));
    return digit == 3 || digit == 4 ? digit - 3 : Channel;
}

void runOnItsChannel(int row) {
    ChannelAs scope(actionChannel(row));
    runFuncInd(row);
}

void delayedAction(uint32_t row) {
    if (row == 0 || row >= static_cast<uint32_t>(funcTableSize())) {
        PRINT(PRINT_GENERAL, "delayed function: no row %u\n", row);
        return;
    }
    // The menu may be on the other channel's page by now.
    runOnItsChannel(static_cast<int>(row));
    PRINT(PRINT_GENERAL, "delayed function %d activate\n", static_cast<int>(funcDataTbl[row].node));
    immidiateSave = 1;
}

// Key 39 for a row that no page shows (a value the protocol alone sets):
// its action runs and the user's page stays. False for any other key.
bool runWithoutPage(int key, uint32_t param) {
    if (key != KEY_RUN_PROTOCOL_NODE) return false;
    const int row = funcNum2TblInx(protocolNode(param));
    if (row == 0 || funcDataTbl[row].screen != nullptr) return false;
    runOnItsChannel(row);
    return true;
}

// Step 5: what the key does to the node. Keys 38 and 39, and MENU at the
// root or towards it, go straight on to the step row.
void dispatch(int key, int entry, uint32_t param) {
    int32_t scratch = 0;
    int32_t* cursor = entryCursor(entry, scratch);
    const int32_t node = st_num;
    switch (key) {
    case KEY_RUN_PROTOCOL_NODE:
        st_num = protocolNode(param);
        traceTo(st_num);
        return;
    case KEY_CLOSE_MENU:
        st_num = kNodeClosed;
        closeMenu();
        return;
    case KEY_MENU_HELD:
        twinPage(cursor);
        break;
    case KEY_MENU:
        if (node == kNodeRoot) {
            st_num = kNodeClosed;
            closeMenu();
            return;
        }
        if (node == kNodeClosed || inRange(node, 1, 9)) {
            st_num = kNodeRoot;
            return;
        }
        if (node == kNodeTbar && in_tbar_process_flag && PM.T_BAR != 0) break;
        st_num = node / 10;
        break;
    case KEY_ENTER:
        enter(entry, *cursor);
        break;
    case KEY_DELAYED_ACTION:
        delayedAction(param);
        break;
    default:
        break;
    }
    if (st_num == kNodeClosed) {
        closeMenu();
    } else if (st_num == kNodeProtocolTarget) {
        st_num = gProtFuncNum.load();
        traceTo(st_num);
    }
}

// Step 8: plus and minus mark the row and choose the pause; from the tenth
// repeat a row with a fast step takes it.
uint32_t plusMinus(FuncRow& r) {
    r.change |= kRowChanged;
    const bool accelerates = (isInt(r.type) && r.fast.i != 0) || (isFloat(r.type) && r.fast.f != 0.0f);
    if (!accelerates) return kPauseFirstMs;
    const uint32_t n = ++acceleratePlusMinus;
    if (n == 1) return kPauseFirstMs;
    if (n >= kFastFrom) button_num = button_num == KEY_UP ? KEY_FAST_PLUS : KEY_FAST_MINUS;
    return kPauseRepeatMs;
}

// A list value: up moves to the previous choice and wraps from the first to
// the last, down the other way.
int64_t listStep(int64_t v, int key, int64_t lo, int64_t hi, int64_t step) {
    if (key == KEY_UP) return v <= lo ? hi : v - step;
    if (key == KEY_DOWN) return v >= hi ? lo : v + step;
    return v;
}

// The layout mode cycles only between its minimum and 3 while the channel
// layouts are not both available.
int64_t layoutStep(int64_t v, int key, int64_t lo, int64_t hi, int64_t step) {
    if (isFuncEnable(kNodeLayoutCh1) && isFuncEnable(kNodeLayoutCh2)) return listStep(v, key, lo, hi, step);
    if (key == KEY_UP) return v <= lo ? 3 : v - step;
    if (key == KEY_DOWN) return v > 2 ? lo : v + step;
    return v;
}

// Values outside the bounds never reach the actions.
void storeWithin(int row, const FuncRow& r, int64_t v, int64_t next) {
    if (next == v) return;
    const int64_t lo = std::min(r.min.i, r.max.i);
    funcSetIntAt(row, Channel, static_cast<int32_t>(std::clamp<int64_t>(next, lo, r.max.i)));
}

bool numericMode(uint32_t mode) { return mode == 0 || mode == 3 || mode == 4; }

// A byte row whose bounds pass 127 holds an unsigned value: step it as one.
int64_t readForStep(int row, const FuncRow& r) {
    int32_t v = funcIntAt(row, Channel);
    if (funcTypeWidth(r.type) == 1 && r.min.i >= 0 && r.max.i > 127) v = static_cast<uint8_t>(v);
    return v;
}

void changeInt(int row, FuncRow& r, int key) {
    const int64_t lo = r.min.i, hi = r.max.i;
    const int64_t v = readForStep(row, r);
    int64_t next = v;
    if (static_cast<int32_t>(r.node) == kNodeLayoutMode) {
        if (in4k()) return;
        next = layoutStep(v, key, lo, hi, r.step.i);
    } else if (numericMode(r.callMode)) {
        if (key == KEY_UP || key == KEY_FAST_PLUS) next = v + (key == KEY_UP ? r.step.i : r.fast.i);
        else if (key == KEY_DOWN || key == KEY_FAST_MINUS) next = v - (key == KEY_DOWN ? r.step.i : r.fast.i);
    } else {
        next = listStep(v, key, lo, hi, r.step.i);
    }
    storeWithin(row, r, v, next);
}

void changeFloat(int row, FuncRow& r, int key) {
    void* p = funcValuePtr(row, Channel);
    if (p == nullptr) return;
    float v;
    std::memcpy(&v, p, sizeof v);
    if (key == KEY_UP || key == KEY_FAST_PLUS) v += key == KEY_UP ? r.step.f : r.fast.f;
    else if (key == KEY_DOWN || key == KEY_FAST_MINUS) v -= key == KEY_DOWN ? r.step.f : r.fast.f;
    else return;
    v = std::clamp(v, std::min(r.min.f, r.max.f), r.max.f);
    // On a tenth: hundredths 6 to 9 round up, 1 to 5 down.
    int n = static_cast<int>(v * 100);
    const int rest = n % 10;
    if (rest > 5) n += 10 - rest;
    else if (rest != 0) n -= rest;
    v = static_cast<float>(n) / 100;
    std::memcpy(p, &v, sizeof v);
}

// A page cursor wraps like a list: down from the last item to the first.
void changePage(int row, FuncRow& r, int key) {
    if (r.value == nullptr) return;
    const int64_t v = funcIntAt(row, Channel);
    storeWithin(row, r, v, listStep(v, key, r.min.i, r.max.i, r.step.i));
}

// Step 9: the value change, under PM_mutex and nothing else.
void changeValue(int row) {
    FuncRow& r = funcDataTbl[row];
    const int key = button_num;
    if (key != KEY_DOWN && key != KEY_UP && key != KEY_FAST_PLUS && key != KEY_FAST_MINUS) return;
    if (isInt(r.type) || isFloat(r.type)) {
        const bool frozen = in4k() && find_osd_hierarchy_num(static_cast<int>(r.node)) == 4 &&
                            static_cast<int32_t>(r.node) != kNodeMuteCh2;
        if (frozen) return;
    }
    const char* kind = nullptr;
    {
        MutexLock lock(PM_mutex);
        if (r.type == FT_PAGE) {
            changePage(row, r, key);
            kind = "menu";
        } else if (isInt(r.type)) {
            changeInt(row, r, key);
            kind = "int";
        } else if (isFloat(r.type)) {
            changeFloat(row, r, key);
            kind = "float";
        }
    }
    if (kind != nullptr) PRINT(PRINT_GENERAL, "param type %s", kind);
}

void screen(int row) {
    if (funcDataTbl[row].screen != nullptr) funcDataTbl[row].screen(row);
}

// Step 10: the screen and the action in the order of the row's call mode.
void draw(int row) {
    const FuncRow& r = funcDataTbl[row];
    const int key = button_num;
    const bool wanted = key != KEY_MENU_REFRESH && ((r.change & kRowChanged) || key == KEY_RUN_PROTOCOL_NODE);
    reprepareOsd();
    switch (r.callMode) {
    case 0:
    case 1:
        // The action runs before its screen sets the channel (the protocol's
        // node may be on the other channel's page than the menu).
        if (wanted) {
            const int saved = Channel;
            Channel = actionChannel(row);
            runFuncInd(row);
            Channel = saved;
        }
        screen(row);
        break;
    case 2:
        runFuncInd(row);
        screen(row);
        break;
    case 3:
    case 5:
        screen(row);
        if (wanted) runFuncInd(row);
        break;
    case 4:
    case 6:
        // The action runs once, kDelayedActionMs after the last change (key 42).
        immidiateSave = 0;
        screen(row);
        if (key == KEY_DELAYED_ACTION) {
            immidiateSave = 1;
        } else if (key != KEY_MENU_REFRESH && (r.change & kRowChanged)) {
            osdDelayTimerSet(kDelayedActionMs, 0, row);
            PRINT(PRINT_GENERAL, "set timer");
        } else if (key == KEY_RUN_PROTOCOL_NODE) {
            runFuncInd(row);
            immidiateSave = 1;
        }
        break;
    case 7:
        screen(row);
        if (key != KEY_MENU_REFRESH) runFuncInd(row);
        break;
    default:  // 8: rows of the protocol only
        break;
    }
}

// The parameter zone of a channel's input: the connector of its video input.
void saveChannel(int channel) {
    const int input = vidInputToConnector(vp.chData[channel].vidInput);
    PRINT(PRINT_GENERAL, "eeprom Saving Inp = %d, channel = %d\n", input, channel);
    if (input < 0) {
        // Another code would name a zone past the sixteen and overwrite other data.
        PRINT(PRINT_GENERAL, "eeprom save: channel %d has no input (%u)\n", channel, vp.chData[channel].vidInput);
        return;
    }
    PRINT(PRINT_GENERAL, " eepromSaveFullPMData st loop ");
    eepromSaveFullPMData(input, channel);
}

// Step 12: the parameter memory of both channels to the EEPROM.
void save(FuncRow& r) {
    const int32_t node = st_num;
    const bool native = node == kNodeNativeCh1 || node == kNodeNativeCh2;
    r.change &= static_cast<uint8_t>(~kRowChanged);
    if (vp.fixedOutFrmt[Channel == 1 ? 1 : 0] == 0 && native)
        pageText("Setting Native Resolution...", kNativeX, kNativeY);
    pageText("Saving Data", kNoticeX, kNoticeY);
    saveChannel(0);
    saveChannel(1);
    Sleep(kSaveMs);
    if (native) blank(28, kNativeX, kNativeY);
    blank(21, kNoticeX, kNoticeY);
}

// Step 13: each raised notice for kNoticeMs.
void notices() {
    if (disconnect_printing_flag.exchange(0)) {
        pageText("Disconnecting", kNoticeX, kNoticeY);
        runFuncInd(funcNum2TblInx(kNodeDisconnect));
        Sleep(kNoticeMs);
        blank(21, kNoticeX, kNoticeY);
    }
    if (launching_printing_flag.exchange(0)) {
        pageText("Launching", kNoticeX, kNoticeY);
        Sleep(kNoticeMs);
        blank(21, kNoticeX, kNoticeY);
    }
    if (reset_defaults_printing_flag.exchange(0)) {
        pageText("Reset To Defaults Settings", kResetX, kNoticeY);
        Sleep(kNoticeMs);
        blank(31, kResetX, kNoticeY);
    }
}

bool savesAt(int32_t node) { return !inRange(node, 510, 519) && !inRange(node, 51500, 51599); }

}  // namespace

void stInit() {
    PRINT(PRINT_GENERAL, "stInit started ");
    st_num = kNodeClosed;
    button_num = -1;
    FLG_AUTO_RETURN = 0;
    sigchg = 0;
    PM_CCMODE = 0;
    PM_NR_CHG[0] = PM_NR_CHG[1] = 0;
    PM_BNR_CHG[0] = PM_BNR_CHG[1] = 0;
    PM_INTEN = 0;
    write_C812(0x177404, 0, 0, 0);
    write_C812(0x21E01, 0x30, 0, 0);
    write_C812(0x21F01, 0x60, 0, 0);
    initCharaSize();
    reprepareOsd();
    board::journal("stInit", "st_num=%d", static_cast<int>(st_num));
    PRINT(PRINT_GENERAL, "End of st init");
}

namespace {

void post(int key, uint32_t param) {
    const int waiting = getquestat_message_q(E_EXMSG_TYPE_STLOOP);
    if (waiting > kQueueDropAbove && (inRange(key, KEY_MENU, KEY_RIGHT) || key == KEY_MENU_HELD)) {
        PRINT(PRINT_GENERAL, "Flush message to stLoop (more than 3 (%d) message in queue)\n", waiting);
        board::journal("stLoop.drop", "key=%d waiting=%d", key, waiting);
        Sleep(1);
        return;
    }
    board::journal("stLoop", "key=%d", key);
    post_program_key(E_EXMSG_TYPE_STLOOP, static_cast<uint16_t>(key), param);
    if (key == KEY_RUN_PROTOCOL_NODE) Sleep(50);  // the engine takes gProtFuncNum meanwhile
    Sleep(1);
}

}  // namespace

void stLoop(int key) { post(key, 0); }

void stLoopNode(int node) {
    gProtFuncNum = node;
    post(KEY_RUN_PROTOCOL_NODE, kParamHasNode | (static_cast<uint32_t>(node) & ~kParamHasNode));
}

void* ichips_osd(void*) {
    pthread_set_selfname("IOSD");
    for (;;) {
        _EXMSG m;
        if (get_message_q(E_EXMSG_TYPE_STLOOP, &m) >= 0) {
            PRINT(PRINT_GENERAL, "Received IOSD message. Key = %d\n", m.key);
            stLoop_proc(_stloop_proc_param{m.key, 0, m.param});
            Sleep(2);
        } else {
            Sleep(20);
        }
        WDT_Clear();
    }
    return nullptr;
}

void stLoop_proc(const _stloop_proc_param& param) {
    int key = param.key;
    // Only navigation waits for the key's release: a close, a redraw, the
    // protocol's node and a delayed action still run.
    if (wait_till_release_key != 0 && isNavigationKey(key)) return;
    immidiateSave = 0;
    if (!remapKey(key)) return;
    // Then the step only redraws the page.
    if (runWithoutPage(key, param.param)) key = KEY_MENU_REFRESH;
    button_num = key;
    const int entry = funcNum2TblInx(st_num);
    dispatch(key, entry, param.param);

    const int row = funcNum2TblInx(st_num);
    FuncRow& r = funcDataTbl[row];
    const bool plusOrMinus = button_num == KEY_DOWN || button_num == KEY_UP;
    const uint32_t pauseMs = plusOrMinus ? plusMinus(r) : 0;
    changeValue(row);
    draw(row);

    if (isDialogState(st_num)) {
        // The page leaves its dialog state in its action.
        runFuncInd(row);
        board::journal("menu.step", "key=%d node=%d dialog", key, static_cast<int>(st_num));
        return;
    }
    if (immidiateSave && savesAt(st_num) && key != KEY_MENU_REFRESH) save(r);
    notices();
    if (pauseMs != 0) {
        PRINT(PRINT_GENERAL, "acceleration slow down=%d milli\n", static_cast<int>(pauseMs));
        Sleep(pauseMs);
    }
    if (plusOrMinus) announcePmChanged(row);
    checkSetPmUnsave(row);
    osd_swap();
    prv_st_num = st_num.load();
    board::journal("menu.step", "key=%d node=%d", key, static_cast<int>(st_num));
}
