#include "commands/network_commands.h"

#include "commands/network_param.h"
#include "commands/notifications.h"
#include "commands/p7k_thread.h"
#include "commands/settings_files.h"
#include "commands/web_param.h"
#include "platform/board.h"
#include "protocol/network.h"
#include "sys/print.h"

#include <memory>

namespace NorvaCommands {
namespace {

// Error numbers of these words.
constexpr ActionReturnType kCount = 1;        // wrong number of parameters
constexpr ActionReturnType kRefused = 3;      // a value the settings refuse, or the network script failed
constexpr ActionReturnType kPassword = 4;     // not the current web password
constexpr ActionReturnType kNotWritten = 5;   // a settings file could not be written
constexpr ActionReturnType kNotStored = 8;    // the EEPROM did not take the record

DefaultEepromEthParam storedRecord() {
    DefaultEepromEthParam rec;
    rec.eepromRead();
    return rec;
}

// Stores the record and applies it to the system; on a failure the
// previous record is back and the error number says which step failed.
ActionReturnType storeAndApply(DefaultEepromEthParam& rec, const DefaultEepromEthParam& previous) {
    using Stored = DefaultEepromEthParam::Stored;
    switch (rec.StoreAndApply(previous)) {
    case Stored::kStored: return 0;
    case Stored::kEepromFailed: return kNotStored;
    case Stored::kNotWritten: return kNotWritten;
    case Stored::kScriptFailed: return kRefused;
    }
    return kRefused;
}

// ---- the address words: one parameter, a setter, the stored value ---------

struct AddressWord {
    const char* word;
    bool (*set)(DefaultEepromEthParam& rec, const Args& args);
    std::string (*stored)(const DefaultEepromEthParam& rec);
    bool webCopy;        // the web page first gets the value without a line end
    bool answerWebHere;  // a web requester is answered through its session
};

// clang-format off
constexpr AddressWord kNetIp{"NET-IP",
    [](DefaultEepromEthParam& r, const Args& a) { return r.setIp(a.text(0)) != 0; },
    [](const DefaultEepromEthParam& r) { return r.getIpStr(); }, false, true};
constexpr AddressWord kNetMask{"NET-MASK",
    [](DefaultEepromEthParam& r, const Args& a) { return r.setMask(a.text(0)) != 0; },
    [](const DefaultEepromEthParam& r) { return r.getMaskStr(); }, true, true};
constexpr AddressWord kNetGate{"NET-GATE",
    [](DefaultEepromEthParam& r, const Args& a) { return r.setGw(a.text(0)) != 0; },
    [](const DefaultEepromEthParam& r) { return r.getGwStr(); }, true, true};
constexpr AddressWord kFctMac{"FCT-MAC",
    [](DefaultEepromEthParam& r, const Args& a) { return r.setMac(a.text(0)) != 0; },
    [](const DefaultEepromEthParam& r) { return r.getMacStr('-'); }, false, false};
constexpr AddressWord kNetDhcp{"NET-DHCP",
    [](DefaultEepromEthParam& r, const Args& a) { return r.setDHCPMode(a.integer(0)) != 0; },
    [](const DefaultEepromEthParam& r) { return std::to_string(r.getDHCPMode()); }, false, false};
// clang-format on

ActionReturnType setAddress(const AddressWord& w, const std::list<ParameterValue>& params, std::string& reply,
                            std::string& interface) {
    const Args args(params);
    if (args.size() != 1) return kCount;
    const DefaultEepromEthParam previous = storedRecord();
    DefaultEepromEthParam rec = previous;
    if (!w.set(rec, args)) return kRefused;
    if (ActionReturnType rc = storeAndApply(rec, previous)) return rc;
    const std::string value = w.stored(rec);
    if (w.webCopy) protocol_out_to_web(getPreAnswer() + w.word + " " + value);
    if (w.answerWebHere && interface == "websocket") interface.clear();
    reply = std::string(w.word) + " " + value + " OK";
    return 0;
}

// ---- the transports taken over by a new port or speed -----------------------
// A listener that holds its descriptor is in the poll loop; one that does not
// (its port or device could not be opened) never joined it.

bool bound(const Communication::IListener* listener) { return *listener->GetSocket()->GetHandle() >= 0; }

// Takes a listener out of service: the loop deletes one it serves, one it
// never served is deleted here.
void retire(Communication::IListener* listener) {
    if (listener == nullptr) return;
    if (bound(listener)) Communication::Listeners::Instance().RemoveListener(listener);
    else delete listener;
}

// Serves the record's new port with a new listener in place of the one in
// service, once the record is stored: a port that cannot be bound changes
// nothing (error 3), nor does a record that cannot be stored.
template <class Listener>
ActionReturnType moveListener(Listener*& inService, uint16_t port, DefaultEepromEthParam& rec,
                              const DefaultEepromEthParam& previous) {
    // Binding the port it already serves would conflict with itself.
    const bool serving = inService != nullptr && bound(inService) && inService->GetPort() == port;
    std::unique_ptr<Listener> fresh;
    if (!serving) {
        fresh = std::make_unique<Listener>(port);
        if (!fresh->Bind()) return kRefused;
    }
    if (ActionReturnType rc = storeAndApply(rec, previous)) return rc;
    if (!fresh) return 0;
    Communication::Listeners::Instance().AddListener(fresh.get());
    retire(inService);
    inService = fresh.release();
    return 0;
}

// Reopens the RS-232 control port at the speed. A port that was detached (or
// never opened) is opened and served again.
void reopenSerial(Network::Baudrate code) {
    Communication::Listeners& registry = Communication::Listeners::Instance();
    Communication::SerialListener* listener = gSerial_listener;
    const bool serving = listener != nullptr && bound(listener);
    if (listener == nullptr) {
        const Protocol7700::Parser* parser = registry.GetParser();
        if (parser == nullptr) return;  // the protocol does not run: the stored speed serves its start
        listener = new Communication::SerialListener(code, board::deviceText("/dev/ttyS0"), parser);
    }
    listener->SetBaudrate(code);
    if (!listener->Bind()) {
        // Its descriptor is gone: the loop must not keep it.
        if (serving) registry.RemoveListener(listener);
        else delete listener;
        gSerial_listener = nullptr;
        return;
    }
    if (!serving) registry.AddListener(listener);
    gSerial_listener = listener;
}

bool currentPassword(const DefaultWebParam& web, const Args& args, size_t at) {
    return args.text(at) == web.GetWebPassw();
}

}  // namespace

// ---- network record ----------------------------------------------------------

ActionReturnType SetNetIPCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                           std::string& interface) const {
    return setAddress(kNetIp, params, reply, interface);
}

ActionReturnType SetNetMaskCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                             std::string& interface) const {
    return setAddress(kNetMask, params, reply, interface);
}

ActionReturnType SetNetGatewayCommand::OnAction(Session*, const std::list<ParameterValue>& params,
                                                std::string& reply, std::string& interface) const {
    return setAddress(kNetGate, params, reply, interface);
}

ActionReturnType SetNetMacCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                            std::string& interface) const {
    return setAddress(kFctMac, params, reply, interface);
}

ActionReturnType SetDHCPCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                          std::string& interface) const {
    return setAddress(kNetDhcp, params, reply, interface);
}

ActionReturnType GetNetGatewayCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                                std::string&) const {
    std::string gateway = "0.0.0.0";  // kept when the system has no default route
    Network::GetDefaultGw(gateway);
    reply = "NET-GATE " + gateway;
    return 0;
}

ActionReturnType GetDHCPCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                          std::string&) const {
    reply = "NET-DHCP " + std::to_string(storedRecord().getDHCPMode()) + " OK";
    return 0;
}

ActionReturnType GetSntpIPCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                            std::string&) const {
    const DefaultEepromEthParam rec = storedRecord();
    reply = "TIME-SRV " + std::to_string(rec.getSNTPMode()) + "," + rec.getSntpIpStr();
    return 0;
}

ActionReturnType SetSntpIPCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                            std::string&) const {
    const Args args(params);
    if (args.size() < 1) return kCount;
    const DefaultEepromEthParam previous = storedRecord();
    DefaultEepromEthParam rec = previous;
    const int mode = args.integer(0);
    PRINT(PRINT_GENERAL, "SNTP mode %d\n", mode);
    switch (mode) {
    case 1:
        if (args.size() != 2) return kRefused;
        PRINT(PRINT_GENERAL, "SNTP IP %s \n", args.text(1).c_str());
        if (!rec.setSntpIp(args.text(1))) return kRefused;
        rec.setSNTPMode(1);
        PRINT(PRINT_GENERAL, "SNTP set new");
        if (ActionReturnType rc = storeAndApply(rec, previous)) return rc;
        reply = "TIME-SRV " + std::to_string(rec.getSNTPMode()) + "," + rec.getSntpIpStr() + " OK";
        return 0;
    case 0:
    case 2:
        if (args.size() != 1) return kRefused;
        rec.setSNTPMode(mode);
        if (ActionReturnType rc = storeAndApply(rec, previous)) return rc;
        reply = "TIME-SRV " + std::to_string(rec.getSNTPMode()) + " OK";
        return 0;
    default: return kRefused;
    }
}

// ---- control ports -------------------------------------------------------------

ActionReturnType GetEthernetPortCommand::OnAction(Session*, const std::list<ParameterValue>& params,
                                                  std::string& reply, std::string&) const {
    const Args args(params);
    if (args.size() != 1) return kCount;
    const std::string which = args.word(0);
    const DefaultEepromEthParam rec = storedRecord();
    uint16_t port;
    if (which == "TCP") port = rec.getTCPPort();
    else if (which == "UDP") port = rec.getUDPPort();
    else return kRefused;
    if (port == 0) return kRefused;
    reply = "ETH-PORT " + which + "," + std::to_string(port);
    return 0;
}

ActionReturnType SetEthernetPortCommand::OnAction(Session*, const std::list<ParameterValue>& params,
                                                  std::string& reply, std::string&) const {
    const Args args(params);
    if (args.size() != 2) return kCount;
    const DefaultEepromEthParam previous = storedRecord();
    DefaultEepromEthParam rec = previous;
    const std::string which = args.word(0);
    const int port = args.integer(1);
    // A port that cannot be served is not stored: the next start would have
    // no control port of that kind.
    ActionReturnType rc;
    if (which == "TCP") rc = rec.setTCPPort(port) ? moveListener(tcp_listener, rec.getTCPPort(), rec, previous) : kRefused;
    else if (which == "UDP") rc = rec.setUDPPort(port) ? moveListener(udp_listener, rec.getUDPPort(), rec, previous) : kRefused;
    else return kRefused;
    if (rc != 0) return rc;
    reply = "ETH-PORT " + which + "," + std::to_string(port) + " OK";
    return 0;
}

ActionReturnType GetP7KBCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                          std::string&) const {
    DefaultSerialParam serial;
    serial.SetBaudrateIndex(1);
    serial.LoadSerial232Param();
    reply = "P7KB " + std::to_string(serial.GetBaudrateIndex());
    return 0;
}

ActionReturnType SetP7KBCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                          std::string&) const {
    const Args args(params);
    if (args.size() < 1) return kCount;
    const int index = args.integer(0);
    if (index < Network::BAUD_19200 || index > Network::BAUD_115200) return kRefused;
    DefaultSerialParam serial;
    serial.SetBaudrateIndex(index);
    // Not stored: the port keeps its speed.
    if (!serial.SaveSerial232Param()) return kNotWritten;
    reopenSerial(static_cast<Network::Baudrate>(index));
    // Posted for every client: the RS-232 port sends it at its new speed.
    reply = "P7KB " + std::to_string(index) + " OK";
    return 0;
}

// ---- web security ------------------------------------------------------------
// Every client hears these replies: a refusal never repeats the passwords
// it was given, so it is answered here in the parser's error form with the
// passwords masked.

ActionReturnType GetWebSecurCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                              std::string&) const {
    reply = std::string("WEB-SECUR ") + (DefaultWebParam().GetWebSecur() ? "1" : "0");
    return 0;
}

ActionReturnType GetWebUserCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                             std::string&) const {
    reply = "WEB-USER " + DefaultWebParam().GetWebUser();
    return 0;
}

ActionReturnType GetWebPasswCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                              std::string&) const {
    reply = "WEB-PASSW ****";
    return 0;
}

ActionReturnType SetWebSecurCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                              std::string&) const {
    const Args args(params);
    const int mode = args.integer(0);
    DefaultWebParam web;
    ActionReturnType refused = 0;
    if (mode > 1) refused = kRefused;
    else if (!currentPassword(web, args, 1)) refused = kPassword;
    if (refused != 0) {
        reply = "WEB-SECUR " + std::to_string(mode) + ",**** ERR" + std::to_string(refused);
        return 0;
    }
    web.SetWebSecur(mode != 0);
    if (!web.SaveLinuxWebParam()) refused = kNotWritten;
    reply = "WEB-SECUR " + std::to_string(mode) + (refused ? ",**** ERR" + std::to_string(refused) : " OK");
    return 0;
}

ActionReturnType SetWebPasswCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                              std::string&) const {
    const Args args(params);
    DefaultWebParam web;
    ActionReturnType refused = 0;
    if (!currentPassword(web, args, 1)) refused = kPassword;
    // One the settings file cannot hold (':' or a line end) is refused.
    else if (!web.SetWebPassw(args.text(0))) refused = kRefused;
    if (refused != 0) {
        reply = "WEB-PASSW **** ERR" + std::to_string(refused);
        return 0;
    }
    reply = web.SaveLinuxWebParam() ? "WEB-PASSW **** OK" : "WEB-PASSW **** ERR" + std::to_string(kNotWritten);
    return 0;
}

}  // namespace NorvaCommands
