#!/usr/bin/env bash
# Builds the Debian package from a built build folder and checks it as a user
# would get it: lists its files and dependencies, unpacks it into a temporary
# root (dpkg -x), runs the unpacked cvmap there (--version, create, info),
# checks that the unpacked window finds every shared library and starts (on
# the offscreen platform), and validates the desktop entry and the AppStream
# metainfo it installs.
#   tools/check_package.sh BUILD-FOLDER
# Exits non-zero at the first check that fails.
set -euo pipefail
build="${1:?usage: tools/check_package.sh BUILD-FOLDER}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "package check: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/out/*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
deb="${debs[0]}"
echo "package: $(basename "$deb")"
dpkg-deb --field "$deb" Depends
dpkg-deb --contents "$deb" | awk '{print $NF}' | grep -v '/$'
dpkg-deb --field "$deb" Depends | grep -q 'libsqlite3-0' || fail "Depends lacks the SQLite library"

root="$work/root"
dpkg -x "$deb" "$root"
cvmap="$root/usr/bin/cvmap"
[ -x "$cvmap" ] || fail "usr/bin/cvmap missing"
# Every place that names the version names the package's.
version="$(dpkg-deb --field "$deb" Version)"
"$cvmap" --version | grep -q "^cvmap $version " || fail "cvmap --version is not $version"
"$cvmap" --version
# The man page has a synopsis line for every command cvmap lists.
man_page="$root/usr/share/man/man1/cvmap.1"
for command in $("$cvmap" --help | awk '/^commands:/ {on = 1; next} on && /^  [a-z]/ {print $1} on && /^$/ {on = 0}'); do
  grep -q "^\.B cvmap $command\$" "$man_page" || fail "the man page lacks the command $command"
done
"$cvmap" create "$work/check.cvmap"
"$cvmap" info "$work/check.cvmap"

window="$root/usr/bin/CorvaneMapCreator"
if [ -x "$window" ]; then
  if ldd "$window" | grep -q 'not found'; then
    ldd "$window" >&2
    fail "the window misses shared libraries"
  fi
  # The window stays up until closed: still running after two seconds means
  # it started (it writes its settings below a throw-away home).
  rc=0
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen \
    timeout 2 "$window" || rc=$?
  [ "$rc" -eq 124 ] || fail "the unpacked window ended by itself (exit code $rc)"
  for f in usr/share/icons/hicolor/48x48/apps/cz.corvane.CorvaneMapCreator.png \
           usr/share/icons/hicolor/256x256/apps/cz.corvane.CorvaneMapCreator.png; do
    [ -f "$root/$f" ] || fail "$f missing"
  done
  grep -q "CorvaneMapCreator $version\"" "$man_page" || fail "the man page is not of $version"
  grep -q "<release version=\"$version\"" "$root"/usr/share/metainfo/*.metainfo.xml ||
    fail "the metainfo names no release $version"
  desktop-file-validate "$root"/usr/share/applications/*.desktop
  appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
fi
echo "package check: passed"
