#!/usr/bin/env bash
# Time from starting lumovox to its main window being shown and painted, with a library of
# CLIPS clips (default 10,000) restored from the previous session, next to the same for a minimal Qt program that
# shows a window of the same size (the limit), and for that window showing one line of Japanese
# text and a search box (what any window pays for its first text); prints each run, the
# medians and the ratios (milliseconds).
# usage: scripts/measure_start.sh [BUILD_DIR] [RUNS] [CLIPS]   (defaults: build/release 9 10000)
# Without DISPLAY it runs on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-9}
clips=${3:-10000}
program="$build/app/lumovox"
minimal="$build/bench/lumovox-minimal-window"
libs=/tmp/lumovox-libs
[ -d "$libs/nested-$clips" ] || python3 scripts/make_bench_libraries.py --out "$libs" "$clips" > /dev/null
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
  "$@" > "$fifo" 2>&1 &
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

median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

start_once "$program" "$libs/nested-$clips" > /dev/null  # adds the library once
ours=() limit=() text=()
for _ in $(seq "$runs"); do  # interleaved, so all see the same machine
  ours+=("$(start_once "$program")")
  limit+=("$(start_once "$minimal")")
  text+=("$(start_once "$minimal" --text)")
done
echo "lumovox runs (ms): ${ours[*]}"
echo "minimal Qt window runs (ms): ${limit[*]}"
echo "minimal Qt window with text runs (ms): ${text[*]}"
m_ours=$(median "${ours[@]}") m_limit=$(median "${limit[@]}") m_text=$(median "${text[@]}")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "median (ms): lumovox $m_ours, minimal Qt window $m_limit, ratio $(ratio "$m_ours" "$m_limit")"
echo "median (ms): minimal Qt window with text $m_text, ratio $(ratio "$m_text" "$m_limit"); lumovox against it $(ratio "$m_ours" "$m_text")"
