// Loopback clients of the control ports, as a control system uses them:
// a TCP connection and a UDP peer that send text and wait for replies with
// a time-out, and the user's end of a simulated serial port.
#pragma once

#include <string>

namespace hx40test {

// Text over one descriptor: what arrives is kept until a caller takes it.
class TextStream {
public:
    TextStream() = default;
    virtual ~TextStream();
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    bool send(const std::string& text);
    // Reads until the received text holds needle; returns the text up to
    // and including it (taken from what was received), or "" on time-out.
    std::string until(const std::string& needle, int timeoutMs = 3000);
    // Everything received so far plus what arrives within waitMs.
    std::string drain(int waitMs);
    int fd() const { return fd_; }

protected:
    // Bytes appended, 0 when the other end closed, -1 on time-out or error.
    int readSome(int timeoutMs);

    int fd_ = -1;
    std::string received_;
};

class LoopbackTcp : public TextStream {
public:
    LoopbackTcp() = default;
    // receiveBuffer > 0 shrinks the socket's receive buffer first.
    explicit LoopbackTcp(int port, int receiveBuffer = 0) { connect(port, receiveBuffer); }
    bool connect(int port, int receiveBuffer = 0);
    // True when the server closed the connection within timeoutMs (what
    // arrived before is discarded).
    bool closedByPeer(int timeoutMs = 3000);
    // Closes with a reset, as a client that vanishes.
    void reset();
};

// The user's end <root>/term/<port> of a simulated serial port.
class SerialTerminal : public TextStream {
public:
    SerialTerminal(const std::string& root, const std::string& port);
    bool ok() const { return fd_ >= 0; }
};

class LoopbackUdp {
public:
    LoopbackUdp();
    ~LoopbackUdp();
    LoopbackUdp(const LoopbackUdp&) = delete;
    LoopbackUdp& operator=(const LoopbackUdp&) = delete;

    bool send(int port, const std::string& text);
    // The next datagram's text, or "" when none comes within timeoutMs.
    std::string receive(int timeoutMs = 3000);

private:
    int fd_ = -1;
};

}  // namespace hx40test
