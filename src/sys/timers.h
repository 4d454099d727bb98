// One-shot timers by number, on POSIX timers (monotonic clock) whose expiry
// runs the timer's handler in a thread of its own: handlers must not assume
// a thread-table row or a current channel.
#pragma once

#include <cstdint>
#include <functional>
#include <time.h>

enum : int {
    TIMER_KEYPAD_LED = 0,   // keypad LED restore: blinking LEDs light again
    TIMER_KEYPAD_BLINK = 1, // keypad blink: blinking LEDs go dark
    TIMER_OSD_MENU = 2,     // menu time-out
    TIMER_OSD_REFRESH = 3,  // posts key 37 on STLOOP
    TIMER_OSD_DELAY = 4,    // posts key 42 with the stored row on STLOOP
    TIMER_TBAR_DELAY = 5,
    TIMER_TBAR_ENABLE = 6,
    TIMER_COUNT = 7,
};

// Creates timer num with its expiry handler (replacing an earlier one):
// 0, or -1.
int create_timer(int num, void (*handler)(int num));
// Arms timer num once for ms (re-arming restarts it; 0 disarms): 0 or -1.
int start_timer(int num, uint32_t ms);
// Creates timers 0 to 6 with their handlers (start-up).
int init_timers();

// Each returns 255 and starts nothing when ms is 0, else 0; the flag
// arguments have no effect.
int osdTimerSet(uint32_t ms, int flag, void (*fn)(void));
void osdTimerKill();
int osdRefreshTimerSet(uint32_t ms);
int osdDelayTimerSet(uint32_t ms, int flag, int row);
int tbarEnableTimerSet(uint32_t ms);
void tbarEnableTimerKill();
int tbarDelayTimerSet(uint32_t ms, int flag, void (*fn)(void));
void tbarDelayTimerKill();
int keypadBlinkTimerSet(uint32_t ms);
int keypadLedRestoreTimerSet(uint32_t ms);

// A one-shot timer with its own callback (the main task's and the back
// end's timers).
class Timer_Handler {
public:
    explicit Timer_Handler(std::function<void()> callback);
    ~Timer_Handler();
    Timer_Handler(const Timer_Handler&) = delete;
    Timer_Handler& operator=(const Timer_Handler&) = delete;
    // Arms it once for ms (0 disarms): 0 or -1.
    int start(uint32_t ms);
    void stop() { start(0); }
    bool armed() const;

private:
    static void expired(union sigval v);
    std::function<void()> callback_;
    timer_t timer_{};
    bool created_ = false;
};
