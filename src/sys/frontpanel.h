// Front panel (thread "FPNL") and infrared remote (thread "IRRC").
#pragma once

#include <atomic>
#include <cstdint>

// Panel key codes shared with the remote, the protocol and the main task.
enum _E_KEYPAD_KEY : uint16_t {
    KEY_MENU = 0,
    KEY_ENTER = 1,
    KEY_DOWN = 2,
    KEY_UP = 3,
    KEY_LEFT = 4,
    KEY_RIGHT = 5,
    KEY_LOCK = 7,
    KEY_USR1 = 8,
    KEY_USR2 = 9,
    KEY_MODE = 10,
    KEY_BLANK_CH2 = 11,
    KEY_FREEZE_CH2 = 12,
    KEY_BLANK_CH1 = 13,
    KEY_FREEZE_CH1 = 14,
    KEY_INPUT1_CH1 = 15,  // to 22
    KEY_INPUT1_CH2 = 23,  // to 30
    KEY_POWER = 33,
    KEY_MENU_REFRESH = 37,
    KEY_RUN_PROTOCOL_NODE = 39,
    KEY_MENU_HELD = 40,
    KEY_DELAYED_ACTION = 42,
    KEY_CH1_TUNED = 43,
    KEY_CH2_TUNED = 44,
    KEY_TBAR_TAKE = 45,
};

// The panel's switching mode: 0 audio follows video, 1 video only, 2 audio
// only; cycled by the MODE key and sent with every key.
extern std::atomic<int> mode_stat;
// A MODE key from any source (panel, remote, protocol): the next mode.
void cycle_mode_stat();

// Posts a key the program makes (source 1) with the panel's switching mode
// on a queue; param is the parameter word (the row of key 42). Returns what
// send_message_q returns.
int post_program_key(int queue, uint16_t key, uint32_t param = 0);
// Posts an LED word (build_led_state) for the keypad thread to set.
int post_led(uint16_t word);
// 1 while the front panel is locked.
extern std::atomic<int> fpanel_lockstat;

int keypad_get_locked_status_fp();
// Toggles the lock and sets the lock LED (27).
void keypad_lock_fp();

inline constexpr int kLockLed = 27;
uint16_t build_led_state(int led, int r, int g, int b, int blink);
// An LED word with the blink bit (0x200) flashes: lit for kBlinkLitMs (timer
// 1, keypad blink, then darkens it), dark for kBlinkDarkMs (timer 0, keypad
// LED restore, then lights it again), for as long as some LED blinks.
inline constexpr uint16_t kLedBlink = 0x200;
inline constexpr uint32_t kBlinkLitMs = 400;
inline constexpr uint32_t kBlinkDarkMs = 400;
// The expiries of timers 1 and 0; the keypad thread redraws the blinking
// LEDs at its next scan.
void keypad_blink_expired();
void keypad_led_restore_expired();
// All LEDs off, three colour ramps of eight steps 25 ms apart, all off.
void test_leds();

void* keypad_thread(void*);
void* irRemcon_thr(void*);

// One scan of the key matrix (every 5 ms in FPNL).
void keypad_proc();

// The scan rules at a given time with a given key set, for tests:
// press, release after 20 ms to 3 s, repeat of the arrows, MENU held
// 3000 ms (key 40), LOCK held 3000 ms (toggles the lock).
void keypad_step(uint32_t now, uint64_t keys);
void keypad_reset();
// Applies the LED queue's commands, redraws blinking LEDs whose half-period
// ended and forwards the FPANEL queue's keys to KEYPAD with source 1 (every
// scan in FPNL).
void keypad_service_queues();

inline constexpr uint32_t kKeyMinPressMs = 20;
inline constexpr uint32_t kKeyLongMs = 3000;
inline constexpr uint32_t kKeyRepeatDelayMs = 500;
inline constexpr uint32_t kKeyRepeatMs = 250;
