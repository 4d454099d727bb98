// The control protocol's start and its thread: P7KT builds the parser and
// the four transports from the stored settings and starts the protocol
// thread, which runs the transports' poll loop, every session, the parser and
// every command handler for the life of the program. Other threads hand text
// to the poll loop only through PostMessage and send_to.
#pragma once

#include "protocol/listeners.h"
#include "sys/cthread.h"

#include <atomic>
#include <string>

// The transports, set by InitP7k. The protocol thread alone reads and
// replaces them (ETH-PORT, P7KB, remove_SListener); each is cleared when
// the poll loop deletes its listener, so a null pointer means "none".
extern Communication::TCPListener* tcp_listener;
extern Communication::SerialListener* gSerial_listener;
extern Communication::UDPListener* udp_listener;
// Also read by the web server thread (WakeWebsocketListener).
extern std::atomic<Communication::WebsocketListener*> Websocket_listener;

// Entry of row P7KT: InitP7k, then the thread ends.
void* p7k_thread(void*);

namespace NorvaCommands {

class P7KClass : public CThread {
public:
    // Created on first use and never destroyed: its thread runs until the
    // program ends.
    static P7KClass& Instance();
    // Runs the poll loop again whenever it returns, until Stop.
    void Run() override;
    void Stop() { run_ = false; }

private:
    P7KClass() = default;
    std::atomic<bool> run_{false};
};

// Builds the parser and the transports and starts the protocol thread; 0.
// A transport that cannot bind is left out; the others work.
int InitP7k();

// Queues text for the transports (any thread): with broadcast every
// listener sends it, otherwise the serial port only (type is not used).
void PostMessage(int type, std::string text, bool broadcast);

// Detaches the RS-232 port: the poll loop deletes its listener on its next
// round. Protocol thread only; nothing happens when it is already detached.
void remove_SListener();

// The web server thread, after a line of a web client went on queue 12:
// wakes the websocket listener, when there is one.
void WakeWebsocketListener();

}  // namespace NorvaCommands

namespace workaround_namespace {
// Queues text for every listener of the type (any thread); with broadcast,
// for every listener.
void send_to(Communication::ListenerType type, std::string text, bool broadcast);
void send_to_serials(std::string text);
void send_to_tcps(std::string text);  // every accepted TCP connection
void send_to_udps(std::string text);  // every known UDP peer
}  // namespace workaround_namespace
