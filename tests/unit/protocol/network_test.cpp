#include "protocol_fixture.h"

#include "platform/net.h"
#include "protocol/network.h"

#include <arpa/inet.h>

using namespace hx40test;

class ProtocolNetworkTest : public ProtocolTest {};

TEST_F(ProtocolNetworkTest, QueriesAnswerWhatTheBoardsEth0Holds) {
    struct {
        const char* what;
        const char* eth0;  // nullptr: no file
        const char* replies;
    } cases[] = {
        {"a new board", "",
         "~01@NET-IP 192.168.1.39\r\n~01@NET-MASK 255.255.0.0\r\n~01@NET-MAC 02-00-00-00-00-01\r\n"
         "~01@NET-MAC 02-00-00-00-00-01\r\n"},
        {"changed", "# set by ifconfig\nip = 10.1.2.3\nmask = 255.0.0.0\nmac = 0a:bc:DE:f0:12:34\nlink = 0\n",
         "~01@NET-IP 10.1.2.3\r\n~01@NET-MASK 255.0.0.0\r\n~01@NET-MAC 0A-BC-DE-F0-12-34\r\n"
         "~01@NET-MAC 0A-BC-DE-F0-12-34\r\n"},
        {"no address yet", "mac = 02:00:00:00:00:02\nlink = 1\n",
         "~01@NET-IP 0.0.0.0\r\n~01@NET-MASK 0.0.0.0\r\n~01@NET-MAC 02-00-00-00-00-02\r\n"
         "~01@NET-MAC 02-00-00-00-00-02\r\n"},
        {"unreadable values", "ip = 10.1.2\nmask = 255.255.255.0.0\nmac = 02-00-00-00-00-02\n",
         "~01@NET-IP 0.0.0.0\r\n~01@NET-MASK 0.0.0.0\r\n~01@NET-MAC 00-00-00-00-00-00\r\n"
         "~01@NET-MAC 00-00-00-00-00-00\r\n"},
        {"no eth0", nullptr,
         "~01@NET-IP 0.0.0.0\r\n~01@NET-MASK 0.0.0.0\r\n~01@NET-MAC 00-00-00-00-00-00\r\n"
         "~01@NET-MAC 00-00-00-00-00-00\r\n"},
    };
    for (const auto& c : cases) {
        if (!c.eth0) std::remove(board_.file("sim/net/eth0").c_str());
        else if (*c.eth0) board_.write("sim/net/eth0", c.eth0);
        EXPECT_EQ(line("#NET-IP?|NET-MASK?|NET-MAC?|NTMC?"), c.replies) << c.what;
    }
}

TEST_F(ProtocolNetworkTest, LinkStateOfTheInterface) {
    board::net::InterfaceInfo eth;
    ASSERT_TRUE(board::net::queryInterface("eth0", eth));
    EXPECT_TRUE(eth.link);
    board_.write("sim/net/eth0", "ip = 10.0.0.2\nlink = 0\n");
    ASSERT_TRUE(board::net::queryInterface("eth0", eth));
    EXPECT_FALSE(eth.link);
    EXPECT_FALSE(eth.mac.has_value());
    EXPECT_FALSE(board::net::queryInterface("eth1", eth));
    EXPECT_FALSE(board::net::queryInterface("../board.conf", eth));
}

TEST_F(ProtocolNetworkTest, DefaultGatewayFromTheRouteTable) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT";
    auto row = [](const char* text) {
        std::string line = text;
        line.resize(127, ' ');  // the kernel pads its lines
        return line + "\n";
    };
    struct {
        const char* what;
        std::string table;  // "-": no file
        int result;
        const char* gateway;
    } cases[] = {
        {"default route", header + "\n" + row("eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0") +
                              row("eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0"),
         0, "192.168.1.1"},
        {"first default wins", header + "\n" + row("eth0 00000000 FE01000A 0003") + row("eth0\t00000000\t0101A8C0"),
         0, "10.0.1.254"},
        {"no default route", header + "\n" + row("eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0"), 1,
         "unchanged"},
        {"default route without a gateway field", header + "\neth0\t00000000\n", 1, "unchanged"},
        {"only the header", header + "\n", 1, "unchanged"},
        {"no table", "-", 1, "0.0.0.0"},
    };
    for (const auto& c : cases) {
        if (c.table == "-") std::remove(board_.file("proc/net/route").c_str());
        else board_.write("proc/net/route", c.table);
        std::string gateway = "unchanged";
        EXPECT_EQ(Network::GetDefaultGw(gateway), c.result) << c.what;
        EXPECT_EQ(gateway, c.gateway) << c.what;
    }
}

TEST(ProtocolNetwork, PeerText) {
    struct {
        const char* address;
        uint16_t port;
        const char* text;
    } cases[] = {
        {"192.168.1.10", 1234, "192.168.1.10:1234"},
        {"10.0.0.1", 50000, "10.0.0.1:50000"},
        {"255.255.255.255", 65535, "255.255.255.255:65535"},
    };
    for (const auto& c : cases) {
        Network::IPeer peer;
        ::inet_pton(AF_INET, c.address, &peer.address);
        peer.port = htons(c.port);
        EXPECT_STREQ(Network::BuildString(peer), c.text);
        EXPECT_STREQ(peer.text, c.text);
    }
}
