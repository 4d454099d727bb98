// The Misc page as a person at the front panel uses it: the menu's own
// time-out, the DHCP switch, a user message sent by hand and the factory
// reset, each seen where it lands (the menu window, the network record and
// the stand-ins' log, the user port, the EEPROM after the restart).
#include "support/menu_keys.h"
#include "support/pty_read.h"
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"
#include "sys/timeutil.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using hx40test::readFor;
using hx40test::SimDevice;

namespace {

constexpr int kWaitMs = 15000;
constexpr size_t kNetworkRecord = 0x7ED0;

void startAndSettle(SimDevice& dev) { hx40test::startAndSettle(dev, kWaitMs); }
bool press(SimDevice& dev, const std::string& key, int node) { return hx40test::pressMenuKey(dev, key, node, kWaitMs); }

// MENU, then UP to the Misc tab and ENTER: page 5 with its first item.
void openMisc(SimDevice& dev) {
    ASSERT_TRUE(press(dev, "MENU", 0)) << dev.journal();
    ASSERT_TRUE(press(dev, "UP", 0));
    ASSERT_TRUE(press(dev, "ENTER", 5));
}

// From a page: DOWN n times, then ENTER into the item.
void enterItem(SimDevice& dev, int page, int downs, int item) {
    for (int i = 0; i < downs; ++i) ASSERT_TRUE(press(dev, "DOWN", page)) << page << " " << i;
    ASSERT_TRUE(press(dev, "ENTER", item)) << dev.journal();
}

bool windowOn(SimDevice& dev) { return dev.ctl("state").find(" window on plane ") != std::string::npos; }

uint8_t eepromByte(const SimDevice& dev, size_t addr) {
    std::ifstream in(dev.file("sim/eeprom.bin"), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(addr));
    return static_cast<uint8_t>(in.get());
}

}  // namespace

TEST(MiscMenu, AShorterTimeOutClosesTheMenuSooner) {
    SimDevice dev;
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("pm set PM.OSDTM 2"), "OK\n");  // a minute
    openMisc(dev);
    enterItem(dev, 5, 1, 52);    // OSD
    enterItem(dev, 52, 5, 526);  // Time-Out: "60 Sec"
    // The time-out starts when the key is taken, after it is sent.
    const uint32_t lastKey = getCurrMsCount();
    ASSERT_TRUE(press(dev, "UP", 526));  // "30 Sec"
    EXPECT_TRUE(dev.waitJournal("resetOsdTimer value=1 ms=30000", kWaitMs)) << dev.journal();
    EXPECT_EQ(dev.ctl("pm get PM.OSDTM"), "OK 1\n");
    ASSERT_TRUE(windowOn(dev));

    ASSERT_TRUE(dev.waitFor([&] { return !windowOn(dev); }, 50000));
    const uint32_t after = getElapsedMs(lastKey);
    EXPECT_GE(after, 30000u);
    EXPECT_LT(after, 50000u) << "half a minute, not the minute it had";
    EXPECT_TRUE(dev.waitJournal("menu.step key=38 node=999", 2000));
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MiscMenu, TheDhcpSwitchGoesToTheNetworkRecordAndTheSystem) {
    SimDevice dev;
    std::ofstream(dev.file("sim/board.conf"), std::ios::app) << "dhcp_offer = 10.20.30.40 255.255.255.0 10.20.30.1\n";
    startAndSettle(dev);
    // A record never written reads as the factory values: DHCP off.
    openMisc(dev);
    enterItem(dev, 5, 4, 55);  // Control
    enterItem(dev, 55, 0, 551);
    enterItem(dev, 551, 0, 5511);

    size_t from = dev.journal().size();
    ASSERT_TRUE(press(dev, "DOWN", 5511));  // on
    ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("network.script status=0", from) != std::string::npos; },
                            kWaitMs))
        << dev.journal();
    EXPECT_EQ(eepromByte(dev, kNetworkRecord + 18), 1);
    std::string tools = dev.read("sim/tools.log");
    EXPECT_NE(tools.find("udhcpc -n -q -t 1 -S\n"), std::string::npos) << tools;
    EXPECT_NE(dev.read("sim/net/eth0").find("ip = 10.20.30.40\n"), std::string::npos) << dev.read("sim/net/eth0");
    EXPECT_NE(dev.read("root/persist/network_stat").find("ip:   10.20.30.40"), std::string::npos);

    from = dev.journal().size();
    ASSERT_TRUE(press(dev, "UP", 5511));  // off: the stored address again
    ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("network.script status=0", from) != std::string::npos; },
                            kWaitMs));
    EXPECT_EQ(eepromByte(dev, kNetworkRecord + 18), 0);
    tools = dev.read("sim/tools.log");
    EXPECT_NE(tools.rfind("ifconfig eth0 192.168.1.39 netmask 255.255.0.0\n"), std::string::npos) << tools;
    EXPECT_NE(dev.read("sim/net/eth0").find("ip = 192.168.1.39\n"), std::string::npos);

    // A control system reads the item from the network record, whoever set it.
    hx40test::LoopbackTcp tcp(dev.tcpPort);
    for (const std::string mode : {"1", "2"}) {
        ASSERT_TRUE(tcp.send("#NET-DHCP " + mode + "\r"));
        EXPECT_EQ(tcp.until("\r\n", kWaitMs), "~01@NET-DHCP " + mode + " OK\r\n");
        ASSERT_TRUE(tcp.send("#Y 1,5511\r"));
        EXPECT_EQ(tcp.until("\r\n", kWaitMs), "~01@Y 1,5511," + mode + "\r\n");
    }
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MiscMenu, SendMessageSendsTheStoredMessageOnTheUserPort) {
    SimDevice dev;
    std::ofstream(dev.file("root/persist/user1_msg.txt"), std::ios::binary) << "PROJECTOR ON\r\n";
    startAndSettle(dev);
    int fd = ::open(dev.file("term/ttyS3").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    openMisc(dev);
    enterItem(dev, 5, 4, 55);
    enterItem(dev, 55, 4, 555);    // User Messages
    enterItem(dev, 555, 0, 5551);  // USR1
    enterItem(dev, 5551, 6, 5551);  // Send Message: the port's page again
    EXPECT_EQ(readFor(fd, 14, kWaitMs), "PROJECTOR ON\r\n");
    EXPECT_TRUE(dev.waitJournal("usrmsg.send port=1 bytes=14 custom=0", kWaitMs));
    ::close(fd);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MiscMenu, FactoryResetRestoresTheFactoryValuesAndRestarts) {
    SimDevice dev;
    std::ofstream(dev.file("root/app/conf/input_labels")) << "Camera,Laptop,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\n";
    startAndSettle(dev);
    ASSERT_EQ(dev.ctl("pm set PM.OSDGAIN 3"), "OK\n");
    ASSERT_EQ(dev.ctl("pm save"), "OK saved\n");
    bool stored = false;
    for (int zone = 0; zone < 16; ++zone) stored = stored || eepromByte(dev, zone * 384 + 179) == 3;
    ASSERT_TRUE(stored);

    openMisc(dev);
    enterItem(dev, 5, 5, 56);  // Factory Reset
    const uint32_t t0 = getCurrMsCount();
    ASSERT_EQ(dev.ctl("key tap ENTER").substr(0, 2), "OK");  // Reset All: the countdown
    EXPECT_EQ(dev.waitExit(kWaitMs), 1);
    EXPECT_GE(getElapsedMs(t0), 5000u) << "after the five-second countdown";

    const std::string j = dev.journal();
    const size_t reset = j.find("factory_reset node=561 withNetwork=1");
    ASSERT_NE(reset, std::string::npos) << j;
    const size_t eeprom = j.find("factoryResetInitEeprom withNetwork=1", reset);
    EXPECT_NE(eeprom, std::string::npos);
    EXPECT_NE(j.find("warm_boot marker=0", eeprom), std::string::npos);
    EXPECT_NE(dev.read("sim/tools.log").find("reboot >/dev/null 2>&1\n"), std::string::npos)
        << dev.read("sim/tools.log");
    EXPECT_EQ(dev.read("root/app/conf/input_labels"), "HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2\n");
    for (int zone = 0; zone < 16; ++zone) EXPECT_EQ(eepromByte(dev, zone * 384 + 179), 1) << "zone " << zone;
    EXPECT_EQ(eepromByte(dev, kNetworkRecord + 3), 39);
}
