// The SPI master of the simulated scaler chip. Devices 1 to 4 (FPGA, front
// panel shift registers, clock synthesizers) take every byte and answer 0.
// Devices 5 and 6 are the serial flashes of the HDBaseT transmitters and
// receivers, routed by the I/O expanders (vs100_sim.h); with no route or two
// routes nothing answers (0xFF) and writes are lost.
//
// Chip select follows the transfer codes: any byte selects the device when
// it is not selected; codes 0 (a one-byte command), 5 and 13 deselect it
// after their byte. A command that never got its ending byte therefore runs
// on into the next one, as on the wire.
//
// Flash contents: sim/spiflash/<name>.bin, written through at the end of
// every erase and page program (a chip erase leaves the file empty: bytes
// past its end read as erased). Each erase and program is journalled.
#include "platform/spi.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/vs100_sim.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace board::sim {
namespace {

constexpr uint32_t kFlashSize = 1u << 20;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kBlockSize = 65536;
constexpr uint8_t kJedecId[3] = {0x5A, 0x40, 0x14};
// Status reads for which an operation keeps the flash busy.
constexpr int kPageBusyReads = 1, kSectorBusyReads = 3, kChipBusyReads = 8;
constexpr int kForEver = -1;

class SerialFlash {
public:
    SerialFlash(std::string file, std::string name) : file_(std::move(file)), name_(std::move(name)) {}

    bool absent() const { return conf().get("spiflash." + name_) == "absent"; }

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
        if (busy_ == 0 && wel_) {
            if (cmd_ == 0x02 && !page_.empty()) {
                load();
                uint32_t base = pageAddr_ - pageAddr_ % kPageSize;
                for (size_t i = 0; i < page_.size(); ++i)
                    mem_[base + (pageAddr_ + i) % kPageSize] &= page_[i];  // programming only clears bits
                // Only the bytes programmed go to the file, so that an image
                // written from address 0 leaves the file equal to it.
                const uint32_t first = pageAddr_ % kPageSize;
                if (first + page_.size() <= kPageSize) store(pageAddr_, static_cast<uint32_t>(page_.size()));
                else store(base, kPageSize);
                journal("spiflash.program", "flash=%s addr=0x%06X bytes=%zu", name_.c_str(), pageAddr_, page_.size());
                finish(kPageBusyReads);
            } else if ((cmd_ == 0x20 || cmd_ == 0xD8) && count_ >= 4) {
                load();
                uint32_t size = cmd_ == 0x20 ? kSectorSize : kBlockSize;
                uint32_t base = (addr_ % kFlashSize) - addr_ % size;
                std::fill(mem_.begin() + base, mem_.begin() + base + size, 0xFF);
                store(base, size);
                journal("spiflash.erase", "flash=%s addr=0x%06X bytes=%u", name_.c_str(), base, size);
                finish(kSectorBusyReads);
            } else if ((cmd_ == 0xC7 || cmd_ == 0x60) && count_ == 1) {
                load();
                std::fill(mem_.begin(), mem_.end(), 0xFF);
                if (::truncate(file_.c_str(), 0) != 0) writeAt(0, 0);
                journal("spiflash.erase", "flash=%s chip", name_.c_str());
                finish(kChipBusyReads);
            }
        }
        page_.clear();
        count_ = 0;
    }

private:
    void begin() {
        switch (cmd_) {
            case 0x06: if (busy_ == 0) wel_ = true; break;
            case 0x04: wel_ = false; break;
            default: break;
        }
    }
    uint8_t data(uint8_t out) {
        switch (cmd_) {
            case 0x9F: return count_ <= 3 ? kJedecId[count_ - 1] : 0xFF;
            case 0x05: {
                uint8_t sr = static_cast<uint8_t>((busy_ != 0 ? 1 : 0) | (wel_ ? 2 : 0));
                if (busy_ > 0) --busy_;
                return sr;
            }
            case 0x03:
                if (count_ <= 3) {
                    addr_ = (addr_ << 8) | out;
                    return 0xFF;
                }
                if (busy_ != 0) return 0xFF;
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
    // An operation started: busy for some status reads, or for ever once the
    // configured number of operations has completed.
    void finish(int reads) {
        const long stuckAfter = conf().getInt("spiflash." + name_ + ".stuck_after", -1);
        busy_ = stuckAfter >= 0 && ops_ >= stuckAfter ? kForEver : reads;
        if (busy_ == kForEver) journal("spiflash.stuck", "flash=%s", name_.c_str());
        ++ops_;
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
    // Writes [from, from + len) through, starting at the file's end when that
    // lies before from (the bytes between are erased ones).
    void store(uint32_t from, uint32_t len) {
        struct stat st{};
        const uint32_t size = ::stat(file_.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_size) : 0;
        const uint32_t start = std::min(from, size);
        writeAt(start, from + len - start);
    }
    void writeAt(uint32_t from, uint32_t len) {
        int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        (void)!::pwrite(fd, mem_.data() + from, len, from);
        ::close(fd);
    }

    std::string file_;
    std::string name_;
    std::vector<uint8_t> mem_;
    std::vector<uint8_t> page_;
    uint32_t count_ = 0;
    uint8_t cmd_ = 0;
    uint32_t addr_ = 0;
    uint32_t pageAddr_ = 0;
    bool wel_ = false;
    int busy_ = 0;  // status reads left, or kForEver
    long ops_ = 0;
};

std::mutex gMutex;
std::string gRoot;
std::unique_ptr<SerialFlash> gFlash[vs100::kPorts];
SerialFlash* gSelected[7] = {};  // per device, while its command runs
bool gActive[7] = {};            // chip select of the device

void ensureFlashes() {
    if (gRoot == board::root() && gFlash[0]) return;
    gRoot = board::root();
    for (int p = 0; p < vs100::kPorts; ++p) gFlash[p] = std::make_unique<SerialFlash>(vs100::flashFile(p), vs100::name(p));
    for (auto& s : gSelected) s = nullptr;
    for (auto& a : gActive) a = false;
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
    const bool last = code == 0 || code == 5 || code == 13;
    if (code == 13 || code == 255) out = 0xFF;
    if (!gActive[device]) {
        gActive[device] = true;
        const int port = vs100::routedFlash(device);
        SerialFlash* f = port < 0 ? nullptr : gFlash[port].get();
        gSelected[device] = f && !f->absent() ? f : nullptr;
        if (gSelected[device]) gSelected[device]->select();
    }
    SerialFlash* f = gSelected[device];
    uint8_t in = f ? f->exchange(out) : 0xFF;
    if (last) {
        if (f) f->deselect();
        gSelected[device] = nullptr;
        gActive[device] = false;
    }
    return in;
}

}  // namespace board::spi
