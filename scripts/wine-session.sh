# Shell functions of the scripts that drive the programs under Wine: the
# 64-bit Wine, or the 32-bit one when WINEARCH is win32. The caller exports
# WINEPREFIX, then sources this file.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${WINEARCH:-}" = win32 ]; then
    wine=/usr/lib/wine/wine
    wineserver=/usr/lib/wine/wineserver
else
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
fi
service_name="RDP Kestrove"

# A Wine program's output without Wine's messages and carriage returns.
run() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }

service_state() { run sc query "$service_name" | sed -n -E 's/^ +STATE +: [0-9]+ +([A-Z_]+).*/\1/p'; }

# Waits up to 30 s for the service to reach a state; 1 when it does not.
wait_for_state() {
    tries=0
    while [ "$(service_state)" != "$1" ]; do
        tries=$((tries + 1))
        [ "$tries" -le 60 ] || return 1
        sleep 0.5
    done
}

# Wine starts every automatic-start service when a session begins and ends the
# session, services included, when its last program exits. A console reading
# from a pipe in DIR keeps one session alive until session_end.
session_begin() {
    mkfifo "$1/keeper"
    "$wine" cmd <"$1/keeper" >/dev/null 2>&1 &
    exec 3>"$1/keeper"
}
session_end() {
    exec 3>&-
    "$wineserver" -k 2>/dev/null
}
