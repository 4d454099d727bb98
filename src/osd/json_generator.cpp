#include "osd/json_generator.h"

#include <algorithm>
#include <cstdio>

// Labels, file names and version texts may hold quotes, backslashes or
// control characters; escaped they keep the document valid, and texts
// without them come out unchanged.
void json_generator::appendEscaped(const std::string& s) {
    for (char c : s) {
        switch (c) {
        case '"': text_ += "\\\""; break;
        case '\\': text_ += "\\\\"; break;
        case '\b': text_ += "\\b"; break;
        case '\f': text_ += "\\f"; break;
        case '\n': text_ += "\\n"; break;
        case '\r': text_ += "\\r"; break;
        case '\t': text_ += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(c));
                text_ += esc;
            } else {
                text_ += c;
            }
        }
    }
}

void json_generator::add_header(const std::string& key) {
    text_ += '"';
    appendEscaped(key);
    text_ += "\":";
}

void json_generator::add_value(const std::string& value) {
    text_ += '"';
    appendEscaped(value);
    text_ += "\",";
}

void json_generator::add_pair(const std::string& key, const std::string& value) {
    add_header(key);
    add_value(value);
}

void json_generator::add_free_text(const std::string& text) {
    text_.erase(text_.size() - std::min<size_t>(2, text_.size()));
    appendEscaped(text);
    text_ += "\",";
}

// Replaces the trailing comma; right after an opening bracket the bracket
// stays and the closer follows it (an empty group or array).
void json_generator::close(const char* closer) {
    if (!text_.empty() && text_.back() != '{' && text_.back() != '[') text_.pop_back();
    text_ += closer;
}
