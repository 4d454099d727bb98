// The forced-factory-reset marker in the scaler carries over one restart:
// the next start restores the factory values once, the one after does not.
#include "support/sim_device.h"

#include <fstream>
#include <gtest/gtest.h>

namespace hx40test {
namespace {

size_t count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// The chip's registers live in sim/scaler.bin, 256 bytes a bank: the marker
// is bank 0x30, offset 0x0D.
constexpr std::streamoff kMarkerByte = 0x30 * 256 + 0x0D;

int markerByte(const SimDevice& dev) {
    std::ifstream in(dev.file("sim/scaler.bin"), std::ios::binary);
    in.seekg(kMarkerByte);
    return in.get();
}

TEST(FactoryMarker, ForcesOneFactoryResetAfterARestart) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_NE(dev.journal().find("scaler.factory_marker value=0x00 forced=0"), std::string::npos);
    {
        // What a path that wants the factory values at the next start writes.
        std::fstream chip(dev.file("sim/scaler.bin"), std::ios::in | std::ios::out | std::ios::binary);
        chip.seekp(kMarkerByte);
        chip.put(static_cast<char>(0xFA));
    }
    EXPECT_EQ(dev.stop(), 0);
    EXPECT_EQ(markerByte(dev), 0xFA) << "the chip keeps it while the program is down";

    ASSERT_TRUE(dev.start({}, &why)) << why;
    std::string j = dev.journal();
    const size_t seen = j.find("scaler.factory_marker value=0xfa forced=1");
    ASSERT_NE(seen, std::string::npos) << j;
    EXPECT_NE(j.find("factoryResetInitEeprom withNetwork=1", seen), std::string::npos) << "the factory values are restored";
    EXPECT_NE(dev.log().find("Factory reset forced by the restart marker"), std::string::npos) << dev.log();
    EXPECT_EQ(markerByte(dev), 0);
    EXPECT_EQ(dev.stop(), 0);

    ASSERT_TRUE(dev.start({}, &why)) << why;
    j = dev.journal();
    EXPECT_EQ(count(j, "scaler.factory_marker value=0x00 forced=0"), 2u) << j;
    EXPECT_EQ(count(j, "forced=1"), 1u);
    EXPECT_EQ(count(j, "factoryResetInitEeprom withNetwork=1"), 1u);
    EXPECT_EQ(dev.stop(), 0);
}

}  // namespace
}  // namespace hx40test
