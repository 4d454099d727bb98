// The scaler function bridge: the engine's "Y" word reads and sets the rows
// of the function table through parseVidCmd, and the named video words
// (VMUTE, VOLUME, ROUTE?, ...) reach rows by function number.
#pragma once

#include "commands/notifications.h"

#include <cstdint>
#include <string>

// What a silent scalerCmd returns besides its status.
struct ScalerResult {
    int32_t i = 0;
    float f = 0;
    std::string text;
};

// Runs the "Y" parameter text. Answering: 0 after a set or a key (OK, and
// the reply goes to every control client), after a value and after nothing
// to report; -1 after an error (its number is the reply's). Silent (the
// named words): nothing is sent, the status of parseVidCmd is returned and
// values go to out.
int scalerCmd(COMM_TYPE port, int id, const char* params, int silent, ScalerResult* out);
// Sets (a word without '?') or gets a function silently and answers under
// the word's own name with the word's own parameter text. 0.
int scalerCmd_lvl2(COMM_TYPE port, COMM_TYPE replyPort, int id, const char* params, int function, int value);

// Handlers of the word table: "Y", and the named video words.
void p7kScalerCommand(COMM_TYPE port, int id, const char* params);
void p7kVideoWord(COMM_TYPE port, int id, const char* params);
