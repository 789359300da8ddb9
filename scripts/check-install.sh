#!/usr/bin/env bash
# Builds both examples against a staged install of BUILD (default: build), with
# CMake and with pkg-config, runs them, then moves the staged folder elsewhere
# and does it all again: the installed package must not depend on where it lies.
#   scripts/check-install.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/stage" >/dev/null

examples() {
  local prefix=$1 out=$2
  mkdir -p "$out"
  # CMake, through find_package(marklet COMPONENTS raster x11).
  cmake -S examples/raster_host -B "$out/raster" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$out/raster" >/dev/null
  cmake -S examples/x11_host -B "$out/x11" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$out/x11" >/dev/null
  # pkg-config, the .pc files finding the prefix from where they lie.
  local pc="$prefix/lib/pkgconfig"
  # shellcheck disable=SC2046
  c++ -o "$out/raster_pc" examples/raster_host/main.cc $(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs marklet)
  # shellcheck disable=SC2046
  c++ -o "$out/x11_pc" examples/x11_host/main.cc $(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs marklet-x11)

  for raster in "$out/raster/raster_example" "$out/raster_pc"; do
    "$raster" "$out/example.png" >/dev/null
    test -s "$out/example.png" && rm "$out/example.png"
  done
  for x11 in "$out/x11/x11_example" "$out/x11_pc"; do
    local shown
    shown=$(timeout 60 xvfb-run -a -s "-nolisten tcp" "$x11" --once)
    grep -Eq '^painted 360x[1-9][0-9]*$' <<<"$shown" || { echo "$x11: $shown" >&2; exit 1; }
  done
  echo "examples built and run against $prefix"
}

examples "$work/stage" "$work/first"
mv "$work/stage" "$work/moved"
examples "$work/moved" "$work/second"
