// The older engine's word table: every word it knows, sorted by byte order
// (plain strcmp: '-' before '?', '?' before letters, '_' after letters), with
// its command id and the handler of the id. Row and id are equal except in
// the four TIME-LOC?/TIME-SRV/TIME-SRV?/TIME? rows. A word without a handler
// is known but has no case: it answers error 2.
#pragma once

#include "commands/notifications.h"

#include <cstdint>
#include <span>
#include <string_view>

// A handler of the engine: the port kind, the command id and the raw
// parameter text (its leading blank kept). It answers through the reply
// helpers of the engine.
using P7kHandler = void (*)(COMM_TYPE port, int id, const char* params);

struct P7kWord {
    uint32_t id;
    const char* word;
    P7kHandler handler;
};

inline constexpr int kP7kIdName = 88;
inline constexpr int kP7kIdY = 174;
inline constexpr int kP7kLastId = 175;  // "ZZZ" (176) has no case

std::span<const P7kWord> p7kWords();
// The row of a word (exact, case-insensitive), or nullptr.
const P7kWord* p7kFindWord(std::string_view word);
// The row of a command id, or nullptr.
const P7kWord* p7kRowOfId(int id);
// The word of a command id; "" for an id without a row.
const char* p7kWordOfId(int id);
