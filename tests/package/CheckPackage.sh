#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what it holds, what it needs, what
# lintian, appstreamcli and desktop-file-validate say of it, and that the programs unpacked from
# it run: installed mode, manual pages, versions, every command's help, usage errors, the
# shell's completion.
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
programs=(tervo-assistant tervo-cli tervo-devsim)
metainfo=usr/share/metainfo/invalid.tervo.assistant.metainfo.xml
for file in "${programs[@]/#/usr/bin/}" "${programs[@]/#/usr/share/man/man1/}" \
            usr/share/applications/tervo-assistant.desktop "$metainfo" \
            usr/share/icons/hicolor/scalable/apps/tervo-assistant.svg \
            usr/share/tervo-assistant/suomi.lng \
            usr/share/doc/tervo-assistant/copyright usr/share/doc/tervo-assistant/changelog.Debian.gz \
            usr/share/bash-completion/completions/tervo-cli; do
  [[ $file == */man1/* ]] && file+=.1.gz
  grep -qx "\./$file" <<<"$files" || fail "the package lacks /$file"
done
stray=$(grep -vE '^\./usr/(bin/tervo-(assistant|cli|devsim)|share/(applications|icons/hicolor|tervo-assistant|doc/tervo-assistant|man/man1|metainfo|bash-completion/completions)/)' <<<"$files" || true)
[ -z "$stray" ] || fail "the package holds files nobody asked for: $stray"

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 \
                  libqt6webenginewidgets6 libqt6webchannel6 qt6-qpa-plugins libqt6svg6 \
                  libqt6sql6-sqlite; do
  grep -qE "(^|, )${dependency//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = tervo-assistant ] || fail "package name"

# Every tag lintian shows fails, information included. A tag that had to be accepted would be
# overridden, with its reason, in an overrides file the package installs
# (usr/share/lintian/overrides/tervo-assistant).
lintian --display-info --fail-on error,warning,info "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian"; }
grep -E '^[EWI]: ' "$work/lintian.log" && fail "lintian tags"

dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/tervo-assistant.desktop"
grep -qx 'Exec=tervo-assistant' "$desktop" || fail "the menu entry does not start the program"
grep -qx 'Icon=tervo-assistant' "$desktop" || fail "the menu entry does not name the icon"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/$metainfo" || fail "appstreamcli validate"

# The unpacked program is an installed one: its files go to the user's folders.
chmod -R a-w "$work/root"
help=$(HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
       "$work/root/usr/bin/tervo-assistant" --help)
grep -q 'installed mode' <<<"$help" || fail "not in installed mode: $help"
grep -qF "$work/home/config/tervo-assistant/tervo-assistant.ini" <<<"$help" || fail "settings: $help"
grep -qF "$work/root/usr/share/tervo-assistant" <<<"$help" || fail "shipped languages: $help"

# The manual pages render without a warning and name their program.
for program in "${programs[@]}"; do
  page=$(MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/$program.1.gz" 2>"$work/man.err") ||
    fail "man -l $program.1.gz"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "$program.1: warnings"; }
  grep -q "^       $program - " <<<"$page" || fail "$program.1 has no NAME line: $page"
done

# --version, the help of every command, and a usage error: its message and one line of hint.
version=$(dpkg-deb -f "$deb" Version)
for program in "${programs[@]}"; do
  first=$("$work/root/usr/bin/$program" --version | head -n 1) || fail "$program --version"
  [ "$first" = "$program ${version%-*}" ] || fail "$program --version says: $first"
  status=0
  "$work/root/usr/bin/$program" --no-such-option >/dev/null 2>"$work/usage.err" || status=$?
  [ $status -eq 2 ] || fail "$program --no-such-option: exit $status"
  [ "$(sed -n 2p "$work/usage.err")" = "Try '$program --help' for more information." ] &&
    [ "$(wc -l <"$work/usage.err")" -eq 2 ] || fail "$program: $(cat "$work/usage.err")"
done
cli="$work/root/usr/bin/tervo-cli"
commands=$("$cli" --help | sed -n 's/^\(Usage:\|  or:\) *tervo-cli \([a-z][a-z-]*\).*/\2/p')
[ "$(wc -w <<<"$commands")" -ge 6 ] || fail "tervo-cli --help lists no commands: $commands"
for command in $commands; do
  help=$("$cli" "$command" --help) || fail "tervo-cli $command --help"
  grep -q "^Usage: tervo-cli $command " <<<"$help" || fail "tervo-cli $command --help: $help"
done

# bash completes commands and each command's options from the program's help.
complete_line() {
  PATH="$work/root/usr/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    read -ra COMP_WORDS <<<"$2"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$2 COMP_POINT=${#2}
    _tervo_cli tervo-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    echo "${COMPREPLY[*]}"' _ "$work/root/usr/share/bash-completion/completions/tervo-cli" "$1"
}
[ "$(complete_line 'tervo-cli ver')" = "verify" ] || fail "completion of a command"
[ "$(complete_line 'tervo-cli backup --o')" = "--out" ] || fail "completion of an option"
echo "package ok: $(basename "$deb"), $(wc -l <<<"$files") files, Depends: $depends"
