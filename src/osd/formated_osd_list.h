// A menu list prepared for one drawing: the sentence of each line, per-line
// colours, an optional warning text behind a line, and a status that greys a
// line out or takes it out of the list. A screen builds one from a menu list
// (menu/menu_lists.h), adjusts it and hands it to osd_put_list.
//
// Index conventions differ on purpose: the setters take 0-based lines, the
// disable, delete and status operations 1-based ones.
#pragma once

#include <array>
#include <string>

// A menu list: at most 11 sentence numbers and a 0 in 12 entries.
inline constexpr int kMenuListLength = 12;

class formated_osd_list {
public:
    static constexpr int kLines = 20;

    // Palette colours; c_nativ draws a sentence in its own colours.
    static constexpr int c_black = 248;
    static constexpr int c_gray = 247;
    static constexpr int c_red = 199;
    static constexpr int c_white = 255;
    static constexpr int c_nativ = 65535;

    enum LineStatus : int { kEnabled = 0, kDisabled = 1, kDeleted = 2, kNoLine = 3 };

    // Lines present and all 0 (an empty list).
    formated_osd_list();
    // The lines of a menu list, up to its 0 and never past its 12 entries;
    // null builds a list without lines, which is never drawn.
    explicit formated_osd_list(const int* table);
    formated_osd_list(const formated_osd_list&) = default;
    formated_osd_list& operator=(const formated_osd_list&) = default;
    virtual ~formated_osd_list() = default;

    // Null takes the lines away; a table fills a list that has not been
    // filled from a table yet, and a filled list keeps its lines.
    formated_osd_list& operator=(const int* table);

    void set_line(int sentence, int i);
    void set_foreground_color(int colour, int i);
    void set_background_color(int colour, int i);
    void set_warning_color(int colour, int i);
    void set_foreground_color(int colour);
    void set_background_color(int colour);
    void enable_line(int i);
    void set_warning(const char* text, int i, int colour);
    int get_line_status(int n) const;

    // Greys line n of the list shown for funcDataTbl row `row` (with a
    // warning behind it when given) and, when the row's value sits on that
    // line, moves the value to the nearest line still enabled in the
    // direction of the menu's last key. -1 for a line outside the list,
    // else 0. The form reads and writes the value as an unsigned byte, a
    // signed 16-bit or a 32-bit value; disable_line picks it by value type.
    int disable_line(int row, int n, const char* warning);
    int disable_line_byte(int row, int n, const char* warning);
    int disable_line_short(int row, int n, const char* warning);
    int disable_line_int(int row, int n, const char* warning);
    // Takes line n out of the list (it is not drawn and takes no room).
    int delete_line(int row, int n);

    // Copies a menu list (as the constructor) when the list has lines.
    void set_lines(const int* table);
    void set_foreground_colors(const int (&colours)[kLines]);
    void set_warnings_colors(const int (&colours)[kLines]);
    // The first k texts replace the lines' warnings; a null entry removes one.
    void set_warnings(const char* const* texts, int k);

    // Null when the list has no lines.
    const int* get_lines() const { return hasLines_ ? lines_.data() : nullptr; }
    int* get_lines() { return hasLines_ ? lines_.data() : nullptr; }
    int* get_foreground_colors() { return fg_.data(); }
    int* get_background_colors() { return bg_.data(); }
    int* get_warning_colors() { return warnColour_.data(); }
    const int* get_foreground_colors() const { return fg_.data(); }
    const int* get_background_colors() const { return bg_.data(); }
    const int* get_warning_colors() const { return warnColour_.data(); }
    // A line without a warning has an empty text.
    const std::array<std::string, kLines>& get_warnings() const { return warnings_; }

private:
    int disable(int row, int n, const char* warning, int width);
    void copyLines(const int* table);
    static bool inRange(int i) { return i >= 0 && i < kLines; }

    bool hasLines_ = true;
    bool filled_ = false;  // the lines came from a table
    std::array<int, kLines> lines_{};
    std::array<int, kLines> fg_;
    std::array<int, kLines> bg_;
    std::array<std::string, kLines> warnings_;
    std::array<int, kLines> warnColour_;
    std::array<int, kLines> status_{};
};
