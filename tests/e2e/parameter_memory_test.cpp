#include "support/sim_device.h"

#include <gtest/gtest.h>
#include <string>

using hx40test::SimDevice;

namespace {

std::string at(const std::string& eeprom, size_t addr, size_t n) { return eeprom.substr(addr, n); }

}  // namespace

TEST(ParameterMemory, AFreshBoardStartsWithFactoryValuesAndKeepsAChangeAcrossARestart) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_EQ(dev.ctl("pm get PM.SEL_INPUT"), "OK 1 2\n");
    EXPECT_EQ(dev.ctl("pm get PM.VOLUME"), "OK 0 0\n");
    EXPECT_EQ(dev.ctl("pm get PM_I.HDCP_MODE"), "OK 1 1 1 1 1 1 1 1\n");
    std::string e = dev.read("sim/eeprom.bin");
    EXPECT_EQ(at(e, 0x7E00, 5), std::string("HX40\x01", 5));  // sealed by the first start
    EXPECT_EQ(at(e, 0x7E8A, 16), std::string("HX40-SC-0001\0\0\0\0", 16));
    EXPECT_EQ(at(e, 9 * 384 + 130, 2), std::string("\x01\x02", 2));
    EXPECT_NE(dev.journal().find("factoryResetInitEeprom withNetwork=0"), std::string::npos);

    EXPECT_EQ(dev.ctl("pm set PM.VOLUME -12 7"), "OK\n");
    EXPECT_EQ(dev.ctl("pm set PM.NO_SUCH 1"), "ERR no field PM.NO_SUCH of PM or PM_I\n");
    EXPECT_EQ(dev.ctl("pm set PM.VOLUME 300"), "ERR 300 does not fit PM.VOLUME\n");
    EXPECT_EQ(dev.ctl("pm save"), "OK saved\n");
    EXPECT_EQ(dev.stop(), 0);
    e = dev.read("sim/eeprom.bin");
    EXPECT_EQ(at(e, 0 * 384 + 172, 2), "\xf4\x07");  // CH1's zone (input 1)
    EXPECT_EQ(at(e, 9 * 384 + 172, 2), "\xf4\x07");  // CH2's zone (input 2)

    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_EQ(dev.ctl("pm get PM.VOLUME"), "OK -12 7\n");
    EXPECT_EQ(dev.ctl("pm get PM.SEL_INPUT"), "OK 1 2\n");
    EXPECT_EQ(dev.stop(), 0);
    // The second start found a sealed image and reset nothing.
    EXPECT_EQ(dev.journal().find("factoryResetInitEeprom"), dev.journal().rfind("factoryResetInitEeprom"));
}

TEST(ParameterMemory, TheFactoryOptionRestoresTheFactoryValues) {
    SimDevice dev;
    std::string why;
    ASSERT_TRUE(dev.start({}, &why)) << why;
    EXPECT_EQ(dev.ctl("pm set PM.DWINDOW 3"), "OK\n");
    EXPECT_EQ(dev.ctl("pm save"), "OK saved\n");
    EXPECT_EQ(dev.stop(), 0);
    ASSERT_TRUE(dev.start({"FACTORY"}, &why)) << why;
    EXPECT_EQ(dev.ctl("pm get PM.DWINDOW"), "OK 0\n");
    EXPECT_NE(dev.journal().find("factoryResetInitEeprom withNetwork=1"), std::string::npos);
    EXPECT_EQ(dev.stop(), 0);
}
