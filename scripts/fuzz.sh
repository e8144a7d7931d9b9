#!/usr/bin/env bash
# Long fuzz run of one target, by hand: builds the libFuzzer targets (clang) into build-fuzz, runs
# TARGET for RUNS executions (default 1000000) starting from its committed seeds, then merges what
# it found back into fuzz/seeds/<name> as a minimised corpus.
# Usage: scripts/fuzz.sh obj [RUNS] [extra libFuzzer flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
name=${1:?usage: scripts/fuzz.sh NAME [RUNS]}
runs=${2:-1000000}
shift $(( $# >= 2 ? 2 : 1 ))
bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOLVANE_FUZZ=ON \
  -DSOLVANE_TESTS=OFF -DSOLVANE_GUI=OFF -DSOLVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "fuzz_$name"
seeds="fuzz/seeds/$name"
work=$(mktemp -d)
mkdir -p "$seeds" "$work/corpus" "$work/merged"
cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
"build-fuzz/fuzz/fuzz_$name" -runs="$runs" -jobs=1 -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 "$@" "$work/corpus" 2>&1 | tee "$work/log" | grep -E "^(#[0-9]+[[:space:]]+(DONE|INITED)|Done|stat::|==)" || true
"build-fuzz/fuzz/fuzz_$name" -merge=1 "$work/merged" "$work/corpus" >/dev/null 2>&1
rm -rf "$seeds" && mkdir -p "$seeds" && cp "$work/merged"/* "$seeds"/ 2>/dev/null || true
echo "minimised corpus: $(ls "$seeds" | wc -l) files in $seeds"
rm -rf "$work"
