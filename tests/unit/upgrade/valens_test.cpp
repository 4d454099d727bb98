// The HDBaseT transceivers' firmware update against the simulated board:
// serial flashes routed by the expander pins, transceivers that answer from
// what their flash holds and go silent while held.
#include "unit/osd/osd_fixture.h"
#include "unit/upgrade/vs100_image.h"

#include "core/functable.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/i2c_sim.h"
#include "sys/i2c.h"
#include "sys/msgq.h"
#include "upgrade/valens.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <vector>

namespace hx40test {
namespace {

namespace fs = std::filesystem;

uint8_t expander(int bus, uint8_t addr7, unsigned reg) { return board::sim::i2c::expanderRegister(bus, addr7, reg); }

class Valens : public OsdTest {
protected:
    Valens() : OsdTest(true, true) {}
    void SetUp() override {
        OsdTest::SetUp();
        ASSERT_EQ(create_message_queues(), 0);
        funcTableInstallProgram();
        valens_init_done_check = 0;
        for (const auto& e : fs::directory_iterator(board_->file("root/app/memfiles")))
            if (e.path().filename().string().rfind("VS100", 0) == 0) fs::remove(e.path());
    }
    void TearDown() override {
        remove_message_queues();
        OsdTest::TearDown();
    }
    void memfile(const std::string& name, const std::string& bytes) { board_->write("root/app/memfiles/" + name, bytes); }
    void flash(const std::string& name, const std::string& bytes) { board_->write("sim/spiflash/" + name + ".bin", bytes); }
    std::string flash(const std::string& name) const { return board_->read("sim/spiflash/" + name + ".bin"); }
    std::vector<std::string> memfiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(board_->file("root/app/memfiles")))
            if (e.path().filename().string().rfind("VS100", 0) == 0) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string journal() const { return board_->read("sim/journal.log"); }
    static void conf(const std::string& key, const std::string& value) { board::sim::mutableConf().set(key, value); }
    // The version item of a transceiver as it answers now; empty when silent.
    static std::vector<uint8_t> versionItem(uint8_t chip) {
        std::vector<uint8_t> a(5, 0xEE);
        if (I2C_WordReg_BurstRead(3, chip, 0xF501, a.data(), 5) != 0) return {};
        return a;
    }
    static bool drew(const std::string& text) { return chipDrewText(text); }
};

// Journal lines of the flash model, in order.
std::vector<std::string> flashEvents(const std::string& journal) {
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = journal.find("spiflash.", at)) != std::string::npos) {
        const size_t end = journal.find('\n', at);
        out.push_back(journal.substr(at, end - at));
        at = end;
    }
    return out;
}

TEST_F(Valens, SpliteCutsAtMostThreeFieldsOfNineteenCharacters) {
    struct Case {
        const char* text;
        int result, count;
        std::vector<std::string> fields;
    } cases[] = {
        {"1.2.3", 0, 3, {"1", "2", "3"}},
        {"1.2", 0, 2, {"1", "2"}},
        {"1.2.3.4", -1, 9, {}},
        {"123", -1, 9, {}},
        {"", -1, 9, {}},
        {"12345678901234567890123.4", 0, 2, {"1234567890123456789", "4"}},
    };
    for (const Case& c : cases) {
        char fields[3][20] = {};
        int count = 9;
        EXPECT_EQ(Splite(c.text, &count, fields, '.'), c.result) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
        for (size_t i = 0; i < c.fields.size(); ++i) EXPECT_EQ(fields[i], c.fields[i]) << c.text;
    }
}

TEST_F(Valens, TheRunningVersionIsComparedWithTheImageName) {
    struct Case {
        const char* running;
        std::vector<const char*> images;
        int same;
    } cases[] = {
        {"RX 1.2.3", {"VS100RX_1_2_3.bin"}, 1},
        {"RX 1.2.3", {"VS100RX.bin"}, 0},                       // the plain name forces an update
        {"RX 1.2.3", {"VS100RX_1_2_3.bin", "VS100RX.bin"}, 0},  // and wins over a versioned one
        {"RX 1.2.4", {"VS100RX_1_2_3.bin"}, 0},
        {"RX 0.2.3", {"VS100RX_0_2_3.bin"}, 0},  // major 0 is always updated
        {"NO FIRM 0.0.0", {"VS100RX_1_2_3.bin"}, 0},
        {"RX 1.2.3", {"VS100RX_1_2_3.bin.old"}, 0},  // a backup is no image
        {"RX 1.2.3", {"VS100TX_1_2_3.bin"}, 0},
        {"RX1.2.3", {"VS100RX_1_2_3.bin"}, 0},  // no blank: no version
        {"RX 1.A.3", {"VS100RX_1_0_3.bin"}, 1},  // a hex digit ends the decimal number
    };
    for (const Case& c : cases) {
        for (const std::string& n : memfiles()) fs::remove(board_->file("root/app/memfiles/" + n));
        for (const char* n : c.images) memfile(n, "x");
        setValensVersion(valense_input, 1, c.running);
        EXPECT_EQ(compare_valens_version_info(valense_input, 1), c.same) << c.running << " " << c.images[0];
    }
}

TEST_F(Valens, AnImageIsProgrammedPageByPageIntoTheRoutedFlashOnly) {
    struct Case {
        int direction, channel;
        const char* file;
        const char* flash;
        uint8_t chip;
        int bus;
        uint8_t expander, route, line;
    } cases[] = {
        {valense_input, 0, "VS100RX.bin", "rx-ch1", 0x50, 0, 0x24, 0x0C, 0x01},
        {valense_output, 1, "VS100TX.bin", "tx-ch2", 0x54, 1, 0x25, 0xC0, 0x10},
    };
    const char* all[] = {"rx-ch1", "rx-ch2", "tx-ch1", "tx-ch2"};
    for (const Case& c : cases) {
        const std::string bytes = vs100Image(c.direction == valense_output, 2, 0, 1, 300);
        memfile(c.file, bytes);
        std::map<std::string, std::string> before;
        for (const char* f : all) before[f] = flash(f);
        board_->write("sim/journal.log", "");

        EXPECT_EQ(update_valens(c.direction, c.channel), 0) << c.flash;
        for (const char* f : all) EXPECT_EQ(flash(f), std::string(f) == c.flash ? bytes : before[f]) << f;
        const std::string flashName = std::string("flash=") + c.flash;
        EXPECT_EQ(flashEvents(journal()), (std::vector<std::string>{
                                              "spiflash.erase " + flashName + " chip",
                                              "spiflash.program " + flashName + " addr=0x000000 bytes=256",
                                              "spiflash.program " + flashName + " addr=0x000100 bytes=44",
                                          }));
        EXPECT_EQ(valence_update_in_operation_mode, 0);
        // Route released, chip lines high: the transceiver runs the new firmware.
        EXPECT_EQ(expander(c.bus, c.expander, 2) & c.route, 0);
        EXPECT_EQ(expander(c.bus, c.expander, 2) & c.line, c.line);
        if (c.bus == 1) {
            EXPECT_EQ(expander(1, 0x25, 3) & c.line, c.line);  // transmitters: port 1 too
        }
        EXPECT_EQ(versionItem(c.chip), (std::vector<uint8_t>{100, 0x20, 0x00, 0x01, 0x00})) << c.flash;
    }
}

TEST_F(Valens, WithoutAUsableImageNothingIsTouched) {
    struct Case {
        const char* file;
        std::string bytes;
    } cases[] = {
        {"VS100RX_1_2_3.bin.old", vs100Image(false, 1, 2, 3, 300)},  // a backup only
        {"VS100RX.bin", ""},                                          // an empty image is never erased onto the chip
    };
    const std::string before = flash("rx-ch2");
    for (const Case& c : cases) {
        for (const std::string& n : memfiles()) fs::remove(board_->file("root/app/memfiles/" + n));
        memfile(c.file, c.bytes);
        board_->write("sim/journal.log", "");
        EXPECT_EQ(update_valens(valense_input, 1), -1) << c.file;
        EXPECT_EQ(flash("rx-ch2"), before) << c.file;
        EXPECT_TRUE(flashEvents(journal()).empty()) << c.file;
        EXPECT_EQ(journal().find("valens.reset"), std::string::npos) << c.file;
        EXPECT_EQ(expander(0, 0x24, 2) & 0x0C, 0);  // the route is released
        EXPECT_EQ(valence_update_in_operation_mode, 0);
        EXPECT_EQ(versionItem(0x52), (std::vector<uint8_t>{100, 0x10, 0x00, 0x42, 0x00})) << c.file;  // still 1.4.2
    }
}

TEST_F(Valens, AFlashThatStaysBusyIsGivenUpWithinItsBound) {
    memfile("VS100TX.bin", vs100Image(true, 2, 0, 1, 600));
    // The erase completes; the first page program never does.
    conf("spiflash.tx-ch1.stuck_after", "1");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(update_valens(valense_output, 0), -1);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 2500);
    EXPECT_NE(journal().find("valens.program TX CH1 failed: the flash stayed busy"), std::string::npos) << journal();
    EXPECT_NE(journal().find("valens.reset TX CH1"), std::string::npos);
    EXPECT_EQ(expander(1, 0x25, 2) & 0xC0, 0);
    EXPECT_EQ(valence_update_in_operation_mode, 0);
    // Only the first page, with the new header, reached the flash: the
    // transceiver cannot boot from it and reports no firmware.
    EXPECT_EQ(flash("tx-ch1"), vs100Image(true, 2, 0, 1, 600).substr(0, 256));
    EXPECT_TRUE(versionItem(0x56).empty());

    // A single wait: about its bound of 100 ms, the busy status returned.
    valence_update_in_operation_mode = 5;
    PCA9535_update_pins_output(0xC0, 0x40, 1, 0x4A, 0);
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_eeprom_sycle() & 1, 1);
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t1).count();
    EXPECT_GE(waited, 100);
    EXPECT_LT(waited, 1000);
    valence_update_in_operation_mode = 0;
}

TEST_F(Valens, ASecondUpdateIsRefusedWhileOneRuns) {
    memfile("VS100RX.bin", vs100Image(false, 2, 0, 1, 300));
    valence_update_in_operation_mode = 5;
    const std::string before = flash("rx-ch1");
    EXPECT_EQ(update_valens(valense_input, 0), -1);
    EXPECT_EQ(flash("rx-ch1"), before);
    EXPECT_EQ(valence_update_in_operation_mode, 5);
    valence_update_in_operation_mode = 0;
}

TEST_F(Valens, HeldTransceiversGoSilentAndAResetBringsThemBack) {
    const uint8_t chips[4] = {0x50, 0x52, 0x56, 0x54};
    for (uint8_t c : chips) EXPECT_FALSE(versionItem(c).empty()) << int{c};
    shut_all_valens();
    EXPECT_EQ(expander(0, 0x24, 2) & 0x03, 0);
    EXPECT_EQ(expander(1, 0x25, 2) & 0x30, 0);
    EXPECT_EQ(expander(1, 0x25, 3) & 0x30, 0);
    for (uint8_t c : chips) EXPECT_TRUE(versionItem(c).empty()) << int{c};
    const std::string j = journal();
    EXPECT_LT(j.find("valens.shut RX CH1"), j.find("valens.shut TX CH1"));
    EXPECT_LT(j.find("valens.shut TX CH1"), j.find("valens.shut RX CH2"));
    EXPECT_LT(j.find("valens.shut RX CH2"), j.find("valens.shut TX CH2"));

    reset_valens(valense_output, 1);
    EXPECT_FALSE(versionItem(0x54).empty());
    EXPECT_TRUE(versionItem(0x56).empty());
    reset_valens(valense_input, 0);
    EXPECT_FALSE(versionItem(0x50).empty());
}

TEST_F(Valens, StartUpUpdatesTheTransceiversThatDifferAndNamesTheImage) {
    // Receivers run 1.4.2; the receiver image has a plain name (forced).
    flash("rx-ch1", vs100Image(false, 1, 4, 2, 500));
    flash("rx-ch2", vs100Image(false, 1, 4, 2, 500));
    memfile("VS100RX.bin", vs100Image(false, 2, 0, 1, 700));
    const std::string tx = vs100Image(true, 1, 5, 3, 400);
    flash("tx-ch1", tx);
    flash("tx-ch2", tx);
    memfile("VS100TX_1_5_3.bin", tx);
    _EXMSG key;
    key.key = 1;
    ASSERT_EQ(send_message_q(E_EXMSG_TYPE_KEYPAD, &key), 0);

    EXPECT_EQ(valens_init(), 0);
    EXPECT_EQ(flash("rx-ch1"), vs100Image(false, 2, 0, 1, 700));
    EXPECT_EQ(flash("rx-ch2"), vs100Image(false, 2, 0, 1, 700));
    EXPECT_EQ(flash("tx-ch1"), tx);
    EXPECT_EQ(journal().find("flash=tx-ch"), std::string::npos);
    EXPECT_EQ(memfiles(), (std::vector<std::string>{"VS100RX_2_0_1.bin", "VS100TX_1_5_3.bin"}));
    EXPECT_EQ(valensVersion(valense_input, 0), "RX 2.0.1");
    EXPECT_EQ(valensVersion(valense_input, 1), "RX 2.0.1");
    EXPECT_TRUE(drew("Memfile Upgrade In Progress..."));
    EXPECT_TRUE(drew("Do Not Turn Off The Device"));
    EXPECT_TRUE(drew("Configuring Upgrades..."));
    EXPECT_NE(journal().find("SI9136_init_all"), std::string::npos);
    EXPECT_EQ(get_message_q(E_EXMSG_TYPE_KEYPAD, &key), -1);  // keys pressed meanwhile are dropped
    for (const auto& t : chip().visibleTexts(0)) EXPECT_NE(t.text, "Configuring Upgrades...");

    // Once per run.
    board_->write("sim/journal.log", "");
    EXPECT_EQ(valens_init(), -1);
    EXPECT_EQ(journal(), "");
}

TEST_F(Valens, StartUpWithoutAnImageTriesEachReceiverAndRemovesTheNotice) {
    memfile("VS100TX_1_5_3.bin", flash("tx-ch1"));
    EXPECT_EQ(valens_init(), 0);
    const std::string j = journal();
    EXPECT_NE(j.find("valens.update RX CH1 failed"), std::string::npos) << j;
    EXPECT_NE(j.find("valens.update RX CH2 failed"), std::string::npos);
    EXPECT_EQ(j.find("valens.update TX"), std::string::npos);
    EXPECT_EQ(j.find("SI9136_init_all"), std::string::npos);
    EXPECT_TRUE(drew("Memfile Upgrade In Progress..."));
    for (const auto& t : chip().visibleTexts(0)) EXPECT_NE(t.text, "Memfile Upgrade In Progress...");
}

TEST_F(Valens, TheImageIsNamedFromATransceiverThatReportsAVersion) {
    struct Case {
        const char* ch1;
        const char* ch2;
        int plain;
        int result;
        const char* name;
    } cases[] = {
        {"RX 1.4.2", "RX 1.3.0", 0, 0, "VS100RX_1_4_2.bin"},
        {"NO FIRM 0.0.0", "RX 1.3.0", 0, 0, "VS100RX_1_3_0.bin"},
        {"NO FIRM 0.0.0", "NO FIRM 0.0.0", 0, -1, "VS100RX_9_9_9.bin"},
        {"RX 1.4.2", "RX 1.4.2", 1, 0, "VS100RX.bin"},
    };
    for (const Case& c : cases) {
        for (const std::string& n : memfiles()) fs::remove(board_->file("root/app/memfiles/" + n));
        memfile("VS100RX_9_9_9.bin", "image");
        setValensVersion(valense_input, 0, c.ch1);
        setValensVersion(valense_input, 1, c.ch2);
        EXPECT_EQ(rename_valens_files(valense_input, c.plain), c.result) << c.ch1;
        EXPECT_EQ(memfiles(), std::vector<std::string>{c.name}) << c.ch1;
        EXPECT_EQ(board_->read(std::string("root/app/memfiles/") + c.name), "image");
    }
    for (const std::string& n : memfiles()) fs::remove(board_->file("root/app/memfiles/" + n));
    EXPECT_EQ(rename_valens_files(valense_output, 1), -1);  // no image to rename
}

}  // namespace
}  // namespace hx40test
