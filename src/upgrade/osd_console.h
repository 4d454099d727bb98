// A stream-style text console on the OSD for the upgrade and rollback
// dialogues and the information pages, and the busy animation beside it.
//
// Text starts at x = left + indent (+ the line offset) and y = top + the
// cursor line; each finished line moves the cursor 18 pixels down. A line is
// redrawn from its start, in the current colour, at every append; a line
// wider than 300 pixels is cut once and the rest waits for the next append
// or line end. Everything draws through the OSD primitives; the console
// keeps no lock: one thread writes to it, and the busy animation draws only
// in its own area (x 380 to 579, y 83 to 114).
#pragma once

#include "sys/cthread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

// The busy animation: OSD part 29 at (380, 83) with a square of 12 x 12
// pixels moving along ten places 16 pixels apart, 250 ms a step.
class HourGlass : public CThread {
public:
    HourGlass() = default;
    ~HourGlass() override = default;

    // Raised before the thread starts, so that a Stop right after the
    // start is never lost.
    void Raise() { running_ = true; }
    // Lowers the flag and wakes the animation, which erases itself and ends.
    void Stop();
    bool Running() const { return running_; }
    void Run() override;

private:
    std::atomic<bool> running_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

class Osd {
public:
    using Manipulator = Osd& (*)(Osd&);

    // Colour 0, not centred, no clip, cursor on the top line.
    Osd();
    // Stops a running busy animation.
    virtual ~Osd();
    Osd(const Osd&) = delete;
    Osd& operator=(const Osd&) = delete;

    Osd& operator<<(const char* text);
    Osd& operator<<(const std::string& text) { return *this << text.c_str(); }
    Osd& operator<<(Manipulator m) { return m(*this); }

    // Cursor to the first line (y = top + 18); nothing is cleared.
    void Refresh();
    // Inhibits OSD writes and clears the console's area.
    void clrscr();
    // Moves the console's top edge (the information pages start higher).
    void SetTop(int top) { top_ = top; }
    int Top() const { return top_; }
    void SetTitle(const std::string& title) { title_ = title; }
    const std::string& GetTitle() const { return title_; }
    // Draws "   " and the text at (320, 42), colour 248 on 255.
    void PutSubTitle(const std::string& text);
    // Prints a document of nested objects with string values: each key in
    // grey with ":", each value in black below it, indented three blanks a level.
    void printJson(const std::string& document);
    // True stops the menu's time-out so that the menu stays open.
    void MaskTimeout(bool mask);
    // Switches the menu channel's OSD off, releases the write inhibit and
    // closes the menu.
    void OsdOff();
    // Takes one key from the KEYPAD queue without waiting: 1 back (MENU,
    // LEFT), 2 confirm (ENTER, RIGHT), 4 (key 2), 3 (key 3); 0 for none or
    // any other key (which is dropped).
    int OsdWaitEvent();
    // Waits for one of those keys with the dialogue bit 0x200 of vp.gFlags
    // raised, keeping the thread's watchdog entry fresh; clears the bit.
    int OsdWait();
    void StartHourGlass();
    void StopHourGlass();

    // What the manipulators do.
    void SetColour(int colour) { colour_ = colour; }
    void SetCentred() { centred_ = 1; }
    void EndLine();
    void InsertSeparator();
    void StartClip();
    void EndClip();

    int Colour() const { return colour_; }
    int CursorLine() const { return cursorLine_; }
    bool Centred() const { return centred_ != 0; }
    const std::string& LineBuffer() const { return line_; }
    bool HourGlassRunning() const { return hourGlass_ != nullptr; }

private:
    void drawLine(bool allowCentring);

    int cursorLine_ = 0;
    int lineOffset_ = 0;
    int left_ = 170;
    int top_ = 42;
    int indent_ = 150;
    int colour_ = 248;
    uint8_t centred_ = 0;
    int clipWidth_ = 0;
    std::string title_;
    std::string line_;
    HourGlass* hourGlass_ = nullptr;
};

// The console's manipulators: colours (normal and black 0, grey 247, blue
// 252, red 199), center (the next line is centred), endl, separator (a rule
// of 280 x 1 in colour 248, then endl), clip and endclip (shorten the text
// between them to leave room for " - " and a version).
namespace console {
template <int Colour>
Osd& colour(Osd& o) {
    o.SetColour(Colour);
    return o;
}
template <void (Osd::*Step)()>
Osd& step(Osd& o) {
    (o.*Step)();
    return o;
}
inline constexpr Osd::Manipulator normal = colour<0>;
inline constexpr Osd::Manipulator black = colour<0>;
inline constexpr Osd::Manipulator grey = colour<247>;
inline constexpr Osd::Manipulator blue = colour<252>;
inline constexpr Osd::Manipulator red = colour<199>;
inline constexpr Osd::Manipulator center = step<&Osd::SetCentred>;
inline constexpr Osd::Manipulator endl = step<&Osd::EndLine>;
inline constexpr Osd::Manipulator separator = step<&Osd::InsertSeparator>;
inline constexpr Osd::Manipulator clip = step<&Osd::StartClip>;
inline constexpr Osd::Manipulator endclip = step<&Osd::EndClip>;
}  // namespace console
