#include "commands/network_param.h"
#include "core/pm.h"
#include "platform/sim/board_conf.h"
#include "support/temp_board.h"
#include "sys/eeprom.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <string>

using hx40test::TempBoard;

namespace {

std::string hex(const uint8_t* p, size_t n) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%s%02x", i ? " " : "", p[i]);
        out += b;
    }
    return out;
}

std::string storedRecord(const TempBoard& board) {
    std::string image = board.read("sim/eeprom.bin");
    return hex(reinterpret_cast<const uint8_t*>(image.data()) + 0x7ED0, 40);
}

uint32_t addr(const char* dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

// A record with the given IP, mask and gateway (set raw, around the checks).
DefaultEepromEthParam record(const char* ip, const char* mask, const char* gw) {
    DefaultEepromEthParam r;
    EXPECT_EQ(r.setGw("0.0.0.0"), 1);
    EXPECT_EQ(r.setMask(mask), 1);
    EXPECT_EQ(r.setIp(ip), 1);
    EXPECT_EQ(r.setGw(gw), 1);
    return r;
}

}  // namespace

TEST(NetworkRecord, FactoryRecordBytesInTheEeprom) {
    TempBoard board;
    DefaultEepromEthParam r;
    ASSERT_EQ(r.eepromWrite(), 0);
    EXPECT_EQ(storedRecord(board),
              "c0 a8 01 27 ff ff 00 00 c0 a8 00 01 02 00 00 00 00 01 00 00 88 13 50 c3 "
              "00 00 00 00 81 06 0f 1c 01 00 00 00 00 00 00 00");
    EXPECT_EQ(r.getIpStr(), "192.168.1.39");
    EXPECT_EQ(r.getMaskStr(), "255.255.0.0");
    EXPECT_EQ(r.getGwStr(), "192.168.0.1");
    EXPECT_EQ(r.getMacStr('-'), "02-00-00-00-00-01");
    EXPECT_EQ(r.getSntpIpStr(), "129.6.15.28");
}

TEST(NetworkRecord, EveryFieldLandsAtItsOffset) {
    TempBoard board;
    DefaultEepromEthParam r = record("10.20.30.40", "255.255.255.0", "10.20.30.1");
    ASSERT_EQ(r.setMac("0a-1B-2c-3D-4e-5F"), 1);
    ASSERT_EQ(r.setDHCPMode(2), 1);
    ASSERT_EQ(r.setTCPPort(0x1234), 1);
    ASSERT_EQ(r.setUDPPort(65535), 1);
    ASSERT_EQ(r.setSNTPMode(1), 1);
    ASSERT_EQ(r.setSntpIp("1.2.3.4"), 1);
    r.SetFporceFlag(0x01020304);
    r.SetVerboseMode(0xA0B0C0D0);
    ASSERT_EQ(r.eepromWrite(), 0);
    EXPECT_EQ(storedRecord(board),
              "0a 14 1e 28 ff ff ff 00 0a 14 1e 01 0a 1b 2c 3d 4e 5f 02 00 34 12 ff ff "
              "01 00 00 00 01 02 03 04 04 03 02 01 d0 c0 b0 a0");
    EXPECT_EQ(r.getMacStr(':'), "0a:1b:2c:3d:4e:5f");

    // Read back into a fresh record, reserved bytes included.
    std::string image = board.read("sim/eeprom.bin");
    image[0x7ED0 + 19] = '\x77';
    image[0x7ED0 + 26] = '\x66';
    board.write("sim/eeprom.bin", image);
    DefaultEepromEthParam back;
    ASSERT_EQ(back.eepromRead(), 0);
    EXPECT_EQ(back.getIpStr(), "10.20.30.40");
    EXPECT_EQ(back.getTCPPort(), 0x1234);
    EXPECT_EQ(back.getUDPPort(), 65535);
    EXPECT_EQ(back.GetVerboseMode(), 0xA0B0C0D0u);
    ASSERT_EQ(back.eepromWrite(), 0);
    EXPECT_EQ(storedRecord(board),
              "0a 14 1e 28 ff ff ff 00 0a 14 1e 01 0a 1b 2c 3d 4e 5f 02 77 34 12 ff ff "
              "01 00 66 00 01 02 03 04 04 03 02 01 d0 c0 b0 a0");
}

TEST(NetworkRecord, ABlankRecordReadsAsTheBoardsFactoryValues) {
    TempBoard board;
    board::sim::mutableConf().set("tcp_port", "40001");
    board::sim::mutableConf().set("udp_port", "40002");
    board::sim::mutableConf().set("verbose", "1");
    DefaultEepromEthParam r;
    ASSERT_TRUE(r.setIp("10.0.0.9"));
    ASSERT_EQ(r.eepromRead(), 0);  // the EEPROM is blank
    EXPECT_EQ(r.getIpStr(), "192.168.1.39");
    EXPECT_EQ(r.getTCPPort(), 40001);
    EXPECT_EQ(r.getUDPPort(), 40002);
    EXPECT_EQ(r.GetVerboseMode(), 1u);
    EXPECT_EQ(r.setTCPPort(0), 1);  // 0 is the factory port
    EXPECT_EQ(r.getTCPPort(), 40001);

    // A seed the setters would refuse leaves the device's own ports.
    board::sim::mutableConf().set("tcp_port", "80");
    board::sim::mutableConf().set("udp_port", "x");
    board::sim::mutableConf().set("verbose", "0");
    DefaultEepromEthParam device;
    EXPECT_EQ(device.GetVerboseMode(), 0u);
    EXPECT_EQ(device.getTCPPort(), 5000);
    EXPECT_EQ(device.getUDPPort(), 50000);
}

TEST(NetworkRecord, AddressChecks) {
    TempBoard board;
    struct {
        const char* what;
        const char* ip;  // the record: ip, mask 255.255.255.0, gateway
        const char* gw;
        const char* field;  // "ip", "mask" or "gw"
        const char* value;
        int ok;
    } cases[] = {
        {"plain address", "192.168.1.39", "192.168.1.1", "ip", "192.168.1.50", 1},
        {"the mask", "192.168.1.39", "192.168.1.1", "ip", "255.255.255.0", 0},
        {"local host", "192.168.1.39", "0.0.0.0", "ip", "127.0.0.1", 0},
        {"multicast", "192.168.1.39", "0.0.0.0", "ip", "224.0.0.1", 0},
        {"class E", "192.168.1.39", "0.0.0.0", "ip", "240.1.1.1", 0},
        {"broadcast", "192.168.1.39", "192.168.1.1", "ip", "192.168.1.255", 0},
        {"network", "192.168.1.39", "192.168.1.1", "ip", "192.168.1.0", 0},
        {"the gateway", "192.168.1.39", "192.168.1.1", "ip", "192.168.1.1", 0},
        {"zero", "192.168.1.39", "0.0.0.0", "ip", "0.0.0.0", 0},
        {"not an address", "192.168.1.39", "0.0.0.0", "ip", "192.168.1", 1},  // inet_aton reads 192.168.0.1
        {"garbage", "192.168.1.39", "0.0.0.0", "ip", "abc", 0},
        {"mask /16", "192.168.1.39", "0.0.0.0", "mask", "255.255.0.0", 1},
        {"mask /32", "192.168.1.39", "0.0.0.0", "mask", "255.255.255.255", 1},
        {"mask /1", "192.168.1.39", "0.0.0.0", "mask", "128.0.0.0", 1},
        {"mask with a hole", "192.168.1.39", "0.0.0.0", "mask", "255.255.0.255", 0},
        {"mask zero", "192.168.1.39", "0.0.0.0", "mask", "0.0.0.0", 0},
        {"mask without the top bit", "192.168.1.39", "0.0.0.0", "mask", "127.255.255.0", 0},
        {"no gateway", "192.168.1.39", "192.168.1.1", "gw", "0.0.0.0", 1},
        {"gateway in the subnet", "192.168.1.39", "0.0.0.0", "gw", "192.168.1.254", 1},
        {"gateway is the mask", "192.168.1.39", "0.0.0.0", "gw", "255.255.255.0", 0},
        {"gateway local host", "192.168.1.39", "0.0.0.0", "gw", "127.0.0.1", 0},
        {"gateway multicast", "192.168.1.39", "0.0.0.0", "gw", "239.255.255.255", 0},
        {"gateway broadcast", "192.168.1.39", "0.0.0.0", "gw", "192.168.1.255", 0},
        {"gateway network", "192.168.1.39", "0.0.0.0", "gw", "192.168.1.0", 0},
        {"gateway is the ip", "192.168.1.39", "0.0.0.0", "gw", "192.168.1.39", 0},
        {"gateway outside", "192.168.1.39", "0.0.0.0", "gw", "192.168.2.1", 0},
    };
    for (const auto& c : cases) {
        DefaultEepromEthParam r = record(c.ip, "255.255.255.0", c.gw);
        const std::string before = r.getIpStr() + r.getMaskStr() + r.getGwStr();
        std::string f = c.field;
        int got = f == "ip" ? r.setIp(c.value) : f == "mask" ? r.setMask(c.value) : r.setGw(c.value);
        EXPECT_EQ(got, c.ok) << c.what;
        if (!c.ok) {
            EXPECT_EQ(r.getIpStr() + r.getMaskStr() + r.getGwStr(), before) << c.what;
        }
    }
    EXPECT_EQ(DefaultEepromEthParam::checkMaskValid(addr("255.255.255.252")), 1);
    EXPECT_EQ(DefaultEepromEthParam::checkMaskValid(addr("255.254.255.0")), 0);
}

TEST(NetworkRecord, ModePortAndMacChecks) {
    TempBoard board;
    DefaultEepromEthParam r;
    struct {
        const char* what;
        int (DefaultEepromEthParam::*set)(int);
        int value;
        int ok;
    } numbers[] = {
        {"dhcp 0", &DefaultEepromEthParam::setDHCPMode, 0, 1},
        {"dhcp 2", &DefaultEepromEthParam::setDHCPMode, 2, 1},
        {"dhcp 3", &DefaultEepromEthParam::setDHCPMode, 3, 0},
        {"dhcp -1", &DefaultEepromEthParam::setDHCPMode, -1, 0},
        {"sntp 2", &DefaultEepromEthParam::setSNTPMode, 2, 1},
        {"sntp 3", &DefaultEepromEthParam::setSNTPMode, 3, 0},
        {"tcp 1023", &DefaultEepromEthParam::setTCPPort, 1023, 0},
        {"tcp 1024", &DefaultEepromEthParam::setTCPPort, 1024, 1},
        {"tcp 65535", &DefaultEepromEthParam::setTCPPort, 65535, 1},
        {"tcp 65536", &DefaultEepromEthParam::setTCPPort, 65536, 0},
        {"tcp -1", &DefaultEepromEthParam::setTCPPort, -1, 0},
        {"udp 1023", &DefaultEepromEthParam::setUDPPort, 1023, 0},
        {"udp 40000", &DefaultEepromEthParam::setUDPPort, 40000, 1},
    };
    for (const auto& c : numbers) EXPECT_EQ((r.*c.set)(c.value), c.ok) << c.what;
    EXPECT_EQ(r.setTCPPort(0), 1);
    EXPECT_EQ(r.getTCPPort(), 5000);
    EXPECT_EQ(r.setUDPPort(0), 1);
    EXPECT_EQ(r.getUDPPort(), 50000);

    struct {
        const char* text;
        int ok;
    } macs[] = {
        {"00-11-22-33-44-55", 1}, {"a-b-c-d-e-f", 1},          {"00:11:22:33:44:55", 0},
        {"00-11-22-33-44", 0},    {"00-11-22-33-44-55-66", 0}, {"00-11-22-33-44-55 ", 0},
        {"00-11-22-33-44-zz", 0},
    };
    for (const auto& m : macs) EXPECT_EQ(r.setMac(m.text), m.ok) << m.text;
    EXPECT_EQ(r.getMacStr('-'), "0a-0b-0c-0d-0e-0f");
    EXPECT_EQ(r.setSntpIp("pool"), 0);
    EXPECT_EQ(r.setSntpIp("10.1.1.1"), 1);
}

TEST(NetworkRecord, FactoryResetKeepsTheMacAndTheForceFlag) {
    TempBoard board;
    struct {
        const char* what;
        std::array<uint8_t, 6> mac;
        const char* kept;
    } cases[] = {
        {"a MAC", {0x00, 0x1c, 0x2d, 0x3e, 0x4f, 0x50}, "00-1c-2d-3e-4f-50"},
        {"a blank MAC", {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, "02-00-00-00-00-01"},
    };
    for (const auto& c : cases) {
        DefaultEepromEthParam r = record("10.0.0.5", "255.0.0.0", "10.0.0.1");
        r.setDHCPMode(1);
        r.setTCPPort(6000);
        r.SetFporceFlag(0);
        r.SetVerboseMode(1);
        r.FactoryReset(c.mac.data());
        EXPECT_EQ(r.getIpStr() + " " + r.getMaskStr() + " " + r.getGwStr(), "192.168.1.39 255.255.0.0 192.168.0.1");
        EXPECT_EQ(r.getMacStr('-'), c.kept) << c.what;
        EXPECT_EQ(r.getDHCPMode(), 0);
        EXPECT_EQ(r.getTCPPort(), 5000);
        EXPECT_EQ(r.GetVerboseMode(), 0u);
        EXPECT_EQ(r.GetForceFlag(), 0u) << c.what;
    }
}

TEST(NetworkRecord, NetworkStatFilesLoadThroughTheSetters) {
    TempBoard board;
    struct {
        const char* what;
        const char* file;  // nullptr: none
        const char* result;
    } cases[] = {
        {"a lease", "dhcp: SUCCESS\nip:   10.1.2.3\nmask: 255.255.255.0\ngw:   10.1.2.1\n",
         "10.1.2.3 255.255.255.0 10.1.2.1"},
        {"no file", nullptr, "192.168.1.39 255.255.0.0 192.168.0.1"},
        {"refused values keep the old ones", "ip: 127.0.0.1\nmask: 255.0.255.0\ngw: 192.168.0.1\n",
         "192.168.1.39 255.255.0.0 192.168.0.1"},
        // Each value meets the rule with what came before it.
        {"gateway checked against the old subnet", "gw: 10.1.2.1\nip: 10.1.2.3\nmask: 255.255.255.0\n",
         "10.1.2.3 255.255.255.0 192.168.0.1"},
        {"unknown keys", "dhcp: OFF\nfoo: 1.2.3.4\n", "192.168.1.39 255.255.0.0 192.168.0.1"},
    };
    for (const auto& c : cases) {
        if (c.file) board.write("root/persist/network_stat", c.file);
        else std::remove(board.file("root/persist/network_stat").c_str());
        DefaultEepromEthParam r;
        r.LoadLinuxNetworkParam("/root/persist/network_stat");
        EXPECT_EQ(r.getIpStr() + " " + r.getMaskStr() + " " + r.getGwStr(), c.result) << c.what;
    }
}
