// The default command and the name words through the class parser: the
// older engine's replies framed once, the name in the EEPROM, and the host
// name written only on the board and only for a name the engine stored.
#include "commands/command_table.h"
#include "core/functable.h"
#include "platform/sim/i2c_sim.h"
#include "protocol/parser.h"
#include "support/temp_board.h"
#include "sys/eeprom.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>

using hx40test::TempBoard;

namespace {

class NameWords : public ::testing::Test {
protected:
    NameWords() : parser_(NorvaCommands::CreateParser()) {
        ::gethostname(host_, sizeof host_ - 1);
        parser_->SetOutlets(Protocol7700::ReplyOutlets{
            nullptr,
            [this](const std::string& t) { everyone_ += t; },
            nullptr,
            [this](const std::string& t, int id) { everyone_ += "ws" + std::to_string(id) + ":" + t; },
            nullptr,
        });
        funcTableInstall({});
        store(0x7E8A, std::string("lobby\0\0\0\0\0\0\0\0\0\0\0", 16));
    }
    ~NameWords() override {
        char now[256] = {};
        ::gethostname(now, sizeof now - 1);
        EXPECT_STREQ(now, host_);  // the machine's own name never changes
    }

    // What the requester gets; what every client got is in everyone_.
    std::string line(const std::string& text, std::string iface = "tcp") {
        std::string result;
        everyone_.clear();
        parser_->Parse(nullptr, text, result, iface, 3);
        return result;
    }
    static void store(uint16_t address, const std::string& bytes) {
        ASSERT_EQ(eepromWrite(address, static_cast<uint16_t>(bytes.size()), reinterpret_cast<const uint8_t*>(bytes.data())), 0);
    }
    std::string storedName() const { return board_.read("sim/eeprom.bin").substr(0x7E8A, 16); }

    TempBoard board_{true, true};
    std::unique_ptr<Protocol7700::Parser> parser_;
    std::string everyone_;
    char host_[256] = {};
};

}  // namespace

TEST_F(NameWords, TheEnginesRepliesComeBackOnce) {
    struct {
        const char* sent;
        const char* iface;
        const char* requester;
        const char* everyone;
    } cases[] = {
        {"#NAME?", "tcp", "~01@NAME lobby\r\n", ""},
        {"#name?", "websocket", "~01@NAME lobby\r\n", ""},  // the session answers the web client
        {"#POWER?", "tcp", "~01@POWER 1\r\n", ""},
        {"#Y 1,930", "websocket", "~01@Y 1,930 ERR 002\r\n", ""},  // no rows installed here
        {"#XYZ a b", "tcp", "~01@XYZ ERR 002\r\n", ""},
        {"#NTIP?", "tcp", "~01@  ERR 002\r\n", ""},
        {"#POWER?|XYZ secret", "tcp", "~01@POWER 1\r\n~01@XYZ ERR 002\r\n", ""},
        {"#NAME-RST 1", "tcp", "~01@NAME-RST 1 ERR 001\r\n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.sent, c.iface), c.requester) << c.sent;
        EXPECT_EQ(everyone_, c.everyone) << c.sent;
    }
}

TEST_F(NameWords, NameStoresValidNamesAndOnlyThoseBecomeTheHostName) {
    struct {
        const char* name;
        bool accepted;
    } cases[] = {
        {"ab_1", true},
        {"Stage-Left_16chr", true},
        {"Stage-Left_17char", false},
        {"1abc", false},
        {"abc-", false},
        {"a.b", false},
        {"a b", false},
        {"_ab", false},
    };
    for (const auto& c : cases) {
        const std::string before = storedName();
        const std::string hostBefore = board_.exists("sim/hostname") ? board_.read("sim/hostname") : "";
        EXPECT_EQ(line(std::string("#NAME ") + c.name), "") << c.name;  // every client gets it, the requester too
        const std::string reply = std::string("~01@NAME ") + c.name + (c.accepted ? " OK\r\n" : " ERR 001\r\n");
        EXPECT_EQ(everyone_, reply + "ws0:" + reply) << c.name;
        if (c.accepted) {
            EXPECT_EQ(storedName(), std::string(c.name) + std::string(16 - std::string(c.name).size(), '\0'));
            EXPECT_EQ(board_.read("sim/hostname"), std::string(c.name) + "\n");
            EXPECT_EQ(line("#NAME?"), std::string("~01@NAME ") + c.name + "\r\n");  // a full name is cut at 16
        } else {
            EXPECT_EQ(storedName(), before) << c.name;
            EXPECT_EQ(board_.exists("sim/hostname") ? board_.read("sim/hostname") : "", hostBefore) << c.name;
        }
    }
}

TEST_F(NameWords, NameResetNamesTheDeviceAfterModelAndSerial) {
    store(0x7E81, std::string("HX40\0\0\0\0\0", 9));
    const uint64_t serial = 20240123456ULL;
    store(0x7E9A, std::string(reinterpret_cast<const char*>(&serial), 8));
    EXPECT_EQ(line("#NAME-RST"), "~01@NAME-RST  OK\r\n");
    EXPECT_EQ(line("#NAME?"), "~01@NAME HX40-3456\r\n");
    EXPECT_EQ(storedName(), std::string("HX40-3456\0\0\0\0\0\0\0", 16));
    // An EEPROM that takes nothing: error 8, the name stays.
    store(0x7E8A, std::string("lobby\0\0\0\0\0\0\0\0\0\0\0", 16));
    board::sim::i2c::failNext(0, 1000000);
    const std::string reply = line("#NAME-RST");
    board::sim::i2c::failNext(0, 0);
    EXPECT_EQ(reply, "~01@NAME-RST  ERR 008\r\n");
    EXPECT_EQ(storedName(), std::string("lobby\0\0\0\0\0\0\0\0\0\0\0", 16));
}
