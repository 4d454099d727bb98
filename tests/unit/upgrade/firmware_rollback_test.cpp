// The rollback dialogue screen by screen through the OSD's text scene, and
// what it puts back: the saved copies, fstab and the version lists.
#include "unit/upgrade/dialogue_fixture.h"

#include "upgrade/firmware_rollback.h"
#include "upgrade/osd_console.h"

namespace hx40test {
namespace {

constexpr const char* kPrevious = "1,0,0,7,7\n";

class RollbackDialogue : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        write("root/app/memfiles/parts.csv.old", kPrevious);
        previousMd5 = md5sumOf(file("root/app/memfiles/parts.csv.old"));
    }
    void run(const std::vector<Cue>& cues) {
        Osd console;
        FirmwareRollback r(&console);
        script = Script();
        script.play(screen, cues, [&] { r.Init(); });
        EXPECT_TRUE(script.ok);
        EXPECT_EQ(r.GetState(), "S_OsdMenuUpgrade");
    }
    std::string line(const char* version, const std::string& md5, const char* name) const {
        return std::string(version) + " " + md5 + " " + name + "\n";
    }
    std::string previousMd5;
    Script script;
};

TEST_F(RollbackDialogue, TheItemsOfTheLastUpgradeComeBackAndTheBackupListsGo) {
    const std::string jffs2 = line("1.0.0", std::string(32, 'a'), "jffs2");
    // The kernel is never rolled back.
    write(kBackupList, jffs2 + line("1.0.0", previousMd5, "memfiles/parts.csv") +
                           line("0.9.0", std::string(32, 'b'), "zImage"));
    write("root/app.bk/version.md5sum.bk", "written by the application partition's upgrade\n");
    run({{"MENU or LEFT to cancel", [] { pressKey(kDown), pressKey(kUp), pressKey(kEnter); }},
         {"MENU or LEFT to do it later", key(kMenu)}});
    ASSERT_EQ(script.screens.size(), 2u);
    EXPECT_EQ(script.screens[0],
              (std::vector<std::string>{"320,96 0/255 Rollback firmware: ", "320,114 0/255 Found: ",
                                        "320,132 0/255  [J] jffs2 - 1.0.0", "320,150 0/255  [M] parts.csv - 1.0.0",
                                        "320,222 0/255 ENTER or RIGHT to rollback",
                                        "320,240 0/255 MENU or LEFT to cancel"}));
    EXPECT_EQ(script.screens[1],
              (std::vector<std::string>{"320,114 0/255 Rollback: ", "320,132 0/255 [J] jffs2 ... done.",
                                        "320,150 0/255 [M] parts.csv ... done.",
                                        "320,204 0/255 reboot is needed to validate.",
                                        "320,222 0/255 Press ENTER or RIGHT to reboot",
                                        "320,240 0/255 MENU or LEFT to do it later"}));
    EXPECT_EQ(read(kParts), kPrevious);
    EXPECT_FALSE(exists("root/app/memfiles/parts.csv.old"));
    EXPECT_NE(read("root/persist/fstab").find("/dev/mtdblock5\t/root/app\tjffs2"), std::string::npos)
        << "the other application partition is main again";
    const std::string list = read(kList);
    EXPECT_NE(list.find(line("1.0.0", previousMd5, "memfiles/parts.csv")), std::string::npos) << list;
    EXPECT_NE(list.find(jffs2), std::string::npos) << list;
    EXPECT_EQ(list.find("zImage"), std::string::npos) << list;
    EXPECT_FALSE(exists(kBackupList));
    EXPECT_FALSE(exists("root/app.bk/version.md5sum.bk"));

    // A second rollback has nothing to put back.
    run({{"MENU or LEFT to return", [] { pressKey(kEnter), pressKey(kMenu); }}});
    ASSERT_EQ(script.screens.size(), 1u);
    EXPECT_EQ(script.screens[0],
              (std::vector<std::string>{"320,96 0/255 Rollback firmware: ", "320,114 0/255 No rollback info found. ",
                                        "320,168 0/255 MENU or LEFT to return"}));
}

TEST_F(RollbackDialogue, AnInvalidCopyIsShownInRedAndFailsWhenConfirmedAnyway) {
    const std::string list = read(kList);
    write(kBackupList, line("1.0.0", previousMd5, "memfiles/parts.csv") +
                           line("1.0.0", std::string(32, 'c'), "memfiles/osd_pallet.csv"));
    run({{"MENU or LEFT to cancel", key(kEnter)}, {"MENU or LEFT to return.", key(kMenu)}});
    ASSERT_EQ(script.screens.size(), 2u);
    EXPECT_EQ(script.screens[0],
              (std::vector<std::string>{"320,96 0/255 Rollback firmware: ", "320,114 0/255 Found: ",
                                        "320,132 199/255  [M] osd_pallet.csv - not valid",
                                        "320,150 0/255  [M] parts.csv - 1.0.0",
                                        "320,186 199/255 Warning: rollback to invalid",
                                        "320,204 199/255 file(s) is not possible",
                                        "320,240 0/255 ENTER or RIGHT to rollback",
                                        "320,258 0/255 MENU or LEFT to cancel"}));
    // The line is wider than the console and wraps.
    EXPECT_EQ(script.screens[1],
              (std::vector<std::string>{"320,114 0/255 Rollback: ",
                                        "320,132 0/255 [M] osd_pallet.csv ... source check",
                                        "320,150 0/255 sum error.", "320,168 0/255 [M] parts.csv ... done.",
                                        "320,186 0/255 An error has occured.",
                                        "320,204 0/255 Can't rollback previous firmware.",
                                        "320,240 0/255 MENU or LEFT to return."}));
    EXPECT_EQ(read(kParts), kPrevious) << "the valid items are still restored";
    EXPECT_EQ(read(kList), list);
    EXPECT_TRUE(exists(kBackupList));
}

TEST_F(RollbackDialogue, AnInstalledListThatCannotBeReadEndsTheProcess) {
    EXPECT_EXIT(
        {
            std::filesystem::remove(file(kList));
            Osd console;
            FirmwareRollback r(&console);
            r.UpdateFirmwareVersionInfo();
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace hx40test
