#!/bin/sh
# build.sh - installs what is missing and builds the Linux program
# (build/linux/changewait). With "all": the Windows program as well
# (build/windows, 32-bit) and its x86-64 twin for 64-bit Wine (build/wine).
set -eu
cd "$(dirname "$0")/.."
if [ "${1:-}" = all ]; then
	scripts/setup.sh test
	for preset in linux windows wine; do
		cmake --preset $preset >/dev/null
		cmake --build --preset $preset
	done
else
	scripts/setup.sh build
	cmake --preset linux -DBUILD_TESTING=OFF >/dev/null
	cmake --build --preset linux --target changewait
fi
