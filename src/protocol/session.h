// The per-connection state of the control protocol: cuts received blocks
// into lines for the parser, measures inactivity, and can switch into a
// binary upload mode where each block is one packet of a file.
#pragma once

#include "protocol/crc16.h"

#include <cstdio>
#include <memory>
#include <string>

namespace Protocol7700 {

class Parser;

// Receives one file, one packet per call. A packet is
//   u16 number (big-endian; 1, 2, ...), u16 L (big-endian) = data bytes + 2,
//   data, u16 CRC-16 of everything before it (little-endian; 0 = unchecked).
class FileLoadParser {
public:
    // Opens path for writing (a device path is mapped under the board root).
    // Any future caller must confine path to an upload folder: the program
    // runs as root.
    FileLoadParser(const char* path, int size);

    // 0 with reply "~nnnn OK \r\n", or an error number:
    static constexpr int kShortWrite = 11;
    static constexpr int kNotOpen = 13;
    static constexpr int kBadPacket = 21;  // bad CRC, or a block that is not a whole packet
    static constexpr int kWrongNumber = 22;
    static constexpr int kTooLong = 23;
    int Parse(const char* packet, int length, std::string& reply);

    bool IsOpen() const { return file_ != nullptr; }
    bool IsComplete() const { return received_ == size_; }
    const std::string& Name() const { return name_; }
    int Size() const { return size_; }

    static const Crc16 st_src16;

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::string name_;
    int size_ = 0;
    int received_ = 0;
    int counter_ = 0;
    std::unique_ptr<std::FILE, Closer> file_;
};

class Session {
public:
    Session(const Parser* parser, unsigned timeout, unsigned lastActivity);
    virtual ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Longest unfinished line a stream transport carries to its next block.
    static constexpr size_t kCarryOverLimit = 4096;

    // Handles one received block; appends the requester's replies to result.
    // On the stream transports ("serial", "tcp") an unfinished line waits for
    // the next block; elsewhere (a datagram, the web clients' shared session)
    // it is dropped with the next block.
    void Parse(const char* data, int length, unsigned now, std::string& result, std::string& interface,
               int websocketId);

    // True (and the unfinished text dropped) when the session has a timeout
    // and more than that many seconds passed since its last block.
    bool IsNoActivity(unsigned now);
    void SetInactivityTimeout(unsigned timeout) { timeout_ = timeout; }

    // Enters upload mode for a file of size bytes; false when the file
    // cannot be created. A running upload is abandoned first.
    bool StartFileUpLoad(const char* path, int size);

    int State() const { return upload_ ? 1 : 0; }

private:
    void upload(const char* data, int length, std::string& result);

    std::unique_ptr<FileLoadParser> upload_;  // state 1 while set
    std::string buffer_;
    const Parser* parser_;
    unsigned timeout_;
    unsigned lastActivity_;
};

}  // namespace Protocol7700
