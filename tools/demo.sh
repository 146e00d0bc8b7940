#!/usr/bin/env bash
# The demo: a client program under Wine loads the x86_64 ZIRPEL.dll and calls
# BeepSound(440, 200) early bound.
set -euo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=$build/demo-prefix
echo
echo "==> Making a fresh Wine prefix in $prefix"
"$here/tests/support/wine-prefix.sh" start "$prefix"
trap '"$here/tests/support/wine-prefix.sh" stop "$prefix"' EXIT
echo "==> Running the direct-load client"
WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 "$build/bin/direct_load_demo.exe"
