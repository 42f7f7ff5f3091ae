#!/bin/sh
# run-32bit.sh - the real 32-bit program under 32-bit Wine: a directory it
# cannot watch ends it with 1 and the message; a write ends it with 0.
# Needs a kernel that runs 32-bit code; it says so and skips where not.
# Usage: run-32bit.sh EXE WINEPREFIX
set -u
exe=$1 prefix=$2
wine=/usr/lib/wine/wine
[ -x $wine ] || { echo "SKIP: 32-bit Wine ($wine, wine32:i386) is not installed"; exit 77; }
[ -f "$exe" ] || { echo "FAIL: $exe is missing"; exit 1; }
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
	echo "SKIP: this kernel does not run 32-bit programs (ia32 emulation is off), so 32-bit Wine cannot start"
	exit 77
fi
export WINEPREFIX=$prefix WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
native=$(printf 'Z:%s' "$work" | tr / '\\')

err=$(timeout 300 $wine "$exe" "$native\\nodir\\out.txt" 2>&1 >/dev/null); rc=$?
want=$(printf 'Verzeichnis kann nicht beobachtet werden: %s\\nodir\r' "$native")
[ $rc -eq 1 ] && [ "$err" = "$want" ] || { echo "FAIL: missing directory gave $rc, '$err'"; exit 1; }

timeout 300 $wine "$exe" "$native\\out.txt" &
pid=$!
# Start-up takes a while; writing until it ends is valid in any interleaving.
i=0
while kill -0 $pid 2>/dev/null && [ $i -lt 300 ]; do
	echo "data $i" >"$work/out.txt"; sleep 1; i=$((i + 1))
done
wait $pid; rc=$?
[ $rc -eq 0 ] || { echo "FAIL: a write gave exit code $rc"; exit 1; }
echo "ok: the 32-bit program reports an unwatchable directory and ends on a write"
