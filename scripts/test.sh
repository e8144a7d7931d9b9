#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (GUI and GL tests under a
# virtual X server).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  ctest --test-dir build -j"$(nproc)" --output-on-failure
