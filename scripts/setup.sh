#!/bin/sh
# setup.sh - installs from Debian's archive what the build and tests need,
# only what is missing. Usage: scripts/setup.sh [build|package|test|bench]
set -eu
want=${1:-test}

packages="cmake ninja-build g++ make"
if [ "$want" = package ] || [ "$want" = test ]; then
	# The Windows program; dpkg-shlibdeps and file for the .deb's dependencies.
	packages="$packages g++-mingw-w64-i686 dpkg-dev file"
fi
if [ "$want" = test ]; then
	# The Windows program (32-bit, and x86-64 for 64-bit Wine), Wine with its
	# 32-bit part, and a display for the message box.
	packages="$packages libgtest-dev libgmock-dev
		g++-mingw-w64-x86-64
		wine wine64 wine32:i386 xvfb xdotool x11-apps imagemagick
		clang libclang-rt-14-dev clang-tidy cppcheck inotify-tools util-linux
		lintian man-db groff-base unzip"
fi
if [ "$want" = bench ]; then
	# The inotifywait loop it is measured against, and the CDF picture.
	packages="$packages inotify-tools gnuplot-nox"
fi

missing=""
for p in $packages; do
	dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
	if command -v sudo >/dev/null 2>&1; then
		exec sudo "$0" "$@"
	fi
	echo "setup.sh: missing packages:$missing; run as root to install them" >&2
	exit 1
fi
echo "setup.sh: installing$missing"
export DEBIAN_FRONTEND=noninteractive
case "$missing" in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
