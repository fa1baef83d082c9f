#!/bin/sh
# Runs the Windows test programs under Wine in a prefix of the build's own:
# the 64-bit Wine, or the 32-bit one when WINEARCH is win32.
#   wine.sh init PREFIX          make a fresh prefix (removing an old one; a
#                                folder with files that is no prefix is refused)
#   wine.sh run PREFIX PROGRAM [ARGS...]
#   wine.sh stop PREFIX          stop the prefix's wineserver
set -e
command=$1
export WINEPREFIX="$2"
shift 2
. "$(dirname "$0")/wine-session.sh"

case "$command" in
  init)
    if ! "$wine" --version >/dev/null 2>&1; then
      echo "wine.sh: $wine does not run here; scripts/install-tools.sh (as root) sets it up" >&2
      exit 1
    fi
    remove_prefix
    boot_prefix
    ;;
  run)
    exec "$wine" "$@"
    ;;
  stop)
    "$wineserver" -k 2>/dev/null || true
    ;;
  *)
    echo "usage: wine.sh init|run|stop PREFIX ..." >&2
    exit 2
    ;;
esac
