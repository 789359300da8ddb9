#!/usr/bin/env bash
# Draws the example picture of each construct in docs/markup.md with
# `marklet render`, as docs/markup-NAME.png. Run by `make docs`.
#   scripts/markup-pictures.sh [BUILD_DIR] [OUT_DIR]
#   scripts/markup-pictures.sh --check [BUILD_DIR]   draws them into a temporary
#     folder and fails when one differs from the committed picture (ctest DocsPictures)
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
build=$(realpath "${1:-build}")
out=${2:-docs}
if [ $check = 1 ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi

# name | properties (space-separated NAME=VALUE) | text. The texts are the ones docs/markup.md shows beside each picture.
examples=(
  'styles||Plain, &bbold\b, &uunderlined\u, &iitalic\i and &b&ibold italic\i\b.'
  'font||#f<f:Courier New>Courier New\f, #f<s:14>14 points\f, #f<c:255>red\f, #f<c:&H008000;s:10>green 10 points\f, back to the base font.'
  'links||Read #ehome<the home page> or #emailto:help@example.org<write to us>; the key is what OnLinkClick reports.'
  'pictures||A picture #i<assets/demo/leaf.png> in the text, one lifted #i<assets/demo/leaf.png:0:-4> and one that is a link #ileaf<assets/demo/leaf.png>.'
  'margin||First line, then #m<40>a margin change: the lines that follow start 40 pixels from the left, as this long sentence shows when it wraps.'
  'escapes||A \s in plain text and in #ek<link\stexts>; glued: bold&bface\b and ab\0  cd; dropped: ab\0 Xcd.'
  'lines||One\nTwo, after a line break\n\tindented by a tab (TabSize spaces)'
  'oneline|MultiLine=False ShowMoreLink=False|MultiLine False: \t stays as written; line one\nline two follow on one line'
)

for entry in "${examples[@]}"; do
  name=${entry%%|*}
  rest=${entry#*|}
  props=()
  for p in ${rest%%|*}; do props+=(--prop "$p"); done
  text=${rest#*|}
  "$build/marklet" render --width 420 --prop 'BackColor=&HFFFFFF' --prop ForeColor=0 "${props[@]}" \
    --picture-root "$PWD/assets" --text "$text" -o "$out/markup-$name.png" >/dev/null
  if [ $check = 1 ]; then
    if ! cmp -s "$out/markup-$name.png" "docs/markup-$name.png"; then
      echo "docs/markup-$name.png differs from what marklet render draws now: run make docs and commit it" >&2
      status=1
    fi
  else
    echo "$out/markup-$name.png"
  fi
done
exit "${status:-0}"
