#include "sys/frontpanel.h"

#include "menu/menu_state.h"
#include "platform/journal.h"
#include "platform/panel.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timers.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <cstdio>

std::atomic<int> mode_stat{0};
std::atomic<int> fpanel_lockstat{0};

namespace {

constexpr int kKeys = 64;
constexpr uint32_t kScanMs = 5;

struct KeyState {
    bool down = false;
    uint32_t since = 0;       // when it was pressed
    uint32_t nextRepeat = 0;  // arrows: when the next repeat is due
    bool consumed = false;    // a repeat or long press was sent: the release sends nothing
};

KeyState gKey[kKeys];
uint64_t gPrev = 0;

// The word last given to each LED, and the blink cycle.
std::atomic<uint16_t> gLedWord[board::panel::kLeds] = {};
std::atomic<bool> gBlinkRunning{false};
std::atomic<bool> gBlinkDark{false};
std::atomic<bool> gBlinkRedraw{false};

bool blinks(uint16_t word) { return (word & kLedBlink) != 0; }

bool anyLedBlinks() {
    for (const auto& w : gLedWord)
        if (blinks(w)) return true;
    return false;
}

// What the LED shows now: a blinking LED is dark in the dark half.
void showLed(uint16_t word) {
    const bool dark = blinks(word) && gBlinkDark;
    board::panel::setLed(dark ? static_cast<uint16_t>(word & ~0x1FF) : word);
}

void startBlinkIfNeeded() {
    if (anyLedBlinks() && !gBlinkRunning.exchange(true)) keypadBlinkTimerSet(kBlinkLitMs);
}

// Every LED change goes through here.
void setLed(uint16_t word) {
    const int led = word >> 11;
    if (led < board::panel::kLeds) gLedWord[led] = word;
    showLed(word);
    if (blinks(word)) startBlinkIfNeeded();
}

bool repeats(int key) { return key == KEY_UP || key == KEY_DOWN || key == KEY_LEFT || key == KEY_RIGHT; }

// A new press ends the menu's waits for a release and its acceleration.
void endMenuWaits() {
    wait_till_release_key = 0;
    acceleratePlusMinus = 0;
}

}  // namespace

int post_program_key(int queue, uint16_t key, uint32_t param) {
    _EXMSG m;
    m.key = key;
    m.param = param;
    m.mode = static_cast<uint16_t>(mode_stat.load());
    m.source = KEY_SOURCE_PROGRAM;
    return send_message_q(queue, &m);
}

int post_led(uint16_t word) {
    _EXMSG m;
    m.key = word;
    return send_message_q(E_EXMSG_TYPE_LED, &m);
}

namespace {

void postKey(uint16_t key, uint8_t source) {
    _EXMSG m;
    m.key = key;
    m.mode = static_cast<uint16_t>(mode_stat.load());
    m.source = source;
    PRINT(PRINT_KEYS, "keypad: key %u mode %u source %u\n", m.key, m.mode, m.source);
    board::journal("keypad.post", "key=%u mode=%u source=%u", m.key, m.mode, m.source);
    send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
}

void pressed(int key, uint32_t now) {
    endMenuWaits();
    gKey[key] = KeyState{true, now, now + kKeyRepeatDelayMs, false};
}

void held(int key, uint32_t now) {
    KeyState& k = gKey[key];
    if (wait_till_release_key != 0) return;  // no repeat or long-press keys meanwhile
    uint32_t t = now - k.since;
    if (key == KEY_MENU && !k.consumed && t >= kKeyLongMs) {
        k.consumed = true;
        if (!fpanel_lockstat) postKey(KEY_MENU_HELD, KEY_SOURCE_PANEL);
    } else if (key == KEY_LOCK && !k.consumed && t >= kKeyLongMs) {
        k.consumed = true;
        keypad_lock_fp();
    } else if (repeats(key) && !fpanel_lockstat && static_cast<int32_t>(now - k.nextRepeat) >= 0) {
        k.consumed = true;
        k.nextRepeat = now + kKeyRepeatMs;
        postKey(static_cast<uint16_t>(key), KEY_SOURCE_PANEL);
    }
}

void released(int key, uint32_t now) {
    KeyState& k = gKey[key];
    uint32_t t = now - k.since;
    k.down = false;
    if (k.consumed || t < kKeyMinPressMs || t > kKeyLongMs) return;
    if (key == KEY_LOCK || fpanel_lockstat) return;  // the lock key acts only when held
    if (key == KEY_MODE) cycle_mode_stat();
    postKey(static_cast<uint16_t>(key), KEY_SOURCE_PANEL);
}

void allLeds(int r, int g, int b) {
    for (int led = 0; led < board::panel::kLeds; ++led) setLed(build_led_state(led, r, g, b, 0));
}

}  // namespace

void cycle_mode_stat() {
    int mode = mode_stat.load();
    while (!mode_stat.compare_exchange_weak(mode, (mode + 1) % 3)) {
    }
}

int keypad_get_locked_status_fp() { return fpanel_lockstat ? 1 : 0; }

void keypad_lock_fp() {
    int locked = fpanel_lockstat ? 0 : 1;
    fpanel_lockstat = locked;
    setLed(build_led_state(kLockLed, locked ? 7 : 0, 0, 0, 0));
    board::journal("keypad.lock", "%d", locked);
}

void keypad_blink_expired() {
    gBlinkDark = true;
    gBlinkRedraw = true;
    keypadLedRestoreTimerSet(kBlinkDarkMs);
}

void keypad_led_restore_expired() {
    gBlinkDark = false;
    gBlinkRedraw = true;
    // Cleared first, so that an LED that starts blinking meanwhile starts
    // the next cycle itself.
    gBlinkRunning = false;
    startBlinkIfNeeded();
}

uint16_t build_led_state(int led, int r, int g, int b, int blink) {
    return static_cast<uint16_t>((led << 11) | (r & 7) | (g & 7) << 3 | (b & 7) << 6 | (blink ? kLedBlink : 0));
}

void test_leds() {
    allLeds(0, 0, 0);
    for (int colour = 0; colour < 3; ++colour)
        for (int level = 0; level < 8; ++level) {
            allLeds(colour == 0 ? level : 0, colour == 1 ? level : 0, colour == 2 ? level : 0);
            Sleep(25);
        }
    allLeds(0, 0, 0);
}

void keypad_step(uint32_t now, uint64_t keys) {
    for (int key = 0; key < kKeys; ++key) {
        bool isDown = (keys >> key) & 1;
        bool wasDown = (gPrev >> key) & 1;
        if (isDown && !wasDown) pressed(key, now);
        else if (isDown) held(key, now);
        else if (wasDown) released(key, now);
    }
    gPrev = keys;
}

void keypad_reset() {
    for (auto& k : gKey) k = KeyState{};
    gPrev = 0;
}

void keypad_service_queues() {
    _EXMSG m;
    while (get_message_q(E_EXMSG_TYPE_LED, &m) >= 0) setLed(m.key);
    if (gBlinkRedraw.exchange(false))
        for (const auto& w : gLedWord)
            if (blinks(w)) showLed(w);
    // Keys the protocol injected reach the main task as the program's. Each
    // is a press with no release to wait for, so it ends the menu's waits
    // and cycles the mode as a panel press and release do.
    while (get_message_q(E_EXMSG_TYPE_FPANEL, &m) >= 0) {
        endMenuWaits();
        if (m.key == KEY_MODE) cycle_mode_stat();
        postKey(m.key, KEY_SOURCE_PROGRAM);
    }
}

void keypad_proc() { keypad_step(getCurrMsCount(), board::panel::keys()); }

void* keypad_thread(void*) {
    std::printf("keypad_thread: start\n");
    WDT_Clear();
    allLeds(0, 0, 0);
    for (;;) {
        WDT_Clear();
        keypad_proc();
        keypad_service_queues();
        Sleep(kScanMs);
    }
    return nullptr;
}
