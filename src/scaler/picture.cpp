#include "scaler/picture.h"

#include "core/pm.h"
#include "menu/channel_output_pages.h"
#include "osd/osd.h"
#include "platform/journal.h"
#include "scaler/input_formats.h"
#include "scaler/output_formats.h"
#include "scaler/regs.h"
#include "scaler/scaler.h"
#include "sys/print.h"

#include <algorithm>
#include <vector>

namespace R = scaler_reg;

uint32_t PI_RGFH[2];
uint32_t PI_RGFV[2];
uint32_t PS_MCLKO = 270000000;

uint8_t FLG_AUTO_RETURN;
uint8_t sigchg;
uint8_t PM_CCMODE;
uint16_t PM_NR_CHG[2];
uint16_t PM_BNR_CHG[2];
uint8_t PM_INTEN;

uint8_t PM_IFORMAT[2];
uint8_t PM_FSYNRST[2];
uint8_t PM_CTEMP[2];
uint8_t PM_LANGUAGE;
uint8_t PM_NOSIG_BK[2];
uint8_t PM_FLIP[2];
uint8_t PM_2ND_OUTPUT;
uint8_t PS_OP_MODE;

namespace {

constexpr int kBarsWidth4K = 3840;

void reg(uint32_t code, uint64_t value, int ch) { write_C812(code, value, ch, 0); }

bool validChannel(int ch, const char* call) {
    if (ch == 0 || ch == 1) return true;
    PRINT(PRINT_GENERAL, "%s: no channel %d\r\n", call, ch);
    return false;
}

bool is4k(int ch) { return PM.OUTPUT_RES_SEL[ch] == kOutputFormat4K; }

int inputType(int ch) { return std::clamp<int>(PM.SEL_INPUT_TYPE[ch], 0, kInputTypes - 1); }

// The channel's reported input format, or -1 without a signal.
int inputFormat(int ch) {
    const int f = vp.chData[ch].vidFormat;
    return f < kInputFormats ? f : -1;
}

uint8_t byteOf(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Writes a filter value and tells whether it differs from what the chip had.
bool changes(uint32_t code, uint8_t value, int ch) {
    const bool changed = read_C812(code, ch) != value;
    reg(code, value, ch);
    return changed;
}

void applyOfill(int ch, int mode, int r, int g, int b) {
    reg(R::OFILL_RGB, byteOf(r) | byteOf(g) << 8 | static_cast<uint32_t>(byteOf(b)) << 16, ch);
    reg(R::OFILL_MODE, byteOf(mode), ch);
}

}  // namespace

void get_input(int ch) {
    if (!validChannel(ch, "get_input")) return;
    const int format = inputFormat(ch);
    const uint8_t stored = format < 0 ? 0xFF : static_cast<uint8_t>(format);
    if (PM_IFORMAT[ch] != stored) sigchg = 1;
    PM_IFORMAT[ch] = stored;
    reg(R::PIC_FORMAT, stored, ch);
    if (format < 0) {
        PI_RGFH[ch] = PI_RGFV[ch] = 0;
        board::journal("scaler.get_input", "ch=%d format=none", ch);
        return;
    }
    const InputFormat& f = inputFormatTbl[format];
    const uint64_t lineTotal = buildPictureParam[format][inputType(ch)][0];
    const uint64_t pixelHz = static_cast<uint64_t>(f.pixelClockKHz) * 1000;
    // RGFH + 1 = MCLK / (2 x line rate) = MCLK x line total / (2 x pixel clock), rounded.
    PI_RGFH[ch] = static_cast<uint32_t>((PS_MCLKO * lineTotal + pixelHz) / (2 * pixelHz) - 1);
    // An interlaced format's porches are those of one field (its half line is lost).
    PI_RGFV[ch] = static_cast<uint32_t>(f.vActive + f.vFront + f.vSync + f.vBack);
    board::journal("scaler.get_input", "ch=%d format=%d name=%s rgfh=%u rgfv=%u", ch, format, f.name, PI_RGFH[ch],
                   PI_RGFV[ch]);
}

void calc_input_window_init(int ch) {
    if (!validChannel(ch, "calc_input_window_init")) return;
    const int format = inputFormat(ch);
    if (format < 0) {
        board::journal("scaler.calc_input_window_init", "ch=%d format=none", ch);
        return;
    }
    const uint32_t* w = buildPictureParam[format][inputType(ch)];
    if (PM.RATIO_SHIFT_MODE[ch] == 0) {  // automatic aspect: the format's own active start
        PM.IACTHST[ch] = static_cast<uint16_t>(w[1]);
        PM.IACTVST[ch] = static_cast<uint16_t>(w[3]);
    }
    PM.IWIN_HST[ch] = 0;
    PM.IWIN_HW[ch] = static_cast<uint16_t>(w[2]);
    PM.IWIN_VST[ch] = 0;
    PM.IWIN_VW[ch] = static_cast<uint16_t>(w[4]);
    board::journal("scaler.calc_input_window_init", "ch=%d format=%d start=%u,%u window=%ux%u", ch, format,
                   PM.IACTHST[ch], PM.IACTVST[ch], PM.IWIN_HW[ch], PM.IWIN_VW[ch]);
}

void calc_display_window_init(int ch) {
    if (!validChannel(ch, "calc_display_window_init")) return;
    if (vp.gFlags & VP_GFLAG_CUSTOMIZED_WIN) {
        board::journal("scaler.calc_display_window_init", "ch=%d customised=1", ch);
        return;
    }
    const uint16_t outW = PS_PANELACTHW[ch], outH = PS_PANELACTVW[ch];
    const uint16_t inW = PM.IWIN_HW[ch], inH = PM.IWIN_VW[ch];
    const bool followInput = PM.SCAN[ch] == 0 && inW != 0 && inH != 0 && inW <= outW && inH <= outH;
    PM.OWIN_HW[ch] = followInput ? inW : outW;
    PM.OWIN_VW[ch] = followInput ? inH : outH;
    PM.OWIN_HST[ch] = static_cast<uint16_t>((outW - PM.OWIN_HW[ch]) / 2);
    PM.OWIN_VST[ch] = static_cast<uint16_t>((outH - PM.OWIN_VW[ch]) / 2);
    board::journal("scaler.calc_display_window_init", "ch=%d window=%u,%u %ux%u", ch, PM.OWIN_HST[ch],
                   PM.OWIN_VST[ch], PM.OWIN_HW[ch], PM.OWIN_VW[ch]);
}

void set_sharpness(int ch) {
    if (!validChannel(ch, "set_sharpness")) return;
    if (ch == 1 && is4k(1)) {
        board::journal("scaler.set_sharpness", "ch=1 skipped=4k");
        return;
    }
    const uint8_t h = static_cast<uint8_t>(PM.HSHARP[ch]), v = static_cast<uint8_t>(PM.VSHARP[ch]);
    const int last = (ch == 0 && is4k(0)) ? 1 : ch;
    for (int c = ch; c <= last; ++c) {
        reg(R::HSHARP, h, c);
        reg(R::VSHARP, v, c);
    }
    board::journal("scaler.set_sharpness", "ch=%d h=%d v=%d channels=%d", ch, PM.HSHARP[ch], PM.VSHARP[ch],
                   last - ch + 1);
}

void set_clock_p2() {
    reg(R::MCLK, PS_MCLKO, 0);
    uint32_t khz[2];
    for (int ch = 0; ch < 2; ++ch) {
        khz[ch] = outputTiming(ch).pixelClockKHz;
        reg(R::OUT_PCLK_KHZ, khz[ch], ch);
    }
    board::journal("scaler.set_clock_p2", "mclk=%u pclk=%u,%u", PS_MCLKO, khz[0], khz[1]);
}

void build_picture(int ch, const char* caller, int line) {
    if (!validChannel(ch, "build_picture")) return;
    board::journal("scaler.build_picture", "ch=%d caller=%s line=%d input=%u", ch, caller ? caller : "-", line,
                   PM.SEL_INPUT[ch]);
    get_input(ch);
    reg(R::IN_HST, PM.IACTHST[ch] + PM.IWIN_HST[ch], ch);
    reg(R::IN_HW, PM.IWIN_HW[ch], ch);
    reg(R::IN_VST, PM.IACTVST[ch] + PM.IWIN_VST[ch], ch);
    reg(R::IN_VW, PM.IWIN_VW[ch], ch);
    reg(R::DISP_HST, PM.OWIN_HST[ch], ch);
    reg(R::DISP_HW, PM.OWIN_HW[ch], ch);
    reg(R::DISP_VST, PM.OWIN_VST[ch], ch);
    reg(R::DISP_VW, PM.OWIN_VW[ch], ch);
    reg(R::BRIGHT, static_cast<uint16_t>(PM.BRIGHT[ch]), ch);
    reg(R::CONTRAST, static_cast<uint16_t>(PM.CONTRAST[ch]), ch);
    reg(R::CHROMA, static_cast<uint16_t>(PM.CHROMA[ch]), ch);
    reg(R::HUE, static_cast<uint16_t>(PM.HUE[ch]), ch);
    reg(R::CTEMP, PM.COLOR_TEMP[ch], ch);
    reg(R::GAMMA, PM.GAMMA[ch], ch);
    reg(R::PD, PM.PD[ch], ch);
    reg(R::PD_DELAY, PM.PD_DELAY[ch], ch);
    reg(R::IPLUT, PM.IPLUT[ch], ch);
    reg(R::DIAG, PM.DIAG[ch], ch);
    const uint8_t nr[4] = {PM.HNR[ch], PM.VNR[ch], PM.TNR[ch], PM.MNR[ch]};
    bool nrChanged = false;
    for (int i = 0; i < 4; ++i) nrChanged |= changes(R::NR[i], nr[i], ch);
    if (nrChanged) PM_NR_CHG[ch] = 1;
    if (changes(R::BNR, PM.BNR[ch], ch)) PM_BNR_CHG[ch] = 1;
    reg(R::COMB, PM.COMB[ch], ch);
    reg(R::OVERSCAN, PM.OVERSCAN[ch], ch);
    reg(R::SCAN, PM.SCAN[ch], ch);
    PM_CTEMP[ch] = PM.COLOR_TEMP[ch];
    PM_NOSIG_BK[ch] = PM.NOSIG_COLOR[ch];
    PM_FLIP[ch] = PM.UPSIDEDOWN[ch];
    set_sharpness(ch);
    projection(ch);
    reg(R::PIC_INPUT, PM.SEL_INPUT[ch], ch);
    reg(R::PIC_BUILT, 1, ch);
}

void blankBetweenStates(int ch, int on, const char* caller, int line, int withBlackout) {
    if (!validChannel(ch, "blankBetweenStates")) return;
    const uint8_t state = !on ? 0 : (withBlackout ? R::OUT_BLANK_BLACK : R::OUT_BLANK_OFF);
    reg(R::OUT_BLANK, state, ch);
    board::journal("scaler.blankBetweenStates", "ch=%d on=%d caller=%s line=%d blackout=%d", ch, on,
                   caller ? caller : "-", line, withBlackout);
}

void set_clrm(int ch, int level1, int level2, int level3, int changed) {
    if (!validChannel(ch, "set_clrm")) return;
    const int levels[3] = {level1, level2, level3};
    for (int i = 0; i < 3; ++i) reg(R::CLRM_LEVEL[i], byteOf(levels[i]), ch);
    if (changed >= 0 && changed <= 2) reg(R::CLRM_UPDATE, 1u << changed, ch);
    else PRINT(PRINT_GENERAL, "set_clrm: no level %d\r\n", changed);
    board::journal("scaler.set_clrm", "ch=%d levels=%d,%d,%d changed=%d", ch, level1, level2, level3, changed);
}

void set_image_frozen(int ch, int on) {
    if (!validChannel(ch, "set_image_frozen")) return;
    const bool both = is4k(ch);
    for (int c = both ? 0 : ch; c <= (both ? 1 : ch); ++c) reg(R::PIC_FREEZE, on ? 1 : 0, c);
    board::journal("scaler.set_image_frozen", "ch=%d on=%d channels=%s", ch, on, both ? "both" : "one");
}

void set_ofill(int ch, int mode, int r, int g, int b) {
    if (!validChannel(ch, "set_ofill")) return;
    applyOfill(ch, mode, r, g, b);
    board::journal("scaler.set_ofill", "ch=%d mode=%d rgb=%d,%d,%d", ch, mode, r, g, b);
}

void set_ofill_ch1(int mode, int r, int g, int b) {
    applyOfill(0, mode, r, g, b);
    board::journal("scaler.set_ofill_ch1", "mode=%d rgb=%d,%d,%d", mode, r, g, b);
}

void set_ofill_ch2(int mode, int r, int g, int b) {
    applyOfill(1, mode, r, g, b);
    board::journal("scaler.set_ofill_ch2", "mode=%d rgb=%d,%d,%d", mode, r, g, b);
}

void set_4k_color_bar() {
    std::vector<uint8_t> line(static_cast<size_t>(kBarsWidth4K) * 3);
    const int barWidth = kBarsWidth4K / R::BARS;
    for (int x = 0; x < kBarsWidth4K; ++x)
        for (int k = 0; k < 3; ++k)
            line[static_cast<size_t>(x) * 3 + static_cast<size_t>(k)] = R::BAR_COLOURS[x / barWidth][k] * R::BARS_75;
    osd_upload(scaler_mem::COLOUR_BAR_4K, line.data(), line.size());
    for (int ch = 0; ch < 2; ++ch) {
        reg(R::FRAME_SRC_ADDR, scaler_mem::COLOUR_BAR_4K, ch);
        reg(R::FRAME_SRC_STRIDE, 0, ch);
        reg(R::VIDEO_SOURCE, R::VIDEO_SOURCE_MEMORY, ch);
    }
    board::journal("scaler.set_4k_color_bar", "addr=0x%08x width=%d bars=%d", scaler_mem::COLOUR_BAR_4K,
                   kBarsWidth4K, R::BARS);
}
