#include "platform/sim/sim_board.h"

#include "commands/network_param.h"
#include "platform/board.h"
#include "platform/journal.h"
#include "platform/msgq.h"
#include "platform/sim/board_conf.h"
#include "platform/sim/ctl.h"
#include "platform/sim/eth0.h"
#include "platform/sim/hw_sim.h"
#include "platform/sim/i2c_sim.h"
#include "platform/sim/panel_sim.h"
#include "platform/sim/scaler_chip.h"
#include "platform/sim/serial.h"
#include "platform/sim/usb_key.h"
#include "platform/sim/video_sim.h"
#include "platform/sim/vs100_sim.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace board::sim {

namespace {

std::atomic<bool> gReady{false};
std::atomic<bool> gControlPortsReady{false};
std::atomic<bool> gStarted{false};

void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// The flash partitions: files of <root>/dev that only the flash tools'
// stand-ins write; mtdblockN names the same file as mtdN.
struct FlashPartition {
    int number;
    size_t kib;
    bool blockDevice;
};
constexpr FlashPartition kFlash[] = {
    {0, 128, true},  // operating-system image, bank 0 (the running bank)
    {1, 128, true},  // operating-system image, bank 1
    {2, 128, true},  // bootloader; the kernel size at 65536
    {3, 128, false}, // kernel
    {4, 128, true},  // application file system A (/root/app)
    {5, 128, true},  // application file system B (/root/app.bk)
    {6, 64, true},   // persistent settings
};

// Erased flash, with what a running device holds: an image in bank 0 and
// the kernel's size in the bootloader partition.
std::string flashContent(int number, size_t bytes) {
    std::string data(bytes, '\xff');
    if (number == 0)
        data.replace(0, 32, std::string("\x45\x3d\xcd\x28", 4) + std::string(12, '\0') + "Compressed ROMFS");
    if (number == 2) data.replace(65536, 4, std::string("\x00\x00\x20\x00", 4));
    return data;
}

std::string defaultConf(const InitOptions& o) {
    return "# The simulated board, written by hx40-sim init.\n"
           "# Edit it and restart the program to change the board or inject faults.\n"
           "bind_address = 127.0.0.1\n"
           "# control ports of the factory network record (what a blank EEPROM reads)\n"
           "tcp_port = " + std::to_string(o.tcpPort) + "\n"
           "udp_port = " + std::to_string(o.udpPort) + "\n"
           "ws_port = " + std::to_string(o.wsPort) + "\n"
           "# tunnelling port of the factory values (1 to 64000; without it, the device's)\n" +
           (o.tunnelPort ? "tunnel_port = " + std::to_string(o.tunnelPort) + "\n" : std::string()) +
           "# verbose word of the factory network record: notifications to every control port\n"
           "verbose = " + std::string(o.verbose ? "1" : "0") + "\n"
           "# target of the web page's relay test\n"
           "proxy_host = 127.0.0.1:9\n"
           "# the DHCP server's answer to udhcpc: dhcp_offer = <ip> <mask> [<gw>]; none, no lease\n"
           "dhcp_offer = none\n"
           "# a stand-in program exits with this status: fault.<program> = <status>\n"
           "# erase block of the flash partitions (flashcp erases the blocks an image covers)\n"
           "flash_erase_block = 65536\n";
}

// A new board is a device after its boot, which brought eth0 up from the
// stored network record (a blank EEPROM's reads as the factory one) and
// reported it in network_stat as the record's script does.
void bootNetwork(const std::string& root) {
    const DefaultEepromEthParam record;
    const std::string gw = record.getGw() != 0 ? record.getGwStr() : "";
    eth0::Interface e;
    e.values.set("ip", record.getIpStr());
    e.values.set("mask", record.getMaskStr());
    e.values.set("mac", record.getMacStr(':'));
    e.values.set("link", "1");
    e.values.set("gw", gw);
    eth0::save(root, e);
    writeFile(fs::path(root) / "root/persist/network_stat", "dhcp: OFF\nip:   " + record.getIpStr() +
                                                              "\nmask: " + record.getMaskStr() +
                                                              "\ngw:   " + record.getGwStr() + "\n");
}

}  // namespace

std::string installDir() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

bool prepareRoot(const std::string& dir, const InitOptions& o, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    std::error_code ec;
    fs::path root = fs::absolute(dir, ec);
    if (fs::exists(root) && !fs::is_empty(root, ec)) return fail("'" + dir + "' exists and is not empty");
    for (const char* d : {"sim/osd", "sim/net", "sim/usb", "sim/spiflash", "run", "dev", "term",
                          "proc/net", "proc/sys/net/ipv4", "mnt/usb",
                          "root/app/bin", "root/app/conf", "root/app/logs", "root/app/memfiles/web",
                          "root/app.bk", "root/persist", "var/www/html", "tmp", "etc"}) {
        fs::create_directories(root / d, ec);
        if (ec) return fail("cannot create " + (root / d).string() + ": " + ec.message());
    }
    fs::path share = o.shareDir;
    if (fs::is_directory(share / "skeleton"))
        fs::copy(share / "skeleton", root, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return fail("cannot copy the skeleton: " + ec.message());
    if (fs::is_directory(share / "memfiles"))
        fs::copy(share / "memfiles", root / "root/app/memfiles",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return fail("cannot copy the memory files: " + ec.message());
    vs100::prepareFlashes(root.string());

    writeFile(root / "sim/board.conf", defaultConf(o));
    writeFile(root / "sim/eeprom.bin", std::string(32768, '\xff'));
    writeFile(root / "sim/tools.log", "");
    writeFile(root / "sim/journal.log", "");
    writeFile(root / "sim/procs", "");
    writeFile(root / "proc/cmdline", "console=ttyS1,115200 root=/dev/mtdblock0 rootfstype=cramfs\n");
    writeFile(root / "proc/partitions", "major minor  #blocks  name\n\n");
    writeFile(root / "proc/mounts",
              "/dev/mtdblock4 /root/app jffs2 rw,relatime 0 0\n"
              "/dev/mtdblock5 /root/app.bk jffs2 rw,relatime 0 0\n"
              "/dev/mtdblock6 /root/persist jffs2 rw,relatime 0 0\n");
    ec.clear();
    for (const FlashPartition& p : kFlash) {
        const std::string name = "mtd" + std::to_string(p.number);
        writeFile(root / "dev" / name, flashContent(p.number, p.kib * 1024));
        if (p.blockDevice) fs::create_symlink(name, root / "dev" / ("mtdblock" + std::to_string(p.number)), ec);
    }
    // The installed items' versions (made at build time from the data above).
    if (fs::exists(share / "version.md5sum"))
        fs::copy_file(share / "version.md5sum", root / "root/app/version.md5sum", fs::copy_options::overwrite_existing,
                      ec);
    if (ec) return fail("cannot set up the flash and the version list: " + ec.message());
    bootNetwork(root.string());
    writeFile(root / "proc/sys/net/ipv4/tcp_keepalive_time", "7200\n");
    writeFile(root / "proc/sys/net/ipv4/tcp_keepalive_intvl", "75\n");
    writeFile(root / "proc/sys/net/ipv4/tcp_keepalive_probes", "9\n");
    return true;
}

bool start(std::string* error) {
    const std::string& root = board::root();
    if (root.empty()) {
        if (error) *error = "no board root is open";
        return false;
    }
    mutableConf() = BoardConf();
    if (!mutableConf().load(root + "/sim/board.conf")) {
        if (error) *error = "cannot read " + root + "/sim/board.conf";
        return false;
    }
    journalOpen(root);
    if (!scalerChip().attach(root + "/sim/scaler.bin", error)) return false;
    if (!serial::start(root, error)) return false;
    ctl::add("ping", "ping                      is the program up", [](const std::vector<std::string>&) {
        return std::string(ready() ? "OK ready" : "ERR starting");
    });
    ctl::add("journal", "journal [clear]           where the journal is, or empty it",
             [root](const std::vector<std::string>& a) {
                 if (a.size() > 1 && a[1] == "clear") {
                     std::ofstream(root + "/sim/journal.log", std::ios::trunc);
                     return std::string("OK cleared");
                 }
                 return "OK " + root + "/sim/journal.log";
             });
    ctl::add("quit", "quit                      stop the program cleanly", [](const std::vector<std::string>&) {
        ::kill(::getpid(), SIGTERM);
        return std::string("OK stopping");
    });
    i2c::registerControl();
    panel::registerControl();
    registerHwControl();
    video::registerControl();
    registerUsbControl();
    if (!ctl::start(root + "/run/simctl.sock", error)) return false;
    std::ofstream(root + "/run/app.pid") << ::getpid() << '\n';
    gStarted = true;
    journal("board.start", "root=%s", root.c_str());
    return true;
}

void stopRequested() {
    const std::string& r = board::root();
    if (r.empty()) return;
    int fd = ::open((r + kStoppedMark).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
}

void setReady() { gReady = true; }
void setControlPortsReady() { gControlPortsReady = true; }
bool ready() { return gReady && gControlPortsReady; }

void stop() {
    if (!gStarted.exchange(false)) return;
    journal("board.stop", "pid=%d", static_cast<int>(::getpid()));
    ctl::stop();
    serial::stop();
    scalerChip().detach();
    journalClose();
    ::unlink((board::root() + "/run/app.pid").c_str());
    gReady = false;
}

}  // namespace board::sim

namespace board {

void shutdown() {
    msgq::removeAll();
    sim::stop();
}

}  // namespace board
