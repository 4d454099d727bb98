#include "commands/p7k_words.h"

#include "commands/device_name.h"
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "commands/scaler_bridge.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

// clang-format off
constexpr std::array<P7kWord, 177> kWords = {{
    {  0, "",                    p7kEmpty},
    {  1, "A",                   nullptr},
    {  2, "A?",                  nullptr},
    {  3, "ADB",                 nullptr},
    {  4, "ADB?",                nullptr},
    {  5, "ADL",                 nullptr},
    {  6, "ADL?",                nullptr},
    {  7, "ADM",                 nullptr},
    {  8, "ADM?",                nullptr},
    {  9, "ADS",                 nullptr},
    { 10, "ADS?",                nullptr},
    { 11, "ADT",                 nullptr},
    { 12, "ADT?",                nullptr},
    { 13, "ADV",                 p7kSelectReceiver},
    { 14, "AFV",                 nullptr},
    { 15, "AFV?",                nullptr},
    { 16, "AUD",                 nullptr},
    { 17, "AUD-LVL",             p7kVideoWord},
    { 18, "AUD-LVL?",            p7kVideoWord},
    { 19, "AUD?",                nullptr},
    { 20, "AV",                  nullptr},
    { 21, "BALANCE",             nullptr},
    { 22, "BALANCE?",            nullptr},
    { 23, "BASS",                nullptr},
    { 24, "BASS?",               nullptr},
    { 25, "BIN",                 p7kSendUserMessage},
    { 26, "BUILD-DATE?",         nullptr},
    { 27, "CAP-ATT",             nullptr},
    { 28, "CAP-EXE",             nullptr},
    { 29, "CAP-START",           nullptr},
    { 30, "CBIN",                p7kUserPortConfig},
    { 31, "COM-ROUTE-ADD",       nullptr},
    { 32, "DBGMEM",              nullptr},
    { 33, "DBIN",                p7kStoreUserMessage},
    { 34, "DDR",                 p7kMemoryTest},
    { 35, "DEBUG",               p7kDebug},
    { 36, "DIR",                 nullptr},
    { 37, "DISPLAY?",            p7kDisplayState},
    { 38, "DUMP",                p7kDump},
    { 39, "DUMPALL",             p7kDump},
    { 40, "ENCODER",             nullptr},
    { 41, "ENCODER?",            nullptr},
    { 42, "ETH-PORT",            nullptr},
    { 43, "ETH-PORT?",           nullptr},
    { 44, "ETHP",                nullptr},
    { 45, "ETHP?",               nullptr},
    { 46, "FACTORY",             p7kDelayedMenuAction},
    { 47, "FCT-MAC",             nullptr},
    { 48, "FCT-MODEL",           p7kSetModel},
    { 49, "FCT-SN",              p7kSetSerial},
    { 50, "FORMAT",              nullptr},
    { 51, "GET",                 nullptr},
    { 52, "HDCP-MOD",            p7kVideoWord},
    { 53, "HDCP-MOD?",           p7kVideoWord},
    { 54, "I2C",                 p7kI2cWrite},
    { 55, "I2C?",                p7kI2cRead},
    { 56, "IDV",                 nullptr},
    { 57, "IMAGE-PROP",          p7kVideoWord},
    { 58, "IMAGE-PROP?",         p7kSilent},
    { 59, "INFO-IO?",            nullptr},
    { 60, "INFO-PRST?",          nullptr},
    { 61, "IPC",                 p7kScalerWrite},
    { 62, "IPC?",                p7kScalerRead},
    { 63, "IRCP",                nullptr},
    { 64, "KSET",                nullptr},
    { 65, "LCD",                 nullptr},
    { 66, "LCK",                 nullptr},
    { 67, "LDFW",                nullptr},
    { 68, "LDFWS",               nullptr},
    { 69, "LDKS",                nullptr},
    { 70, "LDMF",                nullptr},
    { 71, "LDMFS",               nullptr},
    { 72, "LDPD",                nullptr},
    { 73, "LDRV",                nullptr},
    { 74, "LOCK-FP",             p7kLockPanel},
    { 75, "LOCK-FP?",            p7kGetLockPanel},
    { 76, "LOUDNESS",            nullptr},
    { 77, "LOUDNESS?",           nullptr},
    { 78, "MACH-NUM",            nullptr},
    { 79, "MIC-GAIN",            p7kVideoWord},
    { 80, "MIC-GAIN?",           p7kVideoWord},
    { 81, "MIDRANGE",            nullptr},
    { 82, "MIDRANGE?",           nullptr},
    { 83, "MIX",                 p7kVideoWord},
    { 84, "MIX?",                p7kGetMicMix},
    { 85, "MODEL?",              p7kGetModel},
    { 86, "MUTE",                p7kVideoWord},
    { 87, "MUTE?",               p7kVideoWord},
    { 88, "NAME",                p7kSetName},
    { 89, "NAME-RST",            p7kResetName},
    { 90, "NAME?",               p7kGetName},
    { 91, "NET-DHCP",            nullptr},
    { 92, "NET-DHCP?",           nullptr},
    { 93, "NET-GATE",            nullptr},
    { 94, "NET-GATE?",           nullptr},
    { 95, "NET-IP",              nullptr},
    { 96, "NET-IP?",             nullptr},
    { 97, "NET-MAC?",            nullptr},
    { 98, "NET-MASK",            nullptr},
    { 99, "NET-MASK?",           nullptr},
    {100, "NTDH",                nullptr},
    {101, "NTDH?",               nullptr},
    {102, "NTGT",                nullptr},
    {103, "NTGT?",               nullptr},
    {104, "NTIP",                nullptr},
    {105, "NTIP?",               nullptr},
    {106, "NTMC?",               nullptr},
    {107, "NTMSK",               nullptr},
    {108, "NTMSK?",              nullptr},
    {109, "P2000",               nullptr},
    {110, "PAUD?",               nullptr},
    {111, "PDEL",                nullptr},
    {112, "PHY-RESET",           p7kPhyReset},
    {113, "PLST?",               nullptr},
    {114, "POWER",               p7kPower},
    {115, "POWER?",              p7kGetPower},
    {116, "PRCL",                nullptr},
    {117, "PROT-VER?",           nullptr},
    {118, "PRST-AUD?",           nullptr},
    {119, "PRST-DEL",            nullptr},
    {120, "PRST-LST?",           nullptr},
    {121, "PRST-RCL",            nullptr},
    {122, "PRST-STO",            nullptr},
    {123, "PRST-VID?",           nullptr},
    {124, "PSTO",                nullptr},
    {125, "PTNL-CFG",            p7kSetTunnel},
    {126, "PTNL-CFG?",           p7kGetTunnel},
    {127, "PVID?",               nullptr},
    {128, "RESET",               p7kDelayedMenuAction},
    {129, "ROUTE",               p7kRoute},
    {130, "ROUTE?",              p7kVideoWord},
    {131, "RUN",                 nullptr},
    {132, "SCLR-AS",             p7kVideoWord},
    {133, "SCLR-AS?",            p7kVideoWord},
    {134, "SCLR-AUDIO-DELAY",    p7kVideoWord},
    {135, "SCLR-AUDIO-DELAY?",   p7kVideoWord},
    {136, "SN?",                 p7kGetSerial},
    {137, "SPI",                 p7kSpiWrite},
    {138, "SPI?",                p7kSpiRead},
    {139, "STOP",                nullptr},
    {140, "SYSTEM",              p7kSystem},
    {141, "SYSTEM_",             p7kReleaseSerial},
    {142, "TIME",                p7kSetTime},
    {143, "TIME-LOC",            p7kSetTimeZone},
    {146, "TIME-LOC?",           p7kGetTimeZone},
    {144, "TIME-SRV",            p7kSilent},
    {147, "TIME-SRV?",           p7kSilent},
    {145, "TIME?",               p7kGetTime},
    {148, "TREBLE",              nullptr},
    {149, "TREBLE?",             nullptr},
    {150, "UART",                p7kSetUart},
    {151, "UART?",               p7kGetUart},
    {152, "UPGRADE",             nullptr},
    {153, "UPGRADES",            nullptr},
    {154, "V",                   nullptr},
    {155, "V?",                  nullptr},
    {156, "VERBOSE",             p7kSetVerbose},
    {157, "VERBOSE?",            p7kGetVerbose},
    {158, "VERSION",             nullptr},
    {159, "VERSION?",            nullptr},
    {160, "VFRZ",                nullptr},
    {161, "VFRZ?",               p7kVideoWord},
    {162, "VID",                 nullptr},
    {163, "VID-RES",             p7kVideoWord},
    {164, "VID-RES?",            p7kVideoWord},
    {165, "VID?",                nullptr},
    {166, "VMUTE",               p7kVideoWord},
    {167, "VMUTE?",              p7kVideoWord},
    {168, "VOL",                 nullptr},
    {169, "VOL?",                nullptr},
    {170, "VOLUME",              p7kVideoWord},
    {171, "VOLUME?",             p7kGetVolume},
    {172, "WIN-CUST",            p7kSetCustomWindow},
    {173, "WIN-CUST?",           p7kGetCustomWindow},
    {174, "Y",                   p7kScalerCommand},
    {175, "ZUSR",                p7kUserQuery},
    {176, "ZZZ",                 nullptr},
}};
// clang-format on

constexpr bool sortedByBytes() {
    for (size_t i = 1; i < kWords.size(); ++i)
        if (!(std::string_view(kWords[i - 1].word) < std::string_view(kWords[i].word))) return false;
    return true;
}
static_assert(sortedByBytes(), "the lookup is a binary search");

}  // namespace

std::span<const P7kWord> p7kWords() { return kWords; }

const P7kWord* p7kFindWord(std::string_view word) {
    const std::string key(word);
    int low = 0, high = static_cast<int>(kWords.size()) - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        // Over the longer length, terminators included: the match is exact.
        const int c = str_cncmp(kWords[mid].word, key.c_str(), std::max(key.size(), std::char_traits<char>::length(kWords[mid].word)));
        if (c == 0) return &kWords[mid];
        if (c < 0) low = mid + 1;
        else high = mid - 1;
    }
    return nullptr;
}

const P7kWord* p7kRowOfId(int id) {
    // Rows and ids differ only in four rows next to each other.
    if (id >= 0 && id < static_cast<int>(kWords.size()) && kWords[id].id == static_cast<uint32_t>(id)) return &kWords[id];
    for (const P7kWord& w : kWords)
        if (w.id == static_cast<uint32_t>(id)) return &w;
    return nullptr;
}

const char* p7kWordOfId(int id) {
    const P7kWord* row = p7kRowOfId(id);
    return row ? row->word : "";
}
