#include "support/sim_device.h"
#include "support/temp_board.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using hx40test::SimDevice;

TEST(NetworkSettings, StartUpReadsWhatTheBootScriptReported) {
    char hostBefore[256] = {};
    ::gethostname(hostBefore, sizeof hostBefore - 1);
    const std::string routesBefore = hx40test::readFile("/proc/net/route");

    SimDevice dev;
    // A fresh board starts with the settings files of a device after its boot.
    EXPECT_EQ(dev.read("root/persist/network_stat"),
              "dhcp: OFF\nip:   192.168.1.39\nmask: 255.255.0.0\ngw:   192.168.0.1\n");
    EXPECT_EQ(dev.read("root/persist/httpd.conf"), "/:admin:admin\n");
    EXPECT_EQ(dev.read("root/app/conf/serial.conf"), "COM_232_BAUDRATE=1\n");
    EXPECT_NE(dev.read("sim/board.conf").find("tcp_port = " + std::to_string(dev.tcpPort) + "\n"), std::string::npos);

    std::ofstream(dev.file("root/persist/network_stat"))
        << "dhcp: SUCCESS\nip:   10.1.2.3\nmask: 255.255.255.0\ngw:   10.1.2.1\n";
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_TRUE(dev.waitJournal(" network.stat ip=10.1.2.3 mask=255.255.255.0 gw=10.1.2.1\n", 5000)) << dev.journal();
    EXPECT_EQ(dev.stop(), 0);
    // Start-up applies none of the network settings (the factory reset of a
    // blank EEPROM restarts only the web server).
    const std::string tools = dev.read("sim/tools.log");
    for (const char* tool : {"ifconfig", "route", "udhcpc", "ntpd"})
        EXPECT_EQ(tools.find(tool), std::string::npos) << tools;

    char hostAfter[256] = {};
    ::gethostname(hostAfter, sizeof hostAfter - 1);
    EXPECT_STREQ(hostAfter, hostBefore);
    EXPECT_EQ(hx40test::readFile("/proc/net/route"), routesBefore);
}
