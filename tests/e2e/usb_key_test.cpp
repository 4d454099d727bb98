// The USB key of the simulated board as a person plugs it into the running
// program: "hx40-sim ctl ROOT usb insert|remove".
#include "support/sim_device.h"
#include "support/temp_board.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace hx40test {
namespace {

TEST(UsbKey, AKeyPlugsInAsDiskAndPartitionAndComesOutAgain) {
    SimDevice d;
    std::string why;
    ASSERT_TRUE(d.start({}, &why)) << why;
    std::filesystem::create_directories(d.file("sim/pkg/Selka"));
    std::ofstream(d.file("sim/pkg/Selka/version.md5sum")) << "1.0.0 0123456789abcdef0123456789abcdef zImage\n";
    EXPECT_EQ(d.ctl("usb insert sdc " + d.file("sim/pkg")), "OK insert sdc\n");
    EXPECT_EQ(d.read("proc/partitions"),
              "major minor  #blocks  name\n\n"
              "   8      32    7823360 sdc\n"
              "   8      33    7822336 sdc1\n");
    EXPECT_TRUE(std::filesystem::exists(d.file("dev/sdc1")));
    EXPECT_EQ(d.read("sim/usb/sdc1/Selka/version.md5sum"), "1.0.0 0123456789abcdef0123456789abcdef zImage\n");
    EXPECT_EQ(d.ctl("usb insert sda " + d.file("sim/pkg")), "ERR a disk is named sdb to sdz\n");
    EXPECT_EQ(d.ctl("usb remove sdc"), "OK remove sdc\n");
    EXPECT_FALSE(std::filesystem::exists(d.file("dev/sdc1")));
    EXPECT_EQ(d.read("proc/partitions"), "major minor  #blocks  name\n\n");

    // A folder named from the caller's own folder is the caller's, not the program's.
    EXPECT_EQ(d.ctl("usb insert sdc sim/pkg"), "ERR FOLDER must be an absolute path\n");
    const std::string sim = std::string(HX40_BIN_DIR) + "/hx40-sim ctl " + d.root();
    EXPECT_EQ(std::system(("cd " + d.file("sim") + " && " + sim + " usb insert sdc pkg >/dev/null").c_str()), 0);
    EXPECT_EQ(d.read("sim/usb/sdc1/Selka/version.md5sum"), "1.0.0 0123456789abcdef0123456789abcdef zImage\n");
    EXPECT_EQ(d.ctl("usb remove sdc"), "OK remove sdc\n");

    // The mounts file is the board's, which children write: pulling a key
    // out empties its mount's folder on the board, never one outside it.
    std::filesystem::create_directories(d.parent() + "/victim");
    std::ofstream(d.parent() + "/victim/kept") << "x";
    EXPECT_EQ(d.ctl("usb insert sdc " + d.file("sim/pkg")), "OK insert sdc\n");
    std::ofstream(d.file("proc/mounts"), std::ios::app) << "/dev/sdc1 /../victim vfat rw 0 0\n";
    EXPECT_EQ(d.ctl("usb remove sdc"), "OK remove sdc\n");
    EXPECT_EQ(hx40test::readFile(d.parent() + "/victim/kept"), "x");
    EXPECT_EQ(d.stop(), 0);
}

}  // namespace
}  // namespace hx40test
