#!/bin/sh
# test.sh - installs what is missing, builds both platforms and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh all
cmake --preset linux -DBUILD_TESTING=ON >/dev/null
cmake --build --preset linux
ctest --preset linux -j2 --timeout 120
