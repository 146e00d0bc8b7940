#!/usr/bin/env bash
# Runs every benchmark program of a build tree under Wine, in a fresh prefix.
set -euo pipefail
build=$1
shift || true
prefix=$build/bench-prefix
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/tests/support/wine-prefix.sh" start "$prefix"
trap '"$here/tests/support/wine-prefix.sh" stop "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all
status=0
for program in "$build"/bin/bench_*.exe; do
  [ -e "$program" ] || continue
  echo
  echo "== $(basename "$program" .exe)"
  /usr/lib/wine/wine64 "$program" "$@" || status=1
done
exit $status
