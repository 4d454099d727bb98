// Placeholders for what later subsystems own. Each prints "PENDING: <name>"
// under mask 0x200 and writes "pending <name>" to the journal (with its
// arguments where the callers' arguments matter), so a missing part is never
// mistaken for a working one. Each issue that builds one of these deletes
// its entry here (and in pending.cpp).
#pragma once

#include <atomic>
#include <cstdint>

// Screen of page 5's information page (item 1).
void osd_func51(int row);

// Shared flags of the menu engine and the upgrade.
extern std::atomic<int> valence_update_in_operation_mode;

// Start-up steps of other subsystems, in the order main calls them.
void switchWebIndexPages(bool enable);
void clocksInit();

// The HDBaseT transceivers: the start-up firmware check, and holding all
// four in reset for power saving.
int valens_init();
void shut_all_valens();
// Renames the image of a direction (0 receivers, 1 transmitters) in
// ../memfiles/ to its plain name (plain non-zero) or its versioned name:
// the result of the move. Weak, so that the HDBaseT update's own wins.
int rename_valens_files(int direction, int plain);
