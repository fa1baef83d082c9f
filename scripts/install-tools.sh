#!/bin/sh
# Installs what the builds and tests need on Debian 12 (as root): compilers,
# GoogleTest, Wine with its 32-bit half and the tools of the Wine sessions,
# then proves that a 32-bit Windows program starts.
# Where the kernel runs no 32-bit code, the 32-bit Wine runs under qemu-user
# (8 or later from bookworm-backports: Debian 12's own takes minutes per Wine
# process), registered here for i386 programs. The registration does not
# survive a reboot; running this again renews it.
set -eu
export DEBIAN_FRONTEND=noninteractive
qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
# The i386 dynamic loader of libc6:i386, which wine32:i386 needs, is itself a
# static program: it runs wherever the kernel runs 32-bit programs.
loader=/lib/ld-linux.so.2
# "VALUE ENTRY" lines, newest first, that undo this run's changes to the i386
# handlers; emptied once 32-bit programs are seen to run.
undo=""

fail() {
    echo "install-tools: $*" >&2
    exit 1
}

# The mirrors of a release as apt read its Release file at the last update:
# chosen by what the archive says of itself, not by how a source names it.
mirrors_of() {
    apt-get indextargets --format '$(REPO_URI)' "Codename: $1" "Origin: $2" "Label: $2"
}

add_backports() {
    [ -z "$(mirrors_of bookworm-backports 'Debian Backports')" ] || return 0
    mirror=$(mirrors_of bookworm Debian | head -n 1)
    [ -n "$mirror" ] || fail "no source of Debian's own bookworm archive in /etc/apt to take the mirror of bookworm-backports from"
    printf '%s\n' 'Types: deb' "URIs: $mirror" 'Suites: bookworm-backports' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >/etc/apt/sources.list.d/bookworm-backports.sources
    apt-get update
}

# False where binfmt_misc cannot be mounted (a container), which matters only
# where qemu has to be registered.
binfmt_mounted() {
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null
}

is_i386_handler() { grep -qs '^magic 7f454c4601.\{26\}0300' "$1"; }
interpreter_of() { sed -n 's/^interpreter //p' "$binfmt/$1"; }
is_enabled() { [ "$(head -n 1 "$binfmt/$1")" = enabled ]; }

# VALUE ENTRY: written to the entry when the handler changes are undone.
keep_undo() {
    undo="$1 $2
$undo"
}

# ENTRY VALUE UNDO VERB: writes VALUE (1 enables, 0 disables) to the entry and
# keeps UNDO to write back; where binfmt_misc cannot be written the entry stays.
change_handler() {
    if echo "$2" 2>/dev/null >"$binfmt/$1"; then
        keep_undo "$3" "$1"
        echo "install-tools: $4 the i386 handler $1 ($(interpreter_of "$1"))"
    else
        echo "install-tools: cannot write $binfmt/$1: the i386 handler $1 stays as it is"
        return 1
    fi
}

undo_handler_changes() {
    printf '%s' "$undo" | while read -r value entry; do
        [ -n "$entry" ] || continue
        echo "$value" 2>/dev/null >"$binfmt/$entry" && echo "install-tools: the i386 handler $entry is back as it was" ||
            echo "install-tools: cannot restore the i386 handler $entry" >&2
    done
    undo=""
}

# Other handlers of i386 programs are disabled, such as an old qemu-i386-static
# registered with F, which keeps answering after its package is replaced; an
# entry of ours that was disabled is enabled again. Sets own when one of ours
# is enabled.
settle_i386_handlers() {
    for path in "$binfmt"/*; do
        is_i386_handler "$path" || continue
        entry=${path##*/}
        if [ "$(interpreter_of "$entry")" = "$qemu" ]; then
            if is_enabled "$entry" || change_handler "$entry" 1 0 enabling; then own=yes; fi
        elif is_enabled "$entry"; then
            change_handler "$entry" 0 1 disabling || :
        fi
    done
}

# Asked with no i386 handler enabled, the kernel alone answers; where it
# cannot, exec fails (the shell does not read a binary as a script instead).
kernel_runs_i386() {
    "$loader" --version >/dev/null 2>&1
}

# i386 ELF executables and shared objects go to qemu; F opens qemu now, so
# the entry works in any mount namespace. A disabled entry of another keeps
# its name, so ours takes another.
register_qemu() {
    binfmt_mounted || fail "cannot mount $binfmt to register $qemu"
    name='qemu-i386'
    [ ! -e "$binfmt/$name" ] || name=kestrove-qemu-i386
    printf '%s' ":$name:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
        2>/dev/null >"$binfmt/register" || fail "the kernel refused the registration of $qemu"
    keep_undo -1 "$name"
    echo "install-tools: the kernel runs no 32-bit programs; $qemu runs them (i386 handler $name)"
}

# A 32-bit prefix of its own for the check, removed again at the end with the
# folder Wine keeps its server's folder in (under TMPDIR). From here on the
# end of the script, by failure or signal, also undoes the handler changes.
begin_check() {
    check_dir=$(mktemp -d) || fail "cannot make a temporary folder"
    export TMPDIR="$check_dir" WINEPREFIX="$check_dir/prefix" WINEARCH=win32
    . "$(dirname "$0")/wine-session.sh"
    on_exit 'session_finish "$check_dir"; undo_handler_changes'
}

check_wine32() {
    status=0
    timeout 300 "$wine" cmd /c exit >"$check_dir/cmd.out" 2>&1 || status=$?
    case $status in
    0) ;;
    124) fail "the 32-bit Wine did not run cmd within 300 s" ;;
    *) fail "the 32-bit Wine failed to run cmd (exit status $status)$(tr -d '\r' <"$check_dir/cmd.out" | sed -n '$s/^/: /p')" ;;
    esac
    echo "install-tools: $("$wine" --version), 32-bit Windows programs run"
}

[ "$(id -u)" -eq 0 ] || fail "run as root"
dpkg --add-architecture i386
apt-get update
add_backports
apt-get install -y cmake g++ googletest libbenchmark-dev clang libclang-rt-14-dev g++-mingw-w64-i686 \
    g++-mingw-w64-x86-64 mingw-w64-tools wine64 wine32:i386 xvfb xdotool imagemagick file
apt-get install -y --no-install-recommends -t bookworm-backports qemu-user
begin_check
own=no
if binfmt_mounted; then settle_i386_handlers; fi
[ "$own" = yes ] || kernel_runs_i386 || register_qemu
check_wine32
undo=""
