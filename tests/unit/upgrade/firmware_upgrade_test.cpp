// The USB-key upgrade dialogue screen by screen through the OSD's text
// scene, and what it leaves on the board: installed files, version lists,
// backups and the key's mount.
#include "unit/upgrade/dialogue_fixture.h"

#include "upgrade/firmware_upgrade.h"
#include "upgrade/osd_console.h"

#include <map>
#include <set>
#include <sstream>
#include <sys/epoll.h>

namespace hx40test {
namespace {


class UpgradeDialogue : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        oldParts = read(kParts);
        oldIndex = read(kIndex);
        oldList = read(kList);
        write("root/app/memfiles/earlier.old", "a backup of an earlier upgrade");
        write("sim/src/parts.csv", "1,0,0,8,8\n2,0,0,9,9\n");
        write("sim/src/web/index.html", "<html>new</html>\n");
        write("sim/src/aapre", "#!/bin/sh\necho pre >> /tmp/ran\n");
        write("sim/src/new.rbf", "an FPGA image no device has yet");
    }
    // A package of the parts list (2.0.0), the web pages (2.1.0), the
    // pre-upgrade script (no entry) and more.
    std::string standardPackage(const std::string& more = "") const {
        const std::string src = file("sim/src");
        return package("--version 2.0.0 memfiles/parts.csv=" + src + "/parts.csv memfiles/web:2.1.0=" + src +
                       "/web --extra aapre=" + src + "/aapre " + more);
    }
    void run(const std::vector<Cue>& cues) {
        Osd console;
        FirmwareUpgrade u(&console, "", "/mnt/usb", "", FirmwareVersion(), ::epoll_create1(EPOLL_CLOEXEC));
        u.InitFsm();
        script.play(screen, cues, [&] { u.Init(); });
        EXPECT_TRUE(script.ok);
        EXPECT_EQ(u.GetState(), "S_OsdMenuUpgrade");
    }
    // The package's own list line of an item.
    std::string packageLine(const std::string& name) const {
        std::istringstream in(read("sim/pkg/Selka/version.md5sum"));
        for (std::string l; std::getline(in, l);)
            if (l.size() > name.size() && l.substr(l.size() - name.size() - 1) == " " + name) return l + "\n";
        return "";
    }
    std::string oldLine(const std::string& name) const {
        std::istringstream in(oldList);
        for (std::string l; std::getline(in, l);)
            if (l.size() > name.size() && l.substr(l.size() - name.size() - 1) == " " + name) return l + "\n";
        return "";
    }
    bool nothingWritten() const {
        return read(kParts) == oldParts && read(kIndex) == oldIndex && read(kList) == oldList &&
               !exists(kBackupList) && exists("root/app/memfiles/earlier.old") &&
               !exists("root/app/memfiles/parts.csv.old");
    }
    std::string oldParts, oldIndex, oldList;
    Script script;
};

TEST_F(UpgradeDialogue, AConfirmedPackageIsWrittenItemByItemAndItsVersionsRecorded) {
    plug(standardPackage());
    // Down and up are no answer on the list; ENTER confirms.
    run({{"MENU or LEFT to cancel", [] { pressKey(kDown), pressKey(kUp), pressKey(kEnter); }},
         {"MENU or LEFT to reboot later", key(kMenu)}});
    ASSERT_EQ(script.screens.size(), 2u);
    const auto& list = script.screens[0];
    EXPECT_EQ(list.front(), "320,114 0/255 Found: ");
    EXPECT_EQ(std::set<std::string>(list.begin() + 1, list.begin() + 3),
              (std::set<std::string>{"320,132 0/255  [M] parts.csv - 2.0.0", "320,150 0/255  [M] web - 2.1.0"}));
    // Written in the order of the names: the script first.
    EXPECT_EQ(script.screens[1],
              (std::vector<std::string>{"320,114 0/255 Upgrading: ", "320,132 0/255 [Pr] aapre ... done.",
                                        "320,150 0/255 [M] parts.csv ... done.", "320,168 0/255 [M] web ... done.",
                                        "357,222 0/255 Please remove USB key.",
                                        "320,240 0/255 Press ENTER or RIGHT to reboot",
                                        "331,258 0/255 MENU or LEFT to reboot later"}));
    EXPECT_EQ(read(kParts), "1,0,0,8,8\n2,0,0,9,9\n");
    EXPECT_EQ(read("root/app/memfiles/parts.csv.old"), oldParts);
    EXPECT_EQ(read(kIndex), "<html>new</html>\n");
    EXPECT_EQ(read("root/app/memfiles/web.old/index.html"), oldIndex);
    EXPECT_FALSE(exists("root/app/memfiles/earlier.old")) << "the earlier backups go before writing";
    EXPECT_EQ(read("tmp/ran"), "pre\n");
    // The device's list takes the package's lines, in the order of the names;
    // the backup list holds exactly the lines they replaced.
    std::string expected = oldList;
    for (const char* name : {"memfiles/parts.csv", "memfiles/web"})
        expected.replace(expected.find(oldLine(name)), oldLine(name).size(), packageLine(name));
    std::istringstream in(expected);
    std::map<std::string, std::string> byName;
    for (std::string l; std::getline(in, l);) byName[l.substr(l.rfind(' ') + 1)] = l + "\n";
    std::string sorted;
    for (const auto& [name, l] : byName) sorted += l;
    EXPECT_EQ(read(kList), sorted);
    EXPECT_EQ(read(kBackupList), oldLine("memfiles/parts.csv") + oldLine("memfiles/web"));
    EXPECT_NE(read("proc/mounts").find("/dev/sdb1 /mnt/usb vfat rw,noatime 0 0\n"), std::string::npos)
        << "the key stays mounted after the dialogue";
}

TEST_F(UpgradeDialogue, FailuresEndOnTheErrorScreenWithTheVersionListsUntouched) {
    struct Case {
        const char* note;
        std::string more;        // added to the standard package; @ is the sources' folder
        std::string corrupt;     // a file of the package changed after its list was made
        std::vector<std::string> shown;
        bool partsWritten;
    } cases[] = {
        {"one checksum failure writes nothing, not even the script", "", "memfiles/parts.csv",
         // The line is wider than the console and wraps.
         {"320,114 0/255 Upgrading: ", "320,132 0/255 [M] parts.csv ... source checksum ",
          "320,150 0/255 error.", "320,168 0/255 An error has occured. ",
          "320,186 0/255 Press MENU or LEFT to return."},
         false},
        {"an item that fails to install leaves the later ones written",
         "memfiles/new.rbf=@/new.rbf", "",
         {"320,114 0/255 Upgrading: ", "320,132 0/255 [Pr] aapre ... done.",
          "320,150 0/255 [F] new.rbf ... error !!!", "320,168 0/255 [M] parts.csv ... done.",
          "320,186 0/255 [M] web ... done.",
          "320,204 0/255 An error has occured. ", "320,222 0/255 Press MENU or LEFT to return."},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        TearDown();
        SetUp();
        std::string more = c.more;
        if (const size_t at = more.find('@'); at != std::string::npos) more.replace(at, 1, file("sim/src"));
        const std::string pkg = standardPackage(more);
        if (!c.corrupt.empty()) write("sim/pkg/Selka/" + c.corrupt, "cut sho");
        plug(pkg);
        run({{"MENU or LEFT to cancel", key(kEnter)}, {"Press MENU or LEFT to return.", key(kMenu)}});
        ASSERT_EQ(script.screens.size(), 2u);
        EXPECT_EQ(script.screens[1], c.shown);
        EXPECT_EQ(read(kList), oldList);
        EXPECT_FALSE(exists(kBackupList));
        if (c.partsWritten) {
            EXPECT_EQ(read(kParts), "1,0,0,8,8\n2,0,0,9,9\n");
        } else {
            EXPECT_TRUE(nothingWritten());
            EXPECT_FALSE(exists("tmp/ran"));
        }
        script = Script();
    }
}

TEST_F(UpgradeDialogue, KeysWithoutAUsablePackageGoBackToTheMenu) {
    struct Case {
        const char* note;
        std::vector<std::pair<std::string, std::string>> key;  // files of the key
        std::string when;  // the screen's last line
        std::vector<std::string> shown;
    } cases[] = {
        {"no key", {}, "MENU or LEFT to return",
         {"326,96 0/255 Please insert USB Key or press", "357,114 0/255 MENU or LEFT to return"}},
        {"a package folder with nothing listed", {{"Selka/version.md5sum", "# empty\n"}}, "Press MENU or LEFT to return",
         {"320,114 0/255 No firmware found. ", "329,168 0/255 Press MENU or LEFT to return"}},
        {"two package folders",
         {{"Selka/version.md5sum", "# one\n"}, {"old/Selka/version.md5sum", "# two\n"}},
         "Press MENU or LEFT to return",
         {"320,114 0/255    Ambiguous folder detection:", "320,132 0/255      make sure that Selka",
          "320,150 0/255      is a single root folder. ", "329,204 0/255 Press MENU or LEFT to return"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        TearDown();
        SetUp();
        for (const auto& [rel, text] : c.key) write("sim/key/" + rel, text);
        if (!c.key.empty()) plug(file("sim/key"));
        // ENTER is no answer on these screens.
        run({{c.when, [] { pressKey(kEnter), pressKey(kMenu); }}});
        ASSERT_EQ(script.screens.size(), 1u);
        EXPECT_EQ(script.screens[0], c.shown);
        EXPECT_TRUE(nothingWritten());
        script = Script();
    }
}

}  // namespace
}  // namespace hx40test
