#!/bin/sh
# package.sh - installs what is missing and makes the packages in
# build/packages: for x86-64 and aarch64 each, the .deb, the .rpm and a
# tarball of the statically linked program with its manual page and
# licence; the zip of the 32-bit Windows program; and SHA256SUMS over them.
# Each needs only its own tools: a package whose tools cannot be installed
# is left out with a line that says so, the others are still made, and the
# script then ends 1.
set -eu
cd "$(dirname "$0")/.."
rm -rf build/packages
mkdir -p build/packages
missing=""
# Builds a preset's program alone and packs it with the generators given.
pack() { # preset, generators
	cmake --preset "$1" -DBUILD_TESTING=OFF >/dev/null
	cmake --build --preset "$1"
	cpack --config "build/$1/CPackConfig.cmake" -G "$2" -B build/packages >/dev/null
}
if scripts/setup.sh deb; then
	linux="DEB;TGZ"
	if scripts/setup.sh rpm; then
		linux="$linux;RPM"
	else
		missing="$missing .rpm"
	fi
	pack static "$linux"
	if scripts/setup.sh arm64; then
		pack arm64 "$linux"
	else
		missing="$missing aarch64"
	fi
else
	missing="$missing Linux"
fi
if scripts/setup.sh zip; then
	pack windows ZIP
else
	missing="$missing zip"
fi
rm -rf build/packages/_CPack_Packages
(cd build/packages && sha256sum changewait* >SHA256SUMS 2>/dev/null) || true
ls -1 build/packages/changewait* build/packages/SHA256SUMS 2>/dev/null || true
if [ -n "$missing" ]; then
	echo "package.sh: not made, for want of its tools:$missing" >&2
	exit 1
fi
