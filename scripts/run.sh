#!/usr/bin/env bash
# Installs what is missing, builds, and opens a model (the bundled teapot when none is given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
model="${1:-samples/teapot.obj}"
if [ -x build/app/solvane ]; then
  exec build/app/solvane "$model"
fi
exec build/tools/solvane-cli info "$model"
