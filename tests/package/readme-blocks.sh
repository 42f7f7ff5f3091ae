#!/bin/sh
# readme-blocks.sh - writes the code blocks of one language from the
# README's Examples and In a container sections to DIR/1.LANG, DIR/2.LANG,
# ... as they stand, and prints their paths.
# Usage: readme-blocks.sh README LANG DIR
set -eu
awk -v lang="$2" -v dir="$3" '
	/^## / { examples = ($0 == "## Examples" || $0 == "## In a container") }
	inblock && /^```$/ { inblock = 0; close(file); print file; next }
	inblock { print > file; next }
	examples && $0 == "```" lang { n++; file = dir "/" n "." lang; inblock = 1 }
' "$1"
