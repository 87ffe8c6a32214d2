#!/usr/bin/env bash
# Packs the build tree given as $1 into the Debian package, unpacks it into a temporary root
# and checks the unpacked files: the programs, the private mail libraries side by side, the
# registry naming that library, the desktop files, the manual pages; no file may reach back
# into the build tree; and the unpacked tool and program must run from there.
# Exits 77 (skipped) when dpkg-deb or cpack is missing.
set -uo pipefail
build=$(cd "${1:?build directory}" && pwd)
for tool in cpack dpkg-deb readelf ldd; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# Outside the build tree, or the program would take itself for a build-tree program.
tmp=$(mktemp -d /tmp/vantrel-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! (cd "$build" && cpack -G DEB -B "$tmp/out") >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb=$(ls "$tmp"/out/*.deb)
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vantrel ] || fail "package name is $(field Package)"
[ "$(field Section)" = mail ] || fail "section is $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
depends=$(field Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6printsupport6 libqt6svg6 libgmime-3.0-0 libcurl4 \
  libsqlite3-0 libquazip1-qt6 libsecret-1-0 libglib2.0-0 libx11-6; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library"
done

root=$tmp/root
dpkg -x "$deb" "$root" 2>/dev/null || dpkg-deb -x "$deb" "$root" || { echo "FAIL: unpack"; exit 1; }
prefix=$(sed -n 's/^set(CPACK_PACKAGING_INSTALL_PREFIX "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
usr=$root$prefix
mapi=$(cd "$root" && find . -name libvntmapi.so -printf '/%P\n')
[ -n "$mapi" ] || fail "libvntmapi.so is not in the package"
libdir=$root$(dirname "$mapi")
for file in "$usr/bin/vantrel" "$usr/bin/vantrel-db" "$usr/bin/vntmapi-profiles" \
  "$libdir/libvntmapiui.so" \
  "$usr/share/applications/vantrel.desktop" \
  "$usr/share/icons/hicolor/scalable/apps/vantrel.svg" \
  "$usr/share/metainfo/io.github.korvane.Vantrel.metainfo.xml" \
  "$usr/share/man/man1/vantrel.1.gz" "$usr/share/man/man1/vantrel-db.1.gz" \
  "$usr/share/man/man1/vntmapi-profiles.1.gz"; do
  [ -f "$file" ] || fail "missing ${file#"$root"}"
done
[[ "$libdir" == */vantrel ]] || fail "mail library not in a private folder: ${libdir#"$root"}"

# The registry is what leads the program to the mail library.
registry=$(cd "$root" && find . -path '*/xdg/Korvane/registry.ini' -printf '/%P\n')
[ -n "$registry" ] || fail "registry.ini is not in the package"
[ -z "$registry" ] || grep -q "\"mapi32.dll\"=\"$mapi\"" "$root$registry" ||
  fail "registry.ini does not name $mapi"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles 2>/dev/null | grep -qx "$registry" ||
  fail "$registry is not a conffile"

for elf in "$usr/bin/vantrel" "$usr/bin/vantrel-db" "$usr/bin/vntmapi-profiles" \
  "$libdir/libvntmapi.so" "$libdir/libvntmapiui.so"; do
  [ -f "$elf" ] || continue
  name=${elf#"$root"}
  readelf -d "$elf" | grep -E 'RPATH|RUNPATH' | grep -qF "$build" && fail "$name has a build-tree run path"
  links=$(ldd "$elf" 2>&1)
  grep -qF "$build" <<<"$links" && fail "$name loads from the build tree"
  grep -q 'not found' <<<"$links" && fail "$name: $(grep 'not found' <<<"$links")"
  strings -a "$elf" | grep -qF "$build/" && echo "note: $name mentions the build tree"
done

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$usr/share/applications/vantrel.desktop" || fail "desktop file"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$usr/share/metainfo/io.github.korvane.Vantrel.metainfo.xml" \
    >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log"; fail "metainfo"; }
fi
# Debian's own checks. A tree configured for another prefix than /usr necessarily puts files
# under /usr/local, which Debian forbids; only those findings are left out then.
if command -v lintian >/dev/null; then
  suppressed=()
  [ "$prefix" = /usr ] ||
    suppressed=(--suppress-tags file-in-usr-local,dir-in-usr-local,file-in-usr-marked-as-conffile,non-etc-file-marked-as-conffile)
  lintian --fail-on error --allow-root "${suppressed[@]}" "$deb" >"$tmp/lintian.log" 2>&1 ||
    { grep -v '^N:' "$tmp/lintian.log"; fail "lintian"; }
  grep -c '^W:' "$tmp/lintian.log" | sed 's/^/lintian warnings: /'
fi
[ -f "$usr/share/doc/vantrel/copyright" ] || fail "no copyright file"
[ -f "$usr/share/doc/vantrel/html/index.html" ] || fail "no user guide pages"
for page in "$usr"/share/man/man1/*.1.gz; do
  zcat "$page" | head -1 | grep -q '^\.TH ' || fail "${page#"$root"} is not a manual page"
done

# The unpacked programs run with the user's files kept in the temporary folder.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share
export XDG_CONFIG_DIRS=$root/etc/xdg QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
"$usr/bin/vantrel-db" --create "$tmp/db.db" || fail "vantrel-db --create"
"$usr/bin/vantrel-db" "$tmp/db.db" --query 'SELECT * FROM Job' >"$tmp/job.csv" ||
  fail "vantrel-db --query"
[ -s "$tmp/job.csv" ] || fail "vantrel-db wrote no header row"

env -u DISPLAY "$usr/bin/vantrel" --version | grep -q '^vantrel [0-9]' || fail "vantrel --version"
env -u DISPLAY "$usr/bin/vantrel" --help | grep -q -- '--demo' || fail "vantrel --help"

# The program has no option to quit by itself: still running after the timeout is success.
timeout 8 "$usr/bin/vantrel" --home "$tmp/program" --settings "$tmp/settings.ini" \
  >"$tmp/vantrel.log" 2>&1
status=$?
if [ "$status" -ne 124 ]; then
  cat "$tmp/vantrel.log"
  fail "vantrel exited early with status $status"
fi
[ -f "$tmp/program/support1/headfoot/header.txt" ] || fail "program directory not filled"
[ -f "$tmp/settings.ini" ] || fail "settings not written"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "installed package OK"
