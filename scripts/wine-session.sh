# Shell functions of the scripts that drive the programs under Wine: the
# 64-bit Wine, or the 32-bit one when WINEARCH is win32. The caller exports
# WINEPREFIX (made absolute here, and refused when it is no place for a
# prefix) and defines fail, then sources this file.

# Every script that sources this file lives in the checkout's scripts/.
checkout=$(cd "$(dirname "$0")/.." && pwd -P)

refuse() {
    echo "$(basename "$0"): $*" >&2
    exit 2
}

# A prefix is ready once wineboot has succeeded in it, which the marker records;
# one that wineboot made elsewhere holds its system.reg.
prefix_ready() { [ -f "$WINEPREFIX/.kestrove-booted" ]; }
is_prefix() { prefix_ready || [ -f "$WINEPREFIX/system.reg" ]; }

# A prefix gets removed for a fresh one and booted into, so it must be no
# folder of the user's: not empty, /, the home folder, the checkout or a folder
# above it, and, where it exists, an empty folder or a Wine prefix.
guard_prefix() {
    [ -n "$WINEPREFIX" ] || refuse "refusing an empty Wine prefix: name a folder of its own"
    WINEPREFIX=$(realpath -m -- "$WINEPREFIX")
    [ "$WINEPREFIX" != / ] || refuse "refusing the Wine prefix /: it is the root folder"
    [ "$WINEPREFIX" != "$(realpath -m -- "${HOME:-/}")" ] || refuse "refusing the Wine prefix $WINEPREFIX: it is the home folder"
    case $checkout/ in
    "$WINEPREFIX"/*) refuse "refusing the Wine prefix $WINEPREFIX: it holds the checkout $checkout" ;;
    esac
    [ -e "$WINEPREFIX" ] || return 0
    [ -d "$WINEPREFIX" ] || refuse "refusing the Wine prefix $WINEPREFIX: it is no folder"
    is_prefix || [ -z "$(ls -A "$WINEPREFIX")" ] ||
        refuse "refusing the Wine prefix $WINEPREFIX: it holds files but neither system.reg nor .kestrove-booted, so it is no Wine prefix"
}
guard_prefix
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
service_key='HKLM\System\CurrentControlSet\Services\RDP Kestrove'

# Runs FUNCTION when the script ends, also by INT, TERM or HUP (dash runs no
# EXIT trap on a signal); FUNCTION runs to its end, whatever fails in it.
on_exit() {
    trap "set +e; trap '' INT TERM HUP; $1" EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
}

# For a fresh prefix: guard_prefix let only an empty folder or a prefix through.
remove_prefix() {
    [ -e "$WINEPREFIX" ] || return 0
    "$wineserver" -k 2>/dev/null || :
    rm -rf -- "$WINEPREFIX"
}
boot_prefix() {
    mkdir -p "$WINEPREFIX" && "$wine" wineboot --init && "$wineserver" -w && : >"$WINEPREFIX/.kestrove-booted"
}

# A Wine program's output without Wine's messages and carriage returns, and
# its exit status, which fd 5 carries past the pipe.
run() {
    { code=$({ { "$wine" "$@" 2>/dev/null 5>&- 6>&-; echo $? >&5; } | tr -d '\r' >&6; } 5>&1); } 6>&1
    return "$code"
}

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

# The value's data as "reg query" shows it: the text after its name and type.
value_of() {
    grep -E "^ +$2 +REG_" "$1" | sed -E "s/^ +$2 +REG_[A-Z_]+ +//"
}
expect_value() {
    actual=$(value_of "$1" "$2")
    [ "$actual" = "$3" ] || fail "$2 is '$actual', expected '$3'"
}

# EXE -install, leaving its lines in DIR/install.out: those of a successful install.
# From here on session_finish removes the service unless check_uninstall did.
check_install() {
    installed=yes
    run "$1" -install >"$2/install.out"
    status=$?
    [ $status -eq 255 ] || fail "-install exited with $status"
    printf '\n\n\n\nMirdal Software - RDP Kestrove Service\n\nDescription: Protects your Remote Desktop Server from brute-force logon attacks.\nInitializing... Initializing... \nThe process has completed successfully.Installing service...Success!\nThe process has completed successfully.' >"$2/install.expected"
    cmp -s "$2/install.out" "$2/install.expected" || {
        diff "$2/install.expected" "$2/install.out" >&2
        fail "-install printed other lines"
    }
}

# The service's key as -install writes it for the program at WINDOWS_PATH,
# left in DIR/registration.
check_registration() {
    run reg query "$service_key" >"$2/registration"
    expect_value "$2/registration" Type 0x10
    expect_value "$2/registration" Start 0x2
    expect_value "$2/registration" ErrorControl 0x0
    expect_value "$2/registration" ImagePath "$1"
    expect_value "$2/registration" DisplayName "$service_name"
    expect_value "$2/registration" ObjectName LocalSystem
    expect_value "$2/registration" Description "Protects your Remote Desktop Server from brute-force logon attacks."
}

# EXE -uninstall of a stopped service: its lines, then its key and the service gone.
check_uninstall() {
    run "$1" -uninstall
    status=$?
    [ $status -eq 255 ] || fail "-uninstall exited with $status"
    if run reg query "$service_key" >/dev/null; then fail "the registration is still there"; fi
    if run sc query "$service_name" | grep -q STATE; then fail "the service control manager still knows the service"; fi
    installed=no
}

# Wine starts every automatic-start service when a session begins and ends the
# session, services included, when its last program exits. A console reading
# from a pipe in DIR keeps one session alive until session_end, which ends
# every program of the prefix.
session_begin() {
    mkfifo "$1/keeper"
    "$wine" cmd <"$1/keeper" >/dev/null 2>&1 &
    exec 3>"$1/keeper"
}
session_end() {
    exec 3>&-
    "$wineserver" -k 2>/dev/null
    "$wineserver" -w
}

# The end of a script whose Wine work lives in DIR: a service it installed and
# did not remove is stopped and deleted, the session of a prefix that came to
# be ends and DIR goes.
session_finish() {
    if [ "${installed:-no}" = yes ]; then
        run net stop "$service_name" >/dev/null
        run sc delete "$service_name" >/dev/null
    fi
    [ ! -d "$WINEPREFIX" ] || session_end
    [ -z "$1" ] || rm -rf -- "$1"
}
