#!/usr/bin/env bash
# Installs what is missing, builds, and opens a model (the bundled teapot when none is given) in
# the viewer. Without a display, it renders the model to a PNG instead and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
model="${1:-samples/teapot.obj}"
if [ -x build/app/solvane ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/solvane "$model"
fi
out="${SOLVANE_RENDER_OUT:-$PWD/build/render.png}"
build/tools/solvane-cli info "$model"
build/tools/solvane-cli render "$model" "$out" --yaw 30 --pitch 20
echo "No window available here: rendered $model to $out"
