#include "platform/sim/eth0.h"

#include "platform/exec.h"

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>

namespace board::sim::eth0 {
namespace {

std::string file(const std::string& root) { return root + "/sim/net/eth0"; }

void writeRoutes(const std::string& root, const Interface& e) {
    std::string table = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    char line[128];
    uint32_t ip = 0, mask = 0;
    if (subnet(e, ip, mask)) {
        if (auto gw = ipv4(e.get("gw"))) {
            std::snprintf(line, sizeof line, "eth0\t00000000\t%08X\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", *gw);
            table += line;
        }
        std::snprintf(line, sizeof line, "eth0\t%08X\t00000000\t0001\t0\t0\t0\t%08X\t0\t0\t0\n", ip & mask, mask);
        table += line;
    }
    std::ofstream(exec::boardProcFile(root, "net/route"), std::ios::trunc) << table;
}

}  // namespace

std::optional<uint32_t> ipv4(const std::string& text) {
    in_addr a{};
    if (text.empty() || ::inet_pton(AF_INET, text.c_str(), &a) != 1) return std::nullopt;
    return a.s_addr;
}

std::string dotted(uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

Interface load(const std::string& root) {
    Interface e;
    e.exists = e.values.load(file(root));
    return e;
}

bool subnet(const Interface& e, uint32_t& ip, uint32_t& mask) {
    auto i = ipv4(e.get("ip")), m = ipv4(e.get("mask"));
    if (!e.up() || !i || !m) return false;
    ip = *i;
    mask = *m;
    return true;
}

void save(const std::string& root, Interface& e) {
    uint32_t ip = 0, mask = 0;
    auto gw = ipv4(e.get("gw"));
    if (gw && (!subnet(e, ip, mask) || (*gw & mask) != (ip & mask))) e.values.set("gw", "");
    static const char* const kKnown[] = {"ip", "mask", "mac", "link", "up", "gw"};
    std::string text;
    for (const char* key : kKnown)
        if (!e.get(key).empty()) text += std::string(key) + " = " + e.get(key) + "\n";
    for (const auto& [key, value] : e.values.all()) {
        bool known = false;
        for (const char* k : kKnown) known = known || key == k;
        if (!known && !value.empty()) text += key + " = " + value + "\n";
    }
    std::ofstream(file(root), std::ios::trunc) << text;
    writeRoutes(root, e);
}

}  // namespace board::sim::eth0
