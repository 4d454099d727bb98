// The SPI master of the simulated scaler chip. Devices 1 to 4 (FPGA, front
// panel shift registers, clock synthesizers) take every byte and answer 0.
// Devices 5 and 6 are the serial flashes of the HDBaseT transmitters and
// receivers: the I/O expanders route device 5 to the transmitter flash of
// CH1 (bus 1 expander 0x25 port 0 bit 0x40) or CH2 (0x80), device 6 to the
// receiver flash of CH1 (bus 0 expander 0x24 port 0 bit 0x04) or CH2 (0x08).
// With no route or two routes nothing answers (0xFF) and writes are lost.
// Flash contents: sim/spiflash/{tx,rx}-ch{1,2}.bin (erased = 0xFF).
#include "platform/spi.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/i2c_sim.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace board::sim {
namespace {

constexpr uint32_t kFlashSize = 1u << 20;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kBlockSize = 65536;
constexpr uint8_t kJedecId[3] = {0x5A, 0x40, 0x14};

class SerialFlash {
public:
    explicit SerialFlash(std::string file) : file_(std::move(file)) {}

    void select() {
        count_ = 0;
        cmd_ = 0;
        addr_ = 0;
    }
    uint8_t exchange(uint8_t out) {
        uint8_t in = 0xFF;
        if (count_ == 0) {
            cmd_ = out;
            begin();
        } else {
            in = data(out);
        }
        ++count_;
        return in;
    }
    void deselect() {
        // Programs and erases start when the chip is deselected.
        if (busyPolls_ == 0 && wel_) {
            if (cmd_ == 0x02 && !page_.empty()) {
                load();
                uint32_t base = pageAddr_ - pageAddr_ % kPageSize;
                for (size_t i = 0; i < page_.size(); ++i)
                    mem_[base + (pageAddr_ + i) % kPageSize] &= page_[i];  // programming only clears bits
                store();
                finish(1);
            } else if ((cmd_ == 0x20 || cmd_ == 0xD8) && count_ >= 4) {
                load();
                uint32_t size = cmd_ == 0x20 ? kSectorSize : kBlockSize;
                uint32_t base = (addr_ % kFlashSize) - addr_ % size;
                std::fill(mem_.begin() + base, mem_.begin() + base + size, 0xFF);
                store();
                finish(3);
            } else if ((cmd_ == 0xC7 || cmd_ == 0x60) && count_ == 1) {
                load();
                std::fill(mem_.begin(), mem_.end(), 0xFF);
                store();
                finish(8);
            }
        }
        page_.clear();
        count_ = 0;
    }

private:
    void begin() {
        switch (cmd_) {
            case 0x06: if (busyPolls_ == 0) wel_ = true; break;
            case 0x04: wel_ = false; break;
            default: break;
        }
    }
    uint8_t data(uint8_t out) {
        switch (cmd_) {
            case 0x9F: return count_ <= 3 ? kJedecId[count_ - 1] : 0xFF;
            case 0x05: {
                uint8_t sr = static_cast<uint8_t>((busyPolls_ > 0 ? 1 : 0) | (wel_ ? 2 : 0));
                if (busyPolls_ > 0) --busyPolls_;
                return sr;
            }
            case 0x03:
                if (count_ <= 3) {
                    addr_ = (addr_ << 8) | out;
                    return 0xFF;
                }
                if (busyPolls_ > 0) return 0xFF;
                load();
                return mem_[(addr_++) % kFlashSize];
            case 0x02:
                if (count_ <= 3) {
                    addr_ = (addr_ << 8) | out;
                    pageAddr_ = addr_ % kFlashSize;
                } else if (page_.size() < kPageSize) {
                    page_.push_back(out);
                } else {
                    // Past a page the address wraps: the newest byte replaces the oldest.
                    page_.erase(page_.begin());
                    page_.push_back(out);
                    pageAddr_ = (pageAddr_ - pageAddr_ % kPageSize) + (pageAddr_ + 1) % kPageSize;
                }
                return 0xFF;
            case 0x20:
            case 0xD8:
                if (count_ <= 3) addr_ = (addr_ << 8) | out;
                return 0xFF;
            default: return 0xFF;
        }
    }
    void finish(int polls) {
        busyPolls_ = polls;
        wel_ = false;
    }
    void load() {
        if (!mem_.empty()) return;
        mem_.assign(kFlashSize, 0xFF);
        int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            (void)!::read(fd, mem_.data(), kFlashSize);
            ::close(fd);
        }
    }
    void store() {
        int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        (void)!::write(fd, mem_.data(), kFlashSize);
        ::close(fd);
    }

    std::string file_;
    std::vector<uint8_t> mem_;
    std::vector<uint8_t> page_;
    uint32_t count_ = 0;
    uint8_t cmd_ = 0;
    uint32_t addr_ = 0;
    uint32_t pageAddr_ = 0;
    bool wel_ = false;
    int busyPolls_ = 0;
};

std::mutex gMutex;
std::string gRoot;
std::unique_ptr<SerialFlash> gFlash[4];  // tx-ch1, tx-ch2, rx-ch1, rx-ch2
SerialFlash* gSelected[7] = {};         // per device, while its command runs

void ensureFlashes() {
    if (gRoot == board::root() && gFlash[0]) return;
    gRoot = board::root();
    const char* names[4] = {"tx-ch1", "tx-ch2", "rx-ch1", "rx-ch2"};
    for (int i = 0; i < 4; ++i)
        gFlash[i] = std::make_unique<SerialFlash>(gRoot + "/sim/spiflash/" + names[i] + ".bin");
    for (auto& s : gSelected) s = nullptr;
}

// The flash a device reaches now, or nullptr.
SerialFlash* routed(int device) {
    uint8_t pins = device == 5 ? i2c::expanderRegister(1, 0x25, 2) : i2c::expanderRegister(0, 0x24, 2);
    uint8_t ch1 = device == 5 ? 0x40 : 0x04;
    uint8_t ch2 = device == 5 ? 0x80 : 0x08;
    bool r1 = pins & ch1, r2 = pins & ch2;
    if (r1 == r2) return nullptr;
    return gFlash[(device == 5 ? 0 : 2) + (r1 ? 0 : 1)].get();
}

}  // namespace
}  // namespace board::sim

namespace board::spi {

uint8_t transfer(unsigned control, uint8_t out) {
    using namespace board::sim;
    // control = code + 16 * device, where the read code is 255.
    unsigned code = control & 0x0F;
    int device = static_cast<int>(control >> 4);
    if (control >= 255 && (control - 255) % 16 == 0) {
        code = 255;
        device = static_cast<int>((control - 255) / 16);
    }
    std::lock_guard lock(gMutex);
    ensureFlashes();
    if (device < 5 || device > 6) {
        journal("spi", "dev=%d code=%u out=0x%02X", device, code, out);
        return 0;
    }
    bool first = code == 0 || code == 1;
    bool last = code == 0 || code == 5 || code == 13;
    if (code == 13 || code == 255) out = 0xFF;
    if (first) {
        gSelected[device] = routed(device);
        if (gSelected[device]) gSelected[device]->select();
    }
    SerialFlash* f = gSelected[device];
    uint8_t in = f ? f->exchange(out) : 0xFF;
    if (last) {
        if (f) f->deselect();
        gSelected[device] = nullptr;
    }
    return in;
}

}  // namespace board::spi
