#!/usr/bin/env bash
# Installs what is missing, builds Tarvo with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

./tools/ensure-deps.sh
cmake -S . -B build -G Ninja -DTARVO_WERROR=ON
cmake --build build
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
