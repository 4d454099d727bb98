#include "upgrade/osd_console.h"

#include "core/osd_timer.h"
#include "core/pm.h"
#include "osd/osd.h"
#include "scaler/scaler.h"
#include "sys/msgq.h"
#include "sys/timers.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <cctype>
#include <chrono>
#include <sched.h>

namespace {

constexpr int kLinePitch = 18;
constexpr int kMaxLineWidth = 300;
constexpr int kCentringWidth = 317;
constexpr int kBackground = 255;
constexpr int kRuleColour = 248;
constexpr uint32_t kKeyPollMs = 5;

int widthOf(const std::string& text) { return getStrTotalCharaHw(text.c_str(), 0).width; }

// Keys of a dialogue wait and what they mean.
struct KeyMeaning {
    uint16_t key;
    int result;
};
constexpr KeyMeaning kDialogueKeys[] = {
    {0, 1},  // MENU: back
    {4, 1},  // LEFT: back
    {1, 2},  // ENTER: confirm
    {5, 2},  // RIGHT: confirm
    {2, 4},
    {3, 3},
};

// One escape of a JSON string at text[i] (a backslash) appended to out; the
// index past it.
size_t unescape(const std::string& text, size_t i, std::string& out) {
    const char c = i + 1 < text.size() ? text[i + 1] : '\\';
    switch (c) {
        case 'b': out += '\b'; return i + 2;
        case 'f': out += '\f'; return i + 2;
        case 'n': out += '\n'; return i + 2;
        case 'r': out += '\r'; return i + 2;
        case 't': out += '\t'; return i + 2;
        case 'u': {
            if (i + 6 > text.size()) return text.size();
            const unsigned code = static_cast<unsigned>(std::stoul(text.substr(i + 2, 4), nullptr, 16));
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else if (code < 0x800) {
                out += static_cast<char>(0xC0 | (code >> 6));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (code >> 12));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            }
            return i + 6;
        }
        default: out += c; return i + 2;
    }
}

bool isHex4(const std::string& text, size_t at) {
    if (at + 4 > text.size()) return false;
    for (size_t k = at; k < at + 4; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(text[k]))) return false;
    return true;
}

// The next quoted string of text from pos on: its unescaped content, pos
// past its closing quote. False when there is none.
bool nextQuoted(const std::string& text, size_t& pos, std::string& out) {
    const size_t open = text.find('"', pos);
    if (open == std::string::npos) return false;
    out.clear();
    size_t i = open + 1;
    while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && !(i + 1 < text.size() && text[i + 1] == 'u' && !isHex4(text, i + 2))) {
            i = unescape(text, i, out);
            continue;
        }
        out += text[i++];
    }
    if (i >= text.size()) return false;
    pos = i + 1;
    return true;
}

}  // namespace

// ---- HourGlass ----------------------------------------------------------------

void HourGlass::Stop() {
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
}

void HourGlass::Run() {
    constexpr int kPart = 29, kPartX = 380, kPartY = 83;
    constexpr int kSquareX = 389, kSquareY = 92, kSquare = 12, kSquarePitch = 16, kPlaces = 10;
    // The square's colour walks through the palette entries 248 to 255.
    constexpr int kFirstColour = 248, kColours = 8;
    osd_put_part(kPart, kPartX, kPartY);
    for (int step = 0; running_; ++step) {
        const int x = kSquareX + kSquarePitch * (step % kPlaces);
        osd_paint(x, kSquare, kSquareY, kSquare, kFirstColour + step % kColours);
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return !running_; });
        }
        osd_paint(x, kSquare, kSquareY, kSquare, kBackground);
    }
    osd_paint(kPartX, 200, kPartY, 32, kBackground);
}

// ---- Osd -----------------------------------------------------------------------

Osd::Osd() { console::black(*this); }

Osd::~Osd() { StopHourGlass(); }

void Osd::drawLine(bool allowCentring) {
    if (line_.empty()) return;
    const int width = widthOf(line_);
    int x = left_ + indent_ + lineOffset_;
    // A line still wider than the console (one append of more than a line)
    // starts at the left edge.
    if (allowCentring && centred_ && width <= kCentringWidth) x += ((kCentringWidth - width) / 2) - 14;
    osd_put_ascii_string(line_.c_str(), x, top_ + cursorLine_, colour_, kBackground, 12, 16);
}

Osd& Osd::operator<<(const char* text) {
    line_ += text ? text : "";
    if (widthOf(line_) <= kMaxLineWidth) {
        drawLine(true);
        return *this;
    }
    // Wrap once: the longest head of at most 300 pixels goes on this line,
    // the rest waits for the next append or line end.
    std::string head = line_.substr(0, line_.size() - 1);
    while (!head.empty() && widthOf(head) > kMaxLineWidth) head.pop_back();
    const std::string rest = line_.substr(head.size());
    line_ = head;
    drawLine(false);
    cursorLine_ += kLinePitch;
    lineOffset_ = 0;
    line_ = rest;
    return *this;
}

void Osd::EndLine() {
    if (!line_.empty()) {
        drawLine(true);
        line_.clear();
        centred_ = 0;
    }
    cursorLine_ += kLinePitch;
    lineOffset_ = 0;
}

void Osd::InsertSeparator() {
    osd_paint(left_ + indent_, 280, top_ + cursorLine_, 1, kRuleColour);
    EndLine();
}

void Osd::StartClip() { clipWidth_ = 280 - widthOf("... - 00.00.00"); }

void Osd::EndClip() {
    if (clipWidth_ == 0) return;
    std::string copy = line_;
    bool removed = false;
    // Shorten before the extension so that it stays readable.
    while (!copy.empty() && widthOf(copy) > clipWidth_) {
        const size_t dot = copy.rfind('.');
        if (dot != std::string::npos && dot > 0) copy.erase(dot - 1, 1);
        else copy.pop_back();
        removed = true;
    }
    if (removed) {
        const size_t dot = copy.rfind('.');
        if (dot == std::string::npos) copy += "...";
        else if (dot == 0) copy.insert(0, "...");
        else copy.replace(dot - 1, 1, "...");
    }
    line_ = copy;
    clipWidth_ = 0;
}

void Osd::Refresh() {
    cursorLine_ = kLinePitch;
    lineOffset_ = 0;
}

void Osd::clrscr() {
    osd_write_inh_ct(1, 1);
    osd_paint(left_ + 136, 317, top_ + 44, 368, kBackground);
}

void Osd::PutSubTitle(const std::string& text) {
    constexpr int kX = 320, kY = 42;
    osd_put_ascii_string("   ", kX, kY, kRuleColour, kBackground, 15, 16);
    osd_put_ascii_string(text.c_str(), kX + widthOf("   "), kY, kRuleColour, kBackground, 15, 16);
}

void Osd::printJson(const std::string& document) {
    using namespace console;
    int depth = 0;
    size_t pos = 0;
    auto indent = [this](int levels) {
        for (int i = 0; i < levels; ++i) *this << "   ";
    };
    std::string key, value;
    while (pos < document.size()) {
        if (!nextQuoted(document, pos, key)) break;
        if (pos < document.size() && document[pos] == ':') ++pos;
        *this << grey << key << ":" << endl;
        if (pos < document.size() && document[pos] == '{') {
            ++depth;
        } else {
            if (!nextQuoted(document, pos, value)) break;
            indent(depth + 1);
            *this << black << value << endl;
            // One closing brace right after a value closes one level.
            if (pos < document.size() && document[pos] == '}') --depth;
            if (pos < document.size()) ++pos;
        }
        indent(depth);
    }
}

void Osd::MaskTimeout(bool mask) {
    if (mask) osdTimerKill();
}

void Osd::OsdOff() {
    osd_off(OSD_CHANNEL);
    osd_write_inh_ct(0, 1);
    exitOsdMenu();
}

int Osd::OsdWaitEvent() {
    _EXMSG msg;
    if (get_message_q(E_EXMSG_TYPE_KEYPAD, &msg) < 0) return 0;
    for (const KeyMeaning& k : kDialogueKeys)
        if (k.key == msg.key) return k.result;
    return 0;
}

int Osd::OsdWait() {
    // A dialogue that already holds the keys (the menu entries raise the
    // bit for their whole run) keeps them after this wait.
    const bool held = (vp.gFlags.fetch_or(VP_GFLAG_MODAL_KEYS) & VP_GFLAG_MODAL_KEYS) != 0;
    int result = 0;
    for (;;) {
        WDT_Clear();
        result = OsdWaitEvent();
        if (result != 0) break;
        // A short pause between empty polls: the queue keeps every key.
        Sleep(kKeyPollMs);
    }
    if (!held) vp.gFlags.fetch_and(~static_cast<uint32_t>(VP_GFLAG_MODAL_KEYS));
    return result;
}

void Osd::StartHourGlass() {
    StopHourGlass();
    hourGlass_ = new HourGlass();
    hourGlass_->Raise();
    try {
        hourGlass_->Start();
    } catch (const CThreadException&) {
        // The job goes on without the animation.
        delete hourGlass_;
        hourGlass_ = nullptr;
    }
    sched_yield();
    MaskTimeout(true);
}

void Osd::StopHourGlass() {
    if (hourGlass_ == nullptr) return;
    hourGlass_->Stop();
    hourGlass_->Join();
    delete hourGlass_;
    hourGlass_ = nullptr;
}
