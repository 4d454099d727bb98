#include "commands/network_param.h"

#include "commands/settings_files.h"
#include "core/pm.h"
#include "platform/board.h"
#include "platform/journal.h"
#include "platform/net.h"
#include "protocol/ws_server.h"
#include "sys/eeprom.h"
#include "sys/mydosystem.h"
#include "sys/print.h"
#include "sys/timeutil.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kFactoryIp = "192.168.1.39";
constexpr const char* kFactoryMask = "255.255.0.0";
constexpr const char* kFactoryGw = "192.168.0.1";
// A public time server; nothing here ever asks it (ntpd is a stand-in).
constexpr const char* kFactorySntp = "129.6.15.28";
constexpr uint8_t kFactoryMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

constexpr const char* kScript = board::deviceText("/root/persist/configure_network");
constexpr const char* kStat = board::deviceText("/root/persist/network_stat");
constexpr const char* kEnvDir = board::deviceText("/root/persist/.preprofile.d");
constexpr const char* kEnv = board::deviceText("/root/persist/.preprofile.d/myenv");

// The script's own run is bounded by its tools (udhcpc tries once); the
// file it writes is then either there or never comes, so the wait only
// allows for a slow file system, within the line's budget of such waits.
constexpr uint32_t kStatFileWaitMs = 2000;

enum : int {
    OFF_IP = 0, OFF_MASK = 4, OFF_GW = 8, OFF_MAC = 12, OFF_DHCP = 18, OFF_TCP = 20, OFF_UDP = 22,
    OFF_SNTP_MODE = 24, OFF_SNTP_IP = 28, OFF_FORCE = 32, OFF_VERBOSE = 36,
};

uint32_t hostOrder(uint32_t net) { return ntohl(net); }

bool parseAddress(const std::string& text, uint32_t& out) {
    in_addr a{};
    if (text.find('\0') != std::string::npos || ::inet_aton(text.c_str(), &a) == 0) return false;
    out = a.s_addr;
    return true;
}

uint32_t address(const char* dotted) {
    uint32_t a = 0;
    parseAddress(dotted, a);
    return a;
}


bool waitForFile(const char* devicePath, uint32_t boundMs) {
    const std::string p = board::path(devicePath);
    const uint32_t start = getCurrMsCount();
    const uint32_t bound = waitBudget(boundMs);
    bool found;
    while (!(found = ::access(p.c_str(), F_OK) == 0) && getElapsedMs(start) < bound) Sleep(10);
    spendWaitBudget(getElapsedMs(start));
    return found;
}

bool readWhole(const char* devicePath, std::string& text) {
    std::ifstream in(board::path(devicePath), std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

DefaultEepromEthParam::DefaultEepromEthParam() {
    defaults();
    SetFporceFlag(1);
}

void DefaultEepromEthParam::defaults() {
    setWord(OFF_IP, address(kFactoryIp));
    setWord(OFF_MASK, address(kFactoryMask));
    setWord(OFF_GW, address(kFactoryGw));
    setWord(OFF_SNTP_IP, address(kFactorySntp));
    std::memcpy(&rec_[OFF_MAC], kFactoryMac, 6);
    rec_[OFF_DHCP] = 0;
    rec_[OFF_SNTP_MODE] = 0;
    const board::net::FactoryControl control = board::net::factoryControl();
    setU16(OFF_TCP, control.tcpPort);
    setU16(OFF_UDP, control.udpPort);
    setU32(OFF_VERBOSE, control.verbose);
}

void DefaultEepromEthParam::FactoryReset(const uint8_t mac[6]) {
    defaults();
    static const uint8_t kBlank[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    if (mac != nullptr && std::memcmp(mac, kBlank, 6) != 0) std::memcpy(&rec_[OFF_MAC], mac, 6);
}

uint32_t DefaultEepromEthParam::word(int at) const {
    uint32_t v;
    std::memcpy(&v, &rec_[at], 4);
    return v;
}

void DefaultEepromEthParam::setWord(int at, uint32_t v) { std::memcpy(&rec_[at], &v, 4); }

void DefaultEepromEthParam::setU16(int at, uint16_t v) {
    rec_[at] = static_cast<uint8_t>(v);
    rec_[at + 1] = static_cast<uint8_t>(v >> 8);
}

uint32_t DefaultEepromEthParam::u32(int at) const {
    return uint32_t{rec_[at]} | uint32_t{rec_[at + 1]} << 8 | uint32_t{rec_[at + 2]} << 16 |
           uint32_t{rec_[at + 3]} << 24;
}

void DefaultEepromEthParam::setU32(int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) rec_[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string DefaultEepromEthParam::dotted(uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::array<uint8_t, 6> DefaultEepromEthParam::getMac() const {
    std::array<uint8_t, 6> mac{};
    std::memcpy(mac.data(), &rec_[OFF_MAC], 6);
    return mac;
}

std::string DefaultEepromEthParam::getMacStr(char separator) const {
    char text[18];
    const uint8_t* m = &rec_[OFF_MAC];
    std::snprintf(text, sizeof text, "%02x%c%02x%c%02x%c%02x%c%02x%c%02x", m[0], separator, m[1], separator, m[2],
                  separator, m[3], separator, m[4], separator, m[5]);
    return text;
}

int DefaultEepromEthParam::checkIpValid(uint32_t ipNet) const {
    const uint32_t ip = hostOrder(ipNet), mask = hostOrder(getMask()), gw = hostOrder(getGw());
    if (ip == mask || ip == 0x7F000001u || ip >= 0xE0000000u || ip == (ip | ~mask) || ip == (ip & mask) ||
        ip == gw || ip == 0)
        return 0;
    return 1;
}

int DefaultEepromEthParam::checkMaskValid(uint32_t maskNet) {
    const uint32_t mask = hostOrder(maskNet);
    for (int i = 31; i >= 0; --i) PRINT(PRINT_GENERAL, "MaskInt>>%d & 1 = %d\n", i, static_cast<int>(mask >> i & 1));
    if ((mask & 0x80000000u) == 0) return 0;
    const uint32_t zeros = ~mask;  // must be ones from the bottom only
    return (zeros & (zeros + 1)) == 0 ? 1 : 0;
}

int DefaultEepromEthParam::checkGwValid(uint32_t gwNet) const {
    const uint32_t gw = hostOrder(gwNet), ip = hostOrder(getIp()), mask = hostOrder(getMask());
    const char* why = nullptr;
    if (gw == 0) {
        PRINT(PRINT_GENERAL, "checkGwValid: /default gw\n");
        return 1;
    }
    if (gw == mask) why = "/mask address";
    else if (gw == 0x7F000001u) why = "/local host";
    else if (gw >= 0xE0000000u && gw <= 0xEFFFFFFFu) why = "///multycast";
    else if (gw == (ip | ~mask)) why = "//broadcast";
    else if (gw == (ip & mask)) why = "////host address";
    else if (gw == ip) why = "ip";
    else if ((ip & mask) != (gw & mask)) why = "not in net id";
    if (why) {
        PRINT(PRINT_GENERAL, "checkGwValid: %s\n", why);
        return 0;
    }
    return 1;
}

int DefaultEepromEthParam::storeAddress(int at, const std::string& text, AddressRule rule) {
    uint32_t a = 0;
    if (!parseAddress(text, a)) return 0;
    switch (rule) {
    case AddressRule::Ip:
        if (!checkIpValid(a)) return 0;
        break;
    case AddressRule::Mask:
        if (!checkMaskValid(a)) return 0;
        break;
    case AddressRule::Gateway:
        if (!checkGwValid(a)) return 0;
        break;
    case AddressRule::Any: break;
    }
    setWord(at, a);
    return 1;
}

int DefaultEepromEthParam::setIp(const std::string& text) { return storeAddress(OFF_IP, text, AddressRule::Ip); }
int DefaultEepromEthParam::setMask(const std::string& text) { return storeAddress(OFF_MASK, text, AddressRule::Mask); }
int DefaultEepromEthParam::setGw(const std::string& text) { return storeAddress(OFF_GW, text, AddressRule::Gateway); }
int DefaultEepromEthParam::setSntpIp(const std::string& text) {
    return storeAddress(OFF_SNTP_IP, text, AddressRule::Any);
}

int DefaultEepromEthParam::setMac(const std::string& text) {
    unsigned char m[6];
    int used = -1;
    if (std::sscanf(text.c_str(), "%hhx-%hhx-%hhx-%hhx-%hhx-%hhx%n", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5],
                    &used) != 6 ||
        static_cast<size_t>(used) != text.size())
        return 0;
    std::memcpy(&rec_[OFF_MAC], m, 6);
    return 1;
}

int DefaultEepromEthParam::setDHCPMode(int mode) {
    if (mode < 0 || mode > 2) return 0;
    rec_[OFF_DHCP] = static_cast<uint8_t>(mode);
    return 1;
}

int DefaultEepromEthParam::setSNTPMode(int mode) {
    if (mode < 0 || mode > 2) return 0;
    rec_[OFF_SNTP_MODE] = static_cast<uint8_t>(mode);
    return 1;
}

int DefaultEepromEthParam::setTCPPort(int port) {
    if (port == 0) port = board::net::factoryControl().tcpPort;
    if (port < 1024 || port > 65535) return 0;
    setU16(OFF_TCP, static_cast<uint16_t>(port));
    return 1;
}

int DefaultEepromEthParam::setUDPPort(int port) {
    if (port == 0) port = board::net::factoryControl().udpPort;
    if (port < 1024 || port > 65535) return 0;
    setU16(OFF_UDP, static_cast<uint16_t>(port));
    return 1;
}

void DefaultEepromEthParam::SetFporceFlag(uint32_t flag) { setU32(OFF_FORCE, flag); }
void DefaultEepromEthParam::SetVerboseMode(uint32_t verbose) { setU32(OFF_VERBOSE, verbose); }

int DefaultEepromEthParam::eepromRead() {
    Bytes stored{};
    if (int rc = ::eepromRead(kEepromOffset, kSize, stored.data()); rc != 0) {
        PRINT(PRINT_GENERAL, "DefaultEepromEthParam: EEPROM read failed (%d)\n", rc);
        return rc;
    }
    Bytes blank;
    blank.fill(0xFF);
    if (stored == blank) {
        PRINT(PRINT_GENERAL, "DefaultEepromEthParam: no stored record, factory values\n");
        *this = DefaultEepromEthParam();
        return 0;
    }
    rec_ = stored;
    return 0;
}

int DefaultEepromEthParam::eepromWrite() const { return ::eepromWrite(kEepromOffset, kSize, rec_.data()); }

std::string DefaultEepromEthParam::ConfigureNetworkText() const {
    const std::string ip = getIpStr(), mask = getMaskStr(), gw = getGwStr();
    const bool route = gw != "0.0.0.0";
    std::string s;
    s += "# auto-generated by hx40_app - don't modify \n";
    s += "create_dhcp_stat_file () {\n";
    s += "\tlocal _stat=$1\n";
    s += "\tlocal _ip=`ifconfig eth0 | grep 'inet addr' | tr -d [:[:alpha:]] | awk '{print $1}'`\n";
    s += "\tlocal _mask=`ifconfig eth0 | grep 'inet addr' | tr -d [:[:alpha:]] | awk '{print $3}'`\n";
    s += "\tlocal _gw=`route -n | grep '^0\\.0\\.0\\.0' | awk '{print $2}' | head -n1`\n";
    s += "\t[ -z \"$_gw\" ] && _gw=0.0.0.0\n";
    s += "\n";
    s += "\tcat > " + std::string(kStat) + " <<EOF\n";
    s += "dhcp: $_stat\n";
    s += "ip:   $_ip\n";
    s += "mask: $_mask\n";
    s += "gw:   $_gw\n";
    s += "EOF\n";
    s += "}\n";
    s += "\n";
    s += "if [ -f " + std::string(kEnv) + " ]; then\n";
    s += ". " + std::string(kEnv) + "\n";
    s += "fi\n";
    s += "if [ 1 ]; then\n";
    s += std::string(board::deviceText("/sbin/ifconfig eth0 down")) + "\n";
    s += std::string(board::deviceText("/sbin/ifconfig eth0 hw ether ")) + getMacStr(':') + "\n";
    s += std::string(board::deviceText("/sbin/ifconfig eth0 up")) + "\n";
    const std::string address = std::string(board::deviceText("/sbin/ifconfig eth0 ")) + ip + " netmask " + mask;
    const std::string gateway = std::string(board::deviceText("/sbin/route add default gw ")) + gw;
    switch (getDHCPMode()) {
    case 0:
        s += address + "\n";
        if (route) s += gateway + "\n";
        s += "create_dhcp_stat_file OFF\n";
        break;
    case 1:
        s += "# Check if udhcpc is running\n";
        s += std::string("if pgrep \"udhcpc\" > ") + board::deviceText("/dev/null") + "\n";
        s += "then\n";
        s += "\techo \"udhcpc is running, kill it...\"\n";
        s += "\tkillall udhcpc\n";
        s += "fi\n";
        s += "udhcpc -n -q -t 1 -S\n";
        s += "if [ $? == 1 ]; then\n";
        s += "\t# dhcp failed\n";
        s += "\t" + address + "\n";
        if (route) s += "\t" + gateway + "\n";
        s += "\tcreate_dhcp_stat_file FAIL\n";
        s += "else\n";
        s += "\t# dhcp success\n";
        s += "\tcreate_dhcp_stat_file SUCCESS\n";
        s += "fi\n";
        break;
    default: break;  // the system keeps the address it has
    }
    s += "fi\n";
    // PM keeps the hours negated (west of UTC positive), as POSIX TZ reads them.
    char tz[32];
    std::snprintf(tz, sizeof tz, "export TZ=\"GMT%+d\"\n", static_cast<int>(PM.TIME_ZONE));
    s += tz;
    if (getSNTPMode() == 1) s += "ntpd -q -p " + getSntpIpStr() + "\n";
    return s;
}

std::string DefaultEepromEthParam::EnvironmentText() {
    std::string s;
    s += "# auto-generated by hx40_app - don't modify \n";
    s += "\n";
    s += std::string("echo \"$$:$0 have been called at $(date)\" >> ") +
         board::deviceText("/root/persist/debug.log") + "\n";
    s += std::string("[ ! -f ") + kScript + " ] && echo 'exit 0' >> " + board::deviceText("/root/persist/debug.log") +
         " && exit 0\n";
    s += "\n";
    s += "export EDID_HDMI=selka_HDMI_EDID.bin\n";
    s += "export EDID_VGA=selka_VGA_EDID.bin\n";
    return s;
}

bool DefaultEepromEthParam::WriteLinuxNetworkFiles() const {
    // The environment first: its text never changes, so a failure of either
    // leaves the script that goes with the stored record.
    ::mkdir(board::path(kEnvDir).c_str(), 0775);
    ::chmod(board::path(kEnvDir).c_str(), 0775);  // whatever the umask
    if (!writeSettingsFile(kEnv, EnvironmentText()) || !writeSettingsFile(kScript, ConfigureNetworkText()))
        return false;
    ::chmod(board::path(kScript).c_str(), 0770);
    return true;
}

DefaultEepromEthParam::Applied DefaultEepromEthParam::SaveLinuxNetworkParam() {
    if (!WriteLinuxNetworkFiles()) {
        board::journal("network.save", "not written");
        return Applied::kNotWritten;
    }
    board::journal("network.save", "dhcp=%u force=%u", getDHCPMode(), GetForceFlag());
    // The last report goes with the files it came from; it comes back when
    // the script fails.
    std::string report;
    const bool reported = readWhole(kStat, report);
    ::unlink(board::path(kStat).c_str());
    if (GetForceFlag() == 0) {
        SetFporceFlag(1);
        return Applied::kDone;
    }
    const int rc = runScript("network.script");
    if (rc != 0) {
        std::printf("SaveLinuxNetworkParam: the network script failed (status %d)\n", rc);
        if (reported) writeSettingsFile(kStat, report);
        else ::unlink(board::path(kStat).c_str());
        return Applied::kScriptFailed;
    }
    // Without address commands the script reports nothing.
    if (getDHCPMode() == 2) return Applied::kDone;
    if (!waitForFile(kStat, kStatFileWaitMs)) {
        // The record keeps what was asked; the system reported nothing.
        PRINT(PRINT_GENERAL, "SaveLinuxNetworkParam: no %s (script status %d)\n", kStat, rc);
        return Applied::kDone;
    }
    Sleep(10);
    LoadLinuxNetworkParam(kStat);
    Sleep(10);
    return Applied::kDone;
}

int DefaultEepromEthParam::runScript(const char* what) {
    reset_lws_protocol();
    Sleep(10);
    const int rc = MyDoSystem(kScript);
    board::journal(what, "status=%d", rc);
    return rc;
}

DefaultEepromEthParam::Stored DefaultEepromEthParam::StoreAndApply(const DefaultEepromEthParam& previous) {
    if (eepromWrite() != 0) {
        // A write cut short must not leave half a record.
        previous.eepromWrite();
        return Stored::kEepromFailed;
    }
    const Applied applied = SaveLinuxNetworkParam();
    if (applied == Applied::kDone) return Stored::kStored;
    previous.eepromWrite();
    // A script that failed part way may have applied the new address: the
    // previous one's script brings eth0 back to what the record says.
    if (applied == Applied::kScriptFailed && previous.WriteLinuxNetworkFiles()) runScript("network.restore");
    return applied == Applied::kNotWritten ? Stored::kNotWritten : Stored::kScriptFailed;
}

void DefaultEepromEthParam::LoadLinuxNetworkParam(const char* path) {
    std::ifstream in(board::path(path));
    std::string key, value;
    while (in >> key >> value) {
        if (key == "ip:") setIp(value);
        else if (key == "mask:") setMask(value);
        else if (key == "gw:") setGw(value);
    }
}

bool DefaultEepromEthParam::ResetToFactory() {
    DefaultEepromEthParam rec;
    rec.eepromRead();
    const auto mac = rec.getMac();
    rec.FactoryReset(mac.data());
    const bool stored = rec.eepromWrite() == 0;
    rec.SetFporceFlag(0);
    return rec.SaveLinuxNetworkParam() == Applied::kDone && stored;
}

void LoadLinuxNetworkParam() {
    DefaultEepromEthParam rec;
    rec.eepromRead();
    rec.LoadLinuxNetworkParam(board::deviceText("/root/persist/network_stat"));
    PRINT(PRINT_GENERAL, "network: ip %s mask %s gw %s\n", rec.getIpStr().c_str(), rec.getMaskStr().c_str(),
          rec.getGwStr().c_str());
    board::journal("network.stat", "ip=%s mask=%s gw=%s", rec.getIpStr().c_str(), rec.getMaskStr().c_str(),
                   rec.getGwStr().c_str());
}
