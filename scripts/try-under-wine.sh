#!/bin/sh
# Tries the 64-bit service under Wine: installs it, shows it running, stops it
# and removes it again, all in one Wine session, checking -install's lines, the
# registered service, the states and the removal of its key. Exits non-zero
# when a step fails.
#   scripts/try-under-wine.sh [--fresh] [PREFIX [SERVICE_EXE]]
# PREFIX defaults to build/win64/try-prefix and is made ready when wineboot
# has not yet succeeded in it; an existing prefix is only removed first with
# --fresh. A PREFIX that is empty, /, the home folder, the checkout or above it,
# or a folder with files that is no Wine prefix, is refused (exit 2). At the
# end "wineserver -k" ends every program running in PREFIX.
# SERVICE_EXE defaults to the win64 preset's build of the service program.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: $0 [--fresh] [PREFIX [SERVICE_EXE]]  (ends every program running in PREFIX: wineserver -k)" >&2
    exit 2
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
say() { printf '\n== %s\n' "$*"; }

fresh=no
prefix=$top/build/win64/try-prefix
exe=$top/build/win64/service/RDPKestroveservice.exe
given=0
for arg; do
    case $arg in
    --fresh) fresh=yes ;;
    -*) usage ;;
    *)
        given=$((given + 1))
        case $given in
        1) prefix=$arg ;;
        2) exe=$arg ;;
        *) usage ;;
        esac
        ;;
    esac
done
export WINEPREFIX="$prefix"
unset WINEARCH
. "$top/scripts/wine-session.sh"
exe=$(realpath -m -- "$exe")
[ -f "$exe" ] || fail "$exe is missing: build it with 'cmake --workflow --preset win64'"

if [ "$fresh" = yes ]; then remove_prefix; fi
# Wine keeps its server's folder under TMPDIR: in the work folder it goes with it.
work=$(mktemp -d) || fail "cannot make a temporary folder"
export TMPDIR="$work"
on_exit 'session_finish "$work"'

if ! prefix_ready; then
    say "Preparing the Wine prefix $WINEPREFIX"
    boot_prefix >/dev/null 2>&1 || fail "wineboot did not succeed in $WINEPREFIX"
fi
session_begin "$work"

say "Installing: RDPKestroveservice.exe -install"
check_install "$exe" "$work"
cat "$work/install.out"
echo
check_registration "$(run winepath -w "$exe")" "$work"
say "Registered: reg query \"$service_key\""
cat "$work/registration"
say "Starting: net start \"$service_name\""
run net start "$service_name" || fail "net start exited with $?"
wait_for_state RUNNING || fail "the service did not reach RUNNING (it is '$(service_state)')"
say "sc query \"$service_name\""
run sc query "$service_name"
say "Stopping: net stop \"$service_name\""
run net stop "$service_name" || fail "net stop exited with $?"
wait_for_state STOPPED || fail "the service did not stop (it is '$(service_state)')"
say "Removing: RDPKestroveservice.exe -uninstall"
check_uninstall "$exe"
echo
say "The service ran and has been removed: its key and its entry in the service control manager are gone."
