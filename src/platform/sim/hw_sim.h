#pragma once

namespace board::sim {
// Registers "dsp" and the [gpio] state section with the control socket.
void registerHwControl();
}  // namespace board::sim
