// An append-only JSON writer for the information pages' documents. Every
// addition ends with a comma and every closing replaces that comma, so the
// caller's order of calls makes the document; nothing checks its structure.
// Keys and values are always quoted strings, with no blanks between tokens
// (the web page and control systems read this exact text).
#pragma once

#include <string>

class json_generator {
public:
    json_generator() : text_("{") {}
    virtual ~json_generator() = default;

    void start_group() { text_ += '{'; }
    void start_dim() { text_ += '['; }
    void add_header(const std::string& key);
    void add_value(const std::string& value);
    void add_pair(const std::string& key, const std::string& value);
    // Extends the value just added with more characters.
    void add_free_text(const std::string& text);
    void end_group() { close("},"); }
    void end_dim() { close("],"); }
    void end_json() { close("}"); }
    std::string to_string() const { return text_; }

private:
    void close(const char* closer);
    void appendEscaped(const std::string& s);

    std::string text_;
};
