#!/bin/sh
# build.sh - installs what is missing and builds the Linux program
# (build/linux/changewait). With "all", the Windows program as well.
set -eu
cd "$(dirname "$0")/.."
if [ "${1:-}" = all ]; then
	scripts/setup.sh test
	cmake --preset linux >/dev/null
	cmake --build --preset linux
	cmake --preset windows >/dev/null
	cmake --build --preset windows
else
	scripts/setup.sh build
	cmake --preset linux -DBUILD_TESTING=OFF >/dev/null
	cmake --build --preset linux --target changewait
fi
