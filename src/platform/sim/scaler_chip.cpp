#include "platform/sim/scaler_chip.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace board::sim {

namespace {
constexpr size_t kFileSize = ScalerChip::kBanks * ScalerChip::kBankSize;
}

uint8_t ScalerChip::read8(unsigned offset) {
    offset &= 0xFF;
    if (offset == 0) return bank_;
    return reg(bank_, offset);
}

void ScalerChip::write8(unsigned offset, uint8_t value) {
    offset &= 0xFF;
    if (offset == 0) {
        bank_ = value;
        return;
    }
    setReg(bank_, offset, value);
}

uint8_t ScalerChip::reg(unsigned bank, unsigned offset) const {
    const uint8_t* r = regs_ ? regs_ : local_;
    return r[(bank % kBanks) * kBankSize + (offset % kBankSize)];
}

void ScalerChip::setReg(unsigned bank, unsigned offset, uint8_t value) {
    uint8_t* r = regs_ ? regs_ : local_;
    r[(bank % kBanks) * kBankSize + (offset % kBankSize)] = value;
}

bool ScalerChip::attach(const std::string& file, std::string* error) {
    detach();
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, kFileSize) != 0) {
        if (error) *error = "scaler registers " + file + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    void* p = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) {
        if (error) *error = "scaler registers: mmap failed";
        return false;
    }
    regs_ = static_cast<uint8_t*>(p);
    return true;
}

void ScalerChip::detach() {
    if (regs_) ::munmap(regs_, kFileSize);
    regs_ = nullptr;
}

ScalerChip& scalerChip() {
    static ScalerChip chip;
    return chip;
}

}  // namespace board::sim

namespace board {
ScalerWindow& scalerWindow() { return sim::scalerChip(); }
}  // namespace board
