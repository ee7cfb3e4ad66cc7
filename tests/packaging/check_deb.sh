#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree and checks what it installs and declares.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cd "$build"
cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/talvex_*.deb)
echo "package: $(basename "$deb")"

fail=0
contents=$(dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//')
for f in ./usr/bin/talvex ./usr/bin/talvex-send ./usr/share/man/man1/talvex-send.1.gz \
         ./usr/bin/talvex-receive ./usr/share/man/man1/talvex-receive.1.gz \
         ./usr/share/applications/talvex.desktop ./usr/share/applications/talvex-receiver.desktop \
         ./usr/share/icons/hicolor/64x64/apps/talvex.png \
         ./usr/share/icons/hicolor/scalable/apps/talvex.svg \
         "./usr/share/talvex/examples/Logs Source/web.txt" \
         "./usr/share/talvex/examples/Logs Source/auth.txt" \
         "./usr/share/talvex/examples/Logs Source/access.txt" \
         ./usr/share/talvex/manual/talvex.en.html ./usr/share/talvex/manual/talvex.fr.html \
         ./usr/share/man/man1/talvex.1.gz ./usr/share/man/fr/man1/talvex.1.gz \
         ./usr/share/doc/talvex/copyright ./usr/share/doc/talvex/changelog.gz \
         ./usr/share/metainfo/invalid.talvex.Talvex.metainfo.xml; do
  if ! grep -qxF "$f" <<<"$contents"; then echo "missing from package: $f"; fail=1; fi
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 librelp0 qt6-qpa-plugins; do
  if ! grep -q "\b$d\b" <<<"$depends"; then echo "dependency not declared: $d"; fail=1; fi
done
[ "$(dpkg-deb -f "$deb" Package)" = talvex ] || { echo "wrong package name"; fail=1; }
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || { echo "wrong architecture"; fail=1; }

# The desktop entry must start the installed program and name an installed icon.
dpkg-deb -x "$deb" "$out/root"
desk="$out/root/usr/share/applications/talvex.desktop"
grep -qx 'Exec=talvex --user-folder' "$desk" || { echo "desktop entry: wrong Exec"; fail=1; }
grep -qx 'Icon=talvex' "$desk" || { echo "desktop entry: wrong Icon"; fail=1; }
file "$out/root/usr/bin/talvex" | grep -q 'ELF 64-bit' || { echo "not an executable"; fail=1; }

# The command-line sender must run where no display libraries are installed.
needed=$(objdump -p "$out/root/usr/bin/talvex-send" | awk '$1 == "NEEDED" { print $2 }')
grep -q '^libQt6Network' <<<"$needed" || { echo "talvex-send: not linked to Qt Network"; fail=1; }
if grep -Eq '^libQt6(Gui|Widgets)' <<<"$needed"; then echo "talvex-send links Qt Gui or Widgets"; fail=1; fi
needed=$(objdump -p "$out/root/usr/bin/talvex-receive" | awk '$1 == "NEEDED" { print $2 }')
if grep -Eq '^libQt6(Gui|Widgets)' <<<"$needed"; then echo "talvex-receive links Qt Gui or Widgets"; fail=1; fi
grep -qx 'Exec=talvex --user-folder --receiver' "$out/root/usr/share/applications/talvex-receiver.desktop" ||
  { echo "receiver desktop entry: wrong Exec"; fail=1; }

# cmake --install puts exactly the package's files in place (same paths, nothing more or less).
cmake --install . --prefix "$out/inst/usr" >"$out/install.log" 2>&1 || { cat "$out/install.log"; exit 1; }
(cd "$out/inst" && find . ! -type d | LC_ALL=C sort) >"$out/installed.list"
(cd "$out/root" && find . ! -type d | LC_ALL=C sort) >"$out/packaged.list"
if ! diff -u "$out/packaged.list" "$out/installed.list"; then
  echo "cmake --install and the package install different files"; fail=1
fi

# The manual page is readable by man, without complaints.
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$out/root/usr/share/man/man1/talvex.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man: $warnings"; fail=1; }

echo "appstreamcli validate:"
appstreamcli validate --no-net "$out/root/usr/share/metainfo/invalid.talvex.Talvex.metainfo.xml" || fail=1

# Debian's checks: no error allowed; warnings are printed for the record.
echo "lintian:"
lintian --tag-display-limit 0 "$deb" | tee "$out/lintian.log" || true
if grep -q '^E: ' "$out/lintian.log"; then echo "lintian reports errors"; fail=1; fi

exit $fail
