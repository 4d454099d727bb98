// The board's serial ports as pseudo-terminal pairs joined by a relay.
//
// For each port the program opens <root>/dev/ttySN (the slave of one pair),
// a person or a test opens <root>/term/ttySN (the slave of the other). The
// relay copies bytes between the two masters while both ends are open (an
// end that cannot take more holds up the writer at the other end; nothing is
// lost) and drops what is sent to an end that nobody holds, as a serial line
// does.
#pragma once

#include <string>
#include <vector>

namespace board::sim::serial {

inline const std::vector<std::string> kPorts = {"ttyS0", "ttyS2", "ttyS3"};

bool start(const std::string& root, std::string* error);
void stop();

}  // namespace board::sim::serial
