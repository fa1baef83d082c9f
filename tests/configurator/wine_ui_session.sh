#!/bin/sh
# A user's session with the configurator under Wine and Xvfb, driven by
# xdotool: a new threshold, the SMTP settings, Apply, a test message through
# the SMTP peer, OK. Screenshots of both tabs and the test dialog stay in OUT_DIR.
#   wine_ui_session.sh WINE_SCRIPT WINEPREFIX PROGRAM PEER OUT_DIR
set -u
if [ -z "${KESTROVE_UNDER_XVFB:-}" ]; then
    export KESTROVE_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
wine_script=$1
prefix=$2
program=$3
peer=$4
out=$5
address=127.0.4.2  # in 127.0.0.0/16, which no host test process takes (tests/support/loopback.h)
export WINEPREFIX="$prefix" WINEDEBUG=-all

work=$(mktemp -d)
peer_pid=
config_pid=
cleanup() {
    [ -n "$config_pid" ] && kill "$config_pid" 2>/dev/null
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null
    "$wine_script" stop "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
reg() { "$wine_script" run "$prefix" reg "$@"; }
shot() { import -window root "$out/$1.png" || fail "screenshot $1"; }
# The id of the visible top-level window with exactly that title, within 30 s.
wait_window() {
    tries=0
    while [ "$tries" -lt 150 ]; do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        tries=$((tries + 1))
        sleep 0.2
    done
    return 1
}
# A box whose owner is hidden gets no input focus of its own.
press_return() {
    sleep 0.3
    xdotool windowfocus --sync "$1"
    xdotool key Return
}
wait_gone() {
    tries=0
    while xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -ge 150 ] && return 1
        sleep 0.2
    done
}

[ -x "$peer" ] || fail "the SMTP peer $peer is missing: build the host preset first (scripts/test-all.sh does)"
mkdir -p "$out"
rm -f "$out"/*.png

# Wine processes started without this display must not serve the session.
"$wine_script" stop "$prefix"
reg delete 'HKLM\Software\Mirdal Software' /f >/dev/null 2>&1
reg add 'HKLM\Software\Mirdal Software\RDP Kestrove' /f >/dev/null || fail "reg add"
reg add 'HKLM\Software\Mirdal Software\RDP Kestrove\SMTP' /f >/dev/null || fail "reg add SMTP"

"$peer" "$address" "$work/ready" "$work/received" &
peer_pid=$!
tries=0
until [ -e "$work/ready" ]; do
    kill -0 "$peer_pid" 2>/dev/null && [ "$tries" -lt 100 ] || fail "the SMTP peer did not listen on $address:25"
    tries=$((tries + 1))
    sleep 0.1
done

"$wine_script" run "$prefix" "$program" >"$work/program.out" 2>&1 &
config_pid=$!

sheet=$(wait_window "Mirdal Software - RDP Kestrove Configurator") || fail "no settings sheet"
sleep 1
shot sheet-general
# The focus starts on the check box; Tab reaches the count with its text selected.
xdotool key Tab
xdotool type 7
# Positions in the sheet: the "SMTP Settings" tab, Test, OK.
xdotool mousemove --window "$sheet" 101 15 click 1
sleep 0.5
xdotool key Tab
xdotool type "$address"
xdotool key Tab
xdotool type kestrove@example.org
xdotool key Tab
xdotool type admin@example.org
sleep 0.3
shot sheet-smtp
xdotool key alt+a
sleep 0.5
xdotool mousemove --window "$sheet" 222 255 click 1
wait_window "SMTP Test Message" >/dev/null || fail "no test dialog"
sleep 0.5
xdotool type recipient@example.org
sleep 0.3
shot smtp-test-dialog
xdotool key Return
box=$(wait_window "E-mail Information") || fail "no E-mail Information box"
press_return "$box"
wait_gone "SMTP Test Message" || fail "the test dialog stayed open"
sleep 0.3
xdotool mousemove --window "$sheet" 305 497 click 1
notice=$(wait_window "Mirdal RDP Kestrove Configurator") || fail "no restart notice"
press_return "$notice"
wait "$config_pid"
status=$?
config_pid=
[ "$status" -eq 255 ] || fail "exit code $status, not -1"

reg query 'HKLM\Software\Mirdal Software\RDP Kestrove' /s | tr -d '\r' >"$work/values" || fail "reg query"
cat "$work/values"
expect_value() {
    grep -qE "^ +$1 +REG_SZ +$2\$" "$work/values" || fail "value $1 is not \"$2\""
}
expect_value AuthenticationFailsBeforeBlock 7
expect_value AttemptCountResetTimeout 10
expect_value EmailNotifyOnBlock 1
expect_value "Server Address" "$address"
expect_value EmailFrom kestrove@example.org
expect_value AdminEmailAddress admin@example.org

wait "$peer_pid"
peer_status=$?
peer_pid=
[ "$peer_status" -eq 0 ] || fail "the SMTP peer saw no finished dialogue"
for line in "MAIL FROM: <kestrove@example.org>" "RCPT TO: <recipient@example.org>" \
    "Subject: Mirdal RDP Kestrove Notification Test"; do
    grep -qF "$line" "$work/received" || fail "the peer did not receive \"$line\""
done
echo "The session saved the six values and the peer received the test message."
