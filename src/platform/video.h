// Video I/O of the board: the eight input connectors (a source connected
// with a format, or nothing), their hot-plug lines and the EDID image and
// HDCP of each HDMI switch port; the four outputs (a sink powered or not,
// with its EDID, and the transmitter's TMDS, 5 V and mute); and the switch
// matrix of the serial crosspoint.
#pragma once

#include <cstddef>
#include <cstdint>

namespace board::video {

inline constexpr int kConnectors = 8;
inline constexpr int kOutputs = 4;  // two per channel: 0 and 1 CH1, 2 and 3 CH2
inline constexpr int kNoSignal = 255;
inline constexpr size_t kEdidSize = 256;

// The format index (the input format table) that the source on the
// connector sends; kNoSignal when nothing is connected.
int inputFormat(int connector);

// The connector's hot-plug line (high: the source may read the EDID), and
// its level as the switch reads it back.
void setHotPlug(int connector, bool high);
bool hotPlugHigh(int connector);
// The HDMI switch's hot-plug control pins: pointed at a connector (on), or
// released (off).
void aimHotPlugPins(int connector, bool on);

// The receiver of channel 1 (0) or 2 (1): the colour space it outputs,
// 0 automatic, 1 RGB, 2 YCbCr.
void setReceiverColorSpace(int receiver, int value);

// The EDID image offered on the connector's HDMI switch port, and what the
// port holds now (false when it holds none).
void loadEdid(int connector, const uint8_t* image, size_t size);
bool portEdid(int connector, uint8_t* image, size_t size);
void setHdcp(int connector, bool on);

// The sink on an output: powered, and its EDID (false when unreadable).
bool sinkPowered(int output);
bool readSinkEdid(int output, uint8_t* image, size_t size);
// The output's transmitter: TMDS and the 5 V supply, and the mute of its
// picture and audio.
void setOutput(int output, bool tmds, bool power5v);
void setOutputMute(int output, bool muted);
// The transmitter's sink interrupt: true once after the sink on the output
// changed (plugged in, pulled out, another EDID).
bool takeSinkChange(int output);
// What the transmitter sends: the picture and its pixel clock, and the
// colour format (0 RGB, 1 YCbCr 4:4:4, 2 YCbCr 4:2:2) with its bits per
// pixel (24, 30 or 36).
void setOutputTiming(int output, uint16_t width, uint16_t height, uint32_t clockKHz, bool interlaced);
void setOutputColor(int output, int format, int bitsPerPixel);

// The serial crosspoint: sources (X) 0..7, destinations (Y) 0..11.
inline constexpr int kXpointSources = 8;
inline constexpr int kXpointDestinations = 12;
void crosspointSwitch(int source, int destination, bool closed);
// Pulses the reset line: every switch opens.
void crosspointReset();
bool crosspointClosed(int source, int destination);

}  // namespace board::video
