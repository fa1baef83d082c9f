#!/bin/sh
# Installs what the builds and tests need on Debian 12 (as root): compilers,
# GoogleTest, Wine with its 32-bit half and the tools of the Wine sessions.
# Where the kernel runs no 32-bit code, the 32-bit Wine runs under qemu-user
# (8 or later from bookworm-backports: Debian 12's own takes minutes per Wine
# process), registered here for i386 programs. The registration does not
# survive a reboot; running this again renews it.
set -eu
export DEBIAN_FRONTEND=noninteractive
qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc

fail() {
    echo "install-tools: $*" >&2
    exit 1
}

add_backports() {
    grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/ && return
    printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >/etc/apt/sources.list.d/bookworm-backports.sources
}

# i386 ELF executables and shared objects go to qemu; F opens qemu now, so
# the entry works in any mount namespace.
register_qemu() {
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || fail "cannot mount $binfmt"
    if [ -e "$binfmt/qemu-i386" ] && ! grep -qx "interpreter $qemu" "$binfmt/qemu-i386"; then
        echo -1 >"$binfmt/qemu-i386" || fail "cannot remove the other qemu-i386 entry"
    fi
    [ -e "$binfmt/qemu-i386" ] ||
        printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
            >"$binfmt/register" || fail "the kernel refused the qemu-i386 registration"
    echo 1 >"$binfmt/qemu-i386"
}

dpkg --add-architecture i386
add_backports
apt-get update
apt-get install -y cmake g++ googletest libbenchmark-dev clang libclang-rt-14-dev g++-mingw-w64-i686 \
    g++-mingw-w64-x86-64 mingw-w64-tools wine64 wine32:i386 xvfb xdotool imagemagick file
apt-get install -y --no-install-recommends -t bookworm-backports qemu-user
/usr/lib/wine/wine --version >/dev/null 2>&1 || register_qemu
/usr/lib/wine/wine --version >/dev/null 2>&1 || fail "the 32-bit Wine does not run"
echo "install-tools: $(/usr/lib/wine/wine --version), 32-bit programs run"
