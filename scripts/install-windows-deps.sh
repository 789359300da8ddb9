#!/usr/bin/env bash
# Installs what the Windows build needs from Debian's packages: the mingw-w64
# cross compiler, and with --wine what running it under Wine needs (Wine, its
# fonts, Xvfb, xdotool, and ImageMagick's `import` for screenshots).
# Idempotent: asks apt only for the packages that are missing.
set -euo pipefail

packages=(cmake ninja-build make g++-mingw-w64-x86-64 mingw-w64-tools)
if [ "${1:-}" = "--wine" ]; then
  packages+=(wine64 wine fonts-wine xvfb x11-xkb-utils xkb-data xdotool imagemagick)
fi

"$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
