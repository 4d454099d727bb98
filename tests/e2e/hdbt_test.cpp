// The HDBaseT transceivers as the device brings them up: a transceiver
// whose firmware is older than the image is reprogrammed at start, and the
// information pages answer control systems with their JSON documents.
#include "support/sim_device.h"
#include "sys/version.h"
#include "unit/protocol/loopback.h"
#include "unit/upgrade/vs100_image.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace hx40test {
namespace {

constexpr int kWaitMs = 20000;

void write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The memory-file folder's image of a direction ("VS100R" or "VS100T").
std::string imageName(SimDevice& dev, const std::string& prefix) {
    for (const auto& e : std::filesystem::directory_iterator(dev.file("root/app/memfiles")))
        if (e.path().filename().string().rfind(prefix, 0) == 0) return e.path().filename().string();
    return "";
}

// A control connection, once the device listens.
std::unique_ptr<LoopbackTcp> connect(SimDevice& dev) {
    std::unique_ptr<LoopbackTcp> tcp;
    dev.waitFor([&] { return (tcp = std::make_unique<LoopbackTcp>())->connect(dev.tcpPort); }, kWaitMs);
    return tcp;
}

bool inOrder(const std::string& text, std::initializer_list<const char*> needles) {
    size_t at = 0;
    for (const char* n : needles) {
        at = text.find(n, at);
        if (at == std::string::npos) return false;
    }
    return true;
}

TEST(Hdbt, AnOlderTransceiverIsReprogrammedAtStartWithTheNoticeOnTheOsd) {
    SimDevice dev;
    const std::string rx = imageName(dev, "VS100R");
    ASSERT_FALSE(rx.empty());
    const std::string image = dev.read("root/app/memfiles/" + rx);
    const std::string tx = dev.read("sim/spiflash/tx-ch1.bin");
    write(dev.file("sim/spiflash/rx-ch2.bin"), vs100Image(false, 1, 0, 0, 2000));  // older firmware 1.0.0
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;

    ASSERT_TRUE(dev.waitJournal("valens.init attempted=1 updated=1", kWaitMs)) << dev.journal();
    const std::string j = dev.journal();
    EXPECT_TRUE(inOrder(j, {"valens.compare RX CH2 running=1.0.0", "osd.text",
                            "text=\"Memfile Upgrade In Progress...\"", "valens.update RX CH2 start",
                            "spiflash.erase flash=rx-ch2 chip", "spiflash.program flash=rx-ch2 addr=0x000000 bytes=256",
                            "valens.update RX CH2 done", "SI9136_init_all", "text=\"Configuring Upgrades...\""}))
        << j;
    EXPECT_EQ(j.find("flash=rx-ch1"), std::string::npos);
    EXPECT_EQ(j.find("flash=tx-"), std::string::npos);
    EXPECT_EQ(dev.read("sim/spiflash/rx-ch2.bin"), image);
    EXPECT_EQ(dev.read("sim/spiflash/tx-ch1.bin"), tx);
    EXPECT_EQ(imageName(dev, "VS100R"), rx);

    // The transceiver now reports the image's version.
    auto tcp = connect(dev);
    ASSERT_TRUE(tcp->send("#Y 1,51521\r"));
    const std::string reply = tcp->until("\r\n", kWaitMs);
    std::string version = rx.substr(8, rx.size() - 12);  // a_b_c of VS100RX_a_b_c.bin
    std::replace(version.begin(), version.end(), '_', '.');
    EXPECT_NE(reply.find("\"Version ID\":\"RX " + version + "\""), std::string::npos) << reply;
    EXPECT_EQ(dev.stop(), 0);
}

TEST(Hdbt, AProgrammingThatStoppedPartWayIsTriedAgainAtTheNextStart) {
    SimDevice dev;
    const std::string image = dev.read("root/app/memfiles/" + imageName(dev, "VS100R"));
    write(dev.file("sim/spiflash/rx-ch2.bin"), vs100Image(false, 1, 0, 0, 2000));
    const std::string conf = dev.read("sim/board.conf");
    // The flash takes the erase and the first page, then stays busy.
    write(dev.file("sim/board.conf"), conf + "spiflash.rx-ch2.stuck_after = 1\n");
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    ASSERT_TRUE(dev.waitJournal("valens.init attempted=1 updated=0", kWaitMs)) << dev.journal();
    EXPECT_NE(dev.journal().find("valens.program RX CH2 failed: the flash stayed busy"), std::string::npos);
    EXPECT_EQ(dev.read("sim/spiflash/rx-ch2.bin"), image.substr(0, 256));
    EXPECT_EQ(dev.stop(), 0);

    // The half-written chip cannot boot: it reports no firmware, and the
    // next start programs it again.
    write(dev.file("sim/board.conf"), conf);
    const size_t from = dev.journal().size();
    ASSERT_TRUE(dev.start({}, &why)) << why;
    ASSERT_TRUE(dev.waitFor([&] { return dev.journal().find("valens.init ", from) != std::string::npos; }, kWaitMs));
    const std::string j = dev.journal().substr(from);
    EXPECT_TRUE(inOrder(j, {"valens.compare RX CH2 running=0.0.0 ", "valens.update RX CH2 done",
                            "valens.init attempted=1 updated=1"}))
        << j;
    EXPECT_EQ(dev.read("sim/spiflash/rx-ch2.bin"), image);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(Hdbt, TheFirmwareDocumentAnswersOverTcp) {
    SimDevice dev;
    const std::string md5 = " 0123456789abcdef0123456789abcdef ";
    write(dev.file("root/app/version.md5sum"), "2.0.0" + md5 + "jffs2\n"
                                               "1.1.2" + md5 + "memfiles/selka_1_1_2.rbf\n"
                                               "1.0.0" + md5 + "memfiles/web\n"
                                               "3.0.1" + md5 + "zImage\n");
    write(dev.file("root/app/memfiles/web/version.json"), R"({"major":4,"minor":5,"build":6})");
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    auto tcp = connect(dev);
    ASSERT_TRUE(tcp->send("#Y 1,513\r"));
    EXPECT_EQ(tcp->until("\r\n", kWaitMs),
              std::string(R"(~01@Y 1,513,{"Application":{"Version":")") + getVersionStr() + R"(","Date":")" +
                  getBuildDate() +
                  R"(","jffs2":"2.0.0"},"FPGA":"1.1.2_1.0.0","Memory File":"1.0.20","Web Page":"1.0.0_4.5.6",)"
                  R"("Bootloader":"0.0.","Kernel":"3.0.1","OS image":"0.0."})"
                  "\r\n");
    EXPECT_EQ(dev.stop(), 0);
}

}  // namespace
}  // namespace hx40test
