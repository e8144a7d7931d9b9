#!/usr/bin/env bash
# Checks a Debian package made by `cpack -G DEB` in the build folder: its file list, its
# dependencies (from dpkg-shlibdeps) and maintainer scripts; then, when run as root (or with sudo)
# and SOLVANE_PACKAGE_INSTALL is not 0, installs it with apt-get, runs the installed programs,
# checks that the desktop learnt the model types, and removes it again.
# Usage: check-package.sh PACKAGE.deb [SAMPLE_MODEL]
# Prints "N% tests passed, F tests failed out of T" last, like ctest.
set -uo pipefail
deb=$(realpath "$1")
sample=$(realpath "${2:-$(dirname "$0")/../samples/cube.obj}")
passed=0
failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@" >/tmp/check-package.$$ 2>&1; then
    passed=$((passed + 1))
    echo "ok: $name"
  else
    failed=$((failed + 1))
    echo "FAIL: $name"
    sed 's/^/  /' /tmp/check-package.$$ | head -20
  fi
}

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
has_files() {
  local missing=0
  for file in "$@"; do
    grep -qx "./$file" <<<"$contents" || { echo "missing: $file"; missing=1; }
  done
  return $missing
}
check "programs" has_files usr/bin/solvane usr/bin/solvane-cli usr/bin/solvane-usage-server
check "desktop files" has_files usr/share/applications/solvane.desktop usr/share/mime/packages/solvane.xml \
  usr/share/thumbnailers/solvane.thumbnailer
check "icons" has_files usr/share/icons/hicolor/scalable/apps/solvane.svg \
  usr/share/icons/hicolor/48x48/apps/solvane.png usr/share/icons/hicolor/128x128/apps/solvane.png \
  usr/share/icons/hicolor/256x256/apps/solvane.png
check "man pages and guide" has_files usr/share/man/man1/solvane.1 usr/share/man/man1/solvane-cli.1 \
  usr/share/doc/solvane/guide/index.html usr/share/doc/solvane/guide/faq.html
check "nothing outside /usr" bash -c '! grep -v "^\./usr/\|^\./$\|^\./usr$" <<<"$1"' _ "$contents"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
depends_on() {
  for library in "$@"; do grep -q "$library" <<<"$depends" || { echo "no $library"; return 1; }; done
}
check "dependencies from the programs' libraries" depends_on libc6 libqt6widgets6 libqt6openglwidgets6 libegl1 libglu1 libpng16-16
check "Mesa's drivers as a dependency" depends_on libgl1-mesa-dri
control=$(mktemp -d)
dpkg-deb -e "$deb" "$control"
check "postinst refreshes the MIME, desktop and icon caches" \
  bash -c 'grep -q update-mime-database "$1" && grep -q update-desktop-database "$1" && grep -q gtk-update-icon-cache "$1" && [ -x "$1" ]' _ "$control/postinst"
check "postrm refreshes them too" bash -c 'grep -q update-mime-database "$1" && [ -x "$1" ]' _ "$control/postrm"
rm -rf "$control"

root=()
[ "$(id -u)" -eq 0 ] || root=(sudo -n)
if [ "${SOLVANE_PACKAGE_INSTALL:-1}" != 0 ] && command -v apt-get >/dev/null && "${root[@]}" true 2>/dev/null; then
  if dpkg-query -W -f='${Status}' solvane 2>/dev/null | grep -q "install ok installed"; then
    echo "a solvane package is installed already: not installing this one"
  else
    export DEBIAN_FRONTEND=noninteractive
    check "apt-get install" "${root[@]}" apt-get install -y -q --no-install-recommends "$deb"
    check "installed solvane --version" bash -c 'env -u DISPLAY /usr/bin/solvane --version | grep -q "Solvane Viewer"'
    check "installed solvane-cli info on a sample" /usr/bin/solvane-cli info "$sample"
    check "installed solvane-cli thumbnail" /usr/bin/solvane-cli thumbnail -s 64 "$sample" /tmp/check-package-thumb.$$.png
    if command -v update-mime-database >/dev/null; then
      check "the MIME database knows the model types" test -f /usr/share/mime/model/x-quake-md2.xml
    fi
    check "users' next start sends the install report" grep -qx "install_flag=1" /etc/xdg/Solvane/Solvane.3.0.ini
    check "apt-get remove --purge" "${root[@]}" apt-get remove --purge -y -q solvane
    check "removed" test ! -e /usr/bin/solvane -a ! -e /etc/xdg/Solvane/Solvane.3.0.ini
    rm -f /tmp/check-package-thumb.$$.png
  fi
else
  echo "not root (or SOLVANE_PACKAGE_INSTALL=0): the package is not installed"
fi
rm -f /tmp/check-package.$$
total=$((passed + failed))
echo "$((total > 0 ? 100 * passed / total : 0))% tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ]
