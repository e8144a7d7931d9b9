#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR under a prefix with a blank in it and checks what lands
# there file by file: the three programs, the desktop entry (desktop-file-validate when installed),
# the MIME package (update-mime-database when installed), the icons at their sizes, the
# thumbnailer entry, the guide and the man pages, which must name every command and option the
# programs' --help lists. Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix="/opt/solvane test"
root="$scratch/root"
top="$root$prefix"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# Nothing lands outside DESTDIR + prefix.
outside=$(cd "$root" && find . -type f | grep -v "^\./${prefix#/}/" || true)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

# Every file, and no other.
expected=(
  bin/solvane bin/solvane-cli bin/solvane-usage-server
  share/applications/solvane.desktop
  share/mime/packages/solvane.xml
  share/thumbnailers/solvane.thumbnailer
  share/icons/hicolor/scalable/apps/solvane.svg
  share/icons/hicolor/48x48/apps/solvane.png
  share/icons/hicolor/128x128/apps/solvane.png
  share/icons/hicolor/256x256/apps/solvane.png
  share/man/man1/solvane.1
  share/man/man1/solvane-cli.1
)
while IFS= read -r page; do
  expected+=("share/doc/solvane/guide/$page")
done < <(cd "$source/doc/guide" && find . -type f | sed 's|^\./||')
actual=$(cd "$top" && find . -type f | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
  fail "installed files differ from the list (< missing, > not expected):"
  diff <(echo "$wanted") <(echo "$actual") | grep '^[<>]'
fi
for program in solvane solvane-cli solvane-usage-server; do
  [ -x "$top/bin/$program" ] || fail "bin/$program is not executable"
done
diff -r "$source/doc/guide" "$top/share/doc/solvane/guide" >/dev/null || fail "the guide differs from doc/guide"
for page in solvane.1 solvane-cli.1; do
  cmp -s "$source/doc/man/$page" "$top/share/man/man1/$page" || fail "man page $page differs from doc/man"
done

# Icons: the program's picture at each size.
png_size() {  # width x height from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for side in 48 128 256; do
  file="$top/share/icons/hicolor/${side}x${side}/apps/solvane.png"
  [ "$(png_size "$file")" = "${side}x${side}" ] || fail "icon $side is $(png_size "$file")"
  cmp -s "$file" "$source/app/resources/program/solvane-$side.png" || fail "icon $side is not the program's picture"
done
cmp -s "$top/share/icons/hicolor/scalable/apps/solvane.svg" "$source/app/resources/program/solvane.svg" ||
  fail "the scalable icon is not the program's picture"

# The desktop entry runs the installed viewer (quoted: the prefix has a blank) and names every type.
entry="$top/share/applications/solvane.desktop"
grep -qx "Exec=\"$prefix/bin/solvane\" %f" "$entry" || fail "desktop entry Exec: $(grep '^Exec=' "$entry")"
grep -qx "Icon=solvane" "$entry" || fail "desktop entry Icon: $(grep '^Icon=' "$entry")"
package="$top/share/mime/packages/solvane.xml"
types=$(grep -o '<mime-type type="[^"]*"' "$package" | sed 's/.*type="//; s/"$//' | sort)
entry_types=$(grep '^MimeType=' "$entry" | sed 's/^MimeType=//' | tr ';' '\n' | sed '/^$/d' | sort)
[ "$types" = "$entry_types" ] || fail "desktop entry MimeType= differs from the MIME package's types"
[ "$(echo "$types" | wc -l)" -eq 21 ] || fail "the MIME package has $(echo "$types" | wc -l) types, not 21"
for extension in 3ds prj cob scn dxf l3d lwo md2 mdl md3 obj off vtk x pro svo svs 3d2 nff ply 3dm; do
  grep -q "<glob pattern=\"\*\.$extension\"/>" "$package" || fail "no glob for .$extension"
done
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
else
  echo "desktop-file-validate not installed: entry not validated"
fi
if command -v update-mime-database >/dev/null; then
  cp -r "$top/share/mime" "$scratch/mime"
  if update-mime-database "$scratch/mime" >"$scratch/mime.log" 2>&1; then
    for extension in 3ds obj ply x cob md2 3dm; do
      grep -q ":\*\.$extension\$" "$scratch/mime/globs2" || fail "the MIME database has no *.$extension"
    done
  else
    fail "update-mime-database: $(cat "$scratch/mime.log")"
  fi
fi

# The thumbnailer runs the installed command on every model type.
thumbnailer="$top/share/thumbnailers/solvane.thumbnailer"
grep -qx "Exec=solvane-cli thumbnail -s %s %i %o" "$thumbnailer" || fail "thumbnailer Exec: $(grep '^Exec=' "$thumbnailer")"
thumb_types=$(grep '^MimeType=' "$thumbnailer" | sed 's/^MimeType=//' | tr ';' '\n' | sed '/^$/d' | sort)
[ "$types" = "$thumb_types" ] || fail "thumbnailer MimeType= differs from the MIME package's types"

# The installed programs run from their new place (no path into the build tree needed).
"$top/bin/solvane-cli" --version >/dev/null 2>&1 || fail "installed solvane-cli --version"
env -u DISPLAY "$top/bin/solvane" --version >/dev/null 2>&1 || fail "installed solvane --version"
"$top/bin/solvane-cli" info "$source/samples/cube.obj" >/dev/null 2>&1 || fail "installed solvane-cli info"
"$top/bin/solvane-cli" thumbnail -s 64 "$source/samples/teapot.obj" "$scratch/thumb.png" >/dev/null 2>&1 &&
  [ "$(png_size "$scratch/thumb.png" | tr 'x' '\n' | sort -n | tail -1)" = 64 ] || fail "installed thumbnailer"

# The man pages name every command and every option the programs list in their help.
if command -v groff >/dev/null; then
  for page in solvane.1 solvane-cli.1; do
    warnings=$(groff -man -Tutf8 -ww -z "$top/share/man/man1/$page" 2>&1)
    [ -z "$warnings" ] || fail "groff warnings in $page: $warnings"
  done
  text() { groff -man -Tutf8 -P-cbou "$top/share/man/man1/$1" 2>/dev/null | sed 's/[‐−]/-/g'; }
  cli_page=$(text solvane-cli.1)
  viewer_page=$(text solvane.1)
  commands=$("$top/bin/solvane-cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
  [ -n "$commands" ] || fail "no commands in solvane-cli --help"
  for command in $commands; do
    grep -qE "^ *solvane-cli $command( |$)" <<<"$cli_page" || fail "solvane-cli.1 has no synopsis of '$command'"
    [ "$command" = help ] && continue
    # The command's own subsection of COMMANDS, up to the next one.
    section=$(awk -v name="$command" '/^   [a-z]/ { inside = ($1 == name) } /^[A-Z]/ { inside = 0 } inside' <<<"$cli_page")
    [ -n "$section" ] || fail "solvane-cli.1 has no section for '$command'"
    for option in $("$top/bin/solvane-cli" "$command" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]//' | sort -u); do
      [ "$option" = -h ] || [ "$option" = --help ] && continue
      grep -qF -- "$option" <<<"$section" || fail "solvane-cli.1 does not describe '$command $option'"
    done
  done
  for option in $(env -u DISPLAY "$top/bin/solvane" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]//' | sort -u); do
    grep -qF -- "$option" <<<"$viewer_page" || fail "solvane.1 does not name '$option'"
  done
else
  echo "groff not installed: man pages not checked"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install: every file in place under DESTDIR + '$prefix'"
