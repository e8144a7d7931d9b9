#!/usr/bin/env bash
# Soak test of the viewer under AddressSanitizer and UndefinedBehaviorSanitizer: builds the GUI
# with the sanitizers into build-asan-gui/ and runs one viewer window through every model of the
# shared corpus (tests/gui/test_gui_soak.cpp), then the damaged-settings start-up tests. LSAN's
# suppressions name the GL driver's modules only. SOLVANE_SOAK_SEED picks the cancels and modes.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan-gui -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOLVANE_SANITIZE=ON \
  -DSOLVANE_BENCH=OFF >/dev/null
cmake --build build-asan-gui -j"$(nproc)" --target test_gui_soak test_gui_settings
# Freed memory held back to catch late uses is capped, so that resident memory measures the viewer.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:quarantine_size_mb=32
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp
export QT_QPA_PLATFORM=xcb
# No session bus under the virtual X server: without this, libdbus's failed attempt to start one
# leaks a buffer of its own.
export DBUS_SESSION_BUS_ADDRESS=disabled:
status=0
for program in test_gui_soak test_gui_settings; do
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "build-asan-gui/tests/$program" || status=1
done
exit $status
