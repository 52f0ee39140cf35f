#!/usr/bin/env bash
# Installs the dependencies, builds the Release tree in build/pkg (installing under /usr)
# and makes the Debian package from it: build/pkg/lumovox_<version>_amd64.deb.
# Configuring, building and packaging take /tmp/lumovox-build.lock, so that builds on a
# shared machine run one at a time; LUMOVOX_BUILD_LOCK= (empty) runs without it, for a
# caller that holds it. LUMOVOX_SKIP_DEPS=1 skips the package installation.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/pkg
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

if [ "${LUMOVOX_SKIP_DEPS:-}" != 1 ]; then
  bash scripts/install-deps.sh
fi
# /usr, the package's prefix, is also the programs' last place to look for their styles.
locked cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMOVOX_TESTS=OFF \
  -DLUMOVOX_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" >/dev/null
locked cmake --build "$build"
rm -f "$build"/lumovox_*.deb
(cd "$build" && locked cpack -G DEB >/dev/null)
deb=$(ls "$build"/lumovox_*.deb)
dpkg-deb --field "$deb" Depends
echo "$deb"
