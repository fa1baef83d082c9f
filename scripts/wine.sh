#!/bin/sh
# Runs the 64-bit Windows test programs under Wine in a prefix of the build's own.
#   wine.sh init PREFIX          make a fresh prefix (removing an old one)
#   wine.sh run PREFIX PROGRAM [ARGS...]
#   wine.sh stop PREFIX          stop the prefix's wineserver
set -e
command=$1
export WINEPREFIX="$2"
shift 2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

case "$command" in
  init)
    if [ -d "$WINEPREFIX" ]; then "$WINESERVER" -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; fi
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot --init
    "$WINESERVER" -w
    ;;
  run)
    exec "$WINE" "$@"
    ;;
  stop)
    "$WINESERVER" -k 2>/dev/null || true
    ;;
  *)
    echo "usage: wine.sh init|run|stop PREFIX ..." >&2
    exit 2
    ;;
esac
