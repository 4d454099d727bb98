#include "protocol/session.h"

#include "platform/board.h"
#include "protocol/log_channel.h"
#include "protocol/parser.h"
#include "sys/timeutil.h"

#include <cstdint>
#include <list>

namespace Protocol7700 {

const Crc16 FileLoadParser::st_src16(0);

namespace {

size_t firstLineEnd(const std::string& text, size_t from) {
    size_t cr = text.find('\r', from);
    return cr != std::string::npos ? cr : text.find('\n', from);
}

// Where the line that starts at from ends (npos: not yet). Line ends inside
// "[...]" belong to the line, but only for a '[' that opens before the line
// would otherwise end, so a bracket in a later line cannot swallow this one.
size_t lineEnd(const std::string& text, size_t from) {
    size_t plain = firstLineEnd(text, from);
    if (plain == std::string::npos) return plain;
    size_t open = text.find('[', from);
    if (open >= plain) return plain;
    size_t close = text.find(']', from);
    if (close == std::string::npos || close < open) return plain;
    return firstLineEnd(text, close);
}

ILogChannel& log() {
    static ILogChannel* channel = IChannelsFactory::Instance().GetLogChannel("protocol");
    return *channel;
}

bool streamTransport(const std::string& interface) { return interface == "tcp" || interface == "serial"; }

unsigned bigEndian16(const unsigned char* p) { return (p[0] << 8) | p[1]; }

}  // namespace

FileLoadParser::FileLoadParser(const char* path, int size)
    : name_(path), size_(size), file_(std::fopen(board::path(path).c_str(), "we")) {}

int FileLoadParser::Parse(const char* packet, int length, std::string& reply) {
    if (!file_) return kNotOpen;
    const auto* p = reinterpret_cast<const unsigned char*>(packet);
    // The length field must describe the block: a shorter block would make
    // the write read past what was received.
    if (length < 6) return kBadPacket;
    const int l = static_cast<int>(bigEndian16(p + 2));
    if (l < 2 || l + 4 > length) return kBadPacket;
    const int dataLength = l - 2;
    const unsigned crc = p[2 + l] | (p[3 + l] << 8);
    if (crc != 0 && crc != st_src16.ComputeChecksum(p, length - 2)) return kBadPacket;
    if (++counter_ != static_cast<int>(bigEndian16(p))) return kWrongNumber;
    if (static_cast<int64_t>(received_) + dataLength > size_) return kTooLong;
    if (std::fwrite(p + 4, 1, dataLength, file_.get()) != static_cast<size_t>(dataLength) ||
        std::fflush(file_.get()) != 0)
        return kShortWrite;
    received_ += dataLength;
    char text[16];
    std::snprintf(text, sizeof text, "~%04x OK \r\n", static_cast<unsigned>(counter_ & 0xFFFF));
    reply = text;
    return 0;
}

Session::Session(const Parser* parser, unsigned timeout, unsigned lastActivity)
    : parser_(parser), timeout_(timeout), lastActivity_(lastActivity) {}

Session::~Session() = default;

void Session::Parse(const char* data, int length, unsigned now, std::string& result, std::string& interface,
                    int websocketId) {
    log().debug("Session::ParseData length %d", length);
    lastActivity_ = now;
    if (upload_) {
        upload(data, length, result);
        return;
    }
    if (length < 0) length = 0;
    if (streamTransport(interface)) {
        buffer_.append(data, static_cast<size_t>(length));
    } else {
        buffer_.assign(data, static_cast<size_t>(length));
    }

    size_t start = 0;
    while (start < buffer_.size()) {
        size_t end = lineEnd(buffer_, start);
        if (end == std::string::npos) {
            log().debug("Session::ParseData no end of line");
            break;
        }
        // One line holds the loop at most this long waiting for other programs.
        startWaitBudget(kLineWaitBudgetMs);
        parser_->Parse(this, buffer_.substr(start, end - start), result, interface, websocketId);
        start = end + 1;
        if (firstLineEnd(buffer_, start) == std::string::npos) break;
    }
    buffer_.erase(0, start);
    if (buffer_.size() > kCarryOverLimit) {
        log().warn("Session::ParseData line longer than %zu dropped", kCarryOverLimit);
        buffer_.clear();
    }
}

void Session::upload(const char* data, int length, std::string& result) {
    buffer_.clear();  // text from before the upload cannot continue after it
    std::string reply;
    int rc = upload_->Parse(data, length, reply);
    if (rc != 0) {
        upload_.reset();
        result += parser_->BuildErrorMessage("LOAD", "", std::list<ParameterValue>(), rc);
        return;
    }
    result += reply;
    if (upload_->IsComplete()) {
        result += parser_->GetPrefix() + "LOAD " + upload_->Name() + "," + std::to_string(upload_->Size()) + " OK \r\n";
        upload_.reset();
    }
}

bool Session::IsNoActivity(unsigned now) {
    if (timeout_ == 0 || now - lastActivity_ <= timeout_) return false;
    if (!buffer_.empty()) log().debug("Session NoActivity buffer will be cleared");
    buffer_.clear();
    return true;
}

bool Session::StartFileUpLoad(const char* path, int size) {
    log().debug("StartFileUpLoad name %s size %d", path, size);
    upload_.reset();
    auto receiver = std::make_unique<FileLoadParser>(path, size);
    if (!receiver->IsOpen()) return false;
    upload_ = std::move(receiver);
    return true;
}

}  // namespace Protocol7700
