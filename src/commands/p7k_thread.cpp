#include "commands/p7k_thread.h"

#include "commands/command_table.h"
#include "commands/network_param.h"
#include "commands/notifications.h"
#include "commands/p7k_engine.h"
#include "commands/settings_files.h"
#include "platform/board.h"
#include "platform/sim/sim_board.h"
#include "protocol/log_channel.h"
#include "protocol/parser.h"
#include "sys/print.h"
#include "sys/watchdog.h"

#include <cstdio>
#include <mutex>

Communication::TCPListener* tcp_listener = nullptr;
Communication::SerialListener* gSerial_listener = nullptr;
Communication::UDPListener* udp_listener = nullptr;
std::atomic<Communication::WebsocketListener*> Websocket_listener{nullptr};

namespace {

// Held while the web server thread wakes the websocket listener and while
// the loop forgets it, so the wake never reaches a deleted listener.
std::mutex gWebsocketListenerMutex;

// The loop deletes a listener: its global must not name it any more.
void forgetListener(Communication::IListener* listener) {
    if (listener == tcp_listener) tcp_listener = nullptr;
    if (listener == gSerial_listener) gSerial_listener = nullptr;
    if (listener == udp_listener) udp_listener = nullptr;
    std::lock_guard<std::mutex> lock(gWebsocketListenerMutex);
    if (listener == Websocket_listener) Websocket_listener = nullptr;
}

// Binds a new listener and hands it to the loop; one that cannot bind is
// left out (its global still names it, so a later command can bind it).
template <typename Listener>
void bindAndAdd(Listener* listener) {
    if (listener->Bind()) Communication::Listeners::Instance().AddListener(listener);
}

void console(const std::string& text) { PRINT(PRINT_GENERAL, "%s", text.c_str()); }

}  // namespace

void* p7k_thread(void*) {
    pthread_set_selfname(pthread_get_selfname());
    NorvaCommands::InitP7k();
    return nullptr;
}

namespace NorvaCommands {

P7KClass& P7KClass::Instance() {
    static P7KClass* instance = new P7KClass();
    return *instance;
}

void P7KClass::Run() {
    pthread_set_selfname("P7KClass");
    run_ = true;
    while (run_) Communication::Listeners::Instance().Run();
}

int InitP7k() {
    IChannelsFactory::Instance().Init();
    Communication::Listeners& registry = Communication::Listeners::Instance();
    Protocol7700::Parser* parser = CreateParser();
    parser->SetOutlets(Protocol7700::ReplyOutlets{
        workaround_namespace::send_to_serials,
        workaround_namespace::send_to_tcps,
        workaround_namespace::send_to_udps,
        workaround_namespace::send_to_websockets,
        console,
    });
    registry.SetParser(parser);
    registry.SetRemoveHook(forgetListener);
    p7kEngineRegisterSimCtl();

    DefaultEepromEthParam network;
    network.eepromRead();
    // A zeroed record would bind ephemeral ports: 0 stands for the factory port.
    if (network.getTCPPort() == 0) network.setTCPPort(0);
    if (network.getUDPPort() == 0) network.setUDPPort(0);
    gVerboseMode = static_cast<uint8_t>(network.GetVerboseMode());
    DefaultSerialParam serial;
    serial.SetBaudrateIndex(1);
    serial.LoadSerial232Param();

    tcp_listener = new Communication::TCPListener(network.getTCPPort());
    bindAndAdd(tcp_listener);
    gSerial_listener = new Communication::SerialListener(static_cast<Network::Baudrate>(serial.GetBaudrateIndex()),
                                                         board::deviceText("/dev/ttyS0"), parser);
    bindAndAdd(gSerial_listener);
    udp_listener = new Communication::UDPListener(network.getUDPPort());
    bindAndAdd(udp_listener);
    auto* websocket = new Communication::WebsocketListener(parser);
    Websocket_listener = websocket;
    bindAndAdd(websocket);
    // Lines a web client sent before the listener existed wait on queue 12.
    WakeWebsocketListener();
    board::sim::setControlPortsReady();

    P7KClass::Instance().Start();
    return 0;
}

void PostMessage(int, std::string text, bool broadcast) {
    workaround_namespace::send_to(Communication::SERIAL, std::move(text), broadcast);
}

void remove_SListener() {
    if (gSerial_listener != nullptr) Communication::Listeners::Instance().RemoveListener(gSerial_listener);
}

void WakeWebsocketListener() {
    std::lock_guard<std::mutex> lock(gWebsocketListenerMutex);
    if (Communication::WebsocketListener* listener = Websocket_listener) listener->Wake();
}

}  // namespace NorvaCommands

namespace workaround_namespace {

void send_to(Communication::ListenerType type, std::string text, bool broadcast) {
    Communication::Listeners::Instance().Post(Communication::P7KMsg{type, std::move(text), broadcast});
}

void send_to_serials(std::string text) { send_to(Communication::SERIAL, std::move(text), false); }
void send_to_tcps(std::string text) { send_to(Communication::TCP_CLIENT, std::move(text), false); }
void send_to_udps(std::string text) { send_to(Communication::UDP_SERVER, std::move(text), false); }

}  // namespace workaround_namespace
