#!/usr/bin/env bash
# start DIR: makes a fresh Wine prefix in DIR.  stop DIR: ends its wineserver.
set -euo pipefail
action=$1 prefix=$2
export WINEPREFIX=$prefix WINEDEBUG=-all
case "$action" in
  start)
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    ;;
  stop)
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    ;;
  *)
    echo "usage: wine-prefix.sh start|stop DIR" >&2
    exit 2
    ;;
esac
