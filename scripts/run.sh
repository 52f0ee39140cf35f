#!/usr/bin/env bash
# Installs the dependencies, builds LumoVox and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMOVOX_TESTS=OFF -DLUMOVOX_BENCH=OFF
cmake --build build/release --target lumovox
# Without folders of your own, the two sample libraries open, so there is something to try.
if [ "$#" -eq 0 ]; then
  set -- samples/hikari samples/tones
fi
exec build/release/app/lumovox "$@"
