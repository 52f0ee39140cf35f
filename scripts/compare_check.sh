#!/usr/bin/env bash
# Runs two lumovox-check binaries on the same libraries and reports any difference in their
# output, with the time and peak memory of each run (GNU time).
#
# usage: compare_check.sh OLD_BINARY NEW_BINARY [LIBRARIES_FOLDER]
# LIBRARIES_FOLDER holds what scripts/make_bench_libraries.py made (default /tmp/lumovox-libs).
# Libraries of more than MAX_CLIPS clips (default 100000) are left out: a checker that keeps
# a document per value needs some 20 GB for a million clips.
set -uo pipefail
cd "$(dirname "$0")/.."

old=$1
new=$2
libs=${3:-/tmp/lumovox-libs}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

runs=("samples/hikari samples/tones" "samples/hikari")
for fixture in "$libs"/nested-* "$libs"/flat-*; do
  clips=${fixture##*-}
  if [ -d "$fixture" ] && [ "$clips" -le "${MAX_CLIPS:-100000}" ]; then
    runs+=("$fixture" "--index $fixture.json")
  fi
done

status=0
for arguments in "${runs[@]}"; do
  for which in old new; do
    binary=${!which}
    # shellcheck disable=SC2086
    /usr/bin/time -f "%e s %M KB" -o "$work/$which.time" "$binary" $arguments \
      > "$work/$which.json" 2> /dev/null
    echo $? > "$work/$which.status"
  done
  if cmp -s "$work/old.json" "$work/new.json" && cmp -s "$work/old.status" "$work/new.status"; then
    verdict=same
  else
    verdict=DIFFERENT
    status=1
  fi
  printf '%-9s old %-18s new %-18s %s\n' "$verdict" "$(cat "$work/old.time")" \
    "$(cat "$work/new.time")" "$arguments"
done
exit $status
