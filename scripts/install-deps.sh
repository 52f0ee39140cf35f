#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing LumoVox needs.
# Safe to run again; uses sudo when not run as root.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang-format python3
  # test and benchmark frameworks
  libgtest-dev libgmock-dev libbenchmark-dev
  # core libraries
  rapidjson-dev libxxhash-dev libpng-dev zlib1g-dev libssl-dev libtinyxml2-dev
  # platform layer: Qt 6 and a font that shows Japanese
  qt6-base-dev libqt6dbus6 libgl-dev libfontconfig-dev libdbus-1-dev fonts-noto-cjk fontconfig
  # Qt's own dialogs in Japanese
  qt6-translations-l10n
  # the private session bus of the file-manager and screen-reader tests; the accessibility
  # bus and the reader's side of AT-SPI for the latter
  dbus-daemon at-spi2-core python3-pyatspi
  # media pipeline with the decoders for WAV, MP3 and M4A
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-pulseaudio gstreamer1.0-alsa
  # the real-input tests: a headless session, its window manager, typed and clicked input
  # (xmodmap binds the Japanese letters they type to keys of their own)
  xvfb xauth openbox xdotool xclip x11-utils x11-xserver-utils
  # the reference renderer the icon tests compare with
  librsvg2-bin
  # the validators of the desktop entry and the AppStream metadata; cpack's DEB generator
  # (scripts/package.sh) tells programs by file and finds their libraries' packages with
  # dpkg-shlibdeps
  desktop-file-utils appstream file dpkg-dev
  # the clean Debian 12 that scripts/check-deb-clean.sh installs the package into
  debootstrap
  # fuzz targets: clang with libFuzzer and the sanitizer run-times, and its symbolizer
  clang-14 libclang-rt-14-dev llvm-14
)

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}"
