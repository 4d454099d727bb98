// Whole-file replacement that a power loss cannot leave half done.
#pragma once

#include <string>

// Writes text to path.tmp in the same folder, flushes it to the medium,
// renames it over path and flushes the folder: afterwards path holds either
// its old or its new content. False (path untouched, path.tmp removed) when
// any step fails. Device paths are mapped under the board root.
bool writeFileAtomically(const std::string& path, const std::string& text);

// Flushes a file's content to the medium: false when it cannot be opened.
bool syncFile(const std::string& path);
