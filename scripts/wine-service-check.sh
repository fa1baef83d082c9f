#!/bin/sh
# Installs the 64-bit service program in a Wine prefix, starts and stops it
# through Wine's service control manager and removes it again, checking each step.
#   wine-service-check.sh PREFIX SERVICE_EXE
set -u
prefix=$1
exe=$2
here=$(dirname "$0")
work=$(mktemp -d)
name="RDP Kestrove"
key='HKLM\System\CurrentControlSet\Services\RDP Kestrove'
source_key='HKLM\System\CurrentControlSet\Services\EventLog\Application\Mirdal Software - RDP Kestrove'

run() { "$here/wine.sh" run "$prefix" "$@" 2>/dev/null | tr -d '\r'; }
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
        run net stop "$name" >/dev/null 2>&1
        run sc delete "$name" >/dev/null 2>&1
    fi
    exec 3>&-
    rm -rf "$work"
}
state_of_service() {
    run sc query "$name" | sed -n -E 's/^ +STATE +: [0-9]+ +([A-Z_]+).*/\1/p'
}
# Waits up to 30 s for the service to reach a state.
wait_for_state() {
    i=0
    while [ "$(state_of_service)" != "$1" ]; do
        i=$((i + 1))
        [ $i -le 60 ] || fail "service did not reach $1 (is $(state_of_service))"
        sleep 0.5
    done
}

# Wine ends its session, services.exe included, once no program runs; a new
# session would start the automatic-start service again. A console waiting on
# a pipe keeps one session alive throughout.
mkfifo "$work/keeper"
"$here/wine.sh" run "$prefix" cmd <"$work/keeper" >/dev/null 2>&1 &
exec 3>"$work/keeper"
trap finish EXIT

"$here/wine.sh" run "$prefix" "$exe" -install >"$work/install.raw" 2>/dev/null
status=$?
[ $status -eq 255 ] || fail "-install exited with $status"
tr -d '\r' <"$work/install.raw" >"$work/install.out"
printf '\n\n\n\nMirdal Software - RDP Kestrove Service\n\nDescription: Protects your Remote Desktop Server from brute-force logon attacks.\nInitializing... Initializing... \nThe process has completed successfully.Installing service...Success!\nThe process has completed successfully.' >"$work/install.expected"
cmp -s "$work/install.out" "$work/install.expected" || {
    diff "$work/install.expected" "$work/install.out" >&2
    fail "-install printed other lines"
}

windows_path=$("$here/wine.sh" run "$prefix" winepath -w "$exe" 2>/dev/null | tr -d '\r')
run reg query "$key" >"$work/registration"
expect_value "$work/registration" Type 0x10
expect_value "$work/registration" Start 0x2
expect_value "$work/registration" ErrorControl 0x0
expect_value "$work/registration" ImagePath "$windows_path"
expect_value "$work/registration" DisplayName "$name"
expect_value "$work/registration" ObjectName LocalSystem
expect_value "$work/registration" Description "Protects your Remote Desktop Server from brute-force logon attacks."

run net start "$name" >/dev/null
wait_for_state RUNNING
run reg query "$source_key" >"$work/source"
for value in EventMessageFile CategoryMessageFile; do
    expect_value "$work/source" $value "$windows_path"
done
expect_value "$work/source" TypesSupported 0x7
expect_value "$work/source" CategoryCount 0x2

run net stop "$name" >/dev/null
wait_for_state STOPPED

"$here/wine.sh" run "$prefix" "$exe" -uninstall >/dev/null 2>&1
status=$?
[ $status -eq 255 ] || fail "-uninstall exited with $status"
if "$here/wine.sh" run "$prefix" reg query "$key" >/dev/null 2>&1; then fail "the registration is still there"; fi
run sc query "$name" | grep -q "STATE" && fail "the service control manager still knows the service"
passed=yes
echo "service installed, started, stopped and removed"
