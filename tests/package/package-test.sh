#!/bin/sh
# package-test.sh - on a fresh clone of what is committed, runs the
# README's package command and its from-source build; installs the .deb into
# a temporary root, runs the installed program once, renders its manual page
# with warnings as failures, runs the README's examples, looks into the
# Windows zip, and has lintian look at the .deb.
# Usage: package-test.sh SOURCE_DIR
set -u
src=$1
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
pid=""
fail() { echo "FAIL: $*"; exit 1; }

git clone -q "$src" "$work/clone" || fail "git clone"
(cd "$work/clone" && scripts/package.sh) >"$work/package.log" 2>&1 || { cat "$work/package.log"; fail "scripts/package.sh"; }
deb=$(ls "$work"/clone/build/packages/changewait_*.deb) || fail "no .deb"
zip=$(ls "$work"/clone/build/packages/changewait-*-win32.zip) || fail "no zip"
echo "ok: scripts/package.sh made $(basename "$deb") and $(basename "$zip") on a fresh clone"

# From source, as the README says: no test framework needed. Asking for the
# tests without GoogleTest stops configuration with a message.
(cd "$work/clone" && cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null &&
	cmake --build build/release >/dev/null && cmake --install build/release --prefix "$work/usr" >/dev/null) ||
	fail "the README's from-source build"
[ -x "$work/usr/bin/changewait" ] && [ -f "$work/usr/share/man/man1/changewait.1.gz" ] ||
	fail "the from-source install lacks the program or its manual page"
[ ! -d "$work/clone/build/release/tests" ] || fail "the from-source build built the tests"
msg=$(cd "$work/clone" && cmake -S . -B build/notest -DBUILD_TESTING=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON 2>&1) &&
	fail "tests were asked for without GoogleTest and configuration went on"
echo "$msg" | tr '\n' ' ' | grep -q "The tests need GoogleTest" || fail "no word of GoogleTest: $msg"
echo "ok: from source with a compiler and CMake alone; tests without GoogleTest stop with a message"
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
grep -q '@' "$src/doc/changewait.1" && fail "the manual page in the source tree holds a placeholder"
version=$(dpkg-deb -f "$deb" Version)
zcat "$page" | head -n 1 | grep -q "\"changewait $version\"" || fail "the installed page is not of version $version"
echo "ok: man -l renders the page without warnings, in the source tree too"

# The README's shell examples as they stand, each also shipped in examples/;
# each leaves nothing behind in the temporary directory. Those that start
# the producer once the waiter has let go of its output run 200 rounds with
# a producer that writes at once: none may hang.
mkdir "$work/blocks"
blocks=""
for lang in sh bash; do
	found=$("$src/tests/package/readme-blocks.sh" "$src/README.md" $lang "$work/blocks")
	[ -n "$found" ] || fail "the README shows no $lang example"
	blocks="$blocks $found"
	for f in "$src"/examples/*.$lang; do
		same=""
		for b in $found; do cmp -s "$f" "$b" && same=1; done
		[ -n "$same" ] || fail "$(basename "$f") is not shown in the README as it stands"
	done
done
for b in $blocks; do
	rounds=3
	grep -q 'returns once changewait watches' "$b" && rounds=200
	for run in $(seq $rounds); do
		mkdir "$work/tmp"
		out=$(TMPDIR="$work/tmp" PATH="$work/root/usr/bin:$PATH" timeout 60 "${b##*.}" "$b") ||
			fail "the README's example $(basename "$b") ended with $? in round $run"
		[ "$out" = "42 results" ] || fail "the README's example $(basename "$b") printed '$out'"
		rmdir "$work/tmp" || fail "the README's example $(basename "$b") left $(ls -A "$work/tmp")"
	done
done
echo "ok: the README's shell examples run as written"

top=$(basename "$zip" .zip)
list=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
[ "$list" = "$top/LICENSE.txt $top/README.txt $top/changewait.exe $top/wait-for-output.bat " ] ||
	fail "the zip holds: $list"
unzip -q -d "$work/unzip" "$zip" || fail "unzip"
mv "$work/unzip/$top" "$work/unzipped"
head -n 1 "$work/unzipped/LICENSE.txt" | grep -q '^MIT License'"$(printf '\r')"'$' ||
	fail "LICENSE.txt is not the MIT licence with CRLF line ends"
[ "$(grep -c "$(printf '\r')\$" "$work/unzipped/wait-for-output.bat")" -eq "$(wc -l <"$work/unzipped/wait-for-output.bat")" ] ||
	fail "the batch example does not have CRLF line ends throughout"
strings -el "$work/unzipped/changewait.exe" | grep -q 'MIT License' ||
	fail "the version resource names no licence"
echo "ok: the Windows zip holds changewait.exe, README.txt, the batch example and the licence, with CRLF"

if command -v lintian >/dev/null 2>&1; then
	report=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null)
	# The project has no contact address and invents none, though Debian's
	# format wants one: the Maintainer field and the changelog's trailer
	# lines name the project alone.
	errors=$(echo "$report" | grep -E '^E:|^W: .*copyright' |
		grep -v -x 'E: changewait: malformed-contact Maintainer changewait')
	[ -z "$errors" ] || fail "lintian: $errors"
	echo "ok: lintian reports no errors and no copyright warnings"
else
	echo "skipped: lintian's check of the .deb, lintian is not installed"
fi
