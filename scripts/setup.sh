#!/bin/sh
# setup.sh - installs from Debian's archive what a job needs, only what is
# missing. Usage: scripts/setup.sh [build|deb|rpm|arm64|zip|test|bench]
#
# Two kinds of packages. What the job cannot do without: if it cannot be
# installed, set-up ends at once and names it. What only widens the tests:
# each is tried on its own, and a failure is one line that says what will
# not be tested, kept in build/setup-skipped for the test summary. An index
# that cannot be fetched (a mirror mid-sync, a lagging proxy) is a warning:
# set-up goes on with the indexes it has.
set -eu
cd "$(dirname "$0")/.."
job=${1:-test}

need="cmake ninja-build g++ make"
wide=""
# dpkg-shlibdeps and file for the .deb's dependencies; rpmbuild for the
# .rpm; Debian's cross compiler for the aarch64 program; MinGW for the zip.
deb="dpkg-dev file"
rpm="rpm"
arm64="g++-aarch64-linux-gnu"
zip="g++-mingw-w64-i686"
case $job in
build) ;;
deb) need="$need $deb" ;;
rpm) need="$need $rpm" ;;
arm64) need="$need $arm64" ;;
zip) need="$need $zip" ;;
test)
	# Both Windows builds, 64-bit Wine and a display for the message box,
	# GoogleTest, the sanitizers and the fuzzers, the analysers, and what
	# the package test uses.
	need="$need $deb $rpm $zip g++-mingw-w64-x86-64
		wine wine64 xvfb xdotool imagemagick
		libgtest-dev libgmock-dev clang libclang-rt-14-dev clang-tidy cppcheck
		util-linux git man-db groff-base unzip"
	wide="wine32:i386 lintian rpmlint bindfs $arm64 qemu-user-static" ;;
bench) wide="inotify-tools gnuplot-nox bindfs" ;;
*)
	echo "usage: setup.sh [build|deb|rpm|arm64|zip|test|bench]" >&2
	exit 2 ;;
esac

# What an optional package adds.
adds() {
	case $1 in
	wine32:i386) echo "32-bit program under 32-bit Wine" ;;
	lintian) echo "lintian's check of the .deb" ;;
	rpmlint) echo "rpmlint's check of the .rpm" ;;
	g++-aarch64-linux-gnu) echo "the aarch64 program, its packages and its tests" ;;
	qemu-user-static) echo "the process tests against the aarch64 program" ;;
	inotify-tools) echo "the inotifywait loop in the benchmark" ;;
	gnuplot-nox) echo "the benchmark's CDF picture" ;;
	bindfs) echo "the waits behind a FUSE mount" ;;
	esac
}

# A package removed but not purged is missing too.
missing() {
	for p; do
		[ "$(dpkg-query -W -f '${db:Status-Status}' "$p" 2>/dev/null)" = installed ] ||
			printf '%s ' "$p"
	done
}
# shellcheck disable=SC2086
need=$(missing $need)
# shellcheck disable=SC2086
wide=$(missing $wide)
notes=build/setup-skipped
mkdir -p build
: >$notes

skip() { # package, why
	echo "$(adds "$1"): skipped, $1 $2" | tee -a $notes | sed 's/^/setup.sh: /'
}

[ -z "$need$wide" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
	if [ -n "$need" ] && command -v sudo >/dev/null 2>&1; then
		exec sudo "$PWD/scripts/setup.sh" "$@"
	fi
	if [ -n "$need" ]; then
		echo "setup.sh: missing packages: $need; run as root to install them" >&2
		exit 1
	fi
	for p in $wide; do skip "$p" "is not installed (set-up as root installs it)"; done
	exit 0
fi

export DEBIAN_FRONTEND=noninteractive
# Retry what a flaky network drops; wait for another apt to finish.
apt="apt-get -q -o Acquire::Retries=3 -o DPkg::Lock::Timeout=300"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Why apt-get failed, in a few words.
why() {
	if grep -q 'unmet dependencies' "$log"; then
		echo "its dependencies cannot be met from the archive as fetched"
	else
		grep '^E: ' "$log" | tail -n 1 | sed 's/^E: //'
	fi
}
install() {
	$apt install -y --no-install-recommends "$@" >"$log" 2>&1
}

# shellcheck disable=SC2086
echo "setup.sh: installing" $need $wide
case "$wide" in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 || true ;;
esac
# An index that cannot be fetched is one line each; apt goes on with the rest.
$apt update >"$log" 2>&1 || true
grep -E '^[EW]: Failed to fetch |^E: ' "$log" |
	grep -v '^E: Some index files failed to download' |
	sed -e 's/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)/\1 (\2)/' -e 's/^E: //' -e 's/ *\[IP: [^]]*\]//' |
	sed 's/^/setup.sh: warning: an index could not be fetched, going on without it: /'

# shellcheck disable=SC2086
if [ -n "$need" ] && ! install $need; then
	for p in $need; do
		install "$p" || {
			echo "setup.sh: cannot install $p, which '$job' needs: $(why)" >&2
			exit 1
		}
	done
fi
for p in $wide; do
	install "$p" || skip "$p" "could not be installed: $(why)"
done
