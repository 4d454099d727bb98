// Start-up steps whose registers or files nothing here describes: each
// prints "PENDING: <name>" under mask 0x200 and writes "pending <name>" to
// the journal, so a skipped step is never mistaken for a working one.
#pragma once

void switchWebIndexPages(bool enable);
void clocksInit();
