#!/usr/bin/env bash
# Runs the Windows programs under Wine on a private prefix and a private Xvfb
# display, and cleans both up afterwards.
#   scripts/windows-test.sh [BUILD_DIR]                      runs wine-suite.exe, activex-suite.exe and
#                                                            accessible-suite.exe;
#                                                            non-zero on any failure
#   scripts/windows-test.sh --screenshot OUT.png [BUILD_DIR]  shows marklet-win.exe with the pointer on a
#                                                            link and saves a screenshot of the Wine desktop
#   scripts/windows-test.sh --activex-screenshot OUT.png [BUILD_DIR]
#                                                            the same for MarkletControl.dll, registered
#                                                            with regsvr32 and placed in an ATL host window
#                                                            by marklet-atl.exe
# Needs Wine (wine64, fonts-wine), Xvfb, xdotool and, for screenshots, ImageMagick's `import`
# (scripts/install-windows-deps.sh --wine installs them).
set -euo pipefail

screenshot=""
shown=marklet-win
if [ "${1:-}" = "--screenshot" ] || [ "${1:-}" = "--activex-screenshot" ]; then
  [ "$1" = "--activex-screenshot" ] && shown=marklet-atl
  screenshot=${2:?$1 needs a file name}
  shift 2
fi
build=${1:-build-win}
source=$(cd "$(dirname "$0")/.." && pwd)
for exe in wine-suite.exe activex-suite.exe accessible-suite.exe MarkletControl.dll marklet-win.exe marklet-atl.exe; do
  [ -f "$build/$exe" ] || { echo "windows-test: $build/$exe is missing (run make windows)" >&2; exit 2; }
done

export PATH=/usr/lib/wine:$PATH
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/marklet-wine.XXXXXX")
export WINEPREFIX
workdir=$(mktemp -d "${TMPDIR:-/tmp}/marklet-wine-run.XXXXXX")
xvfb=""

cleanup() {
  set +e
  wineserver -k >/dev/null 2>&1
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -rf "$WINEPREFIX" "$workdir"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports its number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$workdir/display" >"$workdir/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$workdir/display" ] && break; sleep 0.1; done
[ -s "$workdir/display" ] || { echo "windows-test: Xvfb did not start" >&2; cat "$workdir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$workdir/display")"

echo "windows-test: booting a Wine prefix in $WINEPREFIX on display $DISPLAY"
wine64 wineboot -i >"$workdir/wineboot.log" 2>&1 || { cat "$workdir/wineboot.log" >&2; exit 1; }
wineserver -w
# Wine's own fonts, so "MS Sans Serif" is the bitmap face.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
# A virtual desktop: Wine draws the frames, title bars and the desktop itself,
# as on Windows, with no window manager needed.
desktop=1024x768
[ -n "$screenshot" ] && desktop=592x124
wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f >/dev/null 2>&1
wineserver -w

if [ -z "$screenshot" ]; then
  status=0
  for suite in wine-suite.exe activex-suite.exe accessible-suite.exe; do
    echo "windows-test: running $build/$suite"
    (cd "$build" && timeout 600 wine64 "$suite") || status=$?
  done
  # Script clients: the system's cscript runs each script against the
  # registered control, from a folder that holds the picture it names by a
  # relative path; a script's exit code is its number of failed checks.
  (cd "$build" && timeout 120 wine64 regsvr32 /s MarkletControl.dll) || status=$?
  mkdir -p "$workdir/scripts"
  cp "$source"/tests/win32/scripts/* "$source"/tests/fixtures/dot16x8.png "$workdir/scripts/"
  for script in properties.vbs properties.js; do
    echo "windows-test: cscript $script"
    (cd "$workdir/scripts" && timeout 120 wine64 cscript //nologo "$script") || status=$?
  done
  # With no display the control cannot make its window: creating it must
  # fail with the control's error, not bring the script host down.
  echo "windows-test: without a display"
  (cd "$build" && env -u DISPLAY timeout 120 wine64 activex-suite.exe WithoutAWindow) || status=$?
  (cd "$workdir/scripts" && env -u DISPLAY timeout 120 wine64 cscript //nologo no_display.vbs) || status=$?
  if [ "$status" -ne 0 ]; then echo "windows-test: FAILED (exit $status)" >&2; fi
  exit "$status"
fi

records="$workdir/records"
text='Marklet under &bWine\b: #ehome<a link> under the pointer, #f<c:&H008000>green\f and &uunderlined\u text.\nA second line with #eother<another link> and a #ehttps://marklet.example/<web link>.\n\tA tab, #f<s:10>a larger size\f, and the More link when the text does not fit.'
if [ "$shown" = marklet-win ]; then
  (cd "$build" && timeout 120 wine64 marklet-win.exe --x 16 --y 16 --width 560 --no-shell --point-at home \
     --prop LinkDisplay=2 --prop ActiveLinkColor=255 --text "$text" \
     >"$records" 2>"$workdir/$shown.log") &
  hovered='"event":"MouseMove","args":\["","home"'
else
  (cd "$build" && wine64 regsvr32 /s MarkletControl.dll) || { echo "windows-test: regsvr32 failed" >&2; exit 1; }
  # The first link is the only text in the link colour until the pointer is on it.
  (cd "$build" && timeout 120 wine64 marklet-atl.exe --x 16 --y 16 --width 560 --height 64 --point-at-link \
     --prop LinkDisplay=2 --prop ActiveLinkColor=255 --prop AutoSizeHeight=False --prop BackColor=16777215 \
     --text "$text" \
     >"$records" 2>"$workdir/$shown.log") &
  hovered='"event":"MouseMove","args":\["","home"'
fi
app=$!
for _ in $(seq 300); do grep -q '"pointAt"' "$records" 2>/dev/null && break; sleep 0.1; done
# The X pointer follows, so Wine's next look at it finds it on the link too.
point=$(grep -o '"pointAt":\[[0-9-]*,[0-9-]*\]' "$records" | head -1 | grep -o '[0-9-]*,[0-9-]*' || true)
[ -n "$point" ] && xdotool mousemove "${point%,*}" "${point#*,}"
for _ in $(seq 50); do grep -q "$hovered" "$records" 2>/dev/null && break; sleep 0.1; done
sleep 1
mkdir -p "$(dirname "$screenshot")"
import -window root -crop "$desktop+0+0" +repage "$screenshot"
frame=$(grep -o '"frame":[0-9]*' "$records" | head -1 | cut -d: -f2 || true)
wineserver -k >/dev/null 2>&1 || true
wait "$app" 2>/dev/null || true
grep -q "$hovered" "$records" || { echo "windows-test: the pointer never reached the link" >&2; cat "$records" "$workdir/$shown.log" >&2; exit 1; }
echo "$screenshot (frame window $frame)"
