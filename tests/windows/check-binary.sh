#!/bin/sh
# check-binary.sh - the Windows program is a 32-bit console PE that imports
# from kernel32.dll and user32.dll alone, so it needs no runtime.
exe=$1
objdump=i686-w64-mingw32-objdump
if ! command -v $objdump >/dev/null 2>&1; then
	echo "SKIP: $objdump is not installed (the MinGW-w64 cross compiler)"
	exit 77
fi
if [ ! -f "$exe" ]; then
	echo "FAIL: $exe is missing; build the windows preset first"
	exit 1
fi
info=$($objdump -p "$exe") || exit 1
fail=0
echo "$info" | grep -q 'file format pei-i386' || { echo "FAIL: not pei-i386"; fail=1; }
echo "$info" | grep -q 'Magic.*(PE32)' || { echo "FAIL: not PE32"; fail=1; }
echo "$info" | grep -q 'Subsystem.*(Windows CUI)' || { echo "FAIL: not a console program"; fail=1; }
dlls=$(echo "$info" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
if [ "$dlls" != "kernel32.dll user32.dll " ]; then
	echo "FAIL: imports from: $dlls"
	fail=1
fi
# The manifest, resource 1 of type 24, declares UTF-8 as the code page.
echo "$info" | grep -q 'Entry: ID: 0x000018' || { echo "FAIL: no manifest resource"; fail=1; }
tr -d '\n' <"$exe" | grep -a -q '<activeCodePage[^>]*>UTF-8</activeCodePage>' ||
	{ echo "FAIL: the manifest does not declare UTF-8 as the active code page"; fail=1; }
# No time stamp in the PE header, so that two builds of one source are one
# file and the release's checksums can be made again.
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
stamp=$(od -An -tu4 -j$((pe + 8)) -N4 "$exe" | tr -d ' ')
[ "$stamp" = 0 ] || { echo "FAIL: the PE header holds the time stamp $stamp"; fail=1; }
size=$(wc -c <"$exe")
[ "$size" -le 10240 ] || { echo "FAIL: $size bytes, over 10 KiB"; fail=1; }
[ $fail = 0 ] && echo "ok: PE32 i386 console program of $size bytes importing $dlls, UTF-8 by its manifest"
exit $fail
