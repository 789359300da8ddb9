#!/usr/bin/env bash
# Fails when a file of the control's engine includes a header of a layer above
# its own. The layers, bottom to top: host, markup, render, input, control;
# the platforms, tools, tests and benchmarks stand above all of them.
# Usage: scripts/check-layers.sh [SOURCE_ROOT]
set -euo pipefail
src="${1:-$(dirname "$0")/..}/src"
layers=(host markup render input control)

status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  layer=${layers[i]}
  allowed=" ${layers[*]:0:i+1} "
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([^"]*)".*/\1/' <<<"$text")
    top=${target%%/*}
    [ "$top" = "$target" ] && continue  # a header beside the file
    if [[ "$allowed" != *" $top "* ]]; then
      echo "$file:$line: $layer includes $target" >&2
      status=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cc' '^#include "' "$src/$layer" || true)
done
[ $status -eq 0 ] && echo "every include of ${layers[*]} points down or sideways"
exit $status
