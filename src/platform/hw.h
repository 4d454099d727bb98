// Small board facilities: GPIO registers, real-time clock, FPGA, audio DSP,
// the Ethernet PHY, and the board's identity and policies.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace board {

// Revision number of the board (the last number of the version text).
int boardRevision();
// What the watchdog does with a stuck thread: reboot (true) or report only.
bool watchdogRebootsOnStuck();

namespace gpio {
uint32_t read(unsigned reg);
void write(unsigned reg, uint32_t value);
}  // namespace gpio

namespace rtc {
// Sets the clock chip: 0, or an errno value.
int set(const std::tm& time);
}  // namespace rtc

namespace clock {
// The system clock, in seconds since the epoch. The simulated board never
// sets the host's clock: its clock is the host's plus the offset in
// <root>/sim/clock_offset (seconds), which the stand-in "date -s" moves too.
std::time_t now();
// Sets the system clock (settimeofday on the device): 0, or an errno value.
int set(std::time_t time);
}  // namespace clock

namespace fpga {
// Running version as three numbers; false when the FPGA does not answer.
bool version(int v[3]);
bool ready();
// True when the configuration flash holds no image.
bool configBlank();
// Writes image into the configuration flash and restarts the FPGA with it;
// v is the version the image carries. 0 or an errno value.
int program(const std::string& image, const int v[3]);
void resetRegisters();
// The output links from the scaler: one window's picture (1) or two (2).
void setOutputLink(int windows);
}  // namespace fpga

namespace dsp {
bool alive();
int restart();
}  // namespace dsp

namespace phy {
bool linkUp();
void reset();
}  // namespace phy

}  // namespace board
