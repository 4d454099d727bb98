#include "platform/sim/board_conf.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace board::sim {
namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

}  // namespace

bool BoardConf::load(const std::string& file) {
    std::ifstream in(file);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    parse(ss.str());
    return true;
}

void BoardConf::parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = trim(line.substr(0, eq));
        if (!key.empty()) values_[key] = trim(line.substr(eq + 1));
    }
}

std::string BoardConf::get(const std::string& key, const std::string& fallback) const {
    auto it = values_.find(key);
    return it == values_.end() ? fallback : it->second;
}

long BoardConf::getInt(const std::string& key, long fallback) const {
    auto it = values_.find(key);
    if (it == values_.end() || it->second.empty()) return fallback;
    char* end = nullptr;
    long v = std::strtol(it->second.c_str(), &end, 0);
    return (end && *end == '\0') ? v : fallback;
}

BoardConf& mutableConf() {
    static BoardConf c;
    return c;
}

const BoardConf& conf() { return mutableConf(); }

}  // namespace board::sim
