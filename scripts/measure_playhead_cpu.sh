#!/usr/bin/env bash
# CPU that lumovox spends while a clip plays (the playhead and time moving) and while it is
# stopped, as a share of one core over 10 s each, on a real X display (Xvfb and openbox when
# none is given). The clip plays into the silent output, so the sound device costs nothing.
# usage: scripts/measure_playhead_cpu.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
program="$build/app/lumovox"
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2> /dev/null || true; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:93
  Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp > /dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
  openbox > /dev/null 2>&1 &
  pids+=($!)
fi
mkdir -p "$work/lib"
python3 - "$work/lib/minute.wav" << 'PY'
import math, struct, sys
rate, seconds = 22050, 60
frames = b"".join(struct.pack("<h", int(8000 * math.sin(i * 0.05))) for i in range(rate))
with open(sys.argv[1], "wb") as out:
    out.write(b"RIFF" + struct.pack("<I", 36 + rate * 2 * seconds) + b"WAVEfmt ")
    out.write(struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16))
    out.write(b"data" + struct.pack("<I", rate * 2 * seconds) + frames * seconds)
PY
XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" LUMOVOX_AUDIO_OUTPUT=silent \
  LUMOVOX_UI_DUMP="$work/dump.json" \
  "$program" "$work/lib" > "$work/out" 2>&1 &
pid=$!
pids+=("$pid")
for _ in $(seq 200); do grep -q "Main window shown" "$work/out" && break; sleep 0.1; done
sleep 2
# Asks the program for its UI dump and prints what the Python expression makes of it (the
# function find(id) gives the widget of that Id).
ask() {
  : > "$work/out"
  kill -USR1 "$pid"
  for _ in $(seq 100); do grep -q "UI dump written" "$work/out" && break; sleep 0.05; done
  python3 -c 'import json, sys
dump = json.load(open(sys.argv[1]))
def find(id, n=dump):
    if isinstance(n, dict):
        if n.get("Id") == id: return n
        n = list(n.values())
    if isinstance(n, list):
        return next((r for v in n for r in [find(id, v)] if r is not None), None)
print(eval(sys.argv[2]))' "$work/dump.json" "$1"
}
# A click on the first row: the list, then the clip.
xdotool mousemove $(ask '"%d %d" % (find("ContentsBoxArea")["ScreenBounds"][0] + 30,
  find("ContentsBoxArea")["ScreenBounds"][1] + 10)') click 1
# The pointer rests outside the window: hovering a row has a cost of its own.
xdotool mousemove 1590 990
sleep 1

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
share() {  # CPU share of one core over $1 seconds, in percent
  local before after
  before=$(ticks)
  sleep "$1"
  after=$(ticks)
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$1" \
    'BEGIN { printf "%.2f", 100 * t / hz / s }'
}
stopped=$(share 10)
xdotool key space
sleep 0.5
[ "$(ask 'find("mainFrame")["Properties"]["Playing"]')" = True ] || { echo "the clip did not start (in $work)" >&2; exit 1; }
playing=$(share 10)
xdotool key space
echo "stopped: ${stopped}% of a core; playing: ${playing}% of a core (10 s each)"
