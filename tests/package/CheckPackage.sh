#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what it holds, what it needs, and
# that the program unpacked from it runs in installed mode.
#   CheckPackage.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/tervo-assistant_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single tervo-assistant_*.deb: ${debs[*]}"
deb=${debs[0]}

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$')
for file in usr/bin/tervo-assistant usr/bin/tervo-cli usr/bin/tervo-devsim \
            usr/share/applications/tervo-assistant.desktop \
            usr/share/icons/hicolor/scalable/apps/tervo-assistant.svg \
            usr/share/tervo-assistant/suomi.lng; do
  grep -qx "\./$file" <<<"$files" || fail "the package lacks /$file"
done
stray=$(grep -vE '^\./usr/(bin/tervo-(assistant|cli|devsim)|share/(applications|icons/hicolor|tervo-assistant)/)' <<<"$files" || true)
[ -z "$stray" ] || fail "the package holds files nobody asked for: $stray"

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 \
                  libqt6webenginewidgets6 libqt6webchannel6 qt6-qpa-plugins libqt6sql6-sqlite; do
  grep -qE "(^|, )${dependency//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = tervo-assistant ] || fail "package name"

dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/tervo-assistant.desktop"
grep -qx 'Exec=tervo-assistant' "$desktop" || fail "the menu entry does not start the program"
grep -qx 'Icon=tervo-assistant' "$desktop" || fail "the menu entry does not name the icon"

# The unpacked program is an installed one: its files go to the user's folders.
chmod -R a-w "$work/root"
help=$(HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
       "$work/root/usr/bin/tervo-assistant" --help)
grep -q 'installed mode' <<<"$help" || fail "not in installed mode: $help"
grep -qF "$work/home/config/tervo-assistant/tervo-assistant.ini" <<<"$help" || fail "settings: $help"
grep -qF "$work/root/usr/share/tervo-assistant" <<<"$help" || fail "shipped languages: $help"
"$work/root/usr/bin/tervo-cli" --help >/dev/null || fail "tervo-cli --help"
echo "package ok: $(basename "$deb"), $(wc -l <<<"$files") files, Depends: $depends"
