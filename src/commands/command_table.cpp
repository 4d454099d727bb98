#include "commands/command_table.h"

#include "commands/commands.h"
#include "platform/journal.h"
#include "protocol/parser.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace Protocol7700 {

TableCommandSpec::TableCommandSpec(const NorvaCommands::CommandRow& row)
    : CommandSpec(row.word, row.help, row.types(), row.mandatory, row.response) {}

}  // namespace Protocol7700

namespace NorvaCommands {

using Protocol7700::CommandSpec;
using Protocol7700::ParameterType;

std::vector<ParameterType> CommandRow::types() const {
    std::vector<ParameterType> out;
    for (const char* p = params; *p; ++p) {
        switch (*p) {
        case 'i': out.push_back(Protocol7700::PARAM_INTEGER); break;
        case 't': out.push_back(Protocol7700::PARAM_STRING); break;
        case 's': out.push_back(Protocol7700::PARAM_SIZED_STRING); break;
        case 'a': out.push_back(Protocol7700::PARAM_IPV4); break;
        default:
            std::fprintf(stderr, "command table: row %s has parameter code '%c'\n", word, *p);
            std::abort();
        }
    }
    return out;
}

ActionReturnType notBuilt(const std::string& word, std::string& reply) {
    board::journal("pending", "%s", word.c_str());
    reply = word + " not built";
    return 0;
}

namespace {

using enum RowKind;
constexpr auto REQ = Protocol7700::RESPONSE_REQUESTER;
constexpr auto ALL = Protocol7700::RESPONSE_ALL_CLIENTS;

template <class T>
CommandSpec* make(const CommandRow& row) {
    if constexpr (std::is_constructible_v<T, const CommandRow&>) return new T(row);
    else return new T();  // a framework description that carries its own word and help
}

// clang-format off
const CommandRow kRows[] = {
    // word                   kind      params      mand reply help                                          class
    {"BUILD-DATE?",           Command,  "",         0, REQ, "Get the build date",                           "BuildDateCommand", make<BuildDateCommand>},
    {"PROT-VER?",             Command,  "",         0, REQ, "Get Protocol Version",                         "ProtocolVersionCommand", make<ProtocolVersionCommand>},
    {"VERSION?",              Command,  "",         0, REQ, "Get device firmware version",                  "FirmwareVersionCommand", make<FirmwareVersionCommand>},
    {"DIR",                   Command,  "",         0, REQ, "Get number of files in web directory. USAGE : DIR", "DirCommand", make<DirCommand>},
    {"WEB-SECUR?",            Command,  "",         0, REQ, "Is security mode enable",                      "GetWebSecurCommand", make<GetWebSecurCommand>},
    {"WEB-SECUR",             Command,  "it",       2, ALL, "Set security mode",                            "SetWebSecurCommand", make<SetWebSecurCommand>},
    {"WEB-USER?",             Command,  "",         0, REQ, "Get current user",                             "GetWebUserCommand", make<GetWebUserCommand>},
    {"WEB-PASSW?",            Command,  "",         0, REQ, "Get WEB password",                             "GetWebPasswCommand", make<GetWebPasswCommand>},
    {"WEB-PASSW",             Command,  "tt",       2, ALL, "Set WEB password",                             "SetWebPasswCommand", make<SetWebPasswCommand>},
    {"NAME?",                 Command,  "",         0, REQ, "Get machine (DNS) name",                       "GetNameCommand", make<GetNameCommand>},
    {"ETH-PORT?",             Command,  "t",        1, REQ, "Get protocol Ethernet port",                   "GetEthernetPortCommand", make<GetEthernetPortCommand>},
    {"NET-GATE?",             Command,  "",         0, REQ, "Get Gateway IP",                               "GetNetGatewayCommand", make<GetNetGatewayCommand>},
    {"NET-DHCP?",             Command,  "",         0, REQ, "Get DHCP Mode",                                "GetDHCPCommand", make<GetDHCPCommand>},
    {"TYPE?",                 Command,  "",         0, REQ, "Get Type Mode",                                "GetTypeCommand", make<GetTypeCommand>},
    {"LOCK-FP",               Command,  "i",        1, REQ, "Set front panel lock",                         "SetLockPanelCommand", make<SetLockPanelCommand>},
    {"LOCK-FP?",              Command,  "",         0, REQ, "Get front panel lock",                         "GetLockPanelCommand", make<GetLockPanelCommand>},
    {"LABELS?",               Command,  "",         0, REQ, "Get labels of all inputs",                     "GetLabelsCommand", make<GetLabelsCommand>},
    {"LABELS",                Command,  "tttttttt", 8, REQ, "Set labels of all inputs",                     "SetLabelsCommand", make<SetLabelsCommand>},
    {"COLOR-SPACE-IN?",       Command,  "",         0, REQ, "Get color space value of all inputs",          "GetColorSpaceInCommand", make<GetColorSpaceInCommand>},
    {"HDCP-IN?",              Command,  "",         0, REQ, "Get HDCP status of all inputs",                "GetHDCPInCommand", make<GetHDCPInCommand>},
    {"MODELINE?",             Command,  "",         0, REQ, "Get modeline value of all inputs",             "GetModelineCommand", make<GetModelineCommand>},
    {"COLOR-DEPTH?",          Command,  "",         0, REQ, "Get color depth of all inputs",                "GetColorDepthInCommand", make<GetColorDepthInCommand>},
    {"EDID-IN-RESOLUTION?",   Command,  "",         0, REQ, "Get EDID resolution value of all inputs",      "GetEDIDInResolutionCommand", make<GetEDIDInResolutionCommand>},
    {"EDID-IN-AUDIO-CH?",     Command,  "",         0, REQ, "Get EDID audio channels of all inputs",        "GetEDIDInAudioChCommand", make<GetEDIDInAudioChCommand>},
    {"VOLUME-IN?",            Command,  "",         0, REQ, "Get volume level of all inputs",               "GetVolumeInCommand", make<GetVolumeInCommand>},
    {"TIME-SRV?",             Command,  "",         0, REQ, "Get SNTP IP address",                          "GetSntpIPCommand", make<GetSntpIPCommand>},
    {"TBAR",                  Command,  "ii",       1, REQ, "Set T-Bar position",                           "TbarCommand", make<TbarCommand>},
    {"SPEED",                 Command,  "i",        1, REQ, "Speed command",                                "SpeedCommand", make<SpeedCommand>},
    {"MODE-CMD",              Command,  "i",        1, ALL, "Mode command",                                 "ModeCommand", make<ModeCommand>},
    {"IDENTIFY-SLV",          Command,  "",         0, ALL, "Identify device",                              "IdentCommand", make<IdentCommand>},
    {"BIN",                   Command,  "ttis",     3, REQ, "Launch USR Keypad command",                    "BinCommand", make<BinCommand>},
    {"DBIN",                  Command,  "tis",      3, REQ, "Program USR Keypad command",                   "DBinCommand", make<DBinCommand>},
    {"NAME",                  Command,  "t",        1, ALL, "Set machine (DNS) name",                       "SetNameCommand", make<SetNameCommand>},
    {"ETH-PORT",              Command,  "ti",       2, ALL, "Set protocol Ethernet port",                   "SetEthernetPortCommand", make<SetEthernetPortCommand>},
    {"NET-GATE",              Command,  "t",        1, ALL, "Set Gateway IP",                               "SetNetGatewayCommand", make<SetNetGatewayCommand>},
    {"FCT-MAC",               Command,  "t",        1, ALL, "Factory Set MAC address",                      "SetNetMacCommand", make<SetNetMacCommand>},
    {"TBAR-INFO?",            Command,  "i",        1, REQ, "TBAR info get command",                        "tbarInfoCommand", make<tbarInfoCommand>},
    {"NET-IP",                Command,  "t",        1, ALL, "Set device IP address",                        "SetNetIPCommand", make<SetNetIPCommand>},
    {"ECHO",                  Command,  "ttttttt",  1, REQ, "Echoing command back to web",                  "SetEchoCommand", make<SetEchoCommand>},
    {"NET-MASK",              Command,  "t",        1, ALL, "Set device network mask",                      "SetNetMaskCommand", make<SetNetMaskCommand>},
    {"NET-DHCP",              Command,  "i",        1, ALL, "Set DHCP mode",                                "SetDHCPCommand", make<SetDHCPCommand>},
    {"TIME-SRV",              Command,  "it",       1, ALL, "Set SNTP IP address",                          "SetSntpIPCommand", make<SetSntpIPCommand>},
    {"P7KB",                  Command,  "i",        1, ALL, "Set P7K baudrate command",                     "SetP7KBCommand", make<SetP7KBCommand>},
    {"P7KB?",                 Command,  "",         0, REQ, "Get P7K baudrate command",                     "GetP7KBCommand", make<GetP7KBCommand>},
    {"TIME-LOC",              HelpOnly, "",         0, REQ, "Set local Time",                               "SetLocCommand", make<SetLocCommand>},
    {"TIME-LOC?",             HelpOnly, "",         0, REQ, "Get local Time",                               "GetTimeLocCommand", make<GetTimeLocCommand>},
    {"VMUTE",                 HelpOnly, "",         0, REQ, "Mute",                                         "GetVmuteCommand", make<GetVmuteCommand>},
    {"FACTORY",               HelpOnly, "",         0, REQ, "Is Factory OK",                                "FactoryCommand", make<FactoryCommand>},
    {"MODEL?",                HelpOnly, "",         0, REQ, "Get Model name",                               "ModelCommand", make<ModelCommand>},
    {"RESET",                 HelpOnly, "",         0, REQ, "Reset device",                                 "ResetCommand", make<ResetCommand>},
    {"NAME-RST",              HelpOnly, "",         0, REQ, "Reset device name",                            "NameRstCommand", make<NameRstCommand>},
    {"TIME?",                 HelpOnly, "",         0, REQ, "Get device time",                              "GetTimeCommand", make<GetTimeCommand>},
    {"TIME",                  HelpOnly, "",         0, REQ, "Set device time",                              "SetTimeCommand", make<SetTimeCommand>},
    {"POWER",                 HelpOnly, "",         0, REQ, "Set power save mode",                          "PowerCommand", make<PowerCommand>},
    {"UART?",                 HelpOnly, "",         0, REQ, "Get Uart config",                              "GetUartCommand", make<GetUartCommand>},
    {"UART",                  HelpOnly, "",         0, REQ, "Set Uart config",                              "SetUartCommand", make<SetUartCommand>},
    {"PTNL-CFG",              HelpOnly, "",         0, REQ, "Set Port Tunneling config",                    "SetPtnlCfgCommand", make<SetPtnlCfgCommand>},
    {"PTNL-CFG?",             HelpOnly, "",         0, REQ, "Get Port Tunneling config",                    "GetPtnlCfgCommand", make<GetPtnlCfgCommand>},
    {"CBIN",                  HelpOnly, "",         0, REQ, "Config USR params",                            "CbinCommand", make<CbinCommand>},
    {"VERBOSE",               HelpOnly, "",         0, REQ, "Set verbose mode",                             "SetVerboseCommand", make<SetVerboseCommand>},
    {"VERBOSE?",              HelpOnly, "",         0, REQ, "Get verbose mode",                             "GetVerboseCommand", make<GetVerboseCommand>},
    {"HDCP-MOD?",             HelpOnly, "",         0, REQ, "Get Hdcp Mode",                                "GetHdcpMode", make<GetHdcpMode>},
    {"HDCP-MOD",              HelpOnly, "",         0, REQ, "Set Hdcp Mode",                                "SetHdcpMode", make<SetHdcpMode>},
    {"VID-RES?",              HelpOnly, "",         0, REQ, "Get Video Resolution",                         "GetVidRes", make<GetVidRes>},
    {"VID-RES",               HelpOnly, "",         0, REQ, "Set Video Resolution",                         "SetVidRes", make<SetVidRes>},
    {"SN?",                   HelpOnly, "",         0, REQ, "Get Serial Number",                            "GetSerialNumber", make<GetSerialNumber>},
    {"VOLUME?",               HelpOnly, "",         0, REQ, "Get Audio Volume",                             "GetVolume", make<GetVolume>},
    {"VOLUME",                HelpOnly, "",         0, REQ, "Set Audio Volume",                             "SetVolume", make<SetVolume>},
    {"AUD-LVL?",              HelpOnly, "",         0, REQ, "get input output volume",                      "GetInOutVolume", make<GetInOutVolume>},
    {"AUD-LVL",               HelpOnly, "",         0, REQ, "Set input output volume",                      "SetInOutVolume", make<SetInOutVolume>},
    {"ROUTE?",                HelpOnly, "",         0, REQ, "Get input routing",                            "GetRoute", make<GetRoute>},
    {"ROUTE",                 HelpOnly, "",         0, REQ, "Set input routing",                            "SetRoute", make<SetRoute>},
    {"MUTE?",                 HelpOnly, "",         0, REQ, "Get audio mute",                               "GetMute", make<GetMute>},
    {"MUTE",                  HelpOnly, "",         0, REQ, "Set audio mute",                               "SetMute", make<SetMute>},
    {"Y",                     HelpOnly, "",         0, REQ, "scaler command",                               "ScalerCmd", make<ScalerCmd>},
    {"*",                     Default,  "",         0, REQ, "Default handler",                              "DefaultCommandSpec", make<DefaultCommandSpec>},
};
// clang-format on

// Shared by every parser of the process and never destroyed: the parser does
// not own its default command, and the protocol thread may still run at exit.
const CommandSpec* defaultCommand(const CommandRow& row) {
    static const CommandSpec* const command = row.make(row);
    return command;
}

}  // namespace

std::span<const CommandRow> commandTable() { return kRows; }

Protocol7700::Parser* CreateParser() {
    auto* parser = new Protocol7700::Parser();
    for (const CommandRow& row : kRows) {
        switch (row.kind) {
        case Command: parser->AddCommand(row.make(row)); break;
        case HelpOnly: parser->AddHelpCommand(row.make(row)); break;
        case Default: parser->AddDefaultCommand(defaultCommand(row)); break;
        }
    }
    return parser;
}

}  // namespace NorvaCommands
