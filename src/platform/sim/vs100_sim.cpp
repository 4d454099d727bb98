#include "platform/sim/vs100_sim.h"

#include "platform/board.h"
#include "platform/journal.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/i2c_sim.h"
#include "protocol/crc16.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace board::sim::vs100 {
namespace {

constexpr const char* kNames[kPorts] = {"rx-ch1", "rx-ch2", "tx-ch1", "tx-ch2"};
constexpr uint8_t kAddr7[kPorts] = {0x28, 0x29, 0x2B, 0x2A};
constexpr uint8_t kReady = 100;

int direction(int port) { return port / 2; }  // 0 receiver, 1 transmitter
int channel(int port) { return port % 2; }

// A live HDBaseT link of 30 meters: what the status items say unless the
// board's configuration says otherwise.
const std::map<uint16_t, std::vector<uint8_t>>& statusDefaults() {
    static const std::map<uint16_t, std::vector<uint8_t>> items = {
        {0xF602, {0, 0, 0, 0, 0}},   // bit errors
        {0xF603, {1}},               // HDBaseT link active
        {0xF604, {1}},               // HDMI on
        {0xF605, {7}},               // HDBaseT mode
        {0xF607, {0, 0, 0, 30}},     // cable length
        {0xF608, {12, 11, 13, 12}},  // signal quality per pair
        {0xF60B, {0x0D}},            // RX sense, 5 V and current HPD on
        {0xF901, {0}},
    };
    return items;
}

std::vector<uint8_t> parseBytes(const std::string& text) {
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) out.push_back(static_cast<uint8_t>(std::strtoul(word.c_str(), nullptr, 0)));
    return out;
}

// The header of the firmware in a port's flash; false unless the flash
// holds a whole image (bytes past the file's end read as erased).
bool firmware(int port, uint8_t header[kHeaderSize]) {
    static const Protocol7700::Crc16 kCrc(0);
    constexpr uint32_t kLargest = 1u << 20;  // the flash's size
    std::ifstream in(flashFile(port), std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), kHeaderSize) || std::memcmp(header, kMagic, 8) != 0) return false;
    const uint32_t size = uint32_t{header[23]} << 24 | uint32_t{header[24]} << 16 | uint32_t{header[25]} << 8 | header[26];
    if (size < kHeaderSize + 2 || size > kLargest) return false;
    std::vector<uint8_t> image(size, 0xFF);
    std::copy_n(header, kHeaderSize, image.begin());
    in.read(reinterpret_cast<char*>(image.data() + kHeaderSize), size - kHeaderSize);
    uint8_t crc[2];
    kCrc.ComputeChecksumBytes(crc, image.data(), static_cast<int>(size - 2));
    return image[size - 2] == crc[0] && image[size - 1] == crc[1];
}

class Transceiver : public i2c::Device {
public:
    explicit Transceiver(int port) : port_(port) {}

    bool write(const uint8_t* d, size_t n) override {
        if (!answering()) return false;
        if (n >= 2) reg_ = static_cast<uint16_t>(d[0] << 8 | d[1]);
        return true;
    }

    bool read(uint8_t* d, size_t n) override {
        uint8_t header[kHeaderSize];
        if (!answering(header)) return false;
        std::vector<uint8_t> answer = item(header);
        answer.resize(std::max(answer.size(), n), 0);
        std::copy_n(answer.begin(), n, d);
        return true;
    }

private:
    bool answering() {
        uint8_t header[kHeaderSize];
        return answering(header);
    }
    bool answering(uint8_t header[kHeaderSize]) {
        return linesHigh(port_) && routedFlash(direction(port_) == 1 ? 5 : 6) != port_ && firmware(port_, header);
    }

    // Status byte and data bytes of the addressed item.
    std::vector<uint8_t> item(const uint8_t* h) const {
        switch (reg_) {
        case 0xF501: return {kReady, h[9], h[10], h[11], h[12]};
        case 0xF502: return {kReady, h[13], h[14], h[15], h[16]};
        case 0xF504: return {kReady, h[17], 0, 0, 0};
        case 0xF505: return {kReady, h[18], 0, 0, 0};
        case 0xF506: return {kReady, h[19], h[20], h[21], h[22]};
        default: break;
        }
        char key[40];
        std::snprintf(key, sizeof key, "hdbt.%s.%04X", kNames[port_], reg_);
        std::vector<uint8_t> out{static_cast<uint8_t>(conf().getInt(std::string(key) + ".status", kReady))};
        std::vector<uint8_t> data;
        if (conf().has(key)) {
            data = parseBytes(conf().get(key));
        } else if (auto it = statusDefaults().find(reg_); it != statusDefaults().end()) {
            data = it->second;
        } else {
            out[0] = 0;  // no such item: never ready
        }
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }

    int port_;
    uint16_t reg_ = 0;
};

bool isImageOf(const fs::directory_entry& e, char dir) {
    const std::string n = e.path().filename().string();
    const std::string prefix = std::string("VS100") + dir;
    return e.is_regular_file() && n.rfind(prefix, 0) == 0 && !(n.size() >= 4 && n.substr(n.size() - 4) == ".old");
}

}  // namespace

const char* name(int port) { return port >= 0 && port < kPorts ? kNames[port] : "none"; }

std::string flashFile(int port) { return root() + "/sim/spiflash/" + name(port) + ".bin"; }

int routedFlash(int device) {
    const bool tx = device == 5;
    if (!tx && device != 6) return -1;
    const uint8_t pins = tx ? i2c::expanderRegister(1, 0x25, 2) : i2c::expanderRegister(0, 0x24, 2);
    const bool ch1 = pins & (tx ? 0x40 : 0x04);
    const bool ch2 = pins & (tx ? 0x80 : 0x08);
    if (ch1 == ch2) return -1;
    return (tx ? 2 : 0) + (ch1 ? 0 : 1);
}

bool linesHigh(int port) {
    if (direction(port) == 0) return i2c::expanderRegister(0, 0x24, 2) & (channel(port) == 0 ? 0x01 : 0x02);
    const uint8_t bit = channel(port) == 0 ? 0x20 : 0x10;
    return (i2c::expanderRegister(1, 0x25, 2) & bit) && (i2c::expanderRegister(1, 0x25, 3) & bit);
}

std::vector<std::pair<uint8_t, std::shared_ptr<i2c::Device>>> makeChips() {
    std::vector<std::pair<uint8_t, std::shared_ptr<i2c::Device>>> chips;
    for (int p = 0; p < kPorts; ++p) chips.emplace_back(kAddr7[p], std::make_shared<Transceiver>(p));
    return chips;
}

void prepareFlashes(const std::string& rootDir) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (const auto& e : fs::directory_iterator(fs::path(rootDir) / "root/app/memfiles", ec)) entries.push_back(e);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (int p = 0; p < kPorts; ++p) {
        const char dir = direction(p) == 0 ? 'R' : 'T';
        auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return isImageOf(e, dir); });
        if (it == entries.end()) continue;
        fs::copy_file(it->path(), fs::path(rootDir) / "sim/spiflash" / (std::string(kNames[p]) + ".bin"),
                      fs::copy_options::overwrite_existing, ec);
    }
}

}  // namespace board::sim::vs100
