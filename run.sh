#!/usr/bin/env bash
# Installs what is missing, builds Tarvo and starts it on the bundled demo archive.
set -euo pipefail
cd "$(dirname "$0")"

./tools/ensure-deps.sh
cmake -S . -B build -G Ninja
cmake --build build --target tarvo

# A first start gets the demo archive as its only search path; an existing list is kept.
if [ ! -e build/suchpfad.txt ]; then
    printf '%s\n' "$PWD/examples" > build/suchpfad.txt
fi
exec ./build/tarvo "$@"
