#!/bin/sh
# test.sh - installs what is missing, builds both platforms and runs every
# test: the Linux program, the Windows program under Wine, static analysis,
# the Linux suite against the statically linked program, the process tests
# against the aarch64 program under qemu-user, and the whole Linux suite
# again under the sanitizers with the fuzzers.
# Ends with a summary of what ran and what was skipped, and why.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh all
cmake --preset linux -DBUILD_TESTING=ON >/dev/null
cmake --build --preset linux
scripts/analyze.sh
scripts/wine-prefix.sh
# The aarch64 program, and this machine made able to run it, before the
# package test runs it too.
rc=0
why=$(scripts/arm64.sh) || rc=$?
# Leave no wine server running once the tests are over.
trap 'WINEPREFIX="$PWD/build/wineprefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
# Both suites run whatever the first gives; the summary and the status come
# after both.
failed=""
report=$PWD/build/ctest
mkdir -p "$report"
ctest --preset linux -j2 --timeout 900 --no-tests=error --output-junit "$report/release.xml" ||
	failed="$failed release"
# The same program linked statically, with the Linux suite against it.
cmake --preset static >/dev/null
cmake --build --preset static
ctest --preset static -j2 --timeout 900 --no-tests=error --output-junit "$report/static.xml" ||
	failed="$failed static"
# The process tests against the aarch64 program under qemu-user.
if [ $rc -eq 0 ]; then
	cmake --preset emulated >/dev/null
	cmake --build --preset emulated
	ctest --preset emulated -j2 --timeout 900 --no-tests=error --output-junit "$report/emulated.xml" ||
		failed="$failed emulated"
elif [ $rc -eq 77 ]; then
	rm -f "$report/emulated.xml"
	echo "the process tests against the aarch64 program: skipped, $why" >>build/setup-skipped
else
	failed="$failed arm64"
fi
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize -j2 --timeout 900 --no-tests=error --output-junit "$report/sanitized.xml" ||
	failed="$failed sanitized"
scripts/summary.sh "$report/release.xml" "$report/sanitized.xml" "$report/static.xml" "$report/emulated.xml" ||
	failed="$failed summary"
if [ -n "$failed" ]; then
	echo "test.sh: FAILED:$failed"
	exit 1
fi
echo "test.sh: passed"
