#!/usr/bin/env bash
# Hostile-file sweep: builds solvane-cli with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan-cli/ and has it read damaged copies of every model and image of the shared corpus
# (../shared/corpus). Deterministic by seed; the last line is the summary. Arguments go to
# scripts/hostile_sweep.py (--seed N, --rounds N, --keep DIR, --timeout S, --limit-mib M).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan-cli -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOLVANE_SANITIZE=ON \
  -DSOLVANE_GUI=OFF -DSOLVANE_TESTS=OFF -DSOLVANE_BENCH=OFF >/dev/null
cmake --build build-asan-cli -j"$(nproc)" --target solvane-cli >/dev/null
exec python3 scripts/hostile_sweep.py --cli build-asan-cli/tools/solvane-cli "$@"
