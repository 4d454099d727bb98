// The thread table: one row per table thread, in the device's order.
#include "commands/p7k_thread.h"
#include "core/autoswitch.h"
#include "core/main_task.h"
#include "core/usrmsg.h"
#include "menu/menu_engine.h"
#include "protocol/port_tunneling.h"
#include "protocol/ws_server.h"
#include "sys/background.h"
#include "sys/frontpanel.h"
#include "sys/watchdog.h"
#include "video/frontend.h"

THREAD_CB thread_cb[kThreadRows] = {
    {0, keypad_thread, "FPNL", 10000, 1, 0},
    {0, irRemcon_thr, "IRRC", 10000, 1, 0},
    {0, frontend_thread, "FEND", 10000, 1, 0},
    {0, main_task, "MAIN", 15000, 1, 0},
    {0, p7k_thread, "P7KT", 10000, 1, 0},
    {0, ichips_osd, "IOSD", 10000, 1, 0},
    {0, backgnd_thread, "BGND", 1000, 1, 0},
    {0, lws_service_task, "WSCK", 10000, 1, 0},
    {0, port_tunneling_thread, "PTNL", 10000, 1, 0},
    {0, users_message_thread, "USRS_MSG", 10000, 1, 0},
    {0, auto_switch_thread, "AUTO_SWITCH", 10000, 1, 0},
};
