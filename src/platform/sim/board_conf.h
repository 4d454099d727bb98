// <root>/sim/board.conf: "key = value" lines, '#' starts a comment. Written
// by hx40-sim init, read at start; tests and people edit it to set faults.
#pragma once

#include <map>
#include <string>

namespace board::sim {

class BoardConf {
public:
    bool load(const std::string& file);
    void parse(const std::string& text);
    std::string get(const std::string& key, const std::string& fallback = "") const;
    long getInt(const std::string& key, long fallback) const;
    bool has(const std::string& key) const { return values_.count(key) != 0; }
    void set(const std::string& key, const std::string& value) { values_[key] = value; }
    const std::map<std::string, std::string>& all() const { return values_; }

private:
    std::map<std::string, std::string> values_;
};

// The configuration of the open board (loaded by start()).
const BoardConf& conf();
BoardConf& mutableConf();

}  // namespace board::sim
