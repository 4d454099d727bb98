#include "commands/tbar_user_commands.h"

#include "commands/network_param.h"
#include "commands/notifications.h"
#include "core/core_state.h"
#include "core/pm.h"
#include "core/usrmsg.h"
#include "core/weblock.h"
#include "protocol/network.h"
#include "sys/frontpanel.h"
#include "sys/timers.h"

namespace NorvaCommands {
namespace {

constexpr ActionReturnType kCount = 1;    // too few parameters
constexpr ActionReturnType kRefused = 3;  // a key, transport or text these words refuse

// ---- TBAR-INFO? ----------------------------------------------------------------

// The input number 1 to 8 of a video input code.
int inputNumber(uint8_t code) {
    if (code <= 7) return code + 1;
    if (code == 28 || code == 29) return code - 23;
    if (code >= 8 && code <= 15) return code - 7;
    return code - 15;
}

// The scaler functions the controller mirrors, in the order it reads them.
struct TbarItem {
    int function;
    int (*value)();
};
// clang-format off
constexpr TbarItem kTbarItems[] = {
    {21,  [] { return int{static_cast<int8_t>(PM.DISPLAY_MODE)}; }},
    {930, [] { return mode_stat.load(); }},
    {31,  [] { return inputNumber(vp.chData[0].vidInput); }},
    {391, [] { return int{static_cast<int8_t>(PM.AUDIO_SOURCE[0])}; }},
    {392, [] { return int{static_cast<int8_t>(PM.ANALOG_TAKEOVER[0])}; }},
    {41,  [] { return inputNumber(vp.chData[1].vidInput); }},
    {491, [] { return int{static_cast<int8_t>(PM.AUDIO_SOURCE[1])}; }},
    {492, [] { return int{static_cast<int8_t>(PM.ANALOG_TAKEOVER[1])}; }},
    {934, [] { return int{PM.FREEZE[0]}; }},
    {933, [] { return int{PM.BLANK[0]}; }},
    {932, [] { return int{PM.FREEZE[1]}; }},
    {931, [] { return int{PM.BLANK[1]}; }},
    {223, [] { return int{PM.TRANS_EFFECT}; }},
    {224, [] { return int{PM.TRANS_DIR}; }},
    {555, [] { return (vp.gFlags & VP_GFLAG_TRANSITION) ? 1 : 0; }},
};
// clang-format on

// A controller that stops asking counts as gone after this long.
constexpr uint32_t kTbarPresenceActiveMs = 35000;  // while the T-bar is on
constexpr uint32_t kTbarPresenceMs = 5000;

// ---- user keys -------------------------------------------------------------------

struct UserKey {
    const char* word;
    int port;
    uint8_t PMRec::*destination;
    void (*fire)();
};
constexpr UserKey kUserKeys[] = {
    {"USR1", USR1, &PMRec::USER1_DESTINATION, usr1_key_pressing},
    {"USR2", USR2, &PMRec::USER2_DESTINATION, usr2_key_pressing},
};
constexpr uint8_t kDestinationNone = 7;
constexpr int kFireKey = -1;
// The text in brackets: the message and its two brackets.
constexpr size_t kBracketedMax = kUserMessageMax + 2;

const UserKey* userKey(const std::string& word) {
    for (const UserKey& key : kUserKeys)
        if (word == key.word) return &key;
    return nullptr;
}

// The message of "[message]" whose length is count; false when the text is
// not bracketed, too long, or of another length.
bool bracketed(const std::string& text, int count, std::string& message) {
    if (text.size() < 2 || text.size() > kBracketedMax || text.front() != '[' || text.back() != ']') return false;
    message = text.substr(1, text.size() - 2);
    return static_cast<int>(message.size()) == count;
}

}  // namespace

ActionReturnType tbarInfoCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string& reply,
                                           std::string&) const {
    is_hwtbar_connected = 1;
    DefaultEepromEthParam rec;
    rec.eepromRead();
    std::string address;
    Network::GetIPAddress(address);

    const std::string prefix = getPreAnswer();
    for (const TbarItem& item : kTbarItems)
        reply += "Y 1," + std::to_string(item.function) + "," + std::to_string(item.value()) + "|" + prefix;
    reply += "DAMP-SLV " + std::to_string(static_cast<int8_t>(PM.T_BAR_SMOOTHNESS)) + "|" + prefix;
    reply += "NET-IP-SLV " + address + "|" + prefix;
    reply += "DHCP-SLV " + std::to_string(rec.getDHCPMode()) + "|" + prefix;
    reply += std::string("INDEPENDENT ") + (PM.OUTPUT_RES_SEL[0] != PM.OUTPUT_RES_SEL[1] ? "1" : "0");

    // The web page's T-bar control gives way to the hardware one.
    if (disable_web_tbar_flg == 0) {
        webLockAnnounce(4);
        disable_web_tbar_flg = 1;
    }
    tbarEnableTimerSet(PM.T_BAR > 0 ? kTbarPresenceActiveMs : kTbarPresenceMs);
    return 0;
}

// Registered with their parameters, but without an action: always error 1.
ActionReturnType TbarCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string&, std::string&) const {
    return kCount;
}

ActionReturnType SpeedCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string&, std::string&) const {
    return kCount;
}

ActionReturnType ModeCommand::OnAction(Session*, const std::list<ParameterValue>&, std::string&, std::string&) const {
    return kCount;
}

ActionReturnType BinCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                      std::string&) const {
    const Args args(params);
    if (args.size() < 3) return kCount;
    const UserKey* key = userKey(args.word(0));
    if (key == nullptr || PM.*key->destination == kDestinationNone) return kRefused;
    const std::string via = args.word(1);
    if (via != "UART" && via != "ETH") return kRefused;
    const int count = args.integer(2);
    if (count != kFireKey) {
        std::string message;
        if (args.size() < 4 || !bracketed(args.text(3), count, message)) return kRefused;
        // Sent once; the key's stored message stays. Waits (at most 10 s)
        // until the user-message thread has sent it; a text never sent is
        // not answered as sent.
        if (send_custom_user_message(key->port, message.data(), static_cast<int>(message.size())) != 0)
            return kRefused;
    } else {
        key->fire();
    }
    reply = std::string("BIN ") + key->word + "," + via + "," + std::to_string(count) + " OK";
    return 0;
}

ActionReturnType DBinCommand::OnAction(Session*, const std::list<ParameterValue>& params, std::string& reply,
                                       std::string&) const {
    const Args args(params);
    if (args.size() < 3) return kCount;
    const UserKey* key = userKey(args.word(0));
    if (key == nullptr) return kRefused;
    const int count = args.integer(1);
    if (count == kFireKey) {
        key->fire();
        reply = std::string("DBIN ") + key->word + ",," + std::to_string(count) + " OK";
        return 0;
    }
    std::string message;
    if (!bracketed(args.text(2), count, message)) return kRefused;
    // A message that cannot be stored is not answered as stored.
    if (set_user_message(key->port, message.data(), static_cast<int>(message.size())) != 0) return kRefused;
    reply = std::string("DBIN ") + key->word + "," + std::to_string(count) + " OK";
    return 0;
}

}  // namespace NorvaCommands
