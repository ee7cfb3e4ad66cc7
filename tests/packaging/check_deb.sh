#!/usr/bin/env bash
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
for f in ./usr/bin/talvex ./usr/bin/talvex-send ./usr/share/man/man1/talvex-send.1 \
         ./usr/share/applications/talvex.desktop \
         ./usr/share/icons/hicolor/64x64/apps/talvex.png \
         ./usr/share/icons/hicolor/scalable/apps/talvex.svg \
         "./usr/share/talvex/examples/Logs Source/web.txt"; do
  if ! grep -qxF "$f" <<<"$contents"; then echo "missing from package: $f"; fail=1; fi
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
  if ! grep -q "\b$d\b" <<<"$depends"; then echo "dependency not declared: $d"; fail=1; fi
done
[ "$(dpkg-deb -f "$deb" Package)" = talvex ] || { echo "wrong package name"; fail=1; }
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || { echo "wrong architecture"; fail=1; }

# The desktop entry must start the installed program and name an installed icon.
dpkg-deb -x "$deb" "$out/root"
desk="$out/root/usr/share/applications/talvex.desktop"
grep -qx 'Exec=talvex' "$desk" || { echo "desktop entry: wrong Exec"; fail=1; }
grep -qx 'Icon=talvex' "$desk" || { echo "desktop entry: wrong Icon"; fail=1; }
file "$out/root/usr/bin/talvex" | grep -q 'ELF 64-bit' || { echo "not an executable"; fail=1; }

# The command-line sender must run where no display libraries are installed.
needed=$(objdump -p "$out/root/usr/bin/talvex-send" | awk '$1 == "NEEDED" { print $2 }')
grep -q '^libQt6Network' <<<"$needed" || { echo "talvex-send: not linked to Qt Network"; fail=1; }
if grep -Eq '^libQt6(Gui|Widgets)' <<<"$needed"; then echo "talvex-send links Qt Gui or Widgets"; fail=1; fi

exit $fail
