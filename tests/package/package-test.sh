#!/bin/sh
# package-test.sh - on a fresh clone of what is committed, runs the
# README's package command and its from-source build; installs each .deb
# with dpkg -i into a temporary root and runs the installed program once,
# lists each .rpm and its scripts, unpacks and runs each tarball, renders the
# manual page with warnings as failures, runs the README's examples, looks
# into the Windows zip, and has lintian and rpmlint look at the packages.
# Usage: package-test.sh SOURCE_DIR
set -u
src=$1
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
pid=""
fail() { echo "FAIL: $*"; exit 1; }

git clone -q "$src" "$work/clone" || fail "git clone"
# The aarch64 packages need Debian's cross compiler, which set-up may not
# have been able to install: then package.sh says so and ends 1.
machines="x86_64 aarch64"
if ! command -v aarch64-linux-gnu-g++ >/dev/null 2>&1; then
	machines="x86_64"
	echo "skipped: the aarch64 packages, Debian's aarch64 cross compiler is not installed"
fi
if ! (cd "$work/clone" && scripts/package.sh) >"$work/package.log" 2>&1; then
	[ "$machines" = x86_64 ] && grep -qx "package.sh: not made, for want of its tools: aarch64" "$work/package.log" ||
		{ cat "$work/package.log"; fail "scripts/package.sh"; }
fi
packages=$work/clone/build/packages
v=$(sed -n 's/^project(changewait VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
expected="SHA256SUMS changewait-$v-win32.zip"
for m in $machines; do
	d=amd64; [ $m = x86_64 ] || d=arm64
	expected="$expected changewait-$v-1.$m.rpm changewait-$v-linux-$m.tar.gz changewait_${v}_$d.deb"
done
made=$(cd "$packages" && LC_ALL=C ls | tr '\n' ' ')
[ "$made" = "$(printf '%s\n' $expected | LC_ALL=C sort | tr '\n' ' ')" ] || fail "scripts/package.sh made: $made"
(cd "$packages" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the packages"
deb=$packages/changewait_${v}_amd64.deb
zip=$packages/changewait-$v-win32.zip
echo "ok: scripts/package.sh made the .deb, .rpm and tarball for $machines, the zip and SHA256SUMS on a fresh clone"

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
# Whether this machine runs programs for the given machine (uname -m).
runs_here() { [ "$1" = "$(uname -m)" ] || [ -e "/proc/sys/fs/binfmt_misc/qemu-$1" ]; }

# A program once, on a file. Writing until it ends is valid whenever it
# arms its watch: each write leaves a new stamp with data.
ends_on_a_write() { # file, what it is, command...
	file=$1 what=$2
	shift 2
	"$@" &
	pid=$!
	i=0
	while kill -0 $pid 2>/dev/null && [ $i -lt 200 ]; do
		echo "data $i" >"$file"; sleep 0.05; i=$((i + 1))
	done
	wait $pid || fail "$what ended with $?"
	pid=""
	rm -f "$file"
}

# Each .deb as its users meet it: installed with dpkg -i (into a root of
# its own, so the machine's own packages are left alone) and run from PATH.
dpkg_install() { # root, .deb, dpkg options
	mkdir -p "$1/var/lib/dpkg/info" "$1/var/lib/dpkg/updates" && : >"$1/var/lib/dpkg/status" &&
		dpkg --root="$1" --force-not-root --force-script-chrootless --log=/dev/null $3 -i "$2" >/dev/null 2>&1 ||
		fail "dpkg -i $(basename "$2")"
}
for m in $machines; do
	d=amd64; [ $m = x86_64 ] || d=arm64
	root=$work/root; [ $d = amd64 ] || root=$work/root-$d
	pkg=$packages/changewait_${v}_$d.deb
	dpkg_install "$root" "$pkg" "$([ $d = amd64 ] || echo --force-architecture)"
	[ -z "$(dpkg-deb -f "$pkg" Depends)" ] || fail "the $d .deb depends on $(dpkg-deb -f "$pkg" Depends)"
	dpkg-deb -f "$pkg" Section | grep -qx utils || fail "section is not utils"
	file -b "$root/usr/bin/changewait" | grep -q "statically linked" || fail "the $d program is not static"
	if runs_here $m; then
		PATH="$root/usr/bin:$PATH" ends_on_a_write "$work/out.txt" "the $d program installed by dpkg -i" \
			changewait "$work/out.txt"
		echo "ok: the $d .deb installs with dpkg -i, depends on nothing, and its program ends on a write"
	else
		echo "skipped: running the $d program, this machine runs no $m programs"
	fi
done

# Each .rpm: what it holds and that it runs no scripts.
for m in $machines; do
	pkg=$packages/changewait-$v-1.$m.rpm
	list=$(rpm -qpl "$pkg" | grep -v '^/usr/lib/.build-id' | tr '\n' ' ')
	[ "$list" = "/usr/bin/changewait /usr/share/doc/changewait /usr/share/doc/changewait/changelog.gz /usr/share/doc/changewait/copyright /usr/share/man/man1/changewait.1.gz " ] ||
		fail "the $m .rpm holds: $list"
	[ -z "$(rpm -qp --scripts "$pkg")" ] || fail "the $m .rpm runs scripts: $(rpm -qp --scripts "$pkg")"
	[ "$(rpm -qp --qf '%{ARCH} %{LICENSE}' "$pkg")" = "$m MIT" ] || fail "the $m .rpm's architecture or licence"
done
if command -v rpmlint >/dev/null 2>&1; then
	report=$(rpmlint -c "$src/tests/package/rpmlint.toml" "$packages"/*.rpm 2>&1) ||
		fail "rpmlint: $report"
	echo "ok: rpm -qpl lists the program, its page and docs; no scripts; rpmlint clean"
else
	echo "ok: rpm -qpl lists the program, its page and docs; no scripts"
	echo "skipped: rpmlint's check of the .rpm, rpmlint is not installed"
fi

# Each tarball, unpacked as the README says, into a prefix of its own.
for m in $machines; do
	top=changewait-$v-linux-$m
	mkdir "$work/$m"
	tar -xzf "$packages/$top.tar.gz" -C "$work/$m" --strip-components=1 || fail "tar -x $top.tar.gz"
	for f in bin/changewait share/man/man1/changewait.1.gz share/doc/changewait/LICENSE; do
		[ -f "$work/$m/$f" ] || fail "$top.tar.gz has no $f"
	done
	if runs_here $m; then
		ends_on_a_write "$work/out.txt" "the program of $top.tar.gz" "$work/$m/bin/changewait" "$work/out.txt"
	else
		echo "skipped: running the program of $top.tar.gz, this machine runs no $m programs"
	fi
done
echo "ok: each tarball holds the program, its manual page and the licence, and the program ends on a write"

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
# the producer once the waiter has let go of its output, or that take
# output already there, run 200 rounds with a producer that writes at once:
# none may hang.
mkdir "$work/blocks"
blocks=""
for lang in sh; do
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
	grep -q -e 'returns once changewait watches' -e 'changewait -pc' "$b" && rounds=200
	for run in $(seq $rounds); do
		mkdir "$work/tmp"
		out=$(TMPDIR="$work/tmp" PATH="$work/root/usr/bin:$PATH" timeout 60 "${b##*.}" "$b") ||
			fail "the README's example $(basename "$b") ended with $? in round $run"
		[ "$out" = "42 results" ] || fail "the README's example $(basename "$b") printed '$out'"
		rmdir "$work/tmp" || fail "the README's example $(basename "$b") left $(ls -A "$work/tmp")"
	done
done
echo "ok: the README's shell examples run as written"

# The container example, as far as a machine without a container engine
# goes: the image's root made from its COPY lines, with the shared volume a
# directory in it, and its ENTRYPOINT and CMD run there under chroot.
dockerfile=$("$src/tests/package/readme-blocks.sh" "$src/README.md" dockerfile "$work/blocks")
cmp -s "$dockerfile" "$src/examples/Dockerfile" || fail "examples/Dockerfile is not shown in the README as it stands"
if [ "$(id -u)" -ne 0 ]; then
	echo "skipped: the README's container example, chroot needs root"
else
	image=$work/image
	mkdir -p "$image/shared"
	grep -q '^FROM scratch$' "$dockerfile" || fail "the container example is not FROM scratch"
	grep '^COPY ' "$dockerfile" | while read -r _ from to; do
		cp "$work/$(uname -m)/bin/$from" "$image$to" || exit 1
	done || fail "the container example's COPY lines"
	command=$(sed -n 's/^\(ENTRYPOINT\|CMD\) \[\(.*\)\]$/\2/p' "$dockerfile" | tr -d '",' | tr '\n' ' ')
	# shellcheck disable=SC2086
	ends_on_a_write "$image/shared/ready" "the container example" chroot "$image" $command
	rmdir "$image/shared"
	# shellcheck disable=SC2086
	status=0; err=$(chroot "$image" $command 2>&1) || status=$?
	[ $status -eq 1 ] && [ "$err" = "Verzeichnis kann nicht beobachtet werden: /shared" ] ||
		fail "the container example without its volume ended $status: $err"
	echo "ok: the README's container example ends on a write to the volume, and 1 without it"
fi

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
