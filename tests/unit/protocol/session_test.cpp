#include "protocol_fixture.h"

#include "protocol/crc16.h"

using namespace hx40test;
using Protocol7700::FileLoadParser;
using Protocol7700::Session;

namespace {

// Bytes written as hex pairs; "'text'" inserts text as it is.
std::string bytes(const std::string& notation) {
    std::string out;
    for (size_t i = 0; i < notation.size();) {
        if (notation[i] == ' ') {
            ++i;
        } else if (notation[i] == '\'') {
            size_t end = notation.find('\'', i + 1);
            out += notation.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            out += static_cast<char>(std::stoi(notation.substr(i, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

}  // namespace

class ProtocolSessionTest : public ProtocolTest {
protected:
    // Feeds the blocks in order; returns what each block answered.
    std::vector<std::string> feed(Session& s, const std::vector<std::string>& blocks, const std::string& iface) {
        std::vector<std::string> replies;
        unsigned now = 100;
        for (const auto& b : blocks) {
            std::string result, interface = iface;
            s.Parse(b.data(), static_cast<int>(b.size()), now++, result, interface, 0);
            replies.push_back(result);
        }
        return replies;
    }
};

TEST_F(ProtocolSessionTest, LineFraming) {
    struct {
        const char* iface;
        std::vector<std::string> blocks;
        std::vector<std::string> replies;
    } cases[] = {
        {"tcp", {"#ECHO a\r"}, {"~01@a\r\n"}},
        {"tcp", {"#ECHO a\n"}, {"~01@a\r\n"}},
        {"udp", {"#ECHO a\r\n"}, {"~01@a\r\n"}},
        // Every line of a block is answered, in order.
        {"tcp", {"#ECHO a\r\n#ECHO b\r\n#ECHO c\r"}, {"~01@a\r\n~01@b\r\n~01@c\r\n"}},
        {"udp", {"#ECHO a\r#2@ECHO x\r#ECHO b\r"}, {"~01@a\r\n~01@b\r\n"}},
        // The first CR wins over an earlier LF.
        {"tcp", {"#ECHO a\n#ECHO b\r"}, {"~01@a\n#ECHO b\r\n"}},
        // Line ends inside brackets belong to the line.
        {"tcp", {"#ECHO [a\rb\nc]\r"}, {"~01@[a\rb\nc]\r\n"}},
        {"tcp", {"#ECHO [a\rb]\nX\r"}, {"~01@[a\rb]\nX\r\n"}},
        // A bracket in a later line does not swallow an earlier one.
        {"tcp", {"#ECHO a\r#ECHO [x]\r"}, {"~01@a\r\n~01@[x]\r\n"}},
        {"tcp", {"#ECHO a\r#ECHO [x\ry]\r"}, {"~01@a\r\n~01@[x\ry]\r\n"}},
        {"tcp", {"#ECHO ]a[b\rc]\r"}, {"~01@]a[b\r\n"}},
        {"tcp", {"#ECHO [a]b[c\rd]\r"}, {"~01@[a]b[c\r\n"}},
        {"tcp", {"#ECHO [a\r"}, {"~01@[a\r\n"}},
        // Stream transports carry an unfinished line over to the next block.
        {"tcp", {"#ECHO a", "b\r"}, {"", "~01@ab\r\n"}},
        {"serial", {"#EC", "HO a\r#ECHO b", "\r"}, {"", "~01@a\r\n", "~01@b\r\n"}},
        // A '[' without a ']' in the buffer changes nothing.
        {"tcp", {"#ECHO [a\r", "b]\r"}, {"~01@[a\r\n", ""}},
        {"tcp", {"#ECHO [a", "\rb]\r"}, {"", "~01@[a\rb]\r\n"}},
        {"tcp", {"#ECHO a\r", "\n#ECHO b\r"}, {"~01@a\r\n", "~01@b\r\n"}},
        // Datagrams and the web clients' shared session drop it.
        {"udp", {"#ECHO a", "\r"}, {"", ""}},
        {"websocket", {"#ECHO a", "\r"}, {"", ""}},
        {"udp", {"#ECHO a\r#ECHO b", "\r"}, {"~01@a\r\n", ""}},
    };
    for (const auto& c : cases) {
        auto session = parser_.CreateSession(0, 0);
        std::vector<std::string> got = feed(*session, c.blocks, c.iface);
        std::string label = c.iface;
        for (const auto& b : c.blocks) label += " [" + b + "]";
        EXPECT_EQ(got, c.replies) << label;
    }
}

TEST_F(ProtocolSessionTest, CarryOverIsBounded) {
    auto session = parser_.CreateSession(0, 0);
    // 4096 bytes wait for their line end...
    std::string head = "#ECHO " + std::string(4090, 'x');
    std::vector<std::string> got = feed(*session, {head, "\r"}, "tcp");
    EXPECT_EQ(got[0], "");
    EXPECT_EQ(got[1], "~01@" + std::string(4090, 'x') + "\r\n");
    // ...one more is dropped, and the next line starts clean.
    got = feed(*session, {head + "y", "\r#ECHO z\r"}, "tcp");
    EXPECT_EQ(got, (std::vector<std::string>{"", "~01@z\r\n"}));
    // A long block with line ends is answered whole.
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "#ECHO a\r";
    got = feed(*session, {many}, "tcp");
    EXPECT_EQ(got[0].size(), 7000u);
}

TEST_F(ProtocolSessionTest, Idleness) {
    struct {
        unsigned timeout, last, now;
        bool idle;
    } cases[] = {
        {3600, 100, 3700, false},
        {3600, 100, 3701, true},
        {0, 0, 4000000000u, false},
        {3600, 0xFFFFFFF0u, 5, false},  // the clock wrapped 21 s ago
        {3600, 0xFFFFFFF0u, 3600, true},
    };
    for (const auto& c : cases) {
        Session s(&parser_, c.timeout, c.last);
        EXPECT_EQ(s.IsNoActivity(c.now), c.idle) << c.timeout << " " << c.last << " " << c.now;
    }
    // A block is activity; idleness drops an unfinished line.
    auto s = parser_.CreateSession(3600, 0);
    std::string result, iface = "tcp";
    s->Parse("#ECHO a", 7, 3000, result, iface, 0);
    EXPECT_FALSE(s->IsNoActivity(6600));
    EXPECT_TRUE(s->IsNoActivity(6601));
    s->Parse("\r", 1, 6602, result, iface, 0);
    EXPECT_EQ(result, "");
}

TEST(Crc16, CheckValues) {
    const Protocol7700::Crc16& crc = FileLoadParser::st_src16;
    auto of = [&](const std::string& s, int n = -2) {
        return crc.ComputeChecksum(reinterpret_cast<const unsigned char*>(s.data()), n == -2 ? int(s.size()) : n);
    };
    EXPECT_EQ(of("123456789"), 0x31C3);
    EXPECT_EQ(of("abc"), 0x9DD6);
    EXPECT_EQ(of(bytes("00 01 00 07 'hello'")), 0x4CF0);
    EXPECT_EQ(of("abc", 0), 0);
    EXPECT_EQ(of("abc", -1), 0);
    Protocol7700::Crc16 seeded(0xFFFF);
    unsigned char out[2] = {};
    EXPECT_EQ(seeded.ComputeChecksumBytes(out, reinterpret_cast<const unsigned char*>("123456789"), 9), 0x29B1);
    EXPECT_EQ(out[0], 0x29);
    EXPECT_EQ(out[1], 0xB1);
    EXPECT_EQ(seeded.ComputeChecksum(out, 0), 0xFFFF);
}

TEST_F(ProtocolSessionTest, UploadOutcomes) {
    struct Case {
        const char* what;
        int size;
        std::vector<std::string> packets;  // bytes() notation
        std::vector<std::string> replies;
        std::string file;
        int stateAfter;
    } cases[] = {
        {"one checked packet", 5, {"00 01 00 07 'hello' F0 4C"},
         {"~0001 OK \r\n~01@LOAD /tmp/up.bin,5 OK \r\n"}, "hello", 0},
        {"two unchecked packets", 5, {"00 01 00 05 'abc' 00 00", "00 02 00 04 'xy' 00 00"},
         {"~0001 OK \r\n", "~0002 OK \r\n~01@LOAD /tmp/up.bin,5 OK \r\n"}, "abcxy", 0},
        {"two checked packets", 6, {"00 01 00 05 'abc' 33 64", "00 02 00 04 'xy' 0D F6"},
         {"~0001 OK \r\n", "~0002 OK \r\n"}, "abcxy", 1},
        {"an empty packet completes an empty file", 0, {"00 01 00 02 72 17"},
         {"~0001 OK \r\n~01@LOAD /tmp/up.bin,0 OK \r\n"}, "", 0},
        {"bad CRC", 5, {"00 01 00 07 'hello' F0 4D"}, {"~01@LOAD  ERR21\r\n"}, "", 0},
        {"CRC stored high byte first", 5, {"00 01 00 07 'hello' 4C F0"}, {"~01@LOAD  ERR21\r\n"}, "", 0},
        {"first packet numbered 2", 5, {"00 02 00 05 'abc' 00 00"}, {"~01@LOAD  ERR22\r\n"}, "", 0},
        {"packet repeated", 9, {"00 01 00 05 'abc' 00 00", "00 01 00 05 'abc' 00 00"},
         {"~0001 OK \r\n", "~01@LOAD  ERR22\r\n"}, "abc", 0},
        {"past the announced size", 2, {"00 01 00 05 'abc' 00 00"}, {"~01@LOAD  ERR23\r\n"}, "", 0},
        {"second packet past the size", 4, {"00 01 00 05 'abc' 00 00", "00 02 00 04 'xy' 00 00"},
         {"~0001 OK \r\n", "~01@LOAD  ERR23\r\n"}, "abc", 0},
        {"block of 5 bytes", 5, {"00 01 00 02 00"}, {"~01@LOAD  ERR21\r\n"}, "", 0},
        {"length below 2", 5, {"00 01 00 01 00 00"}, {"~01@LOAD  ERR21\r\n"}, "", 0},
        {"length past the block", 5, {"00 01 00 09 'abc' 00 00"}, {"~01@LOAD  ERR21\r\n"}, "", 0},
        {"length of 65535", 5, {"00 01 FF FF 'abc' 00 00"}, {"~01@LOAD  ERR21\r\n"}, "", 0},
        {"empty block", 5, {""}, {"~01@LOAD  ERR21\r\n"}, "", 0},
    };
    for (const auto& c : cases) {
        auto session = parser_.CreateSession(0, 0);
        ASSERT_TRUE(session->StartFileUpLoad("/tmp/up.bin", c.size)) << c.what;
        EXPECT_EQ(session->State(), 1) << c.what;
        std::vector<std::string> blocks;
        for (const auto& p : c.packets) blocks.push_back(bytes(p));
        EXPECT_EQ(feed(*session, blocks, "tcp"), c.replies) << c.what;
        EXPECT_EQ(session->State(), c.stateAfter) << c.what;
        session.reset();  // an unfinished upload closes its file with the session
        EXPECT_EQ(board_.read("tmp/up.bin"), c.file) << c.what;
    }
}

TEST_F(ProtocolSessionTest, UploadStateAndWhatFollows) {
    auto session = parser_.CreateSession(0, 0);
    ASSERT_TRUE(session->StartFileUpLoad("/tmp/a.bin", 9));
    // A block in upload mode is a packet, even when it looks like a line;
    // after the error the session reads lines again.
    EXPECT_EQ(feed(*session, {"#ECHO a\r", "#ECHO a\r"}, "tcp"),
              (std::vector<std::string>{"~01@LOAD  ERR21\r\n", "~01@a\r\n"}));
    EXPECT_EQ(session->State(), 0);
    // A second upload abandons the first.
    ASSERT_TRUE(session->StartFileUpLoad("/tmp/a.bin", 9));
    EXPECT_EQ(feed(*session, {bytes("00 01 00 05 'abc' 00 00")}, "tcp")[0], "~0001 OK \r\n");
    ASSERT_TRUE(session->StartFileUpLoad("/tmp/b.bin", 2));
    EXPECT_EQ(feed(*session, {bytes("00 01 00 04 'xy' 00 00"), "#ECHO back\r"}, "tcp"),
              (std::vector<std::string>{"~0001 OK \r\n~01@LOAD /tmp/b.bin,2 OK \r\n", "~01@back\r\n"}));
    EXPECT_EQ(board_.read("tmp/a.bin"), "abc");
    EXPECT_EQ(board_.read("tmp/b.bin"), "xy");
    // A file that cannot be created leaves the session reading lines.
    EXPECT_FALSE(session->StartFileUpLoad("/tmp/missing/c.bin", 2));
    EXPECT_EQ(session->State(), 0);
    EXPECT_EQ(feed(*session, {"#ECHO still\r"}, "tcp")[0], "~01@still\r\n");
}

TEST_F(ProtocolSessionTest, ReceiverRules) {
    // No open file.
    FileLoadParser closed("/tmp/missing/x.bin", 3);
    std::string reply = "untouched";
    std::string packet = bytes("00 01 00 05 'abc' 00 00");
    EXPECT_EQ(closed.Parse(packet.data(), int(packet.size()), reply), 13);
    EXPECT_EQ(reply, "untouched");
    // The packet counter advances even when the number does not match.
    FileLoadParser open("/tmp/x.bin", 6);
    std::string second = bytes("00 02 00 05 'abc' 00 00");
    EXPECT_EQ(open.Parse(second.data(), int(second.size()), reply), 22);
    EXPECT_EQ(open.Parse(second.data(), int(second.size()), reply), 0);
    EXPECT_EQ(reply, "~0002 OK \r\n");
}
