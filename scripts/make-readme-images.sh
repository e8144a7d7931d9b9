#!/usr/bin/env bash
# Regenerates the README's pictures in doc/images/ with the project's own programs, from the
# samples in samples/ (builds first when build/ has no programs):
#   window.png            the viewer's window with the teapot, on a virtual X server with openbox
#   wizard.png            the configuration wizard of the first start
#   render-*.png          solvane-cli render: solid, wireframe and hidden lines
#   thumbnail.png         solvane-cli thumbnail at 128 pixels
# Needs xvfb, openbox, x11-utils and ImageMagick (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SOLVANE_BUILD:-build}
out=doc/images

if [ "${1:-}" = "--on-display" ]; then
  # Runs under xvfb-run: the window and the wizard, each in a scratch settings and desktop folder.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache"
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  sleep 1
  # The frame of the window whose title is $1, grabbed with its decorations.
  grab() {
    local id
    for _ in $(seq 50); do
      id=$(xwininfo -root -tree | grep -F "\"$1\"" | awk '{ print $1 }' | head -1 || true)
      [ -n "$id" ] && break
      sleep 0.2
    done
    [ -n "$id" ] || { echo "no window '$1'" >&2; return 1; }
    sleep "${2:-2}"
    import -window "$id" -frame "$3"
  }
  # First start: the wizard comes before the window.
  "$build/app/solvane" >/dev/null 2>&1 &
  app=$!
  grab "Solvane Configuration Wizard — Solvane Viewer" 2 "$scratch/wizard.png"
  kill "$app"
  wait "$app" 2>/dev/null || true
  # Later starts: the window, 800x600 at the top left, with the teapot turned a little.
  mkdir -p "$XDG_CONFIG_HOME/Solvane"
  printf '[General]\nshow_wizard=0\nwindow_posx=0\nwindow_posy=0\nwindow_x=800\nwindow_y=600\n' \
    >"$XDG_CONFIG_HOME/Solvane/Solvane.3.0.ini"
  "$build/app/solvane" samples/teapot.obj >/dev/null 2>&1 &
  app=$!
  grab "teapot.obj - Solvane Viewer" 3 "$scratch/window.png"
  kill "$app"
  wait "$app" 2>/dev/null || true
  kill "$wm"
  convert "$scratch/wizard.png" -strip "PNG24:$out/wizard.png"
  convert "$scratch/window.png" -strip "PNG24:$out/window.png"
  exit 0
fi

[ -x "$build/tools/solvane-cli" ] && [ -x "$build/app/solvane" ] || bash scripts/build.sh
mkdir -p "$out"
cli="$build/tools/solvane-cli"
for mode in solid wireframe hidden; do
  "$cli" render samples/teapot.obj "$out/render-$mode.png" --size 320x240 --mode "$mode" --yaw 30 --pitch 20 \
    --axes off --box off
  convert "$out/render-$mode.png" -strip "PNG24:$out/render-$mode.png"
done
"$cli" thumbnail -s 128 samples/teapot.obj "$out/thumbnail.png"
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" --on-display
ls -l "$out"
