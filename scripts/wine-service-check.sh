#!/bin/sh
# Installs the 64-bit service program in a Wine prefix, starts and stops it
# through Wine's service control manager and removes it again, checking each step.
#   wine-service-check.sh PREFIX SERVICE_EXE
set -u
export WINEPREFIX="$1"
exe=$2
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
. "$(dirname "$0")/wine-session.sh"
work=$(mktemp -d) || fail "cannot make a temporary folder"
source_key='HKLM\System\CurrentControlSet\Services\EventLog\Application\Mirdal Software - RDP Kestrove'

on_exit 'session_finish "$work"'
session_begin "$work"

check_install "$exe" "$work"
windows_path=$(run winepath -w "$exe")
check_registration "$windows_path" "$work"

run net start "$service_name" >/dev/null || fail "net start exited with $?"
wait_for_state RUNNING || fail "service did not reach RUNNING (is $(service_state))"
run reg query "$source_key" >"$work/source"
for value in EventMessageFile CategoryMessageFile; do
    expect_value "$work/source" $value "$windows_path"
done
expect_value "$work/source" TypesSupported 0x7
expect_value "$work/source" CategoryCount 0x2

run net stop "$service_name" >/dev/null || fail "net stop exited with $?"
wait_for_state STOPPED || fail "service did not reach STOPPED (is $(service_state))"

check_uninstall "$exe" >/dev/null
echo "service installed, started, stopped and removed"
