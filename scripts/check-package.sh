#!/usr/bin/env bash
# Unpacks the Debian package from BUILD (default: build) into a temporary
# folder with dpkg-deb -x and renders the demo with the unpacked tool: it must
# need nothing from the build tree and no search path into it.
#   scripts/check-package.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shopt -s nullglob
debs=("$build"/marklet_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "check-package: expected one marklet_*.deb in $build" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "${debs[0]}" "$root"

tool="$root/usr/bin/marklet"
if readelf -d "$tool" | grep -Eq 'RPATH|RUNPATH'; then
  echo "check-package: $tool carries a library search path:" >&2
  readelf -d "$tool" | grep -E 'RPATH|RUNPATH' >&2
  exit 1
fi
"$tool" render -o "$root/demo.png" >/dev/null
"$tool" render --text 'from the &bpackage\b' -o "$root/text.png" >/dev/null
test -s "$root/demo.png" && test -s "$root/text.png"
echo "$(basename "${debs[0]}"): unpacked tool renders"
