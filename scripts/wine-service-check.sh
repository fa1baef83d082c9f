#!/bin/sh
# Installs the 64-bit service program in a Wine prefix, starts and stops it
# through Wine's service control manager and removes it again, checking each step.
#   wine-service-check.sh PREFIX SERVICE_EXE
set -u
export WINEPREFIX="$1"
exe=$2
. "$(dirname "$0")/wine-session.sh"
work=$(mktemp -d)
key='HKLM\System\CurrentControlSet\Services\RDP Kestrove'
source_key='HKLM\System\CurrentControlSet\Services\EventLog\Application\Mirdal Software - RDP Kestrove'

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# The value's data as "reg query" shows it: the text after its name and type.
value_of() {
    grep -E "^ +$2 +REG_" "$1" | sed -E "s/^ +$2 +REG_[A-Z_]+ +//"
}
expect_value() {
    actual=$(value_of "$1" "$2")
    [ "$actual" = "$3" ] || fail "$2 is '$actual', expected '$3'"
}
finish() {
    if [ "${passed:-no}" != yes ]; then
        run net stop "$service_name" >/dev/null 2>&1
        run sc delete "$service_name" >/dev/null 2>&1
    fi
    session_end
    rm -rf "$work"
}

session_begin "$work"
trap finish EXIT

"$wine" "$exe" -install >"$work/install.raw" 2>/dev/null
status=$?
[ $status -eq 255 ] || fail "-install exited with $status"
tr -d '\r' <"$work/install.raw" >"$work/install.out"
printf '\n\n\n\nMirdal Software - RDP Kestrove Service\n\nDescription: Protects your Remote Desktop Server from brute-force logon attacks.\nInitializing... Initializing... \nThe process has completed successfully.Installing service...Success!\nThe process has completed successfully.' >"$work/install.expected"
cmp -s "$work/install.out" "$work/install.expected" || {
    diff "$work/install.expected" "$work/install.out" >&2
    fail "-install printed other lines"
}

windows_path=$(run winepath -w "$exe")
run reg query "$key" >"$work/registration"
expect_value "$work/registration" Type 0x10
expect_value "$work/registration" Start 0x2
expect_value "$work/registration" ErrorControl 0x0
expect_value "$work/registration" ImagePath "$windows_path"
expect_value "$work/registration" DisplayName "$service_name"
expect_value "$work/registration" ObjectName LocalSystem
expect_value "$work/registration" Description "Protects your Remote Desktop Server from brute-force logon attacks."

run net start "$service_name" >/dev/null
wait_for_state RUNNING || fail "service did not reach RUNNING (is $(service_state))"
run reg query "$source_key" >"$work/source"
for value in EventMessageFile CategoryMessageFile; do
    expect_value "$work/source" $value "$windows_path"
done
expect_value "$work/source" TypesSupported 0x7
expect_value "$work/source" CategoryCount 0x2

run net stop "$service_name" >/dev/null
wait_for_state STOPPED || fail "service did not reach STOPPED (is $(service_state))"

"$wine" "$exe" -uninstall >/dev/null 2>&1
status=$?
[ $status -eq 255 ] || fail "-uninstall exited with $status"
if "$wine" reg query "$key" >/dev/null 2>&1; then fail "the registration is still there"; fi
run sc query "$service_name" | grep -q "STATE" && fail "the service control manager still knows the service"
passed=yes
echo "service installed, started, stopped and removed"
