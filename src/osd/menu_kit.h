// The layout and drawing helpers every menu screen shares: the tabs on the
// left, a title at the top right, a list of items or choices, a value bar,
// and the fixed warning lines. Coordinates are pixels of the 640 x 480 menu
// window, whose plane position (0, 0) is the window's top left.
//
// A page screen follows one recipe: osd_page_begin (diagnostic, inhibit,
// tab), osd_put_title, the page's list with osd_put_list, osd_page_show.
// osd_page_screen does all of it for a page without extras.
#pragma once

class formated_osd_list;

// Tabs 0 to 4 stand for the top pages 1 to 5.
inline constexpr int kMenuTabs = 5;
// Warning lines: y 106, 199 on 255.
inline constexpr int kWarningY = 106;

// The base screen into the drawing plane: part 28 and the five tab labels.
void reprepareOsd();
// Highlights tab t (0 to 4): part 27 and its label in colour mode 1.
void osd_put_tab(int tab);

// Steps 1 to 3 of the recipe: "+++ osd_func<node> MainMenu +++", update
// inhibit, the tab.
void osd_page_begin(int row, int tab);
// Shows the menu window on OSD_CHANNEL and releases the inhibit.
void osd_page_show();
// The whole recipe for a page: title from the two lists, the page list with
// the row's cursor.
void osd_page_screen(int row, int tab, const int* top_list, const int* item_list, const formated_osd_list& list);

// The title of the row's node; top_list is the list of the node two levels
// up, item_list the parent's list (either may be null). flag has no effect.
void osd_put_title(int row, const int* top_list, const int* item_list, int flag);
// The list of a page or of a value's choices; in cursor mode (1) the lines
// are counted from the row's bounds and `value` marks its line.
void osd_put_list(int row, int value, const formated_osd_list& list, int cursor_mode);
// A value bar at (x, y) with the number.
void osd_put_pbar(int row, int value, int x, int y, int colour);

// Warning lines of the thread's current channel; each returns 1 when it drew.
int print_single_window_warning_if_needed(int force);
int print_overlay_warning_if_needed();
int print_transition_warning_if_needed();
void osd_put_prev_4k_warning();

// Service views that no node uses.
void osd_put_palette();
void osd_funcGEN(int row);
