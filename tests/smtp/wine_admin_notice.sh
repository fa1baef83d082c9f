#!/bin/sh
# Runs the admin-notice test program under Wine against the host build's SMTP
# peer, which checks the bytes it receives.
#   wine_admin_notice.sh PEER ADDRESS WINE_SCRIPT WINEPREFIX TEST_PROGRAM
peer=$1
address=$2
wine_script=$3
prefix=$4
program=$5
if [ ! -x "$peer" ]; then
    echo "The SMTP peer $peer is missing: build the host preset first (scripts/test-all.sh does)." >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$peer" "$address" "$work/ready" &
peer_pid=$!
tries=0
while [ ! -e "$work/ready" ]; do
    if ! kill -0 "$peer_pid" 2>/dev/null || [ "$tries" -ge 100 ]; then
        kill "$peer_pid" 2>/dev/null
        echo "The SMTP peer did not start listening on $address:25." >&2
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.1
done

"$wine_script" run "$prefix" "$program"
test_status=$?
# The peer ends once the client has closed the connection (or after its own limit).
wait "$peer_pid"
peer_status=$?
[ "$test_status" -eq 0 ] && [ "$peer_status" -eq 0 ]
