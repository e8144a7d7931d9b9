#!/usr/bin/env bash
# Checks that every folder includes only its own headers and those of the folders below it, and
# that Qt appears only in app/. Prints each violation; exits 1 when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [core]="core"
  [image]="core image"
  [formats]="core image formats"
  [rhino]="core image rhino"
  [load]="core image formats rhino load"
  [viewer]="core image formats rhino load viewer"
  [net]="core net"
  [tools]="core image formats rhino load viewer net tools"
  [app]="core image formats rhino load viewer net app"
)

bad=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file _ target; do
    layer=${target%%/*}
    case " ${allowed[$folder]} " in
      *" $layer "*) ;;
      *) echo "$file includes $target, above its layer"; bad=1 ;;
    esac
  done < <(grep -rnoE --include='*.cpp' --include='*.h' '^#include "[a-z_]+/[^"]+"' "$folder" |
           sed -E 's/#include "([^"]+)"/\1/')
  if [ "$folder" != app ]; then
    while read -r file; do
      echo "$file includes Qt, which only app/ may use"
      bad=1
    done < <(grep -rlE --include='*.cpp' --include='*.h' '^#include <Q[A-Za-z]+>' "$folder")
  fi
done
[ "$bad" -eq 0 ] && echo "layers: every include goes downwards"
exit "$bad"
