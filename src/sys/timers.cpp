#include "sys/timers.h"

#include "core/core_state.h"
#include "core/pm.h"
#include "core/weblock.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/print.h"

#include <atomic>
#include <csignal>
#include <mutex>

namespace {

std::mutex gMutex;  // creation of the numbered timers
timer_t gTimer[TIMER_COUNT];
bool gCreated[TIMER_COUNT] = {};
std::atomic<void (*)(int)> gHandler[TIMER_COUNT] = {};

std::atomic<void (*)()> gOsdFn{nullptr};
std::atomic<void (*)()> gTbarDelayFn{nullptr};
std::atomic<int> gDelayRow{0};

void expired(union sigval v) {
    int num = v.sival_int;
    if (num < 0 || num >= TIMER_COUNT) return;
    if (auto h = gHandler[num].load()) h(num);
}

std::mutex gDelayMutex;  // the stored row and its timer change together

itimerspec oneShot(uint32_t ms) {
    itimerspec its{};
    its.it_value.tv_sec = ms / 1000;
    its.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    return its;
}

bool ensureCreated(int num) {
    std::lock_guard lock(gMutex);
    if (gCreated[num]) return true;
    sigevent ev{};
    ev.sigev_notify = SIGEV_THREAD;
    ev.sigev_value.sival_int = num;
    ev.sigev_notify_function = expired;
    if (timer_create(CLOCK_MONOTONIC, &ev, &gTimer[num]) != 0) {
        PRINT(PRINT_GENERAL, "create_timer: timer %d cannot be created\n", num);
        return false;
    }
    gCreated[num] = true;
    return true;
}

bool armed(int num) {
    itimerspec its{};
    if (!gCreated[num] || timer_gettime(gTimer[num], &its) != 0) return false;
    return its.it_value.tv_sec != 0 || its.it_value.tv_nsec != 0;
}

void postStLoop(uint16_t key, uint32_t param) { post_program_key(E_EXMSG_TYPE_STLOOP, key, param); }

void onOsdMenu(int) {
    if (auto fn = gOsdFn.load()) fn();
}
void onOsdRefresh(int) { postStLoop(KEY_MENU_REFRESH, 0); }
void onOsdDelay(int) {
    PRINT(PRINT_GENERAL, "osdDelayTmrHandler_thread: Timer expired.\n");
    postStLoop(KEY_DELAYED_ACTION, static_cast<uint32_t>(gDelayRow.load()));
}
void onTbarDelay(int) {
    if (auto fn = gTbarDelayFn.load()) fn();
}
// A hardware T-bar controller stopped asking for the T-bar's state.
void onTbarEnable(int) {
    if (is_hwtbar_connected != 1) return;
    if (PM.T_BAR > 0) {
        PM.T_BAR = 0;
        board::journal("tbar.off", "hardware T-bar gone");
    }
    is_hwtbar_connected = 0;
    webLockAnnounce(5);
    disable_web_tbar_flg = 0;
}
void onKeypadLedRestore(int) { keypad_led_restore_expired(); }
void onKeypadBlink(int) { keypad_blink_expired(); }

// The handlers of the numbered timers, in timer order.
void (*const kHandlers[TIMER_COUNT])(int) = {onKeypadLedRestore, onKeypadBlink, onOsdMenu,  onOsdRefresh,
                                             onOsdDelay,         onTbarDelay,   onTbarEnable};

// Arms a numbered timer; its handler is installed even when nobody ran
// init_timers. 255 for 0 ms (nothing started) or a failure.
int arm(int num, uint32_t ms) {
    if (ms == 0) return 255;
    void (*expected)(int) = nullptr;
    gHandler[num].compare_exchange_strong(expected, kHandlers[num]);
    return start_timer(num, ms) == 0 ? 0 : 255;
}

// The same for a timer whose expiry calls the caller's function.
int armCalling(int num, std::atomic<void (*)()>& slot, void (*fn)(), uint32_t ms) {
    if (ms == 0) return 255;
    slot = fn;
    return arm(num, ms);
}

}  // namespace

int create_timer(int num, void (*handler)(int)) {
    if (num < 0 || num >= TIMER_COUNT) return -1;
    gHandler[num] = handler;
    return ensureCreated(num) ? 0 : -1;
}

int start_timer(int num, uint32_t ms) {
    if (num < 0 || num >= TIMER_COUNT || !ensureCreated(num)) return -1;
    itimerspec its = oneShot(ms);
    return timer_settime(gTimer[num], 0, &its, nullptr) == 0 ? 0 : -1;
}

int init_timers() {
    int rc = 0;
    for (int i = 0; i < TIMER_COUNT; ++i) rc |= create_timer(i, kHandlers[i]);
    return rc;
}

int osdTimerSet(uint32_t ms, int, void (*fn)(void)) { return armCalling(TIMER_OSD_MENU, gOsdFn, fn, ms); }
void osdTimerKill() { start_timer(TIMER_OSD_MENU, 0); }
int osdRefreshTimerSet(uint32_t ms) { return arm(TIMER_OSD_REFRESH, ms); }

int osdDelayTimerSet(uint32_t ms, int, int row) {
    if (ms == 0) return 255;
    // Another row's delayed action still pending runs now rather than being
    // lost (a factory reset and a menu's action must not cancel each other).
    std::lock_guard lock(gDelayMutex);
    int pending = gDelayRow;
    if (pending != row && armed(TIMER_OSD_DELAY)) {
        start_timer(TIMER_OSD_DELAY, 0);
        postStLoop(KEY_DELAYED_ACTION, static_cast<uint32_t>(pending));
    }
    gDelayRow = row;
    return arm(TIMER_OSD_DELAY, ms);
}

int tbarEnableTimerSet(uint32_t ms) { return arm(TIMER_TBAR_ENABLE, ms); }
void tbarEnableTimerKill() { start_timer(TIMER_TBAR_ENABLE, 0); }
int tbarDelayTimerSet(uint32_t ms, int, void (*fn)(void)) { return armCalling(TIMER_TBAR_DELAY, gTbarDelayFn, fn, ms); }
void tbarDelayTimerKill() { start_timer(TIMER_TBAR_DELAY, 0); }
int keypadBlinkTimerSet(uint32_t ms) { return arm(TIMER_KEYPAD_BLINK, ms); }
int keypadLedRestoreTimerSet(uint32_t ms) { return arm(TIMER_KEYPAD_LED, ms); }

Timer_Handler::Timer_Handler(std::function<void()> callback) : callback_(std::move(callback)) {
    sigevent ev{};
    ev.sigev_notify = SIGEV_THREAD;
    ev.sigev_value.sival_ptr = this;
    ev.sigev_notify_function = &Timer_Handler::expired;
    created_ = timer_create(CLOCK_MONOTONIC, &ev, &timer_) == 0;
}

Timer_Handler::~Timer_Handler() {
    if (created_) timer_delete(timer_);
}

int Timer_Handler::start(uint32_t ms) {
    if (!created_) return -1;
    itimerspec its = oneShot(ms);
    return timer_settime(timer_, 0, &its, nullptr) == 0 ? 0 : -1;
}

bool Timer_Handler::armed() const {
    itimerspec its{};
    if (!created_ || timer_gettime(timer_, &its) != 0) return false;
    return its.it_value.tv_sec != 0 || its.it_value.tv_nsec != 0;
}

void Timer_Handler::expired(union sigval v) {
    auto* self = static_cast<Timer_Handler*>(v.sival_ptr);
    if (self->callback_) self->callback_();
}
