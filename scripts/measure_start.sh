#!/usr/bin/env bash
# Time from starting lumovox to its main window being shown, with a 10,000-clip library
# restored from the previous session; prints each run and the median (milliseconds).
# usage: scripts/measure_start.sh [BUILD_DIR] [RUNS]   (defaults: build/release 9)
# Without DISPLAY it runs on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-9}
program="$build/app/lumovox"
libs=/tmp/lumovox-libs
[ -d "$libs/nested-10000" ] || python3 scripts/make_bench_libraries.py --out "$libs" 10000 > /dev/null
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home"
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen

# One start: the time until the window says it is shown; the program is then closed as by
# its close button (SIGTERM), so the next start restores the same library.
start_once() {
  local fifo="$home/out" begin end pid
  rm -f "$fifo"
  mkfifo "$fifo"
  begin=$(date +%s%N)
  "$program" "$@" > "$fifo" 2>&1 &
  pid=$!
  # The shell keeps the reading end open, so the program never writes into a closed pipe.
  exec 3< "$fifo"
  grep -m1 -q "Main window shown" <&3
  end=$(date +%s%N)
  kill -TERM "$pid" 2> /dev/null || true
  cat <&3 > /dev/null
  wait "$pid" || true
  exec 3<&-
  echo $(( (end - begin) / 1000000 ))
}

start_once "$libs/nested-10000" > /dev/null  # adds the library once
times=()
for _ in $(seq "$runs"); do
  times+=("$(start_once)")
done
echo "runs (ms): ${times[*]}"
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print "median (ms): " t[int((NR + 1) / 2)] }'
