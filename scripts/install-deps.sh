#!/usr/bin/env bash
# Installs what building and testing Marklet needs, from Debian's packages.
# Idempotent: asks apt only for the packages that are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libgdk-pixbuf-2.0-dev libpango1.0-dev libcairo2-dev zlib1g-dev
  fonts-liberation fonts-dejavu-core fontconfig
  libx11-dev libxcursor-dev libxfixes-dev xvfb x11-xkb-utils xkb-data xauth xdotool
  mingw-w64-tools dpkg-dev
)

"$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
