// The simulated video I/O: sources on the inputs, sinks on the outputs, the
// hot-plug lines, the EDID and HDCP of the HDMI switch ports, the serial
// crosspoint. Driven by "ctl input" and "ctl sink", shown in "ctl state";
// every change is journaled. board.conf sets the state at start:
//   input.N = FORMAT | none     (N 1..8; FORMAT a name or an index)
//   sink.N = on|dvi|badedid [TIMING] | off   (N 1..4; default on 1080p60)
// The EDID image of each switch port is kept in sim/edid/inN.bin, so it
// survives a restart of the program as the switch's memory does.
#pragma once

#include <cstdint>
#include <string>

namespace board::sim::video {

// The names of the input formats, so that "input N connect 1080p60" works.
void setFormatNames(const char* (*name)(int format), int count);

// The timings a sink can prefer: the descriptor of a timing name (an output
// format); false when there is no such name.
void setSinkTimings(bool (*descriptor)(const std::string& name, uint8_t* dtd));

// Index of a format name or number; -1 when it is neither.
int formatIndex(const std::string& word);

void registerControl();

// Hot-plug pulses seen on a connector (low then high), and the length of
// the last one in ms.
int hotPlugPulses(int connector, int* lastMs = nullptr);

}  // namespace board::sim::video
