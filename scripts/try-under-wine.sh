#!/bin/sh
# Tries the 64-bit service under Wine: installs it, shows it running, stops it
# and removes it again, all in one Wine session. Exits non-zero when the
# service did not reach RUNNING or is still registered at the end.
#   scripts/try-under-wine.sh [--fresh] [PREFIX [SERVICE_EXE]]
# PREFIX defaults to build/win64/try-prefix and is created when missing; an
# existing prefix is only removed first with --fresh. SERVICE_EXE defaults to
# the win64 preset's build of the service program.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
fresh=no
if [ "${1:-}" = --fresh ]; then
    fresh=yes
    shift
fi
export WINEPREFIX="${1:-$top/build/win64/try-prefix}"
exe="${2:-$top/build/win64/service/RDPKestroveservice.exe}"
unset WINEARCH
. "$top/scripts/wine-session.sh"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
say() { printf '\n== %s\n' "$*"; }

[ -f "$exe" ] || fail "$exe is missing: build it with 'cmake --workflow --preset win64'"
if [ -d "$WINEPREFIX" ] && [ "$fresh" = yes ]; then
    "$wineserver" -k 2>/dev/null
    rm -rf "$WINEPREFIX"
fi
if [ ! -d "$WINEPREFIX" ]; then
    say "Creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot"
    "$wineserver" -w
fi

work=$(mktemp -d)
session_begin "$work"
finish() {
    if [ "${removed:-no}" != yes ]; then
        run net stop "$service_name" >/dev/null
        run sc delete "$service_name" >/dev/null
    fi
    session_end
    rm -rf "$work"
}
trap finish EXIT

say "Installing: RDPKestroveservice.exe -install"
run "$exe" -install
echo
say "Starting: net start \"$service_name\""
run net start "$service_name"
wait_for_state RUNNING || fail "the service did not reach RUNNING (it is '$(service_state)')"
say "sc query \"$service_name\""
run sc query "$service_name"
say "Stopping: net stop \"$service_name\""
run net stop "$service_name"
wait_for_state STOPPED || fail "the service did not stop (it is '$(service_state)')"
say "Removing: RDPKestroveservice.exe -uninstall"
run "$exe" -uninstall
echo
run sc query "$service_name" | grep -q STATE && fail "the service is still registered"
removed=yes
say "The service ran and has been removed."
