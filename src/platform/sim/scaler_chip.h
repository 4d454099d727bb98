// The simulated scaler chip behind the host-bus window: 256 banks of 256 byte
// registers kept in <root>/sim/scaler.bin (the chip keeps its registers over
// a warm reboot; a new board starts with zeros).
#pragma once

#include "platform/scaler_window.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace board::sim {

class ScalerChip : public ScalerWindow {
public:
    static constexpr unsigned kBanks = 256;
    static constexpr unsigned kBankSize = 256;

    uint8_t read8(unsigned offset) override;
    void write8(unsigned offset, uint8_t value) override;

    // Direct register access for the board's own models and for tests.
    uint8_t reg(unsigned bank, unsigned offset) const;
    void setReg(unsigned bank, unsigned offset, uint8_t value);
    uint8_t selectedBank() const { return bank_; }

    bool attach(const std::string& file, std::string* error);
    void detach();

private:
    uint8_t* regs_ = nullptr;  // kBanks * kBankSize, mapped from the file
    uint8_t local_[kBanks * kBankSize] = {};
    uint8_t bank_ = 0;
};

ScalerChip& scalerChip();

}  // namespace board::sim
