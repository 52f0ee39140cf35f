#!/usr/bin/env bash
# Installs the dependencies, builds LumoVox and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMOVOX_TESTS=OFF -DLUMOVOX_BENCH=OFF
cmake --build build/release --target lumovox
exec build/release/app/lumovox "$@"
