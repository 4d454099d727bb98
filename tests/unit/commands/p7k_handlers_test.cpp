// The older engine's handlers on a test board: what each word answers, what
// it stores in the EEPROM and in PM, and what it does to the board's chips,
// clock, queues and files.
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "core/core_state.h"
#include "core/functable.h"
#include "core/pm.h"
#include "protocol/ws_server.h"
#include "support/temp_board.h"
#include "sys/eeprom.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/timers.h"
#include "sys/print.h"
#include "sys/spi.h"
#include "video/backend.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<int> gActions;  // nodes whose action ran
void recordAction(int row) { gActions.push_back(static_cast<int>(funcDataTbl[row].node)); }

FuncRow row(uint32_t node, uint32_t type, void* value, int32_t min, int32_t max) {
    return FuncRow{node, recordAction, 5, nullptr, type, value, fnI(max), fnI(min), fnI(1), fnI(0), 1};
}

struct Case {
    std::string line;
    std::string reply;  // through dop7kcommand: the last text
};

class Handlers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(create_message_queues(), 0);
        start_timer(TIMER_OSD_DELAY, 0);  // no delayed action of an earlier test is pending
        PM = PMRec{};
        PM.SEL_INPUT[0] = 3;
        PM.SEL_INPUT[1] = 2;
        PM.VOLUME[1] = -7;
        for (auto& ch : vp.chData) ch.cFlags = 0;
        gPowerSave = 0;
        gFeedBackOnPowerCmd = 0;
        gVerboseMode = 0;
        fpanel_lockstat = 0;
        mode_stat = 2;
        gActions.clear();
        static std::array<FuncRow, 16> rows = {
            row(31, FT_S8, &PM.SEL_INPUT[0], 1, 8),        row(41, FT_S8, &PM.SEL_INPUT[1], 1, 8),
            row(391, FT_S8, &PM.AUDIO_SOURCE[0], 0, 8),    row(491, FT_S8, &PM.AUDIO_SOURCE[1], 0, 8),
            row(331, FT_S16, &PM.OWIN_HST[0], 0, 4000),    row(332, FT_S16, &PM.OWIN_HW[0], 0, 4000),
            row(333, FT_S16, &PM.OWIN_VST[0], 0, 4000),    row(334, FT_S16, &PM.OWIN_VW[0], 0, 4000),
            row(431, FT_S16, &PM.OWIN_HST[1], 0, 4000),    row(432, FT_S16, &PM.OWIN_HW[1], 0, 4000),
            row(433, FT_S16, &PM.OWIN_VST[1], 0, 4000),    row(434, FT_S16, &PM.OWIN_VW[1], 0, 4000),
            row(39616, FT_S8, &PM.MIC1_MUTE, 0, 1),        row(39626, FT_S8, &PM.MIC2_MUTE, 0, 1),
            row(55525, FT_S8, &PM.USER2_DESTINATION, 0, 7), row(561, FT_KEY, nullptr, 0, 0),
        };
        static std::array<FuncRow, 1> restart = {row(5621, FT_KEY, nullptr, 0, 0)};
        const FuncRowGroup groups[] = {{"test", rows}, {"restart", restart}};
        funcTableInstall(groups);
    }
    void TearDown() override {
        wsi_cnt = 0;
        gVerboseMode = 0;
    }

    static std::string run(const std::string& line) {
        std::string reply = "stale";
        EXPECT_EQ(dop7kcommand(line, reply), 0);
        return reply;
    }
    static void runAll(const std::vector<Case>& cases) {
        for (const Case& c : cases) EXPECT_EQ(run(c.line), c.reply) << c.line;
    }
    static std::vector<_EXMSG> records(int queue) {
        std::vector<_EXMSG> out;
        _EXMSG m;
        while (get_message_q(queue, &m) >= 0) out.push_back(m);
        return out;
    }
    static std::vector<std::string> webCopies() {
        std::vector<std::string> out;
        _WSMSG m;
        while (get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &m) >= 0) out.emplace_back(m.text, m.length);
        return out;
    }
    std::string eeprom(size_t at, size_t n) const { return board_.read("sim/eeprom.bin").substr(at, n); }
    bool dirty() const { return (vp.chData[0].cFlags & VP_CFLAG_DIRTY) && (vp.chData[1].cFlags & VP_CFLAG_DIRTY); }

    hx40test::TempBoard board_{true, true};
};

}  // namespace

TEST_F(Handlers, IdentityLivesInTheEeprom) {
    runAll({
        {"#SN?", "~01@SN 18446744073709551615\r\n"},  // a blank EEPROM: twenty digits, whole
        {"#SN? 1", "~01@SN? 1 ERR 003\r\n"},
        {"#FCT-MODEL ABCDEFGHI", "~01@FCT-MODEL ABCDEFGHI OK\r\n"},
        {"#MODEL?", "~01@MODEL ABCDEFGHI\r\n"},  // nine bytes, no terminator stored
        {"#FCT-MODEL 4K-Pro", "~01@FCT-MODEL 4K-Pro OK\r\n"},
        {"#MODEL?", "~01@MODEL Q-4K-Pro\r\n"},
        {"#FCT-MODEL 12345678", "~01@FCT-MODEL 12345678 ERR 003\r\n"},
        {"#FCT-MODEL ", "~01@FCT-MODEL  ERR 001\r\n"},
        {"#FCT-SN 123", "~01@FCT-SN 123 ERR 003\r\n"},
        {"#FCT-SN 2024012345678x", "~01@FCT-SN 2024012345678x ERR 003\r\n"},
        {"#FCT-SN 00000000000042", "~01@FCT-SN 00000000000042 OK\r\n"},
        {"#SN?", "~01@SN 00000000000042\r\n"},
        {"#NAME?", "~01@NAME Q-4K-Pro-0042\r\n"},
    });
    EXPECT_EQ(eeprom(0x7E81, 9), std::string("Q-4K-Pro\0", 9));
    EXPECT_EQ(eeprom(0x7E9A, 8), std::string("\x2A\0\0\0\0\0\0\0", 8));
}

TEST_F(Handlers, PowerPostsTheKeyOnlyWhenTheStateChanges) {
    runAll({
        {"#POWER ON", "~01@POWER ON OK\r\n"},
        {"#POWER 2", "~01@POWER 2 ERR 003\r\n"},
        {"#POWER -1", "~01@POWER -1 ERR 001\r\n"},
        {"#POWER up", "~01@POWER up ERR 001\r\n"},
        {"#POWER?", "~01@POWER 1\r\n"},
    });
    EXPECT_TRUE(records(E_EXMSG_TYPE_KEYPAD).empty());
    EXPECT_EQ(gFeedBackOnPowerCmd, 0);

    EXPECT_EQ(run("#POWER  off"), "~01@POWER  off OK\r\n");
    const std::vector<_EXMSG> keys = records(E_EXMSG_TYPE_KEYPAD);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].key, 33);
    EXPECT_EQ(keys[0].mode, 2);
    EXPECT_EQ(keys[0].source, 1);
    EXPECT_EQ(gFeedBackOnPowerCmd, 1);
}

TEST_F(Handlers, LockFpSetsTheWantedState) {
    runAll({
        {"#LOCK-FP 1", "~01@LOCK-FP 1 OK\r\n"},
        {"#LOCK-FP on", "~01@LOCK-FP on OK\r\n"},  // stays locked
        {"#LOCK-FP?", "~01@LOCK-FP 1\r\n"},
        {"#LOCK-FP 5", "~01@LOCK-FP 5 ERR 003\r\n"},
        {"#LOCK-FP OFF", "~01@LOCK-FP OFF OK\r\n"},
        {"#LOCK-FP?", "~01@LOCK-FP 0\r\n"},
    });
}

TEST_F(Handlers, TimeSetsTheBoardsClocksAndNeverTheHosts) {
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    const auto hostBefore = std::chrono::system_clock::now();
    runAll({
        {"#TIME Wed,29-02-2100,00:00:00", "~01@TIME Wed,29-02-2100,00:00:00 ERR 003\r\n"},
        {"#TIME Tue,31-04-2024,10:00:00", "~01@TIME Tue,31-04-2024,10:00:00 ERR 003\r\n"},
        {"#TIME Mon,01-04-2024,10:00:60", "~01@TIME Mon,01-04-2024,10:00:60 ERR 003\r\n"},
        {"#TIME Mon,01-04-2024,10:00", "~01@TIME Mon,01-04-2024,10:00 ERR 001\r\n"},
        {"#TIME 2024-04-01 10:00:00", "~01@TIME 2024-04-01 10:00:00 ERR 001\r\n"},
        {"#TIME Tue,29-02-2000,23:59:58", "~01@TIME Tue,29-02-2000,23:59:58 OK\r\n"},
    });
    EXPECT_EQ(board_.read("sim/rtc"), "2000-02-29 23:59:58\n");
    const std::string now = run("#TIME?");
    EXPECT_TRUE(now == "~01@TIME Tue,29-02-2000,23:59:58\r\n" || now == "~01@TIME Tue,29-02-2000,23:59:59\r\n") << now;
    EXPECT_LT(std::chrono::system_clock::now() - hostBefore, std::chrono::seconds(30));

    // The clock chip cannot be written: error 12, the clock stays.
    std::filesystem::remove(board_.file("sim/rtc"));
    std::filesystem::create_directory(board_.file("sim/rtc"));
    EXPECT_EQ(run("#TIME Fri,01-03-2024,08:00:00"), "~01@TIME Fri,01-03-2024,08:00:00 ERR 012\r\n");
    EXPECT_EQ(run("#TIME?").substr(0, 25), "~01@TIME Tue,29-02-2000,2");
}

TEST_F(Handlers, TimeZoneIsHoursEastWithExactMinutes) {
    struct {
        const char* line;
        const char* reply;
        const char* tz;  // nullptr: refused, nothing changes
        int stored;
        int dst;
    } cases[] = {
        {"#TIME-LOC 5.3,0", "~01@TIME-LOC 5.3,0 OK\r\n", "UTC-05:30", -5, 0},
        {"#TIME-LOC -3.45,1", "~01@TIME-LOC -3.45,1 OK\r\n", "UTC+03:45", 3, 1},
        {"#TIME-LOC 12.45,0", "~01@TIME-LOC 12.45,0 OK\r\n", "UTC-12:45", -12, 0},
        {"#TIME-LOC -13.45,0", "~01@TIME-LOC -13.45,0 OK\r\n", "UTC+13:45", 13, 0},
        {"#TIME-LOC 0,1", "~01@TIME-LOC 0,1 OK\r\n", "UTC+00:00", 0, 1},
        {"#TIME-LOC 12.46,0", "~01@TIME-LOC 12.46,0 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC -13.5,0", "~01@TIME-LOC -13.5,0 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC 4.60,0", "~01@TIME-LOC 4.60,0 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC 4,2", "~01@TIME-LOC 4,2 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC 123,0", "~01@TIME-LOC 123,0 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC 9999999999,0", "~01@TIME-LOC 9999999999,0 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC -99999999999999999999.5,1", "~01@TIME-LOC -99999999999999999999.5,1 ERR 003\r\n", nullptr, 0, 0},
        {"#TIME-LOC 4", "~01@TIME-LOC 4 ERR 001\r\n", nullptr, 0, 0},
        {"#TIME-LOC four,0", "~01@TIME-LOC four,0 ERR 001\r\n", nullptr, 0, 0},
    };
    for (const auto& c : cases) {
        ::setenv("TZ", "UTC0", 1);
        PM.TIME_ZONE = 99;
        EXPECT_EQ(run(c.line), c.reply) << c.line;
        EXPECT_STREQ(std::getenv("TZ"), c.tz ? c.tz : "UTC0") << c.line;
        EXPECT_EQ(PM.TIME_ZONE, c.tz ? c.stored : 99) << c.line;
        if (c.tz) {
            EXPECT_EQ(PM.DAYLIGHT_SAVING, c.dst) << c.line;
        }
    }
    EXPECT_TRUE(dirty());
    // The network script is written with the whole hours, and not run.
    EXPECT_NE(board_.read("root/persist/configure_network").find("export TZ=\"GMT+0\""), std::string::npos);
    EXPECT_EQ(board_.read("sim/tools.log").find("configure_network"), std::string::npos);

    // TIME-LOC? reports the local time of day, not the offset.
    run("#TIME-LOC 5.3,0");
    run("#TIME Mon,01-04-2024,09:05:00");
    EXPECT_EQ(run("#TIME-LOC?"), "~01@TIME-LOC  9.05,0\r\n");
    EXPECT_EQ(run("#TIME-LOC? 1"), "~01@TIME-LOC? 1 ERR 001\r\n");
}

TEST_F(Handlers, VerboseIsStoredInTheNetworkRecordAndDebugSetsTheMask) {
    runAll({
        {"#VERBOSE 1", "~01@VERBOSE 1 OK\r\n"},
        {"#VERBOSE 01", "~01@VERBOSE 01 ERR 003\r\n"},
        {"#VERBOSE", "~01@VERBOSE ERR 001\r\n"},
        {"#VERBOSE? 1", "~01@VERBOSE? 1 ERR 001\r\n"},
        {"#DEBUG 0,0006", "~01@DEBUG 0,0006 OK\r\n"},
        {"#DEBUG 1", "~01@DEBUG 0006\r\n"},
        {"#DEBUG 2", "~01@DEBUG 2 ERR 003\r\n"},
        {"#DEBUG 0,xyz", "~01@DEBUG 0,xyz ERR 001\r\n"},
        {"#DEBUG 0,12345", "~01@DEBUG 0,12345 ERR 001\r\n"},
    });
    EXPECT_EQ(g_print_verbose_lvl, 0x0006);
    EXPECT_EQ(eeprom(0x7ED0 + 36, 4), std::string("\1\0\0\0", 4));
    gVerboseMode = 0;
    EXPECT_EQ(run("#VERBOSE?"), "~01@VERBOSE 1\r\n");  // read back from the record
    EXPECT_EQ(gVerboseMode, 1);
}

TEST_F(Handlers, FactoryAndResetRunTheirMenuRowsTwoSecondsLater) {
    const int factoryRow = funcNum2TblInx(561), restartRow = funcNum2TblInx(5621);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run("#FACTORY"), "~01@FACTORY OK\r\n");
    EXPECT_TRUE(records(E_EXMSG_TYPE_STLOOP).empty());
    // RESET while the factory reset waits: that one is posted at once.
    EXPECT_EQ(run("#RESET"), "~01@RESET OK\r\n");
    std::vector<_EXMSG> posted = records(E_EXMSG_TYPE_STLOOP);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].key, 42);
    EXPECT_EQ(posted[0].param, static_cast<uint32_t>(factoryRow));
    while (posted.size() < 2 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (const _EXMSG& m : records(E_EXMSG_TYPE_STLOOP)) posted.push_back(m);
    }
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    EXPECT_EQ(posted[1].key, 42);
    EXPECT_EQ(posted[1].param, static_cast<uint32_t>(restartRow));
}

TEST_F(Handlers, SystemRunsOnlyTheBoardsProgramsOnTheBoardsFiles) {
    const std::string probe = "/tmp/hx40-system-probe-" + std::to_string(::getpid());
    runAll({
        {"#SYSTEM touch " + probe, "~01@SYSTEM touch " + probe + " OK\r\n"},
        {"#SYSTEM /usr/bin/id", "~01@SYSTEM /usr/bin/id OK\r\n"},  // inside the sandbox
        {"#SYSTEM no-such-program", "~01@SYSTEM no-such-program ERR 003\r\n"},
        {"#SYSTEM_", ""},
        {"#ZUSR x", "~01@ZUSR x OK\r\n"},
    });
    EXPECT_TRUE(board_.exists(probe.substr(1)));
    EXPECT_FALSE(std::filesystem::exists(probe));
    EXPECT_NE(board_.read("sim/tools.log").find("stty -F /dev/ttyS0 sane"), std::string::npos);
}

TEST_F(Handlers, I2cReadsAndWritesTheBoardsChips) {
    runAll({
        {"#I2C 0,AC,7E00,11223344", "~01@I2C 0,AC,7E00,11223344 OK\r\n"},  // 16-bit register, four bytes
        {"#I2C? 0,AC,7E00,4", "~01@I2C 0x00,0xAC,0x7E00,0x11223344 OK\r\n"},
        {"#I2C? 0,AC,7E01,2", "~01@I2C 0x00,0xAC,0x7E01,0x2233 OK\r\n"},
        {"#I2C 2,D0,05,7F", "~01@I2C 2,D0,05,7F OK\r\n"},
        {"#I2C 2,D0,06,ABCD", "~01@I2C 2,D0,06,ABCD OK\r\n"},
        {"#I2C? 2,D0,05", "~01@I2C 0x02,0xD0,0x05,0x7F OK\r\n"},
        {"#I2C? 2,D0,05,4", "~01@I2C 0x02,0xD0,0x05,0x7FABCD00 OK\r\n"},
        {"#I2C? 2,D0,05,3", ""},
        {"#I2C? 1,20,00", "~01@I2C? 1,20,00 ERR 008\r\n"},  // nobody answers
        {"#I2C 1,20,00,01", "~01@I2C 1,20,00,01 ERR 008\r\n"},
        {"#I2C? 4,D0,05", "~01@I2C? 4,D0,05 ERR 001\r\n"},
        {"#I2C? 2,D0", "~01@I2C? 2,D0 ERR 001\r\n"},
        {"#I2C 2,D0,05,1FF", "~01@I2C 2,D0,05,1FF ERR 001\r\n"},
    });
    EXPECT_EQ(eeprom(0x7E00, 4), "\x11\x22\x33\x44");
}

TEST_F(Handlers, ScalerRegistersSpiAndThePhyReset) {
    runAll({
        {"#IPC 5,10,AB", "~01@IPC 5,10,AB OK\r\n"},
        {"#IPC? 5,10", "~01@IPC 0x05,0x0A,0xAB OK\r\n"},
        {"#IPC 28,10,1", "~01@IPC 28,10,1 ERR 003\r\n"},
        {"#IPC 5,128,1", "~01@IPC 5,128,1 ERR 003\r\n"},
        {"#IPC 5,0,1", "~01@IPC 5,0,1 ERR 003\r\n"},  // the bank select itself
        {"#IPC 5,10", "~01@IPC 5,10 ERR 001\r\n"},
        {"#SPI 2,12,34", "~01@SPI 2,12,34 OK\r\n"},
        {"#SPI? 3,ABCD", "~01@SPI 0x3,0xABCD,0x0 OK\r\n"},
        {"#SPI 5,1,1", "~01@SPI 5,1,1 ERR 001\r\n"},
        {"#PHY-RESET", ""},
        {"#ADV 1,0", "~01@ADV 1,0 OK\r\n"},
        {"#ADV 2,0", "~01@ADV 2,0 ERR 001\r\n"},
        {"#DDR 4,3", "~01@DDR 4,3 OK\r\n"},
        {"#DDR 4,4", "~01@DDR 4,4 ERR 001\r\n"},
        {"#DISPLAY? 1", "~01@DISPLAY? 1,0\r\n"},
        {"#DISPLAY? 01", "~01@DISPLAY? 01 ERR 001\r\n"},
        {"#DISPLAY? 4", "~01@DISPLAY? 4 ERR 001\r\n"},
    });
    const std::string journal = board_.read("sim/journal.log");
    const size_t spi = journal.find("spi dev=2 code=1 out=0x92");
    ASSERT_NE(spi, std::string::npos) << journal;
    EXPECT_NE(journal.find("spi dev=2 code=5 out=0x34", spi), std::string::npos);
    EXPECT_NE(journal.find("spi dev=3 code=13 out=0xFF"), std::string::npos);
    for (auto [reg, value] : {std::pair{0x25u, 0xFF}, {0x10u, 0x08}, {0x17u, 0x08}}) {
        uint8_t v = 0;
        ASSERT_EQ(read_bank(0x17, reg, &v), 0);
        EXPECT_EQ(v, value) << reg;
    }
}

TEST_F(Handlers, DumpsCoverTheirBanks) {
    EXPECT_EQ(run("#DUMP"), "~01@DUMP OK\r\n");
    EXPECT_EQ(run("#DUMPALL"), "~01@DUMPALL OK\r\n");
    const std::string dump = board_.read("root/app/logs/regs_dump000.log");
    EXPECT_NE(dump.find("bank 27\n"), std::string::npos);
    EXPECT_EQ(dump.find("bank 28\n"), std::string::npos);
    const std::string all = board_.read("root/app/logs/regs_dump001.log");
    EXPECT_LT(all.find("bank 00\n"), all.find("bank 0B\n"));  // each bank with its channel-2 twin
    EXPECT_LT(all.find("bank 0B\n"), all.find("bank 01\n"));
    EXPECT_LT(all.find("bank 11\n"), all.find("bank 1C\n"));
    EXPECT_NE(all.find("bank 1C\n"), std::string::npos);
    EXPECT_EQ(all.find("bank 1D\n"), std::string::npos);
}

TEST_F(Handlers, TunnelAndLineSettingsAreStoredInPm) {
    PM.PORT_TUNNELING_BAUD = 9;  // out of range: the tunnel's reading
    PM.PORT_TUNNELING_DATA_BITS = 3;
    runAll({
        {"#UART?", "~01@UART 9600,8,NONE,1\r\n"},
        {"#UART 19200,7,even,2", "~01@UART 19200,7,even,2 OK\r\n"},
        {"#UART?", "~01@UART 19200,7,EVEN,2\r\n"},
        {"#UART 115200,5,M,1", "~01@UART 115200,5,M,1 OK\r\n"},
        {"#UART?", "~01@UART 115200,5,MARK,1\r\n"},
        {"#UART 19201,8,N,1", "~01@UART 19201,8,N,1 ERR 003\r\n"},
        {"#UART 9600,9,N,1", "~01@UART 9600,9,N,1 ERR 003\r\n"},
        {"#UART 9600,8,X,1", "~01@UART 9600,8,X,1 ERR 003\r\n"},
        {"#UART 9600,8,N,1,1", "~01@UART 9600,8,N,1,1 ERR 001\r\n"},
        {"#PTNL-CFG udp,64000", "~01@PTNL-CFG udp,64000 OK\r\n"},
        {"#PTNL-CFG?", "~01@PTNL-CFG UDP,64000\r\n"},
        {"#PTNL-CFG TCP,64001", "~01@PTNL-CFG TCP,64001 ERR 001\r\n"},
        {"#PTNL-CFG TCP,65541", "~01@PTNL-CFG TCP,65541 ERR 001\r\n"},  // not port 5 in disguise
        {"#PTNL-CFG FTP,5000", "~01@PTNL-CFG FTP,5000 ERR 001\r\n"},
        {"#PTNL-CFG TCP,5002", "~01@PTNL-CFG TCP,5002 OK\r\n"},
        {"#PTNL-CFG?", "~01@PTNL-CFG TCP,5002\r\n"},
    });
    EXPECT_EQ(PM.PORT_TUNNELING_BAUD, 7);
    EXPECT_EQ(PM.PORT_TUNNELING_DATA_BITS, 0);
    EXPECT_EQ(PM.PORT_TUNNELING_PARITY, 3);
    EXPECT_EQ(PM.PORT_TUNNELING_STOP_BITS, 0);
    EXPECT_TRUE(dirty());
    PM.PORT_TUNNELING_MODE = 7;
    EXPECT_EQ(run("#PTNL-CFG?"), "~01@PTNL-CFG UNKNOWN,5002\r\n");
}

TEST_F(Handlers, UserPortsAndMessages) {
    runAll({
        {"#CBIN USR2,ETH,1200,5,odd,2,OUT1", "~01@CBIN USR2,ETH,1200,5,odd,2,OUT1 OK\r\n"},
        {"#CBIN USR3,ETH,1200,5,odd,2,OUT1", "~01@CBIN USR3,ETH,1200,5,odd,2,OUT1 ERR 001\r\n"},
        {"#CBIN USR1,RS,1200,5,odd,2,OUT1", "~01@CBIN USR1,RS,1200,5,odd,2,OUT1 ERR 001\r\n"},
        {"#CBIN USR1,UART,1200,5,odd,2,OUT3", "~01@CBIN USR1,UART,1200,5,odd,2,OUT3 ERR 001\r\n"},
        {"#DBIN USR1,5,[a,b]c]", "~01@DBIN USR1,5,[a,b]c] OK\r\n"},  // the length, not the bracket, ends it
        {"#DBIN USR1,4,[abc]", "~01@DBIN USR1,4,[abc] ERR 001\r\n"},
        {"#DBIN USR1,3,abc", "~01@DBIN USR1,3,abc ERR 001\r\n"},
        {"#DBIN USR1,3,[abc]x", "~01@DBIN USR1,3,[abc]x ERR 001\r\n"},
        {"#DBIN USR1,1025,[abc]", "~01@DBIN USR1,1025,[abc] ERR 001\r\n"},
        {"#BIN USR2,UART,-1", "~01@BIN USR2,UART,-1 OK\r\n"},
        {"#BIN USR1,SPI,-1", "~01@BIN USR1,SPI,-1 ERR 001\r\n"},
        {"#BIN USR1,UART,4,[abc]", "~01@BIN USR1,UART,4,[abc] ERR 001\r\n"},
    });
    EXPECT_EQ(PM.USER2_BAUD, 0);
    EXPECT_EQ(PM.USER2_DATA_BITS, 0);
    EXPECT_EQ(PM.USER2_PARITY, 1);
    EXPECT_EQ(PM.USER2_STOP_BITS, 1);
    EXPECT_EQ(PM.USER2_DESTINATION, 4);
    EXPECT_EQ(gActions, std::vector<int>{55525});
    EXPECT_NE(board_.read("sim/journal.log").find("usr2_tty_reconfiguration"), std::string::npos);
    const std::vector<_EXMSG> refresh = records(E_EXMSG_TYPE_STLOOP);
    ASSERT_EQ(refresh.size(), 2u);  // CBIN and DBIN
    EXPECT_EQ(refresh[0].key, 37);
    EXPECT_EQ(board_.read("root/persist/user1_msg.txt"), "a,b]c");
    EXPECT_EQ(records(E_EXMSG_TYPE_USR2).size(), 1u);
    EXPECT_TRUE(records(E_EXMSG_TYPE_USR1).empty());

    wsi_cnt = 1;
    EXPECT_EQ(run("#BIN USR9,UART,-1"), "~01@BIN USR9,UART,-1 ERR 001\r\n");
    EXPECT_EQ(webCopies().size(), 2u);  // a wrong port word is answered twice
}

TEST_F(Handlers, VolumeWindowsMixAndRoute) {
    PM.OWIN_HST[1] = 5;
    PM.OWIN_VST[1] = 6;
    PM.MIC1_MUTE = 1;
    PM.AUDIO_SOURCE[1] = 0;
    runAll({
        {"#VOLUME? 1", "~01@VOLUME 1,-7\r\n"},
        {"#VOLUME? 2", "~01@VOLUME? 2 ERR 001\r\n"},
        {"#WIN-CUST 0,10,20,30,40", "~01@WIN-CUST 0,10,20,30,40 OK\r\n"},
        {"#WIN-CUST 2,10,20,30,40", "~01@WIN-CUST 2,10,20,30,40 ERR 001\r\n"},
        {"#WIN-CUST? 0", ""},  // routed as a notification: nobody listens
        {"#WIN-CUST? 2", "~01@WIN-CUST? ERR 001\r\n"},
        {"#MIX? 0", "~01@MIX? 0,2\r\n"},
        {"#MIX? 1", "~01@MIX? 1 ERR 001\r\n"},
        {"#ROUTE 1,1,5", "~01@ROUTE 1,1,5 OK\r\n"},
        {"#ROUTE 12,0,4", "~01@ROUTE 12,0,4 OK\r\n"},
        {"#ROUTE 3,0,1", "~01@ROUTE 3,0,1 ERR 001\r\n"},
        {"#ROUTE 1,2,1", "~01@ROUTE 1,2,1 ERR 001\r\n"},
    });
    EXPECT_EQ(PM.OWIN_HW[0], 20);
    EXPECT_EQ(PM.AUDIO_SOURCE[1], 2);  // stays on the input it followed
    EXPECT_EQ(PM.SEL_INPUT[1], 5);
    EXPECT_EQ(PM.AUDIO_SOURCE[0], 0);
    EXPECT_EQ(PM.SEL_INPUT[0], 4);
    EXPECT_EQ(run("#ROUTE 2,0,6"), "~01@ROUTE 2,0,6 OK\r\n");
    EXPECT_EQ(PM.AUDIO_SOURCE[0], 6);
    EXPECT_EQ(PM.SEL_INPUT[0], 4);

    gVerboseMode = 1;
    EXPECT_EQ(run("#WIN-CUST? 0"), "~01@WIN-CUST 0,10,20,30,40\r\n");
    PM.OUTPUT_RES_SEL[1] = 42;
    EXPECT_EQ(run("#WIN-CUST? 1"), "~01@WIN-CUST 0,5,3840,6,2160\r\n");

    // Other threads report through the same routing: both windows when the
    // video path reports two.
    gVerboseMode = 0;
    wsi_cnt = 1;
    webCopies();
    vp.dDisp = 2;
    get_win_cust_of_all_windows(2);
    EXPECT_EQ(webCopies(),
              (std::vector<std::string>{"~01@WIN-CUST 0,10,20,30,40\r\n", "~01@WIN-CUST 0,5,3840,6,2160\r\n"}));
    vp.dDisp = 0;
    get_win_cust_of_all_windows(3);
    EXPECT_EQ(webCopies().size(), 1u);
}
