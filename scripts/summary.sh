#!/bin/sh
# summary.sh - what a test run did, from ctest's JUnit reports: per build,
# how many tests passed, failed and were skipped, and each skip with its
# reason (the line after gtest's "Skipped", a script's "SKIP:" line, or a
# passing script's "skipped:" line for a part it left out); then what set-up
# could not install. Ends 1 if the Windows tests of the x86-64 program under
# 64-bit Wine did not all run: a missing Wine must not pass for a pass.
# Usage: summary.sh RELEASE_REPORT SANITIZE_REPORT [STATIC_REPORT [ARM64_REPORT]]
# (a report that does not exist is left out)
set -eu
cd "$(dirname "$0")/.."

# One line per test: build, status (run, fail, notrun), name, reason.
tests() { # label, report
	awk -v label="$1" '
	/<testcase name="/ {
		name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
		sub(/  # GetParam.*/, "", name)
		status = $0; sub(/.*status="/, "", status); sub(/".*/, "", status)
		reason = ""; after = 0; next
	}
	{ sub(/^[ \t]*<system-out>/, "") }
	after { reason = $0; after = 0 }
	/:[0-9]+: Skipped$/ { after = 1 }
	/^SKIP: / && reason == "" { reason = substr($0, 7) }
	/^skipped: / { printf "%s\tpart\t%s\t%s\n", label, name, substr($0, 10) }
	/<\/testcase>/ { printf "%s\t%s\t%s\t%s\n", label, status, name, reason }
	' "$2"
}

list=$(mktemp)
trap 'rm -f "$list"' EXIT
tests release "$1" >"$list"
tests sanitized "$2" >>"$list"
[ $# -lt 3 ] || [ ! -f "$3" ] || tests static "$3" >>"$list"
[ $# -lt 4 ] || [ ! -f "$4" ] || tests arm64 "$4" >>"$list"

echo "== summary =="
# Per build: the counts, the skips that share a reason on one line, the failures.
awk -F '\t' '
	$2 != "part" { all[$1]++; n[$1, $2]++ }
	$2 == "fail" { failed[$1] = failed[$1] "  FAILED " $3 "\n" }
	$2 == "notrun" || $2 == "part" {
		if (!(($1, $4) in first)) {
			first[$1, $4] = ($2 == "part" ? "in " : "") $3
			order[$1, ++k[$1]] = $4
		}
		count[$1, $4]++
	}
	END { for (b = 1; b <= 4; b++) {
		label = b == 1 ? "release" : b == 2 ? "static" : b == 3 ? "arm64" : "sanitized"
		if (!all[label])
			continue
		printf "%s build: %d tests, %d passed, %d failed, %d skipped\n", label,
			all[label], n[label, "run"], n[label, "fail"], n[label, "notrun"]
		for (i = 1; i <= k[label]; i++) {
			r = order[label, i]; c = count[label, r]
			printf "  skipped %s%s: %s\n", first[label, r], (c > 1 ? " and " c - 1 " more" : ""),
				(r == "" ? "(no reason given)" : r)
		}
		printf "%s", failed[label]
	} }' "$list"
[ -s build/setup-skipped ] && sed 's/^/set-up: /' build/setup-skipped

# The Windows tests under 64-bit Wine: all of them, in the release build.
wine='wine|^Windows\.|^RawCommandLine\.|^windows_message_box$|^readme_batch_example$'
awk -F '\t' -v wine="$wine" '
	$1 == "release" && $2 != "part" && $3 ~ wine && $3 != "windows_32bit_under_wine" {
		n[$2 == "notrun" ? "skipped" : "ran"]++
	}
	END {
		if (n["ran"] == 0 || n["skipped"] > 0) {
			printf "FAIL: Windows tests under 64-bit Wine: %d ran, %d skipped; they must all run\n",
				n["ran"], n["skipped"]
			exit 1
		}
		printf "Windows tests under 64-bit Wine: all %d ran\n", n["ran"]
	}' "$list"
