#include "menu/pages_upgrade.h"

#include "commands/p7k_engine.h"
#include "core/osd_timer.h"
#include "core/pm.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "menu/pages_misc.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "scaler/scaler.h"
#include "sys/watchdog.h"
#include "upgrade/firmware_rollback.h"
#include "upgrade/firmware_upgrade.h"
#include "upgrade/osd_console.h"

#include <array>
#include <memory>
#include <sys/epoll.h>

uint8_t PB_541 = 0;
uint8_t PB_542 = 0;

namespace {

constexpr int kMarkX = 326, kTextX = 340, kMark = 16, kBg = 255, kSize = 16;
constexpr int kOnCursor = 0, kOffCursor = 248;
constexpr int kWindowW = 640, kWindowH = 480, kWindowKey = 239;
constexpr int kPage5 = 5;

// The two entries: their rows (y) and what page 54 and their own screens
// call them.
struct Entry {
    int y;
    const char* pageText;
    const char* entryText;
};
constexpr Entry kEntries[] = {
    {170, "Upgrade", "Firmware upgrade"},
    {202, "Rollback", "Rollback to previous version"},
};

const std::array kRows = std::to_array<FuncRow>({
    miscRow(541, FT_S8, &PB_541, 0, 0, 1, 0, 7, func541, osd_func541),
    miscRow(542, FT_S8, &PB_542, 0, 0, 1, 0, 7, func542, osd_func542),
});

void text(const char* t, int y, int colour) { osd_put_ascii_string(t, kTextX, y, colour, kBg, 0, kSize); }

// An entry's screen: the page's frame, its title, the bar on its own row.
void entryScreen(int row, int entry) {
    misc_screen_begin(row, MiscView{menu_list_5, nullptr, MiscBody::Page, nullptr, nullptr});
    osd_paint(kMarkX, kMark, kEntries[entry].y, kMark, kOffCursor);
    for (const Entry& e : kEntries) text(e.entryText, e.y, kOffCursor);
    osd_page_show();
}

// The menu's window, where it was placed.
void menuWindowOn() {
    struct {
        int x, y, transparency;
    } w{};
    underPm([&] { w = {PM.OSDPOSH, PM.OSDPOSV, PM.OSDTRAN}; });
    osd_on(OSD_CHANNEL, w.x, kWindowW, w.y, kWindowH, w.transparency, 255, 255, 255, kWindowKey);
}

// The frame around a dialogue: the older engine blocked, the keys and the
// console the dialogue's, the watchdog off; page 5 again at the end.
template <class Machine, class Make>
void runDialogue(const char* subtitle, const char* title, Make make) {
    // Started by a control system with the menu closed: the user at the
    // panel answers it, so it shows in the menu's window.
    if (!menuIsOpen()) menuWindowOn();
    gBlock_p7k = 1;
    auto console = std::make_unique<Osd>();
    WDT_Disable();
    console->PutSubTitle(subtitle);
    setModalKeys(true);
    std::unique_ptr<Machine> machine = make(console.get());
    console->clrscr();
    console->SetTitle(title);
    *console << console::endl;
    machine->Init();
    console->clrscr();
    setModalKeys(false);
    gBlock_p7k = 0;
    machine.reset();
    console.reset();
    restorefn500();
    WDT_Enable();
}

}  // namespace

void osd_func54(int row) {
    misc_screen_begin(row, MiscView{menu_list_5, menu_list_54, MiscBody::Page, menu_list_54, nullptr});
    const int cursor = underPm([&] { return funcIntAt(row, 0); });
    for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i) {
        if (i == cursor) osd_paint(kMarkX, kMark, kEntries[i].y, kMark, kOffCursor);
        text(kEntries[i].pageText, kEntries[i].y, i == cursor ? kOnCursor : kOffCursor);
    }
    osd_page_show();
}

void osd_func541(int row) { entryScreen(row, 0); }
void osd_func542(int row) { entryScreen(row, 1); }

void func541(int) {
    runDialogue<FirmwareUpgrade>("Upgrade", "Firmware Upgrade", [](Osd* console) {
        auto machine = std::make_unique<FirmwareUpgrade>(console, "", board::deviceText("/mnt/usb"), "",
                                                         FirmwareVersion(), ::epoll_create1(EPOLL_CLOEXEC));
        machine->InitFsm();
        return machine;
    });
}

void func542(int) {
    runDialogue<FirmwareRollback>("Rollback", "Firmware Rollback",
                                  [](Osd* console) { return std::make_unique<FirmwareRollback>(console); });
}

void restorefn500() {
    menuWindowOn();
    osd_write_inh_ct(0, 1);
    osd_swap();
    reprepareOsd();
    // Started with the menu closed (a control system's set), the dialogue
    // still ends on a page of the menu: it takes the keys and times out.
    if (!menuIsOpen()) openOsdMenu(menuTimeOutMs());
    st_num = kPage5;
    const int row = funcNum2TblInx(kPage5);
    if (funcDataTbl[row].screen != nullptr) funcDataTbl[row].screen(row);
}

std::span<const FuncRow> upgradePageRows() { return kRows; }
