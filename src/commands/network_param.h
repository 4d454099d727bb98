// The device's network settings: one 40-byte record in the parameter EEPROM,
// checked before anything is stored, and applied to the system through a
// generated script (/root/persist/configure_network, also run at boot) that
// reports what it set in /root/persist/network_stat.
//
// Record layout at EEPROM offset 0x7ED0 (multi-byte numbers little-endian):
//   0 IP  4 mask  8 gateway (network byte order; gateway 0.0.0.0 = none)
//  12 MAC (6)  18 DHCP mode (0 static, 1 DHCP with static fallback, 2 none)
//  19 reserved  20 TCP port (u16)  22 UDP port (u16)  24 SNTP mode
//  25 reserved (3)  28 SNTP server (network order)
//  32 force flag (u32: 0 = the next save writes the script but does not run it)
//  36 verbose word (u32)
//
// Factory control ports: the device's are 5000 (TCP) and 50000 (UDP). The
// simulated board takes them from board.conf's tcp_port and udp_port
// (written by "hx40-sim init --tcp N --udp M"), so that boards of parallel
// tests listen on ports of their own. A record never written (all 0xFF, a
// blank EEPROM) reads as the factory values.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class DefaultEepromEthParam {
public:
    static constexpr uint16_t kEepromOffset = 0x7ED0;
    static constexpr uint16_t kSize = 40;
    using Bytes = std::array<uint8_t, kSize>;

    // Factory values, force flag 1.
    DefaultEepromEthParam();

    // Factory values except the force flag; keeps mac unless all its bytes
    // are 0xFF (then the factory MAC).
    void FactoryReset(const uint8_t mac[6]);

    // Raw values: addresses in network byte order.
    uint32_t getIp() const { return word(0); }
    uint32_t getMask() const { return word(4); }
    uint32_t getGw() const { return word(8); }
    std::array<uint8_t, 6> getMac() const;
    uint8_t getDHCPMode() const { return rec_[18]; }
    uint8_t getSNTPMode() const { return rec_[24]; }
    uint16_t getTCPPort() const { return u16(20); }
    uint16_t getUDPPort() const { return u16(22); }
    uint32_t GetForceFlag() const { return u32(32); }
    uint32_t GetVerboseMode() const { return u32(36); }

    std::string getIpStr() const { return dotted(getIp()); }
    std::string getMaskStr() const { return dotted(getMask()); }
    std::string getGwStr() const { return dotted(getGw()); }
    std::string getSntpIpStr() const { return dotted(word(28)); }
    // Lower-case hex pairs joined by separator.
    std::string getMacStr(char separator) const;

    // 1 stored, 0 refused (the record is unchanged).
    int setIp(const std::string& text);
    int setMask(const std::string& text);
    int setGw(const std::string& text);
    int setSntpIp(const std::string& text);
    int setMac(const std::string& text);  // "xx-xx-xx-xx-xx-xx"
    int setDHCPMode(int mode);            // 0..2
    int setSNTPMode(int mode);            // 0..2
    int setTCPPort(int port);             // 0 = factory port; else 1024..65535
    int setUDPPort(int port);
    void SetFporceFlag(uint32_t flag);
    void SetVerboseMode(uint32_t verbose);

    // Addresses in network byte order, checked against the record's own
    // IP, mask and gateway: 1 valid, 0 not.
    int checkIpValid(uint32_t ip) const;
    static int checkMaskValid(uint32_t mask);
    int checkGwValid(uint32_t gw) const;

    // The 40 bytes from and to the EEPROM: 0, or the EEPROM's error (the
    // record is then unchanged).
    int eepromRead();
    int eepromWrite() const;

    // What applying the record came to.
    enum class Applied {
        kDone,          // applied, or (force flag clear) written for the next run
        kNotWritten,    // the generated files could not be written: nothing changed
        kScriptFailed,  // the script ended with a non-zero status; network_stat is as before
    };
    // Writes the script and the environment file; with the force flag set
    // also runs the script and reads back what it reports (DHCP mode 2
    // reports nothing); without it sets the flag (in memory) for the next
    // save.
    Applied SaveLinuxNetworkParam();
    // The script and the environment file only (each replaced whole); false
    // when one could not be written.
    bool WriteLinuxNetworkFiles() const;

    enum class Stored { kStored, kEepromFailed, kNotWritten, kScriptFailed };
    // Stores the record in the EEPROM and applies it. When a step fails,
    // previous (the record stored before) is put back: in the EEPROM and in
    // the generated files, and after a failed script on eth0 too (its
    // script runs again); network_stat keeps what it held.
    Stored StoreAndApply(const DefaultEepromEthParam& previous);
    // Reads "ip:", "mask:" and "gw:" of a network_stat file (a device path)
    // through the setters, in file order; a missing file changes nothing.
    void LoadLinuxNetworkParam(const char* path);

    // The generated files' text, exactly as written.
    std::string ConfigureNetworkText() const;
    static std::string EnvironmentText();

    const Bytes& bytes() const { return rec_; }

    // The factory reset of the parameter memory: the stored record to its
    // factory values, keeping its MAC; the script and environment file are
    // written but not run. False when the record or a file was not written.
    static bool ResetToFactory();

private:
    // Runs the generated script (the web server restarts first, as the
    // address may change); its status, journalled as what.
    static int runScript(const char* what);
    enum class AddressRule { Ip, Mask, Gateway, Any };
    // Parses text (as inet_aton does), checks it by the rule and stores it.
    int storeAddress(int at, const std::string& text, AddressRule rule);
    uint32_t word(int at) const;
    void setWord(int at, uint32_t v);
    uint16_t u16(int at) const { return static_cast<uint16_t>(rec_[at] | rec_[at + 1] << 8); }
    void setU16(int at, uint16_t v);
    uint32_t u32(int at) const;
    void setU32(int at, uint32_t v);
    static std::string dotted(uint32_t address);
    void defaults();

    Bytes rec_{};
};

// Start-up: the address, mask and gateway the boot script reported in
// /root/persist/network_stat, read into the stored record and printed.
void LoadLinuxNetworkParam();
