#!/usr/bin/env bash
# Builds the program, prepares a simulated board in ./.sim-board when there
# is none, and runs the device on it until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
board=${HX40_BOARD:-$PWD/.sim-board}
[ -f "$board/sim/board.conf" ] || build/bin/hx40-sim init "$board"
conf() { sed -n "s/^$1 *= *//p" "$board/sim/board.conf" | head -n1; }
cat <<MSG
The device runs on the simulated board at $board
  control protocol  TCP 127.0.0.1:$(conf tcp_port)  UDP 127.0.0.1:$(conf udp_port)  websocket and web ws://127.0.0.1:$(conf ws_port)
  serial ports      build/bin/hx40-sim term $board ttyS0   (ttyS2 tunnelling, ttyS3 user messages)
  OSD pictures      $board/sim/osd/out0.png and out1.png (outputs of channel 1 and 2)
  board control     build/bin/hx40-sim ctl $board help
  journal           $board/sim/journal.log
Ctrl-C stops the device.
MSG
exec build/bin/hx40-sim run "$board" --keys
