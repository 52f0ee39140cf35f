#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 and checks that it works there: apt
# resolves its dependencies, no library is missing, the programs find their styles, the
# sample clips (WAV, MP3, M4A) open with the installed GStreamer plugins, the installed desktop
# entry and metadata validate, and lumovox starts (offscreen, then on Xvfb) and ends cleanly
# on SIGTERM.
#
#   sudo bash scripts/check-deb-clean.sh [PACKAGE.deb]     (default build/pkg/lumovox_*.deb)
#
# Needs root (debootstrap, chroot, mounts) and Debian's mirror. The minimal base system is
# made once in build/debian12/base; every run installs into a fresh copy of it, so a
# dependency missing from the package cannot hide behind an earlier run's packages. Not run by
# CI: it downloads some hundred megabytes.
set -euo pipefail
cd "$(dirname "$0")/.."

deb="${1:-$(ls build/pkg/lumovox_*.deb 2>/dev/null | head -1)}"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "no package: run scripts/package.sh first, or name one" >&2
  exit 2
fi
mirror="${LUMOVOX_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
top="$PWD/build/debian12"
base="$top/base"
root="$top/root"

if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  mkdir -p "$top"
  debootstrap --variant=minbase bookworm "$base" "$mirror"
fi

mounted=()
cleanup() {
  if [ -f "$root/tmp/xvfb.pid" ]; then
    kill "$(cat "$root/tmp/xvfb.pid")" 2>/dev/null || true
  fi
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[i]}" || true
  done
}
trap cleanup EXIT

rm -rf "$root"
cp -a "$base" "$root"
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --rbind /dev "$root/dev" && mounted+=("$root/dev")
mount --rbind /sys "$root/sys" && mounted+=("$root/sys")
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$root/check/samples"
cp "$deb" "$root/check/"
cp -r samples/. "$root/check/samples/"

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}
step() { printf '\n== %s\n' "$*"; }

step "apt-get install ./$(basename "$deb")"
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q --no-install-recommends "/check/$(basename "$deb")" >"$top/apt.log"
tail -1 "$top/apt.log"

step "every library the programs and the plugins need is installed"
missing=$(in_root sh -c 'ldd /usr/bin/lumovox /usr/bin/lumovox-check \
  /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so | grep "not found" || true')
if [ -n "$missing" ]; then
  echo "$missing"
  exit 1
fi
echo ok

step "the styles are found under /usr"
for style in light dark; do
  in_root /usr/bin/lumovox-check --style "$style" >"$top/style-$style.json"
  grep -q "\"folder\": \"/usr/share/lumovox/style/$style\"" "$top/style-$style.json"
done
echo ok

step "WAV, MP3 and M4A open with the installed plugins"
clips=()
while IFS= read -r clip; do
  clips+=("/check/samples/${clip#samples/}")
done < <(find samples -type f \( -name '*.wav' -o -name '*.mp3' -o -name '*.m4a' \) | sort)
in_root /usr/bin/lumovox-check --probe-audio "${clips[@]}" >"$top/probe.json"
echo "${#clips[@]} clips ok"

# Starts lumovox with the given environment, checks it is still running after 3 s, ends it
# with SIGTERM and checks it closed by itself with status 0.
start_and_end() {
  in_root "$@" /usr/bin/lumovox >"$top/run.log" 2>&1 &
  local pid=$!
  sleep 3
  local program
  # The chroot's processes are the host's: the program is the one started with this path.
  program=$(pgrep -f -n -x /usr/bin/lumovox || true)
  if [ -z "$program" ]; then
    wait "$pid" || true
    cat "$top/run.log"
    echo "lumovox did not keep running" >&2
    return 1
  fi
  kill -TERM "$program"
  local status=0
  timeout 20 tail --pid="$program" -f /dev/null || status=$?
  wait "$pid" || status=$?
  if [ "$status" != 0 ]; then
    cat "$top/run.log"
    echo "lumovox ended with status $status after SIGTERM" >&2
    return 1
  fi
}

step "lumovox starts (offscreen) and ends on SIGTERM"
start_and_end QT_QPA_PLATFORM=offscreen
echo ok

# Only now anything besides the package: the validators and an X server.
step "the installed desktop entry and metadata validate; lumovox starts on Xvfb"
in_root apt-get install -y -q --no-install-recommends desktop-file-utils appstream xvfb xauth \
  >>"$top/apt.log"
in_root desktop-file-validate /usr/share/applications/io.github.lumovox.LumoVox.desktop
in_root appstreamcli validate --no-net /usr/share/metainfo/io.github.lumovox.LumoVox.metainfo.xml
in_root sh -c 'Xvfb :57 -screen 0 1600x1200x24 >/dev/null 2>&1 & echo $! >/tmp/xvfb.pid'
sleep 1
start_and_end DISPLAY=:57
kill "$(cat "$root/tmp/xvfb.pid")" 2>/dev/null || true
rm -f "$root/tmp/xvfb.pid"
echo ok

step "all checks passed on a clean Debian 12"
