// Page 51, Information: each node's JSON document as the control protocol
// reads it, and the screens as the OSD shows them.
#include "unit/menu/misc_fixture.h"
#include "unit/upgrade/vs100_image.h"

#include "commands/network_param.h"
#include "core/paramcmd.h"
#include "menu/pages_info.h"
#include "menu/pages_misc.h"
#include "platform/sim/board_conf.h"
#include "sys/frontpanel.h"
#include "sys/timeutil.h"
#include "sys/version.h"
#include "upgrade/valens.h"

#include <functional>

namespace hx40test {
namespace {

class InfoPages : public MiscPages {
protected:
    // The protocol's get of a node: the text it answers.
    static std::string get(int node) {
        float f = 0;
        int32_t i = 0;
        const char* text = nullptr;
        const std::string params = " 1," + std::to_string(node);
        EXPECT_EQ(parseVidCmd(params.c_str(), &f, &i, &text), YST_TEXT) << node;
        return text ? text : "";
    }
    static void conf(const std::string& key, const std::string& value) { board::sim::mutableConf().set(key, value); }
    void flash(const std::string& name, const std::string& bytes) { board_->write("sim/spiflash/" + name + ".bin", bytes); }
    // The window's texts that start with prefix.
    static std::vector<std::string> shownFrom(int y0, int y1) {
        std::vector<std::string> out;
        for (const auto& t : chip().visibleTexts(0))
            if (t.y >= y0 && t.y <= y1 && t.x >= 320)
                out.push_back(std::to_string(t.x) + "," + std::to_string(t.y) + " " + std::to_string(t.fg) + " " + t.text);
        std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
            return std::stoi(a.substr(a.find(',') + 1)) < std::stoi(b.substr(b.find(',') + 1));
        });
        return out;
    }
};

TEST_F(InfoPages, ChannelDocuments) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        int node;
        const char* document;
    } cases[] = {
        {"CH1 with a signal",
         [] {
             vp.chData[0].vidFormat = 15;  // 1080p60
             vp.chData[0].cFlags = VP_CFLAG_HDCP;
             vp.outFrmt[0] = 1;
             PM.OUTPUT_CH[0] = 1;
         },
         511,
         R"({"Input":{"Source":"HDMI 1","Resolution":"1080p60","HDCP":"ON","FH":"67.5 kHz","FV":"60.0 Hz"},)"
         R"("Output":{"Resolution":"640x480@60","Native":"HDBT1"}})"},
        {"CH2 without a format and a fixed output",
         [] {
             vp.chData[1].vidFormat = 255;
             vp.fixedOutFrmt[1] = 5;
         },
         512,
         R"({"Input":{"Source":"HDMI 2","Resolution":"NONE","HDCP":"OFF","FH":"00.0 kHz","FV":"00.0 Hz"},)"
         R"("Output":{"Resolution":"Native","Native":"NONE"}})"},
        {"CH2 on its second connector",
         [] { PM.OUTPUT_CH[1] = 1; },
         512,
         R"({"Input":{"Source":"HDMI 2","Resolution":"NONE","HDCP":"OFF","FH":"00.0 kHz","FV":"00.0 Hz"},)"
         R"("Output":{"Resolution":"Native","Native":"HDBT2"}})"},
        {"CH2 crossed to CH1's connectors",
         [] {
             PM.OUTPUT_CH[0] = 5;
             PM.OUTPUT_CH[1] = 3;
         },
         512,
         R"({"Input":{"Source":"HDMI 2","Resolution":"NONE","HDCP":"OFF","FH":"00.0 kHz","FV":"00.0 Hz"},)"
         R"("Output":{"Resolution":"Native","Native":"Unknown channel"}})"},
        {"CH2 in one window describes CH1",
         [] {
             vp.chData[0].vidFormat = 15;
             PM.DISPLAY_MODE = 1;
             PM.DWINDOW = 4;
         },
         512,
         R"({"Input":{"Source":"HDMI 1","Resolution":"1080p60","HDCP":"OFF","FH":"67.5 kHz","FV":"60.0 Hz"},)"
         R"("Output":{"Resolution":"Native","Native":"HDMI1"}})"},
    };
    for (const Case& c : cases) {
        vp.chData[0].vidFormat = vp.chData[1].vidFormat = 255;
        vp.chData[0].cFlags = vp.chData[1].cFlags = 0;
        vp.outFrmt[0] = vp.outFrmt[1] = vp.fixedOutFrmt[0] = vp.fixedOutFrmt[1] = 0;
        PM.OUTPUT_CH[0] = PM.OUTPUT_CH[1] = 0;
        PM.DISPLAY_MODE = PM.DWINDOW = 0;
        c.setUp();
        EXPECT_EQ(get(c.node), c.document) << c.name;
    }
    EXPECT_STREQ(ch_info_string_buffer + 300, get(512).c_str());
}

TEST_F(InfoPages, FirmwareDocument) {
    const std::string md5 = " 0123456789abcdef0123456789abcdef ";
    board_->write("root/app/version.md5sum", "# installed\n"
                                             "2.1.0" + md5 + "jffs2\n"
                                             "1.2.3" + md5 + "memfiles/selka_1_2_3.rbf\n"
                                             "1.0.0" + md5 + "memfiles/parts.csv\n"
                                             "1.0.11" + md5 + "memfiles/osd_pallet.csv\n"
                                             "3.1.4" + md5 + "memfiles/web\n"
                                             "4.0.0" + md5 + "bootloader\n"
                                             "5.0.1" + md5 + "cramfs\n");
    board_->write("root/app/memfiles/web/version.json", R"({"major":2,"minor":3,"build":4})");
    conf("fpga_version", "3.2.1");
    const std::string app = std::string(R"({"Application":{"Version":")") + getVersionStr() + R"(","Date":")" +
                            getBuildDate() + R"(","jffs2":"2.1.0"},)";
    // FPGA: the rbf files' a.b and one digit each, then the running FPGA;
    // memory files: every name with "memfiles" in name order (11 is 'B');
    // no kernel entry: no version.
    EXPECT_EQ(get(513), app + R"("FPGA":"1.2.3_3.2.1","Memory File":"3.1.B034","Web Page":"3.1.4_2.3.4",)"
                              R"("Bootloader":"4.0.0","Kernel":"0.0.","OS image":"5.0.1"})");

    board_->write("root/app/version.md5sum", "1.0.0" + md5 + "web\n");
    EXPECT_EQ(get(513), std::string(R"({"Application":{"Version":")") + getVersionStr() + R"(","Date":")" +
                            getBuildDate() + R"(","jffs2":"N/A"},"FPGA":"0.0._3.2.1","Memory File":"0.0.",)"
                            R"("Web Page":"1.0.0 _ 2.3.4","Bootloader":"0.0.","Kernel":"0.0.","OS image":"0.0."})");
}

TEST_F(InfoPages, NetworkDocument) {
    EXPECT_EQ(get(514), R"({"IP Address":"192.168.1.39 ","Netmask":"255.255.0.0","Gateway":"192.168.0.1","DHCP":"OFF"})");
    board_->write("proc/net/route", "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                                    "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n");
    for (auto [mode, text] : {std::pair{1, "ON"}, std::pair{2, "APIPA"}}) {
        DefaultEepromEthParam record;
        record.eepromRead();
        record.setDHCPMode(mode);
        ASSERT_EQ(record.eepromWrite(), 0);
        EXPECT_EQ(get(514), std::string(R"({"IP Address":"192.168.1.39 ","Netmask":"255.255.0.0",)") +
                                R"("Gateway":"192.168.1.1","DHCP":")" + text + R"("})");
    }
}

TEST_F(InfoPages, TransceiverDocuments) {
    flash("rx-ch1", vs100Image(false, 2, 10, 5, 100));
    flash("tx-ch2", vs100Image(true, 1, 5, 3, 100));
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> conf;
        int node;
        const char* document;
    } cases[] = {
        {"receiver firmware", {}, 51511,
         R"({"Version ID":"RX 2.A.5","Version Date":"2020 3 31","Firmware Type":"HDBaseT Receiver",)"
         R"j("Hardware Type":"HDBaseT Receiver","Active Bank":"Updatable FW bank (sector 2)"})j"},
        {"transmitter firmware", {}, 51541,
         R"({"Version ID":"TX 1.5.3","Version Date":"2020 3 31","Firmware Type":"HDBaseT Transmitter",)"
         R"j("Hardware Type":"HDBaseT Transmitter","Active Bank":"Updatable FW bank (sector 2)"})j"},
        {"receiver status", {}, 51512,
         R"j({"BER (E-10)":["Video=0 Audio=0","Blank=0 Control=0"],"Link Status":"HDBaseT link is active",)j"
         R"("HDMI Status":"HDMI ON","Operation Mode":"HDBaseT mode","Cable length":"30 meters",)"
         R"("Secondary Quality Indicator":["Ch. A=-12dB Ch. B=-11dB","Ch. C=-13dB Ch. D=-12dB"]})"},
        {"receiver status, long reach",
         {{"hdbt.rx-ch2.F602", "1 2 3 4 0"}, {"hdbt.rx-ch2.F603", "2"}, {"hdbt.rx-ch2.F604", "3"},
          {"hdbt.rx-ch2.F605", "6"}, {"hdbt.rx-ch2.F608", "0 5 0 200"}},
         51522,
         R"j({"BER (E-10)":["Video=1 Audio=2","Blank=3 Control=4"],"Link Status":"LPPF link is active",)j"
         R"("HDMI Status":"Unknown","Operation Mode":"Long Reach mode","Cable length":"Applicable in HDBaseT mode only",)"
         R"("Secondary Quality Indicator":["Ch. A= 0dB Ch. B=-5dB","Ch. C= 0dB Ch. D=-200dB"]})"},
        {"transmitter status", {{"hdbt.tx-ch1.F602", "0 0 0 0 7"}, {"hdbt.tx-ch1.F60B", "0x0A"}}, 51532,
         R"j({"BER (E-10)":"Total=7","Link Status":"HDBaseT link is active","HDMI Status":"HDMI ON",)j"
         R"("Operation Mode":"HDBaseT mode","Cable length":"30 meters","5V/HPD STATUS":["RX Sense status   ON",)"
         R"("5V Status           OFF","Bypass HPD status ON","Current HPD         OFF"]})"},
    };
    for (const Case& c : cases) {
        for (auto [k, v] : c.conf) conf(k, v);
        EXPECT_EQ(get(c.node), c.document) << c.name;
    }
    EXPECT_EQ(valensVersion(valense_input, 0), "RX 2.A.5");
    EXPECT_EQ(valensVersion(valense_output, 1), "TX 1.5.3");
    EXPECT_STREQ(hdbt_status_string_buffer + 2 * 300, get(51532).c_str());
}

TEST_F(InfoPages, CableLength) {
    struct Case {
        const char* bytes;
        const char* status;
        const char* length;
    } cases[] = {
        {"0 0 0 0", "100", "Less than 20 meters"},   {"0 0 0 255", "100", "More than 110 meters"},
        {"0 0 1 0", "100", "More than 110 meters"}, {"0 0 0 101", "100", "101 meters"},
        {"9 9 0 1", "100", "1 meters"},               {"0 0 0 30", "0", "N.A"},
    };
    for (const Case& c : cases) {
        conf("hdbt.rx-ch1.F607", c.bytes);
        conf("hdbt.rx-ch1.F607.status", c.status);
        const std::string doc = get(51512);
        EXPECT_NE(doc.find(std::string(R"("Cable length":")") + c.length + "\""), std::string::npos) << doc;
    }
}

TEST_F(InfoPages, ALinkWithoutCableReadsDisconnectedFromItsSecondReading) {
    conf("hdbt.tx-ch2.F603", "0");
    conf("hdbt.tx-ch2.F607.status", "0");
    const char* off = R"("5V/HPD STATUS":["RX Sense status   OFF","5V Status           OFF",)"
                      R"("Bypass HPD status OFF","Current HPD         OFF"])";
    std::string doc = get(51542);
    EXPECT_NE(doc.find(R"("Operation Mode":"HDBaseT mode")"), std::string::npos) << doc;
    EXPECT_NE(doc.find(off), std::string::npos) << doc;
    doc = get(51542);
    EXPECT_NE(doc.find(R"("Operation Mode":"Disconnected","Cable length":"N.A")"), std::string::npos) << doc;
}

TEST_F(InfoPages, ASilentTransceiverKeepsItsDocumentAndIsReset) {
    const std::string before = get(51521);
    ASSERT_NE(before, "");
    shut_valens(valense_input, 1);
    EXPECT_EQ(get(51521), before);
    EXPECT_EQ(valensVersion(valense_input, 1), "NO FIRM 0.0.0");
    EXPECT_TRUE(journalHas("valens.reset RX CH2"));
    EXPECT_EQ(hdbtInfoLastRead(1).valid, 0);
    // The page shows only "NA".
    draw(51521);
    EXPECT_TRUE(shows("460,138 199/255 NA"));
    EXPECT_TRUE(shownFrom(60, 420).size() == 1) << ::testing::PrintToString(shownFrom(60, 420));
    // The reset brought it back.
    get(51521);
    EXPECT_EQ(valensVersion(valense_input, 1), "RX 1.4.2");
}

TEST_F(InfoPages, ScreensDrawTheLastReading) {
    vp.chData[0].vidFormat = 15;
    vp.chData[0].cFlags = VP_CFLAG_HDCP;
    PM.OUTPUT_CH[0] = 0;
    runFuncInd(row(511));
    draw(511);
    // The HDCP mark lies over the format line's blanks only: the format
    // stays readable, and in the scene.
    EXPECT_EQ(shownFrom(60, 300), (std::vector<std::string>{
                                      "320,96 247 HDMI 1",
                                      "320,132 0           1080p60",
                                      "320,168 0           FH: 67.5 kHz",
                                      "320,204 0           FV: 60.0 Hz",
                                      "320,240 247 HDMI1 Native Output:",
                                      "320,276 0           Native",
                                  }));
    EXPECT_TRUE(drew("          1080p60", 320, 132));
    bool hdcpMark = false, time = false;
    for (const std::string& op : chip().operations())
        hdcpMark |= op.find("osd.copy") != std::string::npos && op.find("x=322 y=130 ") != std::string::npos;
    for (const std::string& s : shown()) time |= s.rfind("375,446 247/255 20", 0) == 0;
    EXPECT_TRUE(hdcpMark);
    EXPECT_TRUE(time);

    // A transmitter's status: one BER line, the four 5V/HPD lines; the
    // console starts 50 pixels higher.
    runFuncInd(row(51532));
    draw(51532);
    EXPECT_EQ(shownFrom(60, 420), (std::vector<std::string>{
                                       "320,82 247 BER (E-10):",
                                       "320,100 0    Total=0",
                                       "320,118 247 Link Status:",
                                       "320,136 0    HDBaseT link is active",
                                       "320,154 247 HDMI Status:",
                                       "320,172 0    HDMI ON",
                                       "320,190 247 Operation Mode:",
                                       "320,208 0    HDBaseT mode",
                                       "320,226 247 Cable length:",
                                       "320,244 0    30 meters",
                                       "320,262 247 5V/HPD STATUS:",
                                       "320,280 0    RX Sense status   ON",
                                       "320,298 0    5V Status           ON",
                                       "320,316 0    Bypass HPD status OFF",
                                       "320,334 0    Current HPD         ON",
                                   }));
}

TEST_F(InfoPages, ThePagesAreReachedFromPage51AndReadAgainEverySecond) {
    conf("hdbt.rx-ch1.F607", "0 0 0 101");
    at(51);
    PB_51 = 4;
    key(KEY_ENTER);
    EXPECT_EQ(st_num, 515);
    key(KEY_ENTER);
    EXPECT_EQ(st_num, 5151);
    PB_5151 = 1;
    key(KEY_ENTER);
    ASSERT_EQ(st_num, 51512);
    EXPECT_TRUE(shows("320,262 0/255    101 meters")) << ::testing::PrintToString(shown());
    // The refresh timer brings the page back in a second, read anew.
    conf("hdbt.rx-ch1.F607", "0 0 0 102");
    _EXMSG m;
    const uint32_t t0 = getCurrMsCount();
    while (get_message_q(E_EXMSG_TYPE_STLOOP, &m) < 0 && getElapsedMs(t0) < 3000) Sleep(20);
    EXPECT_EQ(m.key, KEY_MENU_REFRESH);
    EXPECT_GE(getElapsedMs(t0), 900u);
    key(m.key);
    EXPECT_EQ(st_num, 51512);
    EXPECT_TRUE(shows("320,262 0/255    102 meters"));
}

}  // namespace
}  // namespace hx40test
