#!/bin/sh
# test.sh - installs what is missing, builds both platforms and runs every
# test: the Linux program, the Windows program under Wine, static analysis,
# and the whole Linux suite again under the sanitizers with the fuzzers.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh all
cmake --preset linux -DBUILD_TESTING=ON >/dev/null
cmake --build --preset linux
scripts/analyze.sh
scripts/wine-prefix.sh
# Leave no wine server running once the tests are over.
trap 'WINEPREFIX="$PWD/build/wineprefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
ctest --preset linux -j2 --timeout 900
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize -j2 --timeout 900
