// Version list files: what a list file loads to, what is saved, merging,
// and the look-up of one item.
#include "unit/upgrade/upgrade_fixture.h"

#include "upgrade/firmware_version.h"
#include "upgrade/md5.h"

#include <map>

namespace hx40test {
namespace {

constexpr const char* kMd5A = "0123456789abcdef0123456789abcdef";
constexpr const char* kMd5B = "fedcba9876543210fedcba9876543210";

class VersionList : public UpgradeTest {
protected:
    // name -> "version md5 description"
    static std::map<std::string, std::string> entries(const FirmwareVersion& v) {
        std::map<std::string, std::string> out;
        for (const auto& [name, e] : v.files()) out[name] = e.version + " " + e.md5 + " " + e.description;
        return out;
    }
};

TEST_F(VersionList, LoadKeepsTheKindsItKnowsAndTheLastLineOfAName) {
    write("root/app/version.md5sum",
          "# installed items\n"
          "\n"
          "1.2.3 0123456789abcdef0123456789abcdef zImage\n"
          "2.0.0 fedcba9876543210fedcba9876543210 memfiles/osd_pallet.csv\n"
          "1.0.0 0123456789abcdef0123456789abcdef docs/readme\n"
          "3.1.0 0123456789abcdef0123456789abcdef memfiles/web trailing words\n"
          "1.1.1 0123456789abcdef0123456789abcdef selka_4_2_0.rbf\n"
          "4.0.0 fedcba9876543210fedcba9876543210 selka\n"
          "4.0.1 0123456789abcdef0123456789abcdef selka\n"
          "9.9.9  cramfs\n"
          "0.0.1 twofields\n"
          "5.5.5 0123456789abcdef0123456789abcdef aapre\n"
          "6.0.0 0123456789abcdef0123456789abcdef web2\n");
    FirmwareVersion v;
    ASSERT_EQ(v.Load("../version.md5sum"), 0);
    EXPECT_EQ(entries(v), (std::map<std::string, std::string>{
                              {"cramfs", "9.9.9  OS image"},
                              {"memfiles/osd_pallet.csv", "2.0.0 fedcba9876543210fedcba9876543210 Memory File"},
                              {"memfiles/web", "3.1.0 0123456789abcdef0123456789abcdef Memory File"},
                              {"selka", "4.0.1 0123456789abcdef0123456789abcdef Application"},
                              {"selka_4_2_0.rbf", "1.1.1 0123456789abcdef0123456789abcdef FPGA"},
                              {"web2", "6.0.0 0123456789abcdef0123456789abcdef Web Page"},
                              {"zImage", "1.2.3 0123456789abcdef0123456789abcdef Kernel"},
                          }));
    EXPECT_EQ(v.files().at("zImage").action->GetPrettyPrintPrefix(), "None");
    EXPECT_EQ(v.files().at("zImage").action->GetPath(), "");
}

TEST_F(VersionList, AMissingFileKeepsTheListAndSaysSo) {
    FirmwareVersion v;
    v.files()["zImage"] = FileVerInfo(kMd5A, "1.0.0");
    testing::internal::CaptureStderr();
    EXPECT_EQ(v.Load("../version.md5sum.bk"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to open version info file\n");
    EXPECT_EQ(v.files().size(), 1u);
}

TEST_F(VersionList, SaveWritesCompleteEntriesInByteOrderAndReplacesTheFileWhole) {
    FirmwareVersion v;
    v.files()["zzpost"] = FileVerInfo(kMd5A, "1.0.0");
    v.files()["aapre"] = FileVerInfo(kMd5B, "1.0.0");
    v.files()["zImage"] = FileVerInfo(kMd5A, "2.1.0");
    v.files()["memfiles/parts.csv"] = FileVerInfo("", "2.0.0");
    v.files()["jffs2"] = FileVerInfo(kMd5B, "");
    v.files()["Zeta"] = FileVerInfo(kMd5B, "0.1.0");
    write("root/app/version.md5sum", "old content that is much longer than the new one\n");
    ASSERT_TRUE(v.Save("../version.md5sum"));
    EXPECT_EQ(read("root/app/version.md5sum"),
              "0.1.0 fedcba9876543210fedcba9876543210 Zeta\n"
              "1.0.0 fedcba9876543210fedcba9876543210 aapre\n"
              "2.1.0 0123456789abcdef0123456789abcdef zImage\n"
              "1.0.0 0123456789abcdef0123456789abcdef zzpost\n");
    EXPECT_FALSE(exists("root/app/version.md5sum.tmp"));
    // A folder that cannot take the file leaves nothing behind.
    EXPECT_FALSE(v.Save("/root/nowhere/version.md5sum"));
}

TEST_F(VersionList, MergeReplacesSameNamesAndHandsBackWhatItReplaced) {
    FirmwareVersion device, package, replaced;
    device.files()["Q"] = FileVerInfo(kMd5A, "1.0.0");
    device.files()["R"] = FileVerInfo(kMd5A, "1.0.0");
    package.files()["P"] = FileVerInfo(kMd5B, "2.0.0");
    package.files()["Q"] = FileVerInfo(kMd5B, "2.0.0");
    auto qAction = package.files()["Q"].action;
    device.Merge(package, replaced);
    EXPECT_EQ(entries(device), (std::map<std::string, std::string>{{"P", "2.0.0 fedcba9876543210fedcba9876543210 "},
                                                                   {"Q", "2.0.0 fedcba9876543210fedcba9876543210 "},
                                                                   {"R", "1.0.0 0123456789abcdef0123456789abcdef "}}));
    EXPECT_EQ(entries(replaced),
              (std::map<std::string, std::string>{{"Q", "1.0.0 0123456789abcdef0123456789abcdef "}}));
    // The merged entry shares the package's action.
    EXPECT_EQ(device.files().at("Q").action, qAction);
}

TEST_F(VersionList, LookUpTakesTheFirstLineThatCoversTheName) {
    write("mnt/usb/Selka/version.md5sum",
          "# package\n"
          "1.0.0 0123456789abcdef0123456789abcdef memfiles\n"
          "2.0.0 fedcba9876543210fedcba9876543210 memfiles/parts.csv\n"
          "3.0.0 fedcba9876543210fedcba9876543210 rbf\n"
          "4.0.0 fedcba9876543210fedcba9876543210 jffs2\n"
          "5.0.0 0123456789abcdef0123456789abcdef cramfs\n"
          "6.0.0 0123456789abcdef0123456789abcdef zImage\n");
    const std::string list = "/mnt/usb/Selka//version.md5sum";
    struct Case {
        const char* name;
        const char* version;
        const char* md5;
    } cases[] = {
        {"memfiles/parts.csv", "1.0.0", kMd5A},      {"memfiles/web", "1.0.0", kMd5A},
        {"selka_1_0_0.rbf", "3.0.0", kMd5B},         {"rootfs.cramfs", "5.0.0", kMd5A},
        {"zImage", "6.0.0", kMd5A},                  {"app.jffs2", "", ""},
        {"zImage2", "", ""},                         {"bootloader", "", ""},
    };
    for (const Case& c : cases) {
        FileVerInfo e = GetFileVerInfo(list, c.name);
        EXPECT_EQ(e.version, c.version) << c.name;
        EXPECT_EQ(e.md5, c.md5) << c.name;
        EXPECT_EQ(e.description, "") << c.name;
        EXPECT_EQ(e.action->GetPrettyPrintPrefix(), "None") << c.name;
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetFileVerInfo("/mnt/usb/Selka//missing", "zImage").version, "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to open version info file\n");
}

TEST_F(VersionList, TheNewBoardListsItsInstalledItemsWithTheirTrueDigests) {
    FirmwareVersion v;
    ASSERT_EQ(v.Load(FirmwareUpgradeT::S_UpdateFirmwareVersionInfo), 0);
    for (const char* name : {"memfiles/osd_pallet.csv", "memfiles/parts.csv", "memfiles/font_all_bin.dat",
                             "memfiles/web"})
        ASSERT_EQ(v.files().count(name), 1u) << name;
    for (const auto& [name, e] : v.files()) {
        EXPECT_EQ(e.version, "1.0.0") << name;
        EXPECT_EQ(MD5Validator("/root/app//" + name, e.md5).validate(), 1) << name;
    }
}

}  // namespace
}  // namespace hx40test
