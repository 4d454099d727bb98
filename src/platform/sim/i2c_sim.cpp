#include "platform/sim/i2c_sim.h"

#include "platform/board.h"
#include "platform/i2c.h"
#include "platform/journal.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/sim/vs100_sim.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>

namespace board::sim::i2c {
namespace {

uint64_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

class Eeprom : public Device {
public:
    static constexpr size_t kSize = 32768;
    static constexpr size_t kPage = 64;

    explicit Eeprom(const std::string& file, unsigned cycleMs) : cycleMs_(cycleMs) {
        fd_ = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    }
    ~Eeprom() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool busy() override {
        if (nowMs() < busyUntil_) {
            ++nacks;
            return true;
        }
        return false;
    }

    bool write(const uint8_t* d, size_t n) override {
        if (n < 2) return n == 0;
        addr_ = static_cast<uint16_t>(((d[0] << 8) | d[1]) % kSize);
        if (n == 2) return true;
        // Page write: the address counter wraps inside the page.
        size_t base = addr_ - addr_ % kPage;
        uint8_t page[kPage];
        pread(page, base, kPage);
        size_t off = addr_ % kPage;
        for (size_t i = 2; i < n; ++i) {
            page[off] = d[i];
            off = (off + 1) % kPage;
        }
        pwrite(page, base, kPage);
        addr_ = static_cast<uint16_t>(base + off);
        written_ = true;
        return true;
    }

    bool read(uint8_t* d, size_t n) override {
        for (size_t i = 0; i < n; ++i) {
            pread(&d[i], addr_, 1);
            addr_ = static_cast<uint16_t>((addr_ + 1) % kSize);
        }
        return true;
    }

    void stop() override {
        if (written_) busyUntil_ = nowMs() + cycleMs_;
        written_ = false;
    }

    std::atomic<unsigned> nacks{0};

private:
    void pread(uint8_t* b, size_t off, size_t n) {
        if (fd_ < 0 || ::pread(fd_, b, n, static_cast<off_t>(off)) != static_cast<ssize_t>(n)) std::memset(b, 0xFF, n);
    }
    void pwrite(const uint8_t* b, size_t off, size_t n) {
        if (fd_ >= 0) (void)!::pwrite(fd_, b, n, static_cast<off_t>(off));
    }
    int fd_ = -1;
    unsigned cycleMs_;
    uint16_t addr_ = 0;
    bool written_ = false;
    uint64_t busyUntil_ = 0;
};

// Register file with an 8-bit pointer. pairWrap: the pointer toggles inside
// register pairs (the expanders), otherwise it counts up.
class Registers : public Device {
public:
    Registers(bool pairWrap, uint8_t initial) : pairWrap_(pairWrap) {
        std::memset(regs_, 0, sizeof regs_);
        if (pairWrap) {
            regs_[2] = regs_[3] = initial;  // outputs high after power-up
            regs_[6] = regs_[7] = 0xFF;     // all pins inputs
        }
    }
    bool write(const uint8_t* d, size_t n) override {
        if (n == 0) return true;
        ptr_ = d[0];
        for (size_t i = 1; i < n; ++i) {
            regs_[ptr_ & mask()] = d[i];
            advance();
        }
        return true;
    }
    bool read(uint8_t* d, size_t n) override {
        for (size_t i = 0; i < n; ++i) {
            unsigned r = ptr_ & mask();
            // Expander inputs read back the driven outputs.
            d[i] = (pairWrap_ && r < 2) ? regs_[r + 2] : regs_[r];
            advance();
        }
        return true;
    }
    uint8_t reg(unsigned r) const { return regs_[r & mask()]; }

private:
    unsigned mask() const { return pairWrap_ ? 7 : 0xFF; }
    void advance() { ptr_ = pairWrap_ ? static_cast<uint8_t>(ptr_ ^ 1) : static_cast<uint8_t>(ptr_ + 1); }
    bool pairWrap_;
    uint8_t ptr_ = 0;
    uint8_t regs_[256];
};

struct Bus {
    std::mutex mutex;
    std::map<uint8_t, std::shared_ptr<Device>> devices;
    int failCount = 0;
    bool stuck = false;
    unsigned recoveries = 0;
};

std::mutex gMutex;  // guards the board's chip set below
Bus gBuses[board::i2c::kBuses];
std::string gRoot;  // root the standard chips belong to
std::shared_ptr<Eeprom> gEeprom;
std::shared_ptr<Registers> gExpander[2];

void ensureBoard() {
    std::lock_guard lock(gMutex);
    if (gRoot == board::root() && gEeprom) return;
    gRoot = board::root();
    gEeprom = std::make_shared<Eeprom>(gRoot + "/sim/eeprom.bin",
                                       static_cast<unsigned>(conf().getInt("eeprom_write_cycle_ms", 5)));
    gExpander[0] = std::make_shared<Registers>(true, 0xFF);
    gExpander[1] = std::make_shared<Registers>(true, 0xFF);
    for (auto& b : gBuses) {
        std::lock_guard bl(b.mutex);
        b.devices.clear();
        // A fresh board has no pending faults and no chip holding a bus.
        b.failCount = 0;
        b.stuck = false;
        b.recoveries = 0;
    }
    auto put = [](int bus, uint8_t a, std::shared_ptr<Device> d) {
        std::lock_guard bl(gBuses[bus].mutex);
        gBuses[bus].devices[a] = std::move(d);
    };
    put(0, 0x56, gEeprom);
    put(0, 0x24, gExpander[0]);
    put(1, 0x25, gExpander[1]);
    put(2, 0x68, std::make_shared<Registers>(false, 0));
    put(2, 0x6D, std::make_shared<Registers>(false, 0));
    for (auto& [addr, chip] : vs100::makeChips()) put(3, addr, chip);
}

}  // namespace

void attach(int bus, uint8_t addr7, std::shared_ptr<Device> device) {
    if (bus < 0 || bus >= board::i2c::kBuses) return;
    ensureBoard();
    std::lock_guard bl(gBuses[bus].mutex);
    gBuses[bus].devices[addr7] = std::move(device);
}

void detach(int bus, uint8_t addr7) {
    if (bus < 0 || bus >= board::i2c::kBuses) return;
    ensureBoard();
    std::lock_guard bl(gBuses[bus].mutex);
    gBuses[bus].devices.erase(addr7);
}

void failNext(int bus, int count) {
    if (bus < 0 || bus >= board::i2c::kBuses) return;
    ensureBoard();
    std::lock_guard bl(gBuses[bus].mutex);
    gBuses[bus].failCount = count;
}

void stick(int bus) {
    if (bus < 0 || bus >= board::i2c::kBuses) return;
    ensureBoard();
    std::lock_guard bl(gBuses[bus].mutex);
    gBuses[bus].stuck = true;
}

unsigned eepromBusyNacks() {
    ensureBoard();
    return gEeprom->nacks;
}

uint8_t expanderRegister(int bus, uint8_t addr7, unsigned reg) {
    ensureBoard();
    std::lock_guard bl(gBuses[bus].mutex);
    auto it = gBuses[bus].devices.find(addr7);
    auto* r = it == gBuses[bus].devices.end() ? nullptr : dynamic_cast<Registers*>(it->second.get());
    return r ? r->reg(reg) : 0;
}

void reset() {
    std::lock_guard lock(gMutex);
    gRoot.clear();
    gEeprom.reset();
}

void registerControl() {
    ctl::add("i2c",
             "i2c fail BUS COUNT | stuck BUS   the next COUNT transfers on BUS fail, or a chip holds BUS until "
             "the bus is recovered",
             [](const std::vector<std::string>& a) {
                 const std::string usage = "ERR usage: i2c fail BUS COUNT | i2c stuck BUS";
                 const bool fail = a.size() == 4 && a[1] == "fail", stuck = a.size() == 3 && a[1] == "stuck";
                 if (!fail && !stuck) return usage;
                 int bus = std::atoi(a[2].c_str());
                 int count = fail ? std::atoi(a[3].c_str()) : 0;
                 if (bus < 0 || bus >= board::i2c::kBuses || count < 0) return std::string("ERR bad bus or count");
                 if (stuck) {
                     stick(bus);
                     journal("i2c.stuck", "bus=%d", bus);
                     return "OK bus " + a[2] + " stuck";
                 }
                 failNext(bus, count);
                 return "OK bus " + a[2] + " fails " + a[3];
             });
    ctl::addState("i2c", [] {
        char text[160];
        std::snprintf(text, sizeof text,
                      "expander 0x48 out %02X %02X\nexpander 0x4A out %02X %02X\neeprom busy-nacks %u\n",
                      expanderRegister(0, 0x24, 2), expanderRegister(0, 0x24, 3), expanderRegister(1, 0x25, 2),
                      expanderRegister(1, 0x25, 3), eepromBusyNacks());
        std::string out = text;
        for (int bus = 0; bus < board::i2c::kBuses; ++bus) {
            std::lock_guard bl(gBuses[bus].mutex);
            std::snprintf(text, sizeof text, "bus %d %s recoveries %u\n", bus, gBuses[bus].stuck ? "stuck" : "free",
                          gBuses[bus].recoveries);
            out += text;
        }
        return out;
    });
}

}  // namespace board::sim::i2c

namespace board::i2c {

int transfer(int bus, Msg* msgs, int count) {
    if (bus < 0 || bus >= kBuses || msgs == nullptr || count <= 0) return -EINVAL;
    sim::i2c::ensureBoard();
    auto& b = sim::i2c::gBuses[bus];
    std::lock_guard bl(b.mutex);
    if (b.stuck || b.failCount > 0) {
        if (!b.stuck) --b.failCount;
        journal("i2c.fault", "bus=%d addr=0x%02X", bus, msgs[0].addr);
        return -EIO;
    }
    std::shared_ptr<sim::i2c::Device> dev;
    int rc = 0;
    for (int i = 0; i < count && rc == 0; ++i) {
        auto it = b.devices.find(msgs[i].addr);
        if (it == b.devices.end() || it->second->busy()) {
            rc = -ENXIO;
            break;
        }
        dev = it->second;
        bool ok = msgs[i].read ? dev->read(msgs[i].buf, msgs[i].len) : dev->write(msgs[i].buf, msgs[i].len);
        if (!ok) rc = -ENXIO;
    }
    if (dev) dev->stop();
    return rc;
}

void recover(int bus) {
    if (bus < 0 || bus >= kBuses) return;
    bool freed;
    {
        auto& b = sim::i2c::gBuses[bus];
        std::lock_guard bl(b.mutex);
        freed = std::exchange(b.stuck, false);
        ++b.recoveries;
    }
    journal("i2c.recover", "bus=%d%s", bus, freed ? " freed" : "");
}

}  // namespace board::i2c
