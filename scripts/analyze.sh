#!/bin/sh
# analyze.sh - clang-tidy (.clang-tidy) and cppcheck over the program's own
# code; fails on any finding. Needs build/linux/compile_commands.json.
set -eu
cd "$(dirname "$0")/.."
sources="tokens/*.cpp watcher/*.cpp platform/posix/*.cpp"
# shellcheck disable=SC2086
if ! out=$(clang-tidy -p build/linux --quiet $sources 2>&1); then
	echo "$out" | grep -v 'warnings generated'
	exit 1
fi
cppcheck --quiet --enable=warning,performance,portability --error-exitcode=1 --inline-suppr \
	--std=c++17 -Itokens -Iwatcher -Iplatform/posix tokens watcher platform/posix
echo "analyze.sh: clang-tidy and cppcheck found nothing"
