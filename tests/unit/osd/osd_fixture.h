// A board root with the generated memory files, the simulated chip at power
// on and the OSD brought up; helpers to state register sequences as the
// codes of the scaler's register map.
#pragma once

#include "core/pm.h"
#include "menu/menu_state.h"
#include "osd/osd.h"
#include "platform/sim/scaler_chip.h"
#include "scaler/regs.h"
#include "scaler/scaler.h"
#include "support/temp_board.h"
#include "sys/scaler_bus.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace hx40test {

using Access = board::sim::ScalerChip::Access;

inline board::sim::ScalerChip& chip() { return board::sim::scalerChip(); }

// Whether a chip operation drew text, at (x, y) and in foreground fg when
// they are given (not negative).
inline bool chipDrewText(const std::string& text, int x = -1, int y = -1, int fg = -1) {
    const std::string place = x < 0 ? "" : "x=" + std::to_string(x) + " y=" + std::to_string(y) + " ";
    const std::string colour = fg < 0 ? "" : " fg=" + std::to_string(fg) + " ";
    for (const std::string& op : chip().operations())
        if (op.find(place) != std::string::npos && op.find(colour) != std::string::npos &&
            op.find("text=\"" + text + "\"") != std::string::npos)
            return true;
    return false;
}

// One register access by code: 'w' write, 'r' read; channel 1 raises the bank by 0x0B.
struct Step {
    char rw;
    uint32_t code;
    uint64_t value;
    int ch = 0;
};

inline std::vector<Access> expand(std::initializer_list<Step> steps) {
    std::vector<Access> out;
    for (const Step& s : steps) {
        unsigned bank = ((s.code >> 16) & 0xFF) + (s.ch == 1 ? 0x0B : 0);
        unsigned offset = (s.code >> 8) & 0xFF;
        for (unsigned i = 0; i < (s.code & 0xFF); ++i)
            out.push_back({s.rw == 'w', static_cast<uint8_t>(bank), static_cast<uint8_t>(offset + i),
                           static_cast<uint8_t>(s.value >> (8 * i))});
    }
    return out;
}

// The texts of a list, "x,y text".
template <class Texts>
std::vector<std::string> placed(const Texts& texts) {
    std::vector<std::string> out;
    for (const auto& t : texts) out.push_back(std::to_string(t.x) + "," + std::to_string(t.y) + " " + t.text);
    return out;
}

// The texts of a list with their colours, "x,y fg/bg text".
template <class Texts>
std::vector<std::string> coloured(const Texts& texts) {
    std::vector<std::string> out;
    for (const auto& t : texts)
        out.push_back(std::to_string(t.x) + "," + std::to_string(t.y) + " " + std::to_string(t.fg) + "/" +
                      std::to_string(t.bg) + " " + t.text);
    return out;
}

class OsdTest : public ::testing::Test {
protected:
    explicit OsdTest(bool bringUp = true, bool services = false) : bringUp_(bringUp), services_(services) {}
    void SetUp() override {
        // What an earlier test left in the parameter memory or as the
        // thread's channel is not this test's.
        PM = PMRec{};
        Channel = 0;
        wait_till_release_key = 0;
        chip().reset();
        scaler_bus_invalidate();
        board_ = std::make_unique<TempBoard>(true, services_);
        chip().setBusyReads(0);
        chip().setFrameRate(1000);
        OSDCT = 0;
        if (bringUp_) scaler_osd_init();
        initCharaSize();
        chip().clearOperations();
    }
    void TearDown() override { board_.reset(); }

    // Starts recording register accesses from here on.
    void record() { chip().setTrace(true); }
    std::vector<Access> recorded() const { return chip().trace(); }
    // Plane pixel of the drawing plane (0 or 1).
    int pixel(int x, int y) const { return chip().planePixel(ST_OSDAD == PS_OSDSAD1 ? 1 : 0, x, y); }
    int drawingPlane() const { return ST_OSDAD == PS_OSDSAD1 ? 1 : 0; }

    std::unique_ptr<TempBoard> board_;

private:
    bool bringUp_;
    bool services_;
};

}  // namespace hx40test
