#!/usr/bin/env bash
# Builds the project twice (normal, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both, lint included.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
jobs=$(nproc)
for variant in normal sanitize; do
  dir=build
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  if [ "$variant" = sanitize ]; then
    dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DHX40_SANITIZE=ON -DHX40_BENCH=OFF)
  fi
  echo "=== $variant build ($dir)"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== $variant tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
done
echo "=== all tests passed in both builds"
