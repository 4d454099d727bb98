// The device's control vocabulary: one row per word the parser knows by name,
// in the order of registration (HELP lists the words in that order). A row
// says how the word is registered, its parameters, where its reply goes, its
// help text and the class that serves it; the classes hold only behaviour.
#pragma once

#include "protocol/command.h"

#include <span>
#include <string>
#include <vector>

namespace Protocol7700 {
class Parser;
}

namespace NorvaCommands {

enum class RowKind {
    Command,   // dispatched to the class (HELP may still leave it out: the parser's hidden words)
    HelpOnly,  // listed and described by HELP; the word reaches the older engine
    Default,   // receives every word no command claims
};

struct CommandRow {
    const char* word;
    RowKind kind;
    // One letter per parameter position: 'i' integer, 't' text, 's' sized
    // text, 'a' IPv4 address.
    const char* params;
    unsigned mandatory;
    Protocol7700::CmdResponseType response;
    const char* help;
    const char* className;
    Protocol7700::CommandSpec* (*make)(const CommandRow& row);

    std::vector<Protocol7700::ParameterType> types() const;
};

// The rows in registration order.
std::span<const CommandRow> commandTable();

// Builds the device's parser: the framework's own words, then every row.
// The parser owns the commands; the default command lives as long as the
// process (the parser does not own it).
Protocol7700::Parser* CreateParser();

}  // namespace NorvaCommands
