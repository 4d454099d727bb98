// What the menu's pages share: the screen recipe (open with tab
// and title, extras such as warning lines, the list or the value bar, the
// window shown), running another node's action for a channel, and closing
// the menu from inside a page.
#pragma once

class formated_osd_list;

// Where a screen's title comes from: its tab (0 Inputs .. 4 Misc), the list
// of the node two levels up and the parent's list (either may be null).
struct PageTitle {
    int tab;
    const int* top;
    const int* item;
};

// The diagnostic line, the inhibit, the tab and the title.
void pageOpen(int row, const PageTitle& title);
// The row's list with its value or cursor marked.
void pageList(int row, const formated_osd_list& list);
// The row's value bar at (350, 220) in colour 248.
void pageBar(int row);
// The menu window shown, the inhibit released.
void pageShow();
// A line of the pages' warning colour, 199 on 255.
void pageText(const char* text, int x, int y);
// A page without extras: open, its list, shown.
void pageListScreen(int row, const PageTitle& title, const int* list);

// Runs a node's action through the table with the thread's channel set to
// ch for the call (a node without a row does nothing).
void runNodeAs(int node, int ch);
// The menu closes from inside a page: st_num 999, the closed-menu screen
// (the OSD off), the open bit and the time-out gone.
void closeMenuFromPage();
