// What a client's socket could not take at once, kept in order until the
// poll loop sees the socket writable again. Bounded: a client that stops
// reading falls behind alone and its owner decides what to drop.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <utility>

namespace Communication {

class Outbox {
public:
    static constexpr size_t kLimit = 64 * 1024;

    enum Result {
        kSent,      // everything went out (or waits in order behind earlier text)
        kOverflow,  // the text would pass the bound; nothing of it was kept
        kFailed,    // the socket reported an error
    };

    bool Empty() const { return offset_ == pending_.size(); }
    size_t Size() const { return pending_.size() - offset_; }

    // write(data, n) is the socket's non-blocking write (system result).
    // A text goes straight out when nothing waits before it, and what the
    // socket did not take of it waits whatever its size: a client that
    // reads gets every byte of any reply. Behind it, texts wait only while
    // they stay within the bound; one that would pass it is refused whole.
    template <typename Write>
    Result Send(const std::string& text, Write&& write) {
        if (!Empty()) {
            if (Size() - InProgress() + text.size() > kLimit) return kOverflow;
            pending_ += text;
            return kSent;
        }
        size_t done = 0;
        Result r = push(text.data(), text.size(), done, write);
        if (r == kFailed || done == text.size()) return r;
        pending_.assign(text, done, std::string::npos);
        offset_ = 0;
        headEnd_ = pending_.size();
        return kSent;
    }

    // Sends what waits; call when the socket is writable.
    template <typename Write>
    Result Flush(Write&& write) {
        size_t done = 0;
        Result r = push(pending_.data() + offset_, Size(), done, write);
        offset_ += done;
        if (Empty()) {
            clear();
        } else if (offset_ > kLimit && offset_ * 2 > pending_.size()) {
            // Sent text is dropped once it outweighs what waits.
            pending_.erase(0, offset_);
            headEnd_ -= std::min(headEnd_, offset_);
            offset_ = 0;
        }
        return r;
    }

private:
    // The unsent rest of the text that went straight out.
    size_t InProgress() const { return headEnd_ > offset_ ? headEnd_ - offset_ : 0; }

    template <typename Write>
    static Result push(const char* data, size_t size, size_t& done, Write& write) {
        while (done < size) {
            int n = write(data + done, static_cast<int>(std::min<size_t>(size - done, 1u << 30)));
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return kFailed;
            break;  // the socket is full for now
        }
        return kSent;
    }
    void clear() {
        pending_.clear();
        offset_ = 0;
        headEnd_ = 0;
    }

    std::string pending_;
    size_t offset_ = 0;
    size_t headEnd_ = 0;  // where that text ends in pending_
};

}  // namespace Communication
