#!/bin/sh
# package.sh - installs what is missing and makes both packages in
# build/packages: the Debian package of the Linux program and the zip of the
# 32-bit Windows program. Each needs only its own tools: a package whose
# tools cannot be installed is left out with a line that says so, the other
# is still made, and the script then ends 1.
set -eu
cd "$(dirname "$0")/.."
mkdir -p build/packages
missing=""
if scripts/setup.sh deb; then
	cmake --preset linux -DBUILD_TESTING=OFF >/dev/null
	cmake --build --preset linux
	cpack --config build/linux/CPackConfig.cmake -B build/packages >/dev/null
else
	missing="$missing .deb"
fi
if scripts/setup.sh zip; then
	cmake --preset windows >/dev/null
	cmake --build --preset windows
	cpack --config build/windows/CPackConfig.cmake -B build/packages >/dev/null
else
	missing="$missing zip"
fi
rm -rf build/packages/_CPack_Packages
ls -1 build/packages/changewait* 2>/dev/null || true
if [ -n "$missing" ]; then
	echo "package.sh: not made, for want of its tools:$missing" >&2
	exit 1
fi
