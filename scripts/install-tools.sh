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

fail() {
    echo "install-tools: $*" >&2
    exit 1
}

# The mirrors of a suite as apt reads the machine's sources: commented-out
# and disabled entries do not count.
mirrors_of() {
    apt-get indextargets --no-release-info --format '$(REPO_URI)' "Release: $1"
}

add_backports() {
    [ -n "$(mirrors_of bookworm-backports)" ] && return
    mirror=$(mirrors_of bookworm | head -n 1)
    [ -n "$mirror" ] || fail "no bookworm source in /etc/apt to take the mirror from"
    printf '%s\n' 'Types: deb' "URIs: $mirror" 'Suites: bookworm-backports' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >/etc/apt/sources.list.d/bookworm-backports.sources
}

# False where binfmt_misc cannot be mounted (a container), which matters only
# where qemu has to be registered.
binfmt_mounted() {
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null
}

# Any other handler of i386 programs goes, such as an old qemu-i386-static
# registered with F, which keeps answering after its package is replaced.
remove_other_i386_handlers() {
    for entry in "$binfmt"/*; do
        grep -qs '^magic 7f454c4601.\{26\}0300' "$entry" || continue
        grep -qx "interpreter $qemu" "$entry" && continue
        echo "install-tools: removing the i386 handler $(basename "$entry") ($(sed -n 's/^interpreter //p' "$entry"))"
        echo -1 >"$entry" || fail "cannot remove $entry"
    done
}

# Asked with no i386 handler registered, the kernel alone answers; where it
# cannot, exec fails (the shell does not read a binary as a script instead).
kernel_runs_i386() {
    "$loader" --version >/dev/null 2>&1
}

# i386 ELF executables and shared objects go to qemu; F opens qemu now, so
# the entry works in any mount namespace.
register_qemu() {
    binfmt_mounted || fail "cannot mount $binfmt"
    printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
        >"$binfmt/register" || fail "the kernel refused the qemu-i386 registration"
    echo "install-tools: the kernel runs no 32-bit programs; $qemu runs them"
}

# cmd in a 32-bit prefix of its own, removed again with the folder Wine keeps
# its server's socket in (under TMPDIR).
check_wine32() {
    check_dir=$(mktemp -d)
    export TMPDIR="$check_dir" WINEPREFIX="$check_dir/prefix" WINEARCH=win32
    . "$(dirname "$0")/wine-session.sh"
    on_exit "session_finish $check_dir"
    timeout 300 "$wine" cmd /c exit >/dev/null 2>&1 || fail "the 32-bit Wine did not run cmd within 300 s"
    echo "install-tools: $("$wine" --version), 32-bit Windows programs run"
}

dpkg --add-architecture i386
add_backports
apt-get update
apt-get install -y cmake g++ googletest libbenchmark-dev clang libclang-rt-14-dev g++-mingw-w64-i686 \
    g++-mingw-w64-x86-64 mingw-w64-tools wine64 wine32:i386 xvfb xdotool imagemagick file
apt-get install -y --no-install-recommends -t bookworm-backports qemu-user
if binfmt_mounted; then remove_other_i386_handlers; fi
# An entry of ours was made in this boot because the kernel needed it; with
# none, no i386 handler is left to stand between the kernel and the question.
[ -e "$binfmt/qemu-i386" ] || kernel_runs_i386 || register_qemu
check_wine32
