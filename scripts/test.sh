#!/usr/bin/env bash
# Installs the dependencies, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, checks the formatting and runs the whole test suite, then
# replays the kept fuzz reproducers and runs each fuzz target for 20 s.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check-format.sh

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMOVOX_SANITIZE=ON
cmake --build build/sanitize

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build/sanitize --output-on-failure --timeout 300 -j "$(nproc)"

# A short budget per target: enough to catch a fault in a changed loader, a few minutes in all.
# Like the builds above it takes no lock of its own: whoever wraps this script holds it.
LUMOVOX_BUILD_LOCK= bash scripts/fuzz.sh 20
