#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, replays the kept reproducers of tests/fuzz/regressions/ and
# runs every target for the given number of seconds (default 600), one after the other.
# Prints the runs each target reached; a crash, hang, leak or sanitizer report fails the
# script and names the input that causes it.
#   bash scripts/fuzz.sh [seconds-per-target] [target...]
# Configuring and building take /tmp/lumovox-build.lock, so that builds on a shared machine
# run one at a time; LUMOVOX_BUILD_LOCK= (empty) builds without it, for a caller that holds it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-600}"
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(fuzz_textreader fuzz_csv fuzz_character_ini fuzz_index fuzz_settings fuzz_png fuzz_uri
           fuzz_svg fuzz_css)
fi

build=build/fuzz
lock="${LUMOVOX_BUILD_LOCK-/tmp/lumovox-build.lock}"
locked() {
  if [ -n "$lock" ]; then
    flock "$lock" "$@"
  else
    "$@"
  fi
}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
locked cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMOVOX_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  "${launcher[@]}" >/dev/null
locked cmake --build "$build"

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
python3 tests/fuzz/make_seeds.py "$seeds"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
# The targets' scratch folders go here: a target that crashes cannot remove its own.
export TMPDIR="$PWD/$build/fuzz-tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

failures=()
summary=()
for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/$target"
  out="$build/fuzz-out/$target"
  mkdir -p "$out/corpus" "$out/artifacts"

  # Every kept reproducer must pass before the target fuzzes on.
  regressions="tests/fuzz/regressions/$target"
  if [ -d "$regressions" ]; then
    for input in "$regressions"/*; do
      [ -f "$input" ] || continue
      replay="$out/replay-$(basename "$input").log"
      if ! "$binary" -timeout=10 "$input" >"$replay" 2>&1; then
        echo "$target: the kept reproducer $input fails again:"
        grep -E "ERROR|runtime error|fuzz finding|SUMMARY" "$replay" | head -5 || true
        failures+=("$target: $input (log $replay)")
      fi
    done
  fi

  # Fork mode goes on after a finding, so one known fault does not end the whole run; each
  # finding is kept in artifacts/ and replayed below for its report.
  log="$out/fuzz.log"
  rm -rf "$out/artifacts"
  mkdir -p "$out/artifacts"
  "$binary" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -dict="tests/fuzz/dict/$target.dict" -artifact_prefix="$out/artifacts/" \
    "$out/corpus" "$seeds/$target" >"$log" 2>&1 || true
  runs=$(grep -oE "^#[0-9]+" "$log" | tail -1 | tr -d '#' || true)
  corpus=$(find "$out/corpus" -type f | wc -l)
  found=0
  for artifact in "$out/artifacts"/*; do
    [ -f "$artifact" ] || continue
    found=$((found + 1))
    "$binary" -timeout=10 "$artifact" >"$artifact.log" 2>&1 || true
    echo "$target: finding $artifact"
    grep -E "ERROR|runtime error|fuzz finding|SUMMARY" "$artifact.log" | head -5 || true
    failures+=("$target: $artifact (replay log $artifact.log)")
  done
  verdict=clean
  if [ "$found" -ne 0 ]; then
    verdict="$found finding(s)"
  fi
  summary+=("$(printf '%-20s %12s runs  corpus %6s  %s' "$target" "${runs:-0}" "$corpus" "$verdict")")
done

echo
echo "Fuzzing, $seconds s per target:"
printf '  %s\n' "${summary[@]}"
if [ "${#failures[@]}" -ne 0 ]; then
  echo "Findings (minimise: <target> -minimize_crash=1 -runs=10000 <input>; hangs: -minimize_crash=1 -timeout=10):"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
