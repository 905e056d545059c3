#!/usr/bin/env bash
# Fails when code in a folder includes a header from a folder above it. The folders, from the
# bottom: src/locale and src/link; src/widgets, src/device, src/records and src/geo; src/sim
# and src/params; src/app; tools/*. A folder may include from its own level and below. A
# header belongs to the folder that holds it (a form's ui_X.h to the folder of X.ui); headers
# from elsewhere (Qt, the system) are not counted.
#   CheckLayout.sh SOURCE_DIR
set -euo pipefail
cd "$1"

declare -A levels=([src/locale]=0 [src/link]=0
                   [src/widgets]=1 [src/device]=1 [src/records]=1 [src/geo]=1
                   [src/sim]=2 [src/params]=2
                   [src/app]=3)
level_of() {
  case $1 in
  tools/*) echo 4 ;;
  *) echo "${levels[$1]:-}" ;;
  esac
}
folder_of() { cut -d/ -f1-2 <<<"$1"; }

roots=()
for root in src tools; do
  [ -d "$root" ] && roots+=("$root")
done
failed=0
declare -A owner # header name -> folder
while IFS= read -r file; do
  folder=$(folder_of "$file")
  if [ -z "$(level_of "$folder")" ]; then
    echo "$folder: a folder the layout does not place"
    failed=1
  fi
  name=$(basename "$file")
  [[ $name == *.ui ]] && name=ui_${name%.ui}.h
  if [ -n "${owner[$name]:-}" ] && [ "${owner[$name]}" != "$folder" ]; then
    echo "$name: in ${owner[$name]} and in $folder"
    failed=1
  fi
  owner[$name]=$folder
done < <(find "${roots[@]}" -mindepth 2 \( -name '*.h' -o -name '*.ui' \) | sort)

while IFS=: read -r file header; do
  folder=$(folder_of "$file")
  theirs=${owner[$(basename "$header")]:-}
  [ -n "$theirs" ] || continue
  if [ "$(level_of "$theirs")" -gt "$(level_of "$folder")" ]; then
    echo "$file includes $header from $theirs, a folder above $folder"
    failed=1
  fi
done < <(find "${roots[@]}" -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z |
         xargs -0 grep -HoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' |
         sed -E 's/:[^"]*"([^"]+)"$/:\1/')

[ $failed -eq 0 ] && echo "layout ok: no folder includes from a folder above it"
exit $failed
