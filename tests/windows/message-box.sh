#!/bin/sh
# message-box.sh - with no file named, the Windows program shows a real
# message box: "Dateiname angeben!", the default caption, an OK button.
# Under Xvfb it finds the box, checks its title, keeps a screenshot, presses
# OK, and requires exit code 2. The real 32-bit program is checked the same
# way where this kernel runs 32-bit code.
# Usage: message-box.sh EXE WINEPREFIX ARTIFACT_DIR [EXE32]
set -u
exe=$1 prefix=$2 shots=$3 exe32=${4:-}
wine=/usr/lib/wine/wine64
for tool in $wine Xvfb xdotool import; do
	command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -f "$exe" ] || { echo "SKIP: $exe is not built (the wine preset)"; exit 77; }
[ -f "$prefix/system.reg" ] || { echo "SKIP: no wine prefix at $prefix"; exit 77; }
export WINEPREFIX=$prefix WINEDEBUG=-all
mkdir -p "$shots"
work=$(mktemp -d)
xvfb=""
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

# A display of our own, free of any other test's windows.
display=""
for n in 91 92 93 94 95 96 97 98 99; do
	[ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
	Xvfb :$n -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
	xvfb=$!
	sleep 1
	if kill -0 $xvfb 2>/dev/null; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "FAIL: no Xvfb display could be started"; exit 1; }
export DISPLAY=$display
# The prefix's desktop belongs to the display of whichever program started
# it: end the server so that this display gets a desktop of its own, and end
# it again afterwards so that no later program is bound to this display.
/usr/lib/wine/wineserver64 -k 2>/dev/null
trap 'WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

fail=0
check() { # name, then the command that starts the program
	name=$1; shift
	"$@" >"$work/out" 2>"$work/err" &
	pid=$!
	win=$(timeout 60 xdotool search --sync --onlyvisible --name '.' 2>/dev/null | head -n 1)
	if [ -z "$win" ]; then
		echo "FAIL $name: no window appeared"; kill $pid; fail=1; return
	fi
	title=$(xdotool getwindowname "$win")
	import -window root "$shots/message-box-$name.png"
	if [ "$title" != "Error" ]; then
		echo "FAIL $name: the box is titled '$title', not the default 'Error'"; fail=1
	fi
	if kill -0 $pid 2>/dev/null; then :; else
		echo "FAIL $name: the program ended before the box was dismissed"; fail=1
	fi
	xdotool key --window "$win" Return 2>/dev/null
	i=0
	while kill -0 $pid 2>/dev/null && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
	if kill -0 $pid 2>/dev/null; then
		echo "FAIL $name: still running after OK"; kill $pid; fail=1; return
	fi
	wait $pid; rc=$?
	[ $rc -eq 2 ] || { echo "FAIL $name: exit code $rc, not 2"; fail=1; }
	[ -s "$work/out" ] && { echo "FAIL $name: wrote to standard output"; fail=1; }
	echo "ok $name: box '$title' shown, dismissed with OK, exit code $rc; $shots/message-box-$name.png"
}

check no-argument $wine "$exe"
# Typed on a Windows command line, "" reaches the program as two quote
# characters; a batch file passes its line exactly so.
winexe=$(printf 'Z:%s' "$exe" | tr / '\\')
printf '@"%s" ""\r\n' "$winexe" >"$work/run.bat"
check empty-quotes $wine cmd /c "Z:$(echo "$work" | tr / '\\')\\run.bat"
# A "skipped:" line is listed in scripts/test.sh's summary.
if [ -z "$exe32" ]; then :
elif [ ! -x /usr/lib/wine/wine ]; then
	echo "skipped: the 32-bit program's box, 32-bit Wine (wine32:i386) is not installed"
elif ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
	echo "skipped: the 32-bit program's box, this kernel does not run 32-bit programs"
else
	check 32-bit /usr/lib/wine/wine "$exe32"
fi
exit $fail
