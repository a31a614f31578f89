#!/bin/bash
# Builds the Debian package from the build tree with cpack, checks it with the Debian tools that
# are installed, installs it with dpkg, runs the installed program, and purges it again. It
# installs into the real /usr, so it runs as root on a machine without the package, alone.
# Usage: package_test.sh CPACK BUILD_DIR
set -euo pipefail
cpack=$1
build=$2
skip() {
  echo "SKIPPED: $*"
  exit 77
}
command -v dpkg >/dev/null || skip "dpkg is not installed: this is no Debian system"
command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps is missing (Debian's dpkg-dev)"
[ "$(id -u)" = 0 ] || skip "dpkg -i needs root; run the tests as root to install the package"
if dpkg-query -W -f='${Status}' larkspire 2>/dev/null | grep -q 'ok installed'; then
  skip "a larkspire package is installed on this machine; the test does not replace it"
fi

work=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then dpkg -P larkspire >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack did not build the package"; }
deb=$(echo "$work"/out/*.deb)
[ -f "$deb" ] || fail "cpack wrote no .deb"
echo "built $(basename "$deb")"

# What the package must hold, and the libraries it must name from the built program.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/larkspire /usr/share/applications/example.larkspire.Larkspire.desktop \
  /usr/share/metainfo/example.larkspire.Larkspire.metainfo.xml \
  /usr/share/icons/hicolor/48x48/apps/larkspire.png /usr/share/icons/hicolor/scalable/apps/larkspire.svg \
  /usr/share/man/man1/larkspire.1.gz /usr/share/doc/larkspire/copyright \
  /usr/share/doc/larkspire/changelog.Debian.gz /usr/share/doc/larkspire/help/help.html; do
  grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6widgets6 libssl3 libqt6keychain1; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# The Debian tools that are installed check what they know.
dpkg-deb -x "$deb" "$work/root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/example.larkspire.Larkspire.desktop" ||
    fail "desktop-file-validate"
else
  echo "desktop-file-validate is not installed: not run"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net \
    "$work/root/usr/share/metainfo/example.larkspire.Larkspire.metainfo.xml" || fail "appstreamcli"
else
  echo "appstreamcli is not installed: not run"
fi
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || fail "lintian reports errors"
else
  echo "lintian is not installed: not run"
fi

installed=1
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
version=$(/usr/bin/larkspire --version)
echo "installed: $version"
[[ "$version" == Larkspire* ]] || fail "--version printed: $version"
# One saved entry of 26 fields (Frequency, Reference, App #, the rest empty).
mkdir "$work/log"
printf '8\r\n0\tR-1\t10/123,456%s\r\n' "$(printf '\t%.0s' $(seq 23))" >"$work/log/patent.dat"
printf '[Settings]\nLogDir=%s\n' "$work/log" >"$work/settings.ini"
LARKSPIRE_SETTINGS="$work/settings.ini" /usr/bin/larkspire -export "$work/list.csv" ||
  fail "-export from /usr/bin"
grep -q 'Frequency,Last Update,Last Change,Reference' "$work/list.csv" || fail "no header row"
grep -q 'R-1,"10/123,456"' "$work/list.csv" || fail "the entry is not in the export"

dpkg -P larkspire >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -P"; }
installed=0
if dpkg-query -W -f='${Status}' larkspire 2>/dev/null | grep -q 'ok installed'; then
  fail "larkspire is still installed after dpkg -P"
fi
left=0
while read -r path; do
  if [ -f "$path" ]; then
    echo "left behind: $path"
    left=1
  fi
done <"$work/contents"
[ "$left" = 0 ] || fail "dpkg -P left files of the package"
[ ! -e /usr/bin/larkspire ] || fail "/usr/bin/larkspire is still there"
echo "installed, ran and purged cleanly"
