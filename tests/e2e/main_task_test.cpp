#include "support/pty_read.h"
#include "support/menu_keys.h"
#include "support/sim_device.h"
#include "unit/protocol/loopback.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using hx40test::LoopbackTcp;
using hx40test::SimDevice;

using hx40test::readFor;

namespace {

constexpr int kWaitMs = 15000;

// Starts the device and waits until both channels have taken their first
// format report (keys are dropped before that).
void startAndSettle(SimDevice& dev, const std::vector<std::string>& args = {}) {
    hx40test::startAndSettle(dev, kWaitMs, args);
}

// Waits for a journal line written after the first `from` bytes.
bool waitJournalAfter(SimDevice& dev, size_t from, const std::string& needle) {
    return dev.waitFor([&] { return dev.journal().find(needle, from) != std::string::npos; }, kWaitMs);
}

std::string ask(LoopbackTcp& tcp, const std::string& line) {
    if (!tcp.send(line)) return "(not sent)";
    return tcp.until("\r\n", kWaitMs);
}

std::string channels(SimDevice& dev) {
    std::string s = dev.ctl("state");
    size_t at = s.find("[channels]");
    return at == std::string::npos ? "" : s.substr(at, s.find("\n[", at + 1) - at);
}

// Each needle in order, each after the one before.
void expectInOrder(const std::string& text, const std::vector<std::string>& needles) {
    size_t at = 0;
    for (const auto& n : needles) {
        size_t found = text.find(n, at);
        EXPECT_NE(found, std::string::npos) << "'" << n << "' missing or out of order";
        if (found != std::string::npos) at = found + n.size();
    }
}

}  // namespace

TEST(MainTask, AnInputKeyTakesTheRoadOfARequest) {
    SimDevice dev;
    startAndSettle(dev);
    EXPECT_EQ(dev.ctl("input 3 connect 1080p60"), "OK input 3 format 15\n");
    EXPECT_EQ(dev.ctl("input 3 connect 1080p61"), "ERR unknown format '1080p61'\n");
    size_t from = dev.journal().size();
    EXPECT_EQ(dev.ctl("key tap IN1_3"), "OK key 17 tap\n");
    ASSERT_TRUE(waitJournalAfter(dev, from, "blackout force=0 channel=0 act=2 caller=tuneChannel")) << dev.journal();
    ASSERT_TRUE(waitJournalAfter(dev, from, "eepromSaveFullPMData input=2 channel=0"));
    expectInOrder(dev.journal().substr(from), {
        "main_task.key key=17 mode=0 param=0 source=2",
        "switchAFV channel=0 input=2 mode=0",
        "blackout force=0 channel=0 act=1",
        "routeChannel channel=0 input=3 zone=2",
        "confNewVideo channel=0 vidInput=2",
        "frontEnd_setVidInput channel=0 vidInput=2 connector=2",
        "eepromSaveVpData inputs=2,1",
        "ledsOnManager channel=0 video=3 audio=3 mode=0",
        "p7kEvAnnounceInt function=31 value=3 channel=0",
        "videoFormatManager channel=0 new format=15",
        "tuneChannel channel=0 format=15 1080p60",
        "build_picture ch=0",
        "blackout force=0 channel=0 act=2",
        "p7kEvAnnounceInt function=511 value=15 channel=0",
    });
    EXPECT_NE(channels(dev).find("channel 1 input 3 vidInput 2 format 15 picture normal flags 0x00"),
              std::string::npos)
        << channels(dev);
    EXPECT_TRUE(dev.waitFor([&] { return dev.read("sim/leds.txt").find("\n2 7 7 0 0\n") != std::string::npos; },
                            kWaitMs))
        << dev.read("sim/leds.txt");
    EXPECT_EQ(dev.read("sim/leds.txt").rfind("0 0 0 0 0\n", 0), 0u);

    // The source goes away: the no-signal fill (blue by default).
    from = dev.journal().size();
    dev.ctl("input 3 disconnect");
    ASSERT_TRUE(waitJournalAfter(dev, from, "channelSignalLost channel=0"));
    ASSERT_TRUE(waitJournalAfter(dev, from, "set_ofill ch=0 mode=2 rgb=0,0,255"));
    EXPECT_NE(channels(dev).find("channel 1 input 3 vidInput 2 format 255 picture nosignal flags 0x08"),
              std::string::npos)
        << channels(dev);
    EXPECT_EQ(dev.stop(), 0);

    // Stored at once: the video path and CH1's zone of input 3.
    std::string e = dev.read("sim/eeprom.bin");
    EXPECT_EQ(static_cast<uint8_t>(e[0x1880]), 2);       // CH1's video input
    EXPECT_EQ(static_cast<uint8_t>(e[0x1880 + 3]), 1);   // CH2's
    EXPECT_EQ(e.substr(2 * 384 + 130, 2), "\x03\x02");   // SEL_INPUT in zone 2 (input 3, CH1)
    EXPECT_EQ(e.substr(9 * 384 + 130, 2), "\x03\x02");   // and in CH2's zone
    // A restart shows input 3 again.
    startAndSettle(dev);
    EXPECT_EQ(dev.ctl("pm get PM.SEL_INPUT"), "OK 3 2\n");
    EXPECT_NE(channels(dev).find("channel 1 input 3 vidInput 2"), std::string::npos);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MainTask, FreezeBlankAndTakeFromThePanel) {
    SimDevice dev;
    startAndSettle(dev);
    dev.ctl("key tap FREEZE1");
    ASSERT_TRUE(dev.waitJournal("p7kEvAnnounceInt function=3821 value=1 channel=0", kWaitMs)) << dev.journal();
    EXPECT_NE(dev.journal().find("scaler.set_image_frozen ch=0 on=1"), std::string::npos);
    EXPECT_EQ(dev.ctl("pm get PM.FREEZE"), "OK 1 0\n");
    dev.ctl("key tap BLANK2");
    ASSERT_TRUE(dev.waitJournal("p7kEvAnnounceInt function=4822 value=1 channel=1", kWaitMs));
    EXPECT_EQ(dev.ctl("pm get PM.BLANK"), "OK 0 1\n");
    // ENTER with the menu closed: the channels exchange their inputs.
    dev.ctl("key tap ENTER");
    ASSERT_TRUE(dev.waitJournal("take source=2 program=1 preview=2", kWaitMs)) << dev.journal();
    EXPECT_TRUE(dev.waitFor([&] { return dev.ctl("pm get PM.SEL_INPUT") == "OK 2 1\n"; }, kWaitMs));
    // No TAKE in overlay mode.
    EXPECT_EQ(dev.ctl("pm set PM.DISPLAY_MODE 1"), "OK\n");
    dev.ctl("key tap ENTER");
    ASSERT_TRUE(dev.waitJournal("take source=2 refused: overlay mode", kWaitMs));
    EXPECT_EQ(dev.ctl("pm get PM.SEL_INPUT"), "OK 2 1\n");
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MainTask, AUserKeySendsTheStoredMessageOnTheUserPort) {
    SimDevice dev;
    std::ofstream(dev.file("root/persist/user1_msg.txt"), std::ios::binary) << "POWER ON\r\n";
    startAndSettle(dev);
    int fd = ::open(dev.file("term/ttyS3").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::usleep(200 * 1000);
    dev.ctl("key tap USR1");
    EXPECT_EQ(readFor(fd, 10, kWaitMs), "POWER ON\r\n");
    EXPECT_TRUE(dev.waitJournal("usrmsg.send port=1 bytes=10 custom=0", kWaitMs));
    EXPECT_NE(dev.journal().find("usrmsg.tty port=1 baud=9600 bits=8 parity=N stop=1"), std::string::npos);
    ::close(fd);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MainTask, ThePowerKeySavesPowerAndTheNextOneEndsTheProgram) {
    SimDevice dev;
    startAndSettle(dev);
    dev.ctl("input 1 connect 15");
    ASSERT_TRUE(dev.waitJournal("tuneChannel channel=0 format=15", kWaitMs));
    dev.ctl("key tap POWER");
    ASSERT_TRUE(dev.waitJournal("powerDownMode DSP and clocks down", kWaitMs)) << dev.journal();
    expectInOrder(dev.journal(), {"powerDownMode power saving", "frontEnd_powerDown", "video.output output=0 tmds=0 5v=0",
                                  "audio.powerDown", "valens.shut RX CH1"});
    EXPECT_TRUE(dev.waitFor([&] { return dev.log().find("backgnd_thread: end") != std::string::npos; }, kWaitMs));
    EXPECT_TRUE(dev.waitFor([&] { return dev.log().find("frontend_thread: end") != std::string::npos; }, kWaitMs));
    EXPECT_TRUE(dev.waitFor([&] { return dev.read("sim/leds.txt").find(" 7 ") == std::string::npos; }, kWaitMs));
    dev.ctl("key tap POWER");
    EXPECT_EQ(dev.waitExit(kWaitMs), 0);
}

TEST(MainTask, AutomaticSwitchingFollowsTheSources) {
    SimDevice dev;
    // CH1 takes the source connected last; CH2 scans, and only place 7
    // (input 7) takes part.
    std::ofstream(dev.file("sim/board.conf"), std::ios::app) << "input.7 = 15\n";
    startAndSettle(dev);
    EXPECT_EQ(dev.ctl("pm set PM.AUTO_SWITCH_MODE 2 1"), "OK\n");
    EXPECT_EQ(dev.ctl("pm set PM.AUTO_SWITCH_PARTICIPATION 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0"), "OK\n");
    EXPECT_EQ(dev.ctl("pm save"), "OK saved\n");
    EXPECT_EQ(dev.stop(), 0);
    startAndSettle(dev);
    ASSERT_TRUE(dev.waitJournal("autoswitch channel=1 scan input=7", kWaitMs)) << dev.journal();
    EXPECT_TRUE(dev.waitFor([&] { return channels(dev).find("channel 2 input 7 vidInput 6 format 15") != std::string::npos; },
                            kWaitMs))
        << channels(dev);
    EXPECT_TRUE(dev.waitJournal("autoswitch.scan channel=1 done", kWaitMs));
    dev.ctl("input 4 connect 16");
    ASSERT_TRUE(dev.waitJournal("autoswitch channel=0 last connected input=4", kWaitMs));
    EXPECT_TRUE(dev.waitFor([&] { return channels(dev).find("channel 1 input 4 vidInput 3 format 16") != std::string::npos; },
                            kWaitMs))
        << channels(dev);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MainTask, TheInputsOfferTheirStoredEdidsAndPulseHotPlugOnlyWhenTheyChanged) {
    SimDevice dev;
    startAndSettle(dev);
    std::string e = dev.read("sim/edid/in1.bin");
    ASSERT_EQ(e.size(), 256u);
    EXPECT_EQ(e.substr(54, 5), std::string("\x64\x19\x00\x40\x41", 5));  // native 1024x768@60, the factory choice
    EXPECT_EQ(static_cast<uint8_t>(e[20]), 0x80);
    unsigned sum = 0;
    for (size_t i = 0; i < 128; ++i) sum += static_cast<uint8_t>(e[i]);
    EXPECT_EQ(sum % 256, 0u);
    EXPECT_NE(dev.journal().find("pulseInputHotPlug changed EDIDs"), std::string::npos);
    EXPECT_NE(dev.ctl("state").find("input 8 format none hotplug high pulses 1 hdcp on edid 256"), std::string::npos);
    // The far sources of the HDBaseT inputs see the pulse through their
    // receiving transceivers; the switch's pins rest on channel 2's input.
    EXPECT_TRUE(dev.waitJournal("valens.reset RX CH1", kWaitMs));
    EXPECT_TRUE(dev.waitJournal("valens.reset RX CH2", kWaitMs));
    EXPECT_NE(dev.ctl("state").find("hotplug pins input 2\n"), std::string::npos);
    EXPECT_EQ(dev.stop(), 0);
    // The switch ports kept the images: no pulse at the next start.
    const size_t from = dev.journal().size();
    startAndSettle(dev);
    EXPECT_NE(dev.journal().find("pulseInputHotPlug none changed"), std::string::npos);
    EXPECT_NE(dev.ctl("state").find("input 1 format none hotplug high pulses 0"), std::string::npos);
    EXPECT_EQ(dev.journal().find("valens.reset RX", from), std::string::npos);
    EXPECT_EQ(dev.stop(), 0);
}

TEST(MainTask, TheOutputsFollowTheirSinks) {
    SimDevice dev;
    startAndSettle(dev);
    auto sends = [&](int n, const std::string& what) {
        return dev.waitFor(
            [&] { return dev.ctl("state").find("output " + std::to_string(n) + " sends " + what + "\n") != std::string::npos; },
            kWaitMs);
    };
    // Both channels' formats are native: each output sends what its sink prefers.
    EXPECT_TRUE(sends(1, "1920x1080 148500 kHz rgb 24-bit")) << dev.ctl("state");
    EXPECT_EQ(dev.ctl("sink 1 on 720p60"), "OK sink 1 on 720p60\n");
    EXPECT_TRUE(sends(1, "1280x720 74250 kHz rgb 24-bit")) << dev.ctl("state");
    EXPECT_TRUE(sends(2, "1280x720 74250 kHz rgb 24-bit"));
    EXPECT_TRUE(sends(3, "1920x1080 148500 kHz rgb 24-bit")) << "channel 2's sink did not change";
    EXPECT_EQ(dev.ctl("sink 3 dvi 1024x768@60"), "OK sink 3 dvi 1024x768@60\n");
    EXPECT_TRUE(sends(3, "1024x768 65000 kHz rgb 24-bit"));
    // Deep colour and YCbCr 4:4:4 from a control system reach the HDMI sinks.
    LoopbackTcp tcp(dev.tcpPort);
    EXPECT_EQ(ask(tcp, "#Y 0,243,1\r"), "~01@Y 0,243,1 OK\r\n");
    EXPECT_EQ(ask(tcp, "#Y 0,244,1\r"), "~01@Y 0,244,1 OK\r\n");
    EXPECT_TRUE(sends(1, "1280x720 74250 kHz ycbcr444 36-bit")) << dev.ctl("state");
    EXPECT_TRUE(sends(3, "1024x768 65000 kHz rgb 24-bit")) << "a DVI sink stays RGB at 24 bits";
    EXPECT_NE(dev.ctl("state").find("link windows 2\n"), std::string::npos) << "the FPGA's output links";
    EXPECT_EQ(dev.stop(), 0);
}
