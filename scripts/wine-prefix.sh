#!/bin/sh
# wine-prefix.sh - makes the Wine prefix for the Windows process tests once
# (build/wineprefix) and starts its server, kept alive for the test run.
set -eu
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
[ -x $wine64 ] || { echo "wine-prefix.sh: $wine64 is missing" >&2; exit 1; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
	echo "wine-prefix.sh: creating $WINEPREFIX (the first start takes a minute or two)"
	mkdir -p "$WINEPREFIX"
	# No Mono or Gecko downloads, no desktop menu entries.
	WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" timeout 600 $wine64 wineboot -i >/dev/null 2>&1
	# The server writes the registry when it ends; wait for that.
	timeout 300 /usr/lib/wine/wineserver64 -w
	[ -f "$WINEPREFIX/system.reg" ] || { echo "wine-prefix.sh: the prefix was not made" >&2; exit 1; }
fi
# A persistent server: every program start then takes a second or two.
/usr/lib/wine/wineserver64 -p 600 2>/dev/null || true
# Start the prefix's services now, with nothing of a test's open: they stay
# for the server's lifetime, and a test whose output pipe they inherited
# would never see it close.
timeout 300 $wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
