#!/bin/sh
# package-test.sh - builds the .deb (and the Windows .zip where that build
# exists), installs the .deb into a temporary root, runs the installed
# program once, renders its manual page with warnings as failures, runs the
# README's examples, and has lintian look at the .deb.
# Usage: package-test.sh SOURCE_DIR LINUX_BUILD_DIR
set -u
src=$1 build=$2
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
pid=""
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null || fail "cpack (deb)"
deb=$(ls "$work"/pkg/changewait_*.deb) || fail "no .deb"
dpkg-deb -f "$deb" Section | grep -qx utils || fail "section is not utils"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "dependencies were not computed"
dpkg -x "$deb" "$work/root" || fail "dpkg -x"
prog=$work/root/usr/bin/changewait
[ -x "$prog" ] || fail "the package has no usr/bin/changewait"

# The installed program, once, on a file. Writing until it ends is valid
# whenever it arms its watch: each write leaves a new stamp with data.
"$prog" "$work/out.txt" &
pid=$!
i=0
while kill -0 $pid 2>/dev/null && [ $i -lt 200 ]; do
	echo "data $i" >"$work/out.txt"; sleep 0.05; i=$((i + 1))
done
wait $pid || fail "the installed program ended with $?"
pid=""
echo "ok: the installed program ended on a write"

copyright=$work/root/usr/share/doc/changewait/copyright
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
	fail "the copyright file is not in the machine-readable format"
grep -qx 'License: MIT' "$copyright" || fail "the copyright file does not name MIT"
echo "ok: the .deb's copyright file names MIT"

page=$work/root/usr/share/man/man1/changewait.1.gz
[ -f "$page" ] || fail "no manual page"
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man -l warns: $warnings"
MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q "EXIT STATUS" || fail "the manual page does not render"
echo "ok: man -l renders the page without warnings"

# The README's shell examples as they stand, each also shipped in examples/.
mkdir "$work/blocks"
blocks=$("$src/tests/package/readme-blocks.sh" "$src/README.md" sh "$work/blocks")
[ -n "$blocks" ] || fail "the README shows no shell example"
for f in "$src"/examples/*.sh; do
	found=""
	for b in $blocks; do cmp -s "$f" "$b" && found=1; done
	[ -n "$found" ] || fail "$(basename "$f") is not shown in the README as it stands"
done
for b in $blocks; do
	for run in 1 2 3; do
		out=$(PATH="$work/root/usr/bin:$PATH" timeout 60 sh "$b") || fail "the README's example $(basename "$b") ended with $?"
		[ "$out" = "42 results" ] || fail "the README's example $(basename "$b") printed '$out'"
	done
done
echo "ok: the README's shell examples run as written"

if [ -f "$src/build/windows/CPackConfig.cmake" ]; then
	cpack --config "$src/build/windows/CPackConfig.cmake" -B "$work/zip" >/dev/null || fail "cpack (zip)"
	list=$(unzip -Z1 "$work"/zip/changewait-*-win32.zip | sort | tr '\n' ' ')
	[ "$list" = "LICENSE.txt README.txt changewait.exe " ] || fail "the zip holds: $list"
	unzip -q -d "$work/unzipped" "$work"/zip/changewait-*-win32.zip || fail "unzip"
	head -n 1 "$work/unzipped/LICENSE.txt" | grep -q '^MIT License'"$(printf '\r')"'$' ||
		fail "LICENSE.txt is not the MIT licence with CRLF line ends"
	strings -el "$work/unzipped/changewait.exe" | grep -q 'MIT License' ||
		fail "the version resource names no licence"
	echo "ok: the Windows zip holds changewait.exe, README.txt and the MIT licence as LICENSE.txt"
fi

if command -v lintian >/dev/null 2>&1; then
	report=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null)
	errors=$(echo "$report" | grep -E '^E:|^W: .*copyright')
	[ -z "$errors" ] || fail "lintian: $errors"
	echo "ok: lintian reports no errors and no copyright warnings"
else
	echo "note: lintian is not installed; not run"
fi
