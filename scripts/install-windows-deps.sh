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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
