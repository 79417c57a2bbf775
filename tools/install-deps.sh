#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Sorvantel need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config ccache \
  qt6-base-dev qt6-multimedia-dev qt6-serialport-dev qt6-svg-dev libqt6svg6 \
  libgl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libsndfile1-dev libsoxr-dev libpulse-dev libfftw3-dev libpng-dev \
  clang-14 libclang-rt-14-dev \
  xvfb xauth xdotool pulseaudio pulseaudio-utils socat imagemagick sox python3 python3-numpy \
  fonts-liberation fonts-dejavu-core desktop-file-utils tzdata \
  >/dev/null
# A decimal-comma locale, so that the tests can prove numbers never follow the user's locale.
$SUDO apt-get install -y -qq --no-install-recommends locales >/dev/null
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
  $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
