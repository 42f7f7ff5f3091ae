#!/bin/sh
# arm64.sh - builds the aarch64 program (build/arm64/changewait) and makes
# sure this machine can run it: the kernel hands it to qemu-user through
# binfmt_misc, which is set up here when it is not yet (as root). Where the
# program cannot be built or run here, says why on standard output and ends
# 77.
set -eu
cd "$(dirname "$0")/.."
if ! command -v aarch64-linux-gnu-g++ >/dev/null 2>&1; then
	echo "Debian's aarch64 cross compiler (g++-aarch64-linux-gnu) is not installed"
	exit 77
fi
cmake --preset arm64 >/dev/null
cmake --build --preset arm64 >&2
exe=build/arm64/changewait
runs() { "$exe" --version >/dev/null 2>&1; }
runs && exit 0

conf=/usr/lib/binfmt.d/qemu-aarch64.conf
misc=/proc/sys/fs/binfmt_misc
if [ ! -r $conf ]; then
	echo "qemu-user-static is not installed"
	exit 77
fi
if [ "$(id -u)" -ne 0 ]; then
	echo "qemu-user is not registered with binfmt_misc, which needs root"
	exit 77
fi
# A boot may leave binfmt_misc unmounted; the F flag in the line opens the
# emulator now, so it serves in any root.
[ -e $misc/register ] || mount -t binfmt_misc binfmt_misc $misc 2>/dev/null || true
[ -e $misc/qemu-aarch64 ] || cat $conf >$misc/register 2>/dev/null || true
runs && exit 0
echo "this kernel does not run aarch64 programs through binfmt_misc and qemu-user"
exit 77
