#!/bin/sh
# package.sh - installs what is missing and makes both packages in
# build/packages: the Debian package of the Linux program and the zip of the
# 32-bit Windows program.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh package
cmake --preset linux -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset linux
cmake --preset windows >/dev/null
cmake --build --preset windows
mkdir -p build/packages
cpack --config build/linux/CPackConfig.cmake -B build/packages >/dev/null
cpack --config build/windows/CPackConfig.cmake -B build/packages >/dev/null
rm -rf build/packages/_CPack_Packages
ls -1 build/packages/changewait*
