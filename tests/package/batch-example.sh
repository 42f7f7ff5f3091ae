#!/bin/sh
# batch-example.sh - the README's Windows batch example, taken from the README
# and run as it stands by cmd under Wine with the Windows program on its PATH.
# Usage: batch-example.sh SOURCE_DIR WINEPREFIX
set -u
src=$1 prefix=$2
wine=/usr/lib/wine/wine64
[ -x $wine ] || { echo "SKIP: $wine is not installed"; exit 77; }
[ -f "$src/build/wine/changewait.exe" ] || { echo "SKIP: the wine build is missing"; exit 77; }
[ -f "$prefix/system.reg" ] || { echo "SKIP: no wine prefix at $prefix"; exit 77; }
native() { printf 'Z:%s' "$1" | tr / '\\'; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bat=$("$src/tests/package/readme-blocks.sh" "$src/README.md" bat "$work")
[ -n "$bat" ] || { echo "FAIL: the README shows no batch example"; exit 1; }
# The file has CRLF line ends, as cmd expects; the README's block has none.
tr -d '\r' <"$src/examples/wait-for-output.bat" | cmp -s "$bat" - ||
	{ echo "FAIL: the README's batch example is not examples/wait-for-output.bat"; exit 1; }
[ "$(grep -c "$(printf '\r')\$" "$src/examples/wait-for-output.bat")" -eq "$(wc -l <"$src/examples/wait-for-output.bat")" ] ||
	{ echo "FAIL: examples/wait-for-output.bat does not have CRLF line ends"; exit 1; }
# Into a file: a pipe would stay open while a hung program of Wine holds it.
# What it prints is the file's content, typed once the wait has ended.
WINEPREFIX=$prefix WINEDEBUG=-all WINEPATH=$(native "$src/build/wine") \
	timeout 120 $wine cmd /c "$(native "$bat")" </dev/null >"$work/printed" 2>&1
status=$?
[ $status -eq 0 ] || {
	WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null
	echo "FAIL: the batch example ended with $status (124: it still waited after 120 s)"
	exit 1
}
out=$(tr -d '\r' <"$work/printed")
[ "$out" = "42 results" ] || { echo "FAIL: the batch example printed '$out'"; exit 1; }
echo "ok: the README's batch example runs as written"
